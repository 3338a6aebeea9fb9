// The exception and the bilingual messages of the packager's database library.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sya {

// A failure of the packager's database library: the loaded message text and a small number that
// tells which check of the failing operation refused.
class EPDBException : public std::runtime_error {
 public:
  EPDBException(std::string message, std::uint16_t errorCode)
      : std::runtime_error(std::move(message)), errorCode_(errorCode) {}
  std::uint16_t ErrorCode() const { return errorCode_; }

 private:
  std::uint16_t errorCode_;
};

// The text of one of this library's messages (English at the even id, Portuguese at id + 1,
// chosen by the user's locale for an even id).
std::string LoadSyaMessage(int id);

// Raises EPDBException with the message `id` and the code.
[[noreturn]] void RaisePDBError(int id, std::uint16_t errorCode);
// The same with `context` (the file and the system's reason) on a second line.
[[noreturn]] void RaisePDBError(int id, std::uint16_t errorCode, std::string_view context);

}  // namespace sya
