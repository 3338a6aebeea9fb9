#include "app/Conversion.h"

#include <exception>
#include <string>

#include "app/ErrorDisplay.h"
#include "app/PdbToDbf.h"
#include "app/PdbToTxt.h"
#include "app/TxtToPdb.h"

namespace app {

ConversionResult RunConversion(ECommand command, ConversionContext& context) {
  switch (command) {
    case ECommand::TxtToPdb:
      return TxtToPdb(context);
    case ECommand::PdbToTxt:
      return PdbToTxt(context);
    case ECommand::PdbToDbf:
      return PdbToDbf(context);
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

RunOutcome RunConversionGuarded(ECommand command, ConversionContext& context, const ErrorDisplay& errors) {
  return RunGuarded([&] { return RunConversion(command, context); }, errors);
}

ConversionResult ReportNotBuilt(std::string_view buttonText, ConversionContext& context) {
  context.reporter.ShowError(kApplicationTitle,
                             "Преобразование \"" + std::string(buttonText) + "\" в этой версии программы недоступно");
  return ConversionResult::FailureReported;
}

}  // namespace app
