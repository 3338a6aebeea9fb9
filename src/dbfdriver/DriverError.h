// The one exception of the driver: an SQLSTATE and a message text. Every ODBC entry point turns
// it into a diagnostic record; nothing else leaves the driver.
#pragma once

#include <stdexcept>
#include <string>

namespace dbf {

class DriverError : public std::runtime_error {
 public:
  DriverError(std::string state, const std::string& message)
      : std::runtime_error(message), state_(std::move(state)) {}
  const std::string& State() const noexcept { return state_; }

 private:
  std::string state_;
};

// A condition that lets a statement finish (a text cut to its column, for example).
struct Warning {
  std::string state;
  std::string message;
};

}  // namespace dbf
