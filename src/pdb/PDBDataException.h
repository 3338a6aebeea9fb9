// The exception of the Palm database library: a message text and a 16-bit code that tells which
// check of the raising operation failed.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pdb {

class EPDBException : public std::runtime_error {
 public:
  EPDBException(const std::string& message, std::uint16_t errorCode)
      : std::runtime_error(message), errorCode_(errorCode) {}

  std::uint16_t ErrorCode() const noexcept { return errorCode_; }

 private:
  std::uint16_t errorCode_;
};

}  // namespace pdb
