#include "app/ExitCode.h"

namespace app {

ExitCode ExitCodeFor(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Done:
    case RunOutcome::NothingToDo:
      return ExitCode::Success;
    case RunOutcome::FailureReported:
      return ExitCode::ConversionFailed;
    case RunOutcome::Stopped:
      return ExitCode::ConversionStopped;
  }
  return ExitCode::ConversionStopped;
}

RunOutcome WithErrorsShown(RunOutcome outcome, int errorsShown) {
  if (errorsShown > 0 && (outcome == RunOutcome::Done || outcome == RunOutcome::NothingToDo))
    return RunOutcome::FailureReported;
  return outcome;
}

}  // namespace app
