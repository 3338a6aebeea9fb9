#include "app/ErrorDisplay.h"

#include "app/CommandLine.h"

namespace app {

std::string ExceptionText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void ErrorDisplay::Show(const std::exception_ptr& error) const {
  if (!error) return;
  for (auto it = handlers_.rbegin(); it != handlers_.rend(); ++it) {
    try {
      if ((*it)(error)) return;
    } catch (...) {
      // A handler that fails must not hide the original error: show both plainly.
      fallback_.ShowError(core::kApplicationTitle, ExceptionText(std::current_exception()));
      break;
    }
  }
  fallback_.ShowError(core::kApplicationTitle, ExceptionText(error));
}

}  // namespace app
