#include <gtest/gtest.h>

#include "core/ByteIO.h"

using namespace core;

TEST(ByteIO, ReaderDecodesBigEndianAndRefusesToOverrun) {
  const Bytes data = {0xFF, 0xFE, 0x61, 0x62, 0x63, 0x00, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0x12};
  BigEndianReader r(data);
  EXPECT_EQ(r.I16(), -2);
  EXPECT_EQ(r.ZeroTerminated(), "abc");
  EXPECT_EQ(r.F64(), 1.5);
  EXPECT_EQ(r.Remaining(), 1u);
  EXPECT_THROW(r.U16(), ShortReadError);
  EXPECT_EQ(r.Position(), 14u);  // a failed read does not move
  EXPECT_EQ(r.U8(), 0x12);
  EXPECT_THROW(r.U8(), ShortReadError);
  EXPECT_THROW(r.Take(1), ShortReadError);
  EXPECT_THROW(r.Seek(16), ShortReadError);
}

TEST(ByteIO, ZeroTerminatedWithoutZeroTakesTheRest) {
  const Bytes data = {'a', 'b'};
  BigEndianReader r(data);
  EXPECT_EQ(r.ZeroTerminated(), "ab");
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_EQ(r.ZeroTerminated(), "");
}

TEST(ByteIO, WritersProduceTheSameBytesTheReaderTakes) {
  Bytes out;
  BigEndianWriter w(out);
  w.U16(0xCA6F);
  w.U32(2713996800u);
  w.F32(1.5f);
  w.FixedText("abcdef", 4);
  w.FixedText("ab", 4);
  EXPECT_EQ(out, (Bytes{0xCA, 0x6F, 0xA1, 0xC4, 0x4E, 0x00, 0x3F, 0xC0, 0, 0, 'a', 'b', 'c', 'd', 'a', 'b', 0, 0}));

  Bytes fixed(3);
  SpanWriter s(fixed);
  s.U16(1);
  EXPECT_THROW(s.U16(2), std::logic_error);
  s.U8(7);
  EXPECT_EQ(fixed, (Bytes{0, 1, 7}));
}
