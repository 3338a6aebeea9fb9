// What every conversion gets to work with and what it tells its caller.
#pragma once

#include "convert/MainFormObjects.h"
#include "convert/MainFormState.h"
#include "core/Reporter.h"

namespace convert {

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

}  // namespace convert
