// Running the conversion a command names, with the central error display around it.
#pragma once

#include <functional>

#include "app/CommandLine.h"
#include "convert/Conversion.h"

namespace app {

// How one run of a conversion ended, as seen by the start-up and the window.
enum class RunOutcome {
  Done,
  NothingToDo,
  FailureReported,
  Stopped,  // an exception stopped it and the error display has shown it
};

class ErrorDisplay;

// Runs the named conversion.
convert::ConversionResult RunConversion(Command command, convert::ConversionContext& context);

// Runs a conversion and shows any exception that escapes it on `errors`.
RunOutcome RunGuarded(const std::function<convert::ConversionResult()>& conversion, const ErrorDisplay& errors);

// RunGuarded for the named conversion.
RunOutcome RunConversionGuarded(Command command, convert::ConversionContext& context, const ErrorDisplay& errors);

}  // namespace app
