// zlib on in-memory buffers: zlib-format streams (RFC 1950), 15-bit window, memory level 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "core/ByteIO.h"

namespace sya {

// A zlib failure, with zlib's text for its result code ("data error", "buffer error" ...).
class EZLibError : public std::runtime_error {
 public:
  EZLibError(int zlibCode, const std::string& text) : std::runtime_error(text), zlibCode_(zlibCode) {}
  int ZlibCode() const { return zlibCode_; }

 private:
  int zlibCode_;
};
class EZCompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};

// zlib's text for a negative result code.
std::string ZlibErrorText(int zlibCode);

// Indexes into the level table: no compression, fastest, default (level 6), best.
enum TZCompressionLevel : int { zcNone = 0, zcFastest = 1, zcDefault = 2, zcMax = 3 };

// Compresses `data` into one complete zlib stream. Raises EZCompressionError.
core::Bytes CompressBuffer(core::ByteSpan data, TZCompressionLevel level = zcDefault);

// Inflates one complete zlib stream. The output starts at `sizeHint` bytes (or the input size
// rounded up to 256 when the hint is 0) and grows until the stream ends, but never beyond
// `maxSize`: a stream that inflates to more raises EZDecompressionError "buffer error", as does
// one whose input ends before the stream does ("data error" for damaged data).
core::Bytes DecompressBuffer(core::ByteSpan data, std::size_t sizeHint, std::size_t maxSize);

// A deflate state kept for many streams (reset between them instead of set up anew).
class TZDeflater {
 public:
  explicit TZDeflater(TZCompressionLevel level = zcDefault);
  ~TZDeflater();
  TZDeflater(const TZDeflater&) = delete;
  TZDeflater& operator=(const TZDeflater&) = delete;
  // Appends one complete zlib stream of `data` to `out`; returns its length.
  std::size_t Compress(core::ByteSpan data, core::Bytes& out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// An inflate state kept for many streams.
class TZInflater {
 public:
  TZInflater();
  ~TZInflater();
  TZInflater(const TZInflater&) = delete;
  TZInflater& operator=(const TZInflater&) = delete;
  // Inflates one complete zlib stream into `out` and returns its length; raises
  // EZDecompressionError as DecompressBuffer does when the stream needs more than `out`.
  std::size_t Decompress(core::ByteSpan data, std::span<std::uint8_t> out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace sya
