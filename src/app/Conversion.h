// What every conversion gets to work with and what it tells its caller.
#pragma once

#include <functional>

#include "app/CommandLine.h"
#include "app/MainFormObjects.h"
#include "app/MainFormState.h"
#include "core/Reporter.h"

namespace app {

// Everything a conversion reads and uses. The window (or the console start-up) owns all of it
// and keeps it alive for the whole call; the directory texts in `state` are refreshed from the
// boxes before each call.
struct ConversionContext {
  MainFormState& state;
  core::Reporter& reporter;
  MainFormObjects& objects;
};

// How a conversion that returned normally ended. An exception means an error stopped it; the
// caller hands it to the central error display.
enum class ConversionResult {
  Done,             // it did its work
  NothingToDo,      // its input was absent; nothing touched, no message
  FailureReported,  // it told the person about a failure (packer code, missing column ...)
};

// How one run of a conversion ended, as seen by the start-up and the window.
enum class RunOutcome {
  Done,
  NothingToDo,
  FailureReported,
  Stopped,  // an exception stopped it and the error display has shown it
};

class ErrorDisplay;

// Runs the named conversion.
ConversionResult RunConversion(ECommand command, ConversionContext& context);

// Runs a conversion and shows any exception that escapes it on `errors`.
RunOutcome RunGuarded(const std::function<ConversionResult()>& conversion, const ErrorDisplay& errors);

// RunGuarded for the named conversion.
RunOutcome RunConversionGuarded(ECommand command, ConversionContext& context, const ErrorDisplay& errors);

// Tells the person that a conversion has not been built into this program yet.
ConversionResult ReportNotBuilt(std::string_view buttonText, ConversionContext& context);

}  // namespace app
