#include <gtest/gtest.h>

#include <cmath>

#include "core/NumberFormat.h"

using namespace core;

TEST(NumberFormat, GeneralFormatUsesCommaAndShortestText) {
  struct Case { double value; const char* text; };
  for (auto [value, text] : std::initializer_list<Case>{
           {0, "0"}, {10, "10"}, {1234.5, "1234,5"}, {-2.25, "-2,25"}, {0.1 + 0.2, "0,3"},
           {1.0 / 3, "0,333333333333333"}, {0.00001, "0,00001"}, {0.0000015, "1,5E-6"},
           {123456789012345.0, "123456789012345"}, {1e15, "1E15"}, {1e20, "1E20"},
           {4294967295.0, "4294967295"}, {-0.5, "-0,5"}}) {
    EXPECT_EQ(FormatGeneral(value), text) << value;
  }
}

TEST(NumberFormat, FixedFormatRoundsAndKeepsDecimals) {
  EXPECT_EQ(FormatFixed(1234.5, 2), "1234,50");
  EXPECT_EQ(FormatFixed(0, 2), "0,00");
  EXPECT_EQ(FormatFixed(2.5, 3), "2,500");
  EXPECT_EQ(FormatFixed(25, 2), "25,00");
  EXPECT_EQ(FormatFixed(0.125, 2), "0,12");  // the binary value lies below the half
  EXPECT_EQ(FormatFixed(-3.14159, 2), "-3,14");
  EXPECT_EQ(FormatFixed(-0.001, 2), "0,00");
  EXPECT_EQ(FormatFixed(0.5, 0), "0");
}

TEST(NumberFormat, ParseFloatTakesCommaOnly) {
  EXPECT_EQ(ParseFloat("12,5"), 12.5);
  EXPECT_EQ(ParseFloat("  -3 "), -3);
  EXPECT_EQ(ParseFloat("1,5E-6"), 1.5e-6);
  EXPECT_EQ(ParseFloat(",5"), 0.5);
  EXPECT_EQ(ParseFloat("+7,"), 7);
  for (const char* bad : {"", "  ", "12.5", "1,234,5", "1 000", "abc", "1e", "-", ",", "1,5E+", "inf", "nan"})
    EXPECT_FALSE(ParseFloat(bad)) << bad;
}

TEST(NumberFormat, ParseIntegerIsStrictAfterTheDigits) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("  -7"), -7);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("007"), 7);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "2147483648", "-2147483649", "12 ", "1.0", "0x10", "12a", "-"})
    EXPECT_FALSE(ParseInteger(bad)) << bad;
  EXPECT_EQ(StrToIntDef("abc", 0), 0);
}

TEST(NumberFormat, ConversionErrorsQuoteTheTextInUtf8) {
  try {
    StrToInt("\xC0\xE1\xE2");  // "Абв" in Windows-1251
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'Абв' is not a valid integer value");
  }
  try {
    StrToFloat("1.234,5");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1.234,5' is not a valid floating point value");
  }
}

TEST(NumberFormat, RoundHalfEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.6), 3);
}
