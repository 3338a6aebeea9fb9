#include "sync/SyaZlib.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>

namespace sya {
namespace {

constexpr std::array<int, 4> kLevels{Z_NO_COMPRESSION, Z_BEST_SPEED, Z_DEFAULT_COMPRESSION, Z_BEST_COMPRESSION};
constexpr int kWindowBits = 15;
constexpr int kMemoryLevel = 8;
constexpr std::size_t kGrowStep = 256;

std::size_t RoundUp256(std::size_t n) { return (n + kGrowStep - 1) / kGrowStep * kGrowStep; }

int LevelOf(TZCompressionLevel level) {
  const auto index = static_cast<std::size_t>(level);
  return index < kLevels.size() ? kLevels[index] : Z_DEFAULT_COMPRESSION;
}

[[noreturn]] void FailCompress(int code) { throw EZCompressionError(code, ZlibErrorText(code)); }
[[noreturn]] void FailDecompress(int code) { throw EZDecompressionError(code, ZlibErrorText(code)); }

void CheckInputSize(std::size_t size) {
  if (size > std::numeric_limits<uInt>::max()) FailCompress(Z_BUF_ERROR);
}

// Runs inflate over the whole input into out[0..limit), growing `out` as allowed by `grow`.
// Returns the stream's length.
template <typename Grow>
std::size_t InflateInto(z_stream& zs, core::ByteSpan data, std::uint8_t* out, std::size_t capacity, Grow grow) {
  if (data.size() > std::numeric_limits<uInt>::max()) FailDecompress(Z_BUF_ERROR);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  std::size_t produced = 0;
  std::uint8_t none = 0;  // zlib wants an output pointer even for no room
  for (;;) {
    zs.next_out = out ? out + produced : &none;
    zs.avail_out = static_cast<uInt>(capacity - produced);
    const uInt inBefore = zs.avail_in;
    const int rc = inflate(&zs, Z_FINISH);
    const std::size_t before = produced;
    produced = capacity - zs.avail_out;
    if (rc == Z_STREAM_END) return produced;
    if (rc == Z_NEED_DICT) FailDecompress(Z_DATA_ERROR);
    if (rc < 0 && rc != Z_BUF_ERROR) FailDecompress(rc);
    if (zs.avail_out == 0) {  // output full: grow within the limit or give up
      if (!grow(out, capacity)) FailDecompress(Z_BUF_ERROR);
      continue;
    }
    // Room left but no stream end: the input ended early (or inflate is stuck).
    if (zs.avail_in == 0 || (produced == before && zs.avail_in == inBefore)) FailDecompress(Z_DATA_ERROR);
  }
}

}  // namespace

std::string ZlibErrorText(int zlibCode) {
  switch (zlibCode) {
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "zlib error " + std::to_string(zlibCode);
  }
}

// ---- deflate -----------------------------------------------------------------------------

struct TZDeflater::State {
  z_stream zs{};
  bool ready = false;
  ~State() {
    if (ready) deflateEnd(&zs);
  }
};

TZDeflater::TZDeflater(TZCompressionLevel level) : state_(std::make_unique<State>()) {
  const int rc = deflateInit2(&state_->zs, LevelOf(level), Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
  if (rc != Z_OK) FailCompress(rc);
  state_->ready = true;
}

TZDeflater::~TZDeflater() = default;

std::size_t TZDeflater::Compress(core::ByteSpan data, core::Bytes& out) {
  CheckInputSize(data.size());
  z_stream& zs = state_->zs;
  const std::size_t start = out.size();
  // Room for incompressible data plus zlib's overhead; grown in small steps if ever short.
  std::size_t capacity = RoundUp256(data.size() + data.size() / 10 + 12);
  out.resize(start + capacity);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  std::size_t produced = 0;
  for (;;) {
    zs.next_out = out.data() + start + produced;
    zs.avail_out = static_cast<uInt>(capacity - produced);
    const int rc = deflate(&zs, Z_FINISH);
    produced = capacity - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc < 0 && rc != Z_BUF_ERROR) {
      out.resize(start);
      deflateReset(&zs);
      FailCompress(rc);
    }
    capacity += kGrowStep;
    out.resize(start + capacity);
  }
  out.resize(start + produced);
  deflateReset(&zs);
  return produced;
}

core::Bytes CompressBuffer(core::ByteSpan data, TZCompressionLevel level) {
  TZDeflater deflater(level);
  core::Bytes out;
  deflater.Compress(data, out);
  return out;
}

// ---- inflate -----------------------------------------------------------------------------

struct TZInflater::State {
  z_stream zs{};
  bool ready = false;
  ~State() {
    if (ready) inflateEnd(&zs);
  }
};

TZInflater::TZInflater() : state_(std::make_unique<State>()) {
  const int rc = inflateInit2(&state_->zs, kWindowBits);
  if (rc != Z_OK) FailDecompress(rc);
  state_->ready = true;
}

TZInflater::~TZInflater() = default;

std::size_t TZInflater::Decompress(core::ByteSpan data, std::span<std::uint8_t> out) {
  z_stream& zs = state_->zs;
  inflateReset(&zs);
  return InflateInto(zs, data, out.data(), out.size(), [](std::uint8_t*&, std::size_t&) { return false; });
}

core::Bytes DecompressBuffer(core::ByteSpan data, std::size_t sizeHint, std::size_t maxSize) {
  const std::size_t step = std::max<std::size_t>(RoundUp256(data.size()), kGrowStep);
  const std::size_t first = std::min(sizeHint > 0 ? sizeHint : step, maxSize);
  core::Bytes out(first);
  z_stream zs{};
  if (const int rc = inflateInit2(&zs, kWindowBits); rc != Z_OK) FailDecompress(rc);
  struct End {
    z_stream& zs;
    ~End() { inflateEnd(&zs); }
  } end{zs};
  const auto grow = [&](std::uint8_t*& buffer, std::size_t& capacity) {
    if (capacity >= maxSize) return false;
    capacity = std::min(capacity + step, maxSize);
    out.resize(capacity);
    buffer = out.data();
    return true;
  };
  const std::size_t length = InflateInto(zs, data, out.data(), out.size(), grow);
  out.resize(length);
  return out;
}

}  // namespace sya
