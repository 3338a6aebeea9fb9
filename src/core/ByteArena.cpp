#include "core/ByteArena.h"

#include <algorithm>
#include <cstring>

namespace core {

std::byte* TByteArena::Allocate(std::size_t size) {
  if (size == 0) return nullptr;
  if (blocks_.empty() || capacity_ - used_ < size) {
    const std::size_t capacity = std::max(blockSize_, size);
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(capacity));
    capacity_ = capacity;
    used_ = 0;
  }
  std::byte* const at = blocks_.back().get() + used_;
  used_ += size;
  return at;
}

std::span<const std::uint8_t> TByteArena::Copy(std::span<const std::uint8_t> bytes) {
  std::byte* const at = Allocate(bytes.size());
  if (at == nullptr) return {};
  std::memcpy(at, bytes.data(), bytes.size());
  return {reinterpret_cast<const std::uint8_t*>(at), bytes.size()};
}

void TByteArena::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  used_ = capacity_ = 0;
}

}  // namespace core
