#include <gtest/gtest.h>

#include <limits>

#include "core/DateTime.h"

using core::TDateTime;

namespace {
TDateTime Date(int y, int m, int d) { return *TDateTime::FromDate(y, m, d); }
TDateTime At(int y, int m, int d, int h, int n, int s = 0) {
  return *TDateTime::FromParts({y, m, d, h, n, s, 0});
}
}  // namespace

TEST(DateTime, EpochDayNumbers) {
  EXPECT_EQ(Date(1899, 12, 30).Days(), 0);
  EXPECT_EQ(Date(1904, 1, 1).Days(), 1462);
  EXPECT_EQ(Date(1970, 1, 1).Days(), 25569);
  EXPECT_EQ(Date(2000, 2, 29).Days(), 36585);
  EXPECT_FALSE(TDateTime::FromDate(2001, 2, 29));
  EXPECT_FALSE(TDateTime::FromDate(2004, 13, 1));
}

TEST(DateTime, DecodeRoundTripsCalendarAndClock) {
  const auto parts = At(2007, 1, 5, 14, 30, 59).Decode();
  EXPECT_EQ(parts.year, 2007);
  EXPECT_EQ(parts.month, 1);
  EXPECT_EQ(parts.day, 5);
  EXPECT_EQ(parts.hour, 14);
  EXPECT_EQ(parts.minute, 30);
  EXPECT_EQ(parts.second, 59);
  // A fraction that rounds up to midnight belongs to the next day.
  const auto late = TDateTime(Date(2007, 1, 5).Days() + 0.9999999999).Decode();
  EXPECT_EQ(late.day, 6);
  EXPECT_EQ(late.hour, 0);
}

TEST(DateTime, PalmSecondsSince1904) {
  EXPECT_EQ(At(1904, 1, 1, 0, 0, 1).ToPalmSeconds(), 1u);
  EXPECT_EQ(Date(1990, 1, 1).ToPalmSeconds(), 2713996800u);
  EXPECT_EQ(Date(1903, 12, 31).ToPalmSeconds(), 0u);
  EXPECT_EQ(TDateTime::FromPalmSeconds(0).Days(), 0);
  EXPECT_EQ(TDateTime::FromPalmSeconds(2713996800u), Date(1990, 1, 1));
  EXPECT_EQ(TDateTime::FromPalmSeconds(0xFFFFFFFFu).Decode().year, 2040);
}

TEST(DateTime, HeaderDatesInBothEpochsAndZones) {
  // First two bytes zero: no date.
  EXPECT_TRUE(TDateTime::FromHeaderSeconds(0x0000FFFF, 0).IsZero());
  // Above 0x7F: seconds since 1904 local time, whatever the zone.
  EXPECT_EQ(TDateTime::FromHeaderSeconds(0xA1C44E00, -180), Date(1990, 1, 1));
  EXPECT_EQ(TDateTime::FromHeaderSeconds(0xA1C44E00, 300), Date(1990, 1, 1));
  // 0x7F or less: seconds since 1970 UTC, moved to local time by the bias (UTC minus local).
  const std::uint32_t noonUtc = 631152000u + 12 * 3600;  // 1990-01-01 12:00 UTC
  EXPECT_EQ(TDateTime::FromHeaderSeconds(noonUtc, 0), At(1990, 1, 1, 12, 0));
  EXPECT_EQ(TDateTime::FromHeaderSeconds(noonUtc, -180), At(1990, 1, 1, 15, 0));  // Moscow
  EXPECT_EQ(TDateTime::FromHeaderSeconds(noonUtc, 300), At(1990, 1, 1, 7, 0));    // New York
  EXPECT_EQ(TDateTime::FromHeaderSeconds(0x7FFFFFFF, 0).Decode().year, 2038);
}

TEST(DateTime, UnixMillisecondsAreExact) {
  EXPECT_EQ(TDateTime::FromUnixMilliseconds(0), Date(1970, 1, 1));
  EXPECT_EQ(At(2004, 3, 5, 10, 20, 30).ToUnixMilliseconds(), 1078482030000);
  EXPECT_EQ(TDateTime::FromUnixMilliseconds(-86400000), Date(1969, 12, 31));
  EXPECT_EQ(TDateTime::FromUnixSeconds(1078482030), At(2004, 3, 5, 10, 20, 30));
  EXPECT_EQ(TDateTime::FromUnixMilliseconds(-1), TDateTime(25569 - 1.0 / 86400000));
  // The extremes of a 64-bit count convert without overflow (far outside the calendar).
  EXPECT_LT(TDateTime::FromUnixMilliseconds(std::numeric_limits<std::int64_t>::min()).Days(), -1e8);
  EXPECT_GT(TDateTime::FromUnixMilliseconds(std::numeric_limits<std::int64_t>::max()).Days(), 1e8);
}

TEST(DateTime, TextFormatsAndParsing) {
  EXPECT_EQ(Date(2004, 3, 5).FormatDate('.'), "05.03.2004");
  EXPECT_EQ(Date(2007, 1, 5).FormatDateTimeText(), "05/01/2007");
  EXPECT_EQ(At(2007, 1, 5, 14, 30).FormatDateTimeText(), "05/01/2007 14:30");
  EXPECT_EQ(TDateTime::Parse("05/01/2007 14:30"), At(2007, 1, 5, 14, 30));
  EXPECT_EQ(TDateTime::Parse("5/1/2007"), Date(2007, 1, 5));
  EXPECT_EQ(TDateTime::Parse("01/01/1904"), Date(1904, 1, 1));
  EXPECT_EQ(TDateTime::Parse("14:35"), TDateTime::FromTime(14, 35, 0));
  EXPECT_FALSE(TDateTime::Parse(""));
  EXPECT_FALSE(TDateTime::Parse("31/02/2005"));
  EXPECT_FALSE(TDateTime::Parse("05.03.2004"));
  EXPECT_FALSE(TDateTime::Parse("05/01/2007 25:00"));
}

TEST(DateTime, ValuesBeyondTheCalendarAreClampedNotOverflowed) {
  EXPECT_EQ(TDateTime(1e300).Decode().year, 9999);
  EXPECT_EQ(TDateTime(-1e300).Decode().year, 1);
  EXPECT_EQ(TDateTime(std::numeric_limits<double>::quiet_NaN()).Decode().year, 1899);
  EXPECT_EQ(TDateTime(std::numeric_limits<double>::infinity()).FormatDate('.'), "31.12.9999");
  // The last half millisecond of 9999 rounds up into the next day, whose year has five digits.
  TDateTime::DateText text;
  EXPECT_EQ(TDateTime(2958465.999999996).FormatDate('.', text), "01.01.10000");
  EXPECT_EQ(Date(1, 1, 1).FormatDate('.', text), "01.01.0001");
  (void)TDateTime(1e300).ToPalmSeconds();
}
