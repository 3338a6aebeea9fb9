#include "sync/SyaFields.h"

#include <gtest/gtest.h>

#include "core/NumberFormat.h"
#include "sync/SyaException.h"

namespace {

using core::Bytes;
using core::TDateTime;

TDateTime DateOf(const sya::TPDBField& f) { return std::get<TDateTime>(f.Value()); }

TEST(SyaFields, DecodesAMixedRecordAndRefusesAShortOne) {
  sya::TPDBFields fields;
  fields.Add("n", sya::pdtPSInt16);
  fields.Add("s", sya::pdtString);
  fields.Add("d", sya::pdtPSDate);
  const Bytes record{0xFF, 0xFE, 0x41, 0x42, 0x00, 0xC6, 0x63};
  sya::DecodeFields(fields, record);
  EXPECT_EQ(std::get<std::int64_t>(fields[0].Value()), -2);
  EXPECT_EQ(std::get<std::string>(fields[1].Value()), "AB");
  EXPECT_EQ(fields[1].RawData(), (Bytes{0x41, 0x42, 0x00}));
  EXPECT_EQ(DateOf(fields[2]), *TDateTime::FromDate(2003, 3, 3));

  try {
    sya::DecodeFields(fields, core::ByteSpan(record).first(5));
    FAIL() << "no exception";
  } catch (const sya::EPDBException& e) {
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_STREQ(e.what(), "Record is not stored as detailed in Fields structure!");
  }
  // A string without its terminator is refused as well.
  sya::TPDBFields text;
  text.Add("s", sya::pdtString);
  EXPECT_THROW(sya::DecodeFields(text, Bytes{0x41, 0x42}), sya::EPDBException);
}

TEST(SyaFields, FixedSizeStringTakesItsTerminatorToo) {
  sya::TPDBFields fields;
  auto& s = fields.Add("s", sya::pdtString);
  s.SetSize(4);
  fields.Add("b", sya::pdtByte);
  sya::DecodeFields(fields, Bytes{0x41, 0x42, 0x00, 0x00, 0x00, 0x07});
  EXPECT_EQ(std::get<std::string>(fields[0].Value()), "AB");
  EXPECT_EQ(fields[0].RawData(), (Bytes{0x41, 0x42, 0x00, 0x00, 0x00}));
  EXPECT_EQ(std::get<std::int64_t>(fields[1].Value()), 7) << "the next field starts after 5 bytes";
}

TEST(SyaFields, NumbersAndDatesOfEveryWidth) {
  struct Case {
    sya::TPDBFieldType type;
    Bytes bytes;
    sya::TFieldValue expected;
  };
  const std::vector<Case> cases = {
      {sya::pdtByte, {0xFF}, std::int64_t{255}},
      {sya::pdtPSInt8, {0xFF}, std::int64_t{-1}},
      {sya::pdtWord, {0xFF, 0xFE}, std::int64_t{65534}},
      {sya::pdtInteger, {0xFF, 0xFF, 0xFF, 0xFE}, std::int64_t{-2}},
      {sya::pdtPSUInt32, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967296.0},
      {sya::pdtFloat, {0x3F, 0xC0, 0x00, 0x00}, 1.5},
      {sya::pdtPSDouble, {0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}, 3.141592653589793},
      {sya::pdtPSBoolean, {0x02}, true},
      {sya::pdtPSDateTime, {0, 0, 0, 0}, *TDateTime::FromDate(1904, 1, 1)},
      {sya::pdtDate, {0, 0, 0, 0}, *TDateTime::FromDate(1970, 1, 1)},
      {sya::pdtDate, {0, 0, 0x0E, 0x10}, *TDateTime::FromParts({1970, 1, 1, 1, 0, 0})},
      {sya::pdtPSTime, {23, 59}, *TDateTime::FromTime(23, 59, 0)},
  };
  for (const auto& c : cases) {
    sya::TPDBFields fields;
    fields.Add("f", c.type);
    sya::DecodeFields(fields, c.bytes);
    EXPECT_EQ(fields[0].Value(), c.expected) << "type " << int(c.type);
    EXPECT_EQ(fields[0].RawData(), c.bytes);
  }
}

TEST(SyaFields, InvalidPackedDatesAndTimesAreConversionErrors) {
  const auto decode = [](sya::TPDBFieldType type, Bytes bytes) {
    sya::TPDBFields fields;
    fields.Add("f", type);
    sya::DecodeFields(fields, bytes);
  };
  EXPECT_THROW(decode(sya::pdtPSDate, {0xC6, 0x03}), core::EConvertError);  // month 0
  EXPECT_THROW(decode(sya::pdtPSDate, {0xC6, 0x60}), core::EConvertError);  // day 0
  try {
    decode(sya::pdtPSTime, {24, 0});
    FAIL();
  } catch (const core::EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to time encode");
  }
  EXPECT_THROW(decode(sya::pdtPSTime, {10, 60}), core::EConvertError);
}

TEST(SyaFields, DataTypeSetsSizeAndEmptyValue) {
  sya::TPDBField f("x", sya::pdtPSDouble);
  EXPECT_EQ(f.Size(), 8);
  f.SetSize(3);
  EXPECT_EQ(f.Size(), 8) << "a fixed type keeps its size";
  f.SetDataType(sya::pdtPSString);
  EXPECT_EQ(f.Size(), 0);
  EXPECT_EQ(f.Value(), sya::TFieldValue(std::string()));
  f.SetSize(10);
  EXPECT_EQ(f.Size(), 10);
  f.SetDataType(sya::pdtPSBoolean);
  EXPECT_EQ(f.Value(), sya::TFieldValue(false));

  sya::TPDBField copy;
  f.SetValue(true);
  copy.Assign(f);
  EXPECT_EQ(copy.FieldName(), "x");
  EXPECT_EQ(copy.DataType(), sya::pdtPSBoolean);
  EXPECT_EQ(copy.Value(), sya::TFieldValue(true));
}

}  // namespace
