// Evaluation of the command line at start-up: which boxes hold what, whether the run is
// interactive, and which conversion (if any) runs before the window would be shown.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/MainFormState.h"

namespace app {

// Shown for three or more arguments whose first word is not a command.
inline constexpr std::string_view kParameterError = "Ошибка в ратаметрах";

// The usage text: five lines separated by a single carriage return each (no line feed).
extern const std::string_view kUsageMessage;

// The three conversions a command can name.
enum class Command { TxtToPdb, PdbToTxt, PdbToDbf };

// The name a command is written with on the command line ("TXTTOPDB" ...).
std::string_view CommandWord(Command command);

// What the start-up decided.
struct StartupPlan {
  convert::MainFormState state;
  // The conversion to run at once and then end the program (command mode).
  std::optional<Command> command;
  // Three or more arguments whose first word is no command.
  bool unrecognisedCommand = false;
  // One argument containing "?": the usage message is shown.
  bool usageRequested = false;
};

// The options a Linux user may put before the command word. Only words that begin with "--",
// and "-h", are options (a lone "--" ends them); "/?", "-?" and the like stay the one-argument
// usage request, and Qt's own single-dash options stay untouched.
struct ProgramOptions {
  enum class Info { None, Help, Version, Unknown };
  // Run on the console even when a display is available.
  bool console = false;
  // The first of --help/-h, --version or an unknown option; it decides the whole start.
  Info info = Info::None;
  std::string unknownOption;
  // The arguments after the options, for EvaluateCommandLine.
  std::vector<std::string> arguments;
};

ProgramOptions ParseProgramOptions(std::span<const std::string> args);

// The options as the help lists them, after the usage text.
extern const std::string_view kOptionsHelp;

// Evaluates the arguments (without the program name). `defaultDirectory` is what both boxes
// show for an interactive start (see DefaultKeyDirectory).
StartupPlan EvaluateCommandLine(std::span<const std::string> args, std::string_view defaultDirectory);

// The directory both boxes show for an interactive start: "c:\Key" on Windows, the folder Key in
// the home directory elsewhere.
std::string DefaultKeyDirectory();

}  // namespace app
