// The central display of errors that stop a conversion.
//
// Special handlers get the first look at an exception, newest first (the ODBC error dialog in
// the window, the list of diagnostic records on the console); an exception that none of them
// takes is shown through the reporter as an error captioned with the application title.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "core/Reporter.h"

namespace app {

class ErrorDisplay {
 public:
  // Returns true when it has shown the exception; false passes it on.
  using Handler = std::function<bool(const std::exception_ptr&)>;

  explicit ErrorDisplay(core::Reporter& fallback) : fallback_(fallback) {}

  void AddHandler(Handler handler) { handlers_.push_back(std::move(handler)); }

  // Shows the exception. Never throws for a failing handler: its own exception is shown instead.
  void Show(const std::exception_ptr& error) const;

 private:
  core::Reporter& fallback_;
  std::vector<Handler> handlers_;
};

// The text an exception carries (its message; a fixed text for anything that is no
// std::exception).
std::string ExceptionText(const std::exception_ptr& error);

}  // namespace app
