#include "sync/SyaZlib.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "SyncTestUtil.h"

namespace {

using core::Bytes;

TEST(SyaZlib, DefaultLevelIsPlainZlibLevelSix) {
  const Bytes data = synctest::Concat({synctest::Text(std::string(5000, 'a')), synctest::Random(3000, 1)});
  const Bytes packed = sya::CompressBuffer(data);
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes reference(size);
  ASSERT_EQ(compress2(reference.data(), &size, data.data(), static_cast<uLong>(data.size()), 6), Z_OK);
  reference.resize(size);
  EXPECT_EQ(packed, reference);
  EXPECT_EQ(sya::DecompressBuffer(packed, 0, 1 << 20), data);
}

TEST(SyaZlib, EveryLevelRoundTripsIncludingEmptyAndIncompressibleData) {
  for (auto level : {sya::zcNone, sya::zcFastest, sya::zcDefault, sya::zcMax}) {
    for (const Bytes& data : {Bytes{}, synctest::Random(70000, 2), synctest::Text(std::string(100000, 'z'))}) {
      const Bytes packed = sya::CompressBuffer(data, level);
      EXPECT_EQ(sya::DecompressBuffer(packed, 0, data.size()), data) << "level " << level;
      EXPECT_EQ(sya::DecompressBuffer(packed, data.size(), data.size()), data);
    }
  }
}

TEST(SyaZlib, OutputIsBoundedByTheLimit) {
  const Bytes packed = sya::CompressBuffer(synctest::Text(std::string(100000, 'z')));
  try {
    sya::DecompressBuffer(packed, 0, 99999);
    FAIL() << "no exception";
  } catch (const sya::EZDecompressionError& e) {
    EXPECT_STREQ(e.what(), "buffer error");
    EXPECT_EQ(e.ZlibCode(), Z_BUF_ERROR);
  }
  Bytes out(1000);
  sya::TZInflater inflater;
  EXPECT_THROW(inflater.Decompress(packed, out), sya::EZDecompressionError);
  // The same inflater is usable again afterwards.
  const Bytes small = sya::CompressBuffer(synctest::Text("hello"));
  EXPECT_EQ(inflater.Decompress(small, out), 5u);
}

TEST(SyaZlib, DamagedStreamsRaiseZlibTexts) {
  const Bytes packed = sya::CompressBuffer(synctest::Random(5000, 3));
  Bytes damaged = packed;
  damaged[0] = 0x00;  // not a zlib header
  const auto textOf = [](const Bytes& in) -> std::string {
    try {
      sya::DecompressBuffer(in, 0, 1 << 20);
    } catch (const sya::EZDecompressionError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(textOf(damaged), "data error");
  EXPECT_EQ(textOf(Bytes(packed.begin(), packed.begin() + 100)), "data error") << "cut short";
  EXPECT_EQ(textOf(Bytes{}), "data error");
  Bytes badSum = packed;
  badSum.back() ^= 1;
  EXPECT_EQ(textOf(badSum), "data error");
}

}  // namespace
