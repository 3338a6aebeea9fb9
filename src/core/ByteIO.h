// Big-endian readers and writers over byte spans.
//
// Every number in a Palm database file or record is big-endian. These helpers keep the offset
// arithmetic in one place: a reader walks a span and refuses to read past its end, a writer
// appends to a growing buffer or fills a fixed one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace core {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Raised by BigEndianReader when a read would pass the end of its span.
class ShortReadError : public std::runtime_error {
 public:
  ShortReadError() : std::runtime_error("read past the end of the data") {}
};

// Loads and stores at a fixed offset; the caller has checked the bounds.
inline std::uint16_t LoadBE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t LoadBE32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
inline std::uint64_t LoadBE64(const std::uint8_t* p) {
  return (std::uint64_t{LoadBE32(p)} << 32) | LoadBE32(p + 4);
}
inline void StoreBE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void StoreBE32(std::uint8_t* p, std::uint32_t v) {
  StoreBE16(p, static_cast<std::uint16_t>(v >> 16));
  StoreBE16(p + 2, static_cast<std::uint16_t>(v));
}
inline void StoreBE64(std::uint8_t* p, std::uint64_t v) {
  StoreBE32(p, static_cast<std::uint32_t>(v >> 32));
  StoreBE32(p + 4, static_cast<std::uint32_t>(v));
}

// Sequential reader over a span. Every read checks the remaining length first.
class BigEndianReader {
 public:
  explicit BigEndianReader(ByteSpan data, std::size_t pos = 0) : data_(data), pos_(pos) {}

  std::size_t Position() const { return pos_; }
  std::size_t Size() const { return data_.size(); }
  std::size_t Remaining() const { return pos_ <= data_.size() ? data_.size() - pos_ : 0; }
  bool Has(std::size_t n) const { return n <= Remaining(); }
  void Seek(std::size_t pos) {
    if (pos > data_.size()) throw ShortReadError();
    pos_ = pos;
  }
  void Skip(std::size_t n) { Seek(Need(n) + n); }

  std::uint8_t U8() { auto v = data_[Need(1)]; ++pos_; return v; }
  std::uint16_t U16() { auto v = LoadBE16(&data_[Need(2)]); pos_ += 2; return v; }
  std::uint32_t U32() { auto v = LoadBE32(&data_[Need(4)]); pos_ += 4; return v; }
  std::uint64_t U64() { auto v = LoadBE64(&data_[Need(8)]); pos_ += 8; return v; }
  std::int8_t I8() { return static_cast<std::int8_t>(U8()); }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::int64_t I64() { return static_cast<std::int64_t>(U64()); }
  float F32() { auto bits = U32(); float f; std::memcpy(&f, &bits, 4); return f; }
  double F64() { auto bits = U64(); double d; std::memcpy(&d, &bits, 8); return d; }

  // The next n bytes as a view into the underlying data.
  ByteSpan Take(std::size_t n) { auto at = Need(n); pos_ += n; return data_.subspan(at, n); }
  // Bytes up to the first zero (or the end), consuming the zero when there is one.
  std::string_view ZeroTerminated();

 private:
  std::size_t Need(std::size_t n) const {
    if (!Has(n)) throw ShortReadError();
    return pos_;
  }
  ByteSpan data_;
  std::size_t pos_;
};

// Appends big-endian values to a byte vector.
class BigEndianWriter {
 public:
  explicit BigEndianWriter(Bytes& out) : out_(out) {}

  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) { StoreBE16(Grow(2), v); }
  void U32(std::uint32_t v) { StoreBE32(Grow(4), v); }
  void U64(std::uint64_t v) { StoreBE64(Grow(8), v); }
  void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void I64(std::int64_t v) { U64(static_cast<std::uint64_t>(v)); }
  void F32(float f) { std::uint32_t b; std::memcpy(&b, &f, 4); U32(b); }
  void F64(double d) { std::uint64_t b; std::memcpy(&b, &d, 8); U64(b); }
  void Append(ByteSpan bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void Append(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }
  void Zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
  // Exactly n bytes: the text cut to n, then zero bytes.
  void FixedText(std::string_view text, std::size_t n);
  std::size_t Size() const { return out_.size(); }

 private:
  std::uint8_t* Grow(std::size_t n) {
    out_.resize(out_.size() + n);
    return out_.data() + out_.size() - n;
  }
  Bytes& out_;
};

// Writes big-endian values into a fixed span; overrunning it is a programming error and throws.
class SpanWriter {
 public:
  explicit SpanWriter(std::span<std::uint8_t> out) : out_(out) {}
  std::size_t Position() const { return pos_; }
  void U8(std::uint8_t v) { out_[Need(1)] = v; pos_ += 1; }
  void U16(std::uint16_t v) { StoreBE16(&out_[Need(2)], v); pos_ += 2; }
  void U32(std::uint32_t v) { StoreBE32(&out_[Need(4)], v); pos_ += 4; }
  void U64(std::uint64_t v) { StoreBE64(&out_[Need(8)], v); pos_ += 8; }
  void F32(float f) { std::uint32_t b; std::memcpy(&b, &f, 4); U32(b); }
  void F64(double d) { std::uint64_t b; std::memcpy(&b, &d, 8); U64(b); }
  void Append(ByteSpan bytes) {
    auto at = Need(bytes.size());
    if (!bytes.empty()) std::memcpy(&out_[at], bytes.data(), bytes.size());
    pos_ += bytes.size();
  }
  void Append(std::string_view text) {
    Append(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  void Zeros(std::size_t n) {
    auto at = Need(n);
    if (n) std::memset(&out_[at], 0, n);
    pos_ += n;
  }

 private:
  std::size_t Need(std::size_t n) const {
    if (n > out_.size() - pos_) throw std::logic_error("record buffer overrun");
    return pos_;
  }
  std::span<std::uint8_t> out_;
  std::size_t pos_ = 0;
};

inline ByteSpan AsBytes(std::string_view text) {
  return ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
inline std::string_view AsText(ByteSpan bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace core
