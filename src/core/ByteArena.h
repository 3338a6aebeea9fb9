// TByteArena: many small byte strings kept one after another in a few large blocks, for stores
// that hold tens of thousands of records: no allocation per record and no allocator overhead on
// each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace core {

class TByteArena {
 public:
  static constexpr std::size_t kDefaultBlockSize = 64 * 1024;
  explicit TByteArena(std::size_t blockSize = kDefaultBlockSize) : blockSize_(blockSize) {}

  // Room for `size` bytes (null for none), valid until Clear or the arena's end. A request
  // larger than a block gets a block of its own.
  std::byte* Allocate(std::size_t size);
  // A copy of `bytes` in the arena.
  std::span<const std::uint8_t> Copy(std::span<const std::uint8_t> bytes);
  // Frees every block.
  void Clear();

 private:
  std::size_t blockSize_;
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::size_t used_ = 0;      // of the last block
  std::size_t capacity_ = 0;  // of the last block
};

}  // namespace core
