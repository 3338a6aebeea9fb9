#include "core/ByteIO.h"

#include <algorithm>

namespace core {

std::string_view BigEndianReader::ZeroTerminated() {
  auto rest = data_.subspan(std::min(pos_, data_.size()));
  auto zero = std::find(rest.begin(), rest.end(), std::uint8_t{0});
  auto length = static_cast<std::size_t>(zero - rest.begin());
  std::string_view text = AsText(rest.first(length));
  pos_ += length + (zero != rest.end() ? 1 : 0);
  return text;
}

void BigEndianWriter::FixedText(std::string_view text, std::size_t n) {
  auto used = std::min(text.size(), n);
  Append(text.substr(0, used));
  Zeros(n - used);
}

}  // namespace core
