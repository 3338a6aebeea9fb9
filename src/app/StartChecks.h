// What the start-up does around a conversion, the same for the console and the window: the
// directories made safe to join file names to, the source folder checked before anything is
// deleted or written, and the notice for a run that found nothing to do.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/ConversionRun.h"

namespace app {

class ErrorDisplay;

// Runs one conversion and shows what stops it (RunConversionGuarded, or a test's stand-in).
using ConversionRunner = std::function<RunOutcome(Command, convert::ConversionContext&, const ErrorDisplay&)>;

// The directory without its trailing separators (a root such as "/" or "c:\" keeps its own),
// so that directory + separator + name never shows "//". Everything else stays as typed.
std::string WithoutTrailingSeparators(std::string_view directory);

// The folder a command reads its input from, as the conversion uses it, and the file it looks
// for there.
std::string SourceFolderOf(Command command, const convert::MainFormState& state);
std::string_view InputFileOf(Command command);

// Why the command's source folder cannot be read (missing, not a folder, no access): the folder
// on the first line, the system's reason on the second. Nothing when it can be read.
std::optional<std::string> SourceFolderProblem(Command command, const convert::MainFormState& state);

// What a run that found nothing to do says: which file was not found in which folder.
std::string NothingToDoNotice(Command command, const convert::MainFormState& state);

// Trims the directories' trailing separators, then runs the command when its source folder can
// be read; otherwise shows the problem as an error and returns Stopped without running it.
RunOutcome RunChecked(Command command, convert::ConversionContext& context, const ErrorDisplay& errors,
                      const ConversionRunner& runner);

}  // namespace app
