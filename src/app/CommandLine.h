// Evaluation of the command line at start-up: which boxes hold what, whether the run is
// interactive, and which conversion (if any) runs before the window would be shown.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

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

// Evaluates the arguments (without the program name). `defaultDirectory` is what both boxes
// show for an interactive start (see DefaultKeyDirectory).
StartupPlan EvaluateCommandLine(std::span<const std::string> args, std::string_view defaultDirectory);

// The directory both boxes show for an interactive start: "c:\Key" on Windows, the folder Key in
// the home directory elsewhere.
std::string DefaultKeyDirectory();

}  // namespace app
