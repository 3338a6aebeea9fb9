#include "app/ConsoleStart.h"

#include "app/ConsoleReporter.h"
#include "app/ConversionRun.h"
#include "app/StartChecks.h"
#include "core/Encoding.h"

namespace app {

namespace {

void WriteLine(std::ostream& stream, const ConsoleEncoding& encoding, std::string_view text) {
  stream << encoding(ToLineFeeds(text)) << '\n' << std::flush;
}

std::string ParameterError() { return std::string(core::kApplicationTitle) + ": " + std::string(kParameterError); }

}  // namespace

std::optional<ExitCode> AnswerOption(const ProgramOptions& options, const Console& console, std::string_view version) {
  switch (options.info) {
    case ProgramOptions::Info::None:
      return std::nullopt;
    case ProgramOptions::Info::Help:
      WriteLine(console.out, console.encoding, std::string(kUsageMessage) + "\n\n" + std::string(kOptionsHelp));
      return ExitCode::Success;
    case ProgramOptions::Info::Version:
      console.out << "vestibo " << version << '\n' << std::flush;
      return ExitCode::Success;
    case ProgramOptions::Info::Unknown:
      WriteLine(console.err, console.encoding,
                ParameterError() + "\nНеизвестный параметр " + options.unknownOption + "\n" + std::string(kUsageMessage) +
                    "\n\n" + std::string(kOptionsHelp));
      return ExitCode::UnrecognisedCommand;
  }
  return std::nullopt;
}

ExitCode RunConsole(const StartupPlan& plan, const Console& console, ErrorHandlerInstaller installHandlers) {
  if (plan.command) {
    convert::MainFormState state = plan.state;
    convert::MainFormObjects objects;
    // A walk the conversion gives no name is named by the database it reads or writes.
    ConsoleReporter reporter(console.out, console.err, console.showProgress, console.encoding,
                             [&objects] { return std::string(core::TrimBlanks(objects.pt().PDBFilename())); });
    ErrorDisplay errors(reporter);
    if (installHandlers != nullptr) installHandlers(errors, console.err);
    convert::ConversionContext context{state, reporter, objects};
    const RunOutcome ran = RunChecked(*plan.command, context, errors, &RunConversionGuarded);
    const RunOutcome outcome = WithErrorsShown(ran, reporter.ErrorsShown());
    // Logs show that the run happened even when there was nothing to convert.
    if (outcome == RunOutcome::NothingToDo) WriteLine(console.out, console.encoding, NothingToDoNotice(*plan.command, state));
    return ExitCodeFor(outcome);
  }
  if (plan.unrecognisedCommand) {
    WriteLine(console.err, console.encoding, ParameterError() + "\n" + std::string(kUsageMessage));
    return ExitCode::UnrecognisedCommand;
  }
  WriteLine(console.err, console.encoding, kUsageMessage);
  return ExitCode::NoDisplay;
}

ExitCode RunConsole(const StartupPlan& plan, std::ostream& out, std::ostream& err, bool showProgress,
                    ErrorHandlerInstaller installHandlers) {
  return RunConsole(plan, Console{out, err, showProgress, ConsoleEncoding()}, installHandlers);
}

}  // namespace app
