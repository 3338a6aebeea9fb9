#include "app/ConsoleStart.h"

#include "app/ConsoleReporter.h"
#include "app/ConversionRun.h"

namespace app {

ExitCode RunConsole(const StartupPlan& plan, std::ostream& out, std::ostream& err, bool showProgress,
                    ErrorHandlerInstaller installHandlers) {
  if (plan.command) {
    convert::MainFormState state = plan.state;
    ConsoleReporter reporter(out, err, showProgress);
    ErrorDisplay errors(reporter);
    if (installHandlers != nullptr) installHandlers(errors, err);
    convert::MainFormObjects objects;
    convert::ConversionContext context{state, reporter, objects};
    return ExitCodeFor(RunConversionGuarded(*plan.command, context, errors));
  }
  if (plan.unrecognisedCommand) {
    err << core::kApplicationTitle << ": " << kParameterError << '\n' << ToLineFeeds(kUsageMessage) << '\n' << std::flush;
    return ExitCode::UnrecognisedCommand;
  }
  err << ToLineFeeds(kUsageMessage) << '\n' << std::flush;
  return ExitCode::NoDisplay;
}

}  // namespace app
