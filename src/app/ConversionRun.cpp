#include "app/ConversionRun.h"

#include <exception>

#include "app/ErrorDisplay.h"
#include "convert/PdbToDbf.h"
#include "convert/PdbToTxt.h"
#include "convert/TxtToPdb.h"

namespace app {

using convert::ConversionResult;

ConversionResult RunConversion(Command command, convert::ConversionContext& context) {
  switch (command) {
    case Command::TxtToPdb:
      return convert::TxtToPdb(context);
    case Command::PdbToTxt:
      return convert::PdbToTxt(context);
    case Command::PdbToDbf:
      return convert::PdbToDbf(context);
  }
  return ConversionResult::FailureReported;
}

RunOutcome RunGuarded(const std::function<ConversionResult()>& conversion, const ErrorDisplay& errors) {
  try {
    switch (conversion()) {
      case ConversionResult::Done:
        return RunOutcome::Done;
      case ConversionResult::NothingToDo:
        return RunOutcome::NothingToDo;
      case ConversionResult::FailureReported:
        return RunOutcome::FailureReported;
    }
    return RunOutcome::FailureReported;
  } catch (...) {
    errors.Show(std::current_exception());
    return RunOutcome::Stopped;
  }
}

RunOutcome RunConversionGuarded(Command command, convert::ConversionContext& context, const ErrorDisplay& errors) {
  return RunGuarded([&] { return RunConversion(command, context); }, errors);
}

}  // namespace app
