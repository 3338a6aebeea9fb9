#include "core/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace core {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;

// Days from 0001-01-01 (proleptic Gregorian) to the given date, Howard Hinnant's algorithm
// shifted so that 1899-12-30 is day 0.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + 25569;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468 - 25569;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Whole days and milliseconds of the time of day, the way the day number is split everywhere:
// the date part truncated toward zero, the time of day from the absolute fraction.
// Day numbers of 0001-01-01 and 9999-12-31: the calendar this type covers.
constexpr double kFirstDay = -693593;
constexpr double kLastDay = 2958465;

void Split(double days, std::int64_t& whole, std::int64_t& ms) {
  // Values from damaged records can be anything; keep them inside the calendar so that no
  // conversion below overflows.
  if (!(days >= kFirstDay)) days = std::isnan(days) ? 0 : kFirstDay;
  if (days >= kLastDay + 1) days = kLastDay + 0.99999;
  whole = static_cast<std::int64_t>(std::trunc(days));
  ms = std::llround(std::fabs(days - std::trunc(days)) * kMsPerDay);
  if (ms >= kMsPerDay) {  // a fraction that rounds up to a whole day belongs to the next day
    ms -= kMsPerDay;
    whole += days < 0 ? -1 : 1;
  }
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

// Reads an unsigned decimal number of 1..max_digits digits at pos.
std::optional<int> ReadNumber(std::string_view text, std::size_t& pos, std::size_t max_digits) {
  std::size_t start = pos;
  int value = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return value;
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
}

std::optional<TDateTime> ParseTimePart(std::string_view text, std::size_t& pos) {
  auto hour = ReadNumber(text, pos, 2);
  if (!hour || pos >= text.size() || text[pos] != ':') return std::nullopt;
  ++pos;
  auto minute = ReadNumber(text, pos, 2);
  if (!minute) return std::nullopt;
  int second = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    auto s = ReadNumber(text, pos, 2);
    if (!s) return std::nullopt;
    second = *s;
  }
  return TDateTime::FromTime(*hour, *minute, second);
}

}  // namespace

std::optional<TDateTime> TDateTime::FromDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return std::nullopt;
  return TDateTime(static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))));
}

std::optional<TDateTime> TDateTime::FromTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return std::nullopt;
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return TDateTime(static_cast<double>(ms) / kMsPerDay);
}

std::optional<TDateTime> TDateTime::FromParts(const Parts& p) {
  auto date = FromDate(p.year, p.month, p.day);
  auto time = FromTime(p.hour, p.minute, p.second, p.millisecond);
  if (!date || !time) return std::nullopt;
  // Before 1899-12-30 the fraction counts away from zero, as the day number's convention has it.
  return TDateTime(date->Days() < 0 ? date->Days() - time->Days() : date->Days() + time->Days());
}

TDateTime TDateTime::Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  Parts p{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
          std::min(local.tm_sec, 59), static_cast<int>(ms)};
  return FromParts(p).value_or(TDateTime());
}

TDateTime::Parts TDateTime::Decode() const {
  std::int64_t whole, ms;
  Split(days_, whole, ms);
  Parts p;
  CivilFromDays(whole, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::int64_t TDateTime::WholeDays() const {
  std::int64_t whole, ms;
  Split(days_, whole, ms);
  return whole;
}

std::uint32_t TDateTime::ToPalmSeconds() const {
  if (days_ < kPalmEpochDay) return 0;
  const Parts p = Decode();
  const std::int64_t seconds = (WholeDays() - static_cast<std::int64_t>(kPalmEpochDay)) * 86400 +
                               p.hour * 3600 + p.minute * 60 + p.second;
  return static_cast<std::uint32_t>(seconds);
}

TDateTime TDateTime::FromPalmSeconds(std::uint32_t seconds) {
  if (seconds == 0) return TDateTime();
  return TDateTime(static_cast<double>(seconds / 86400) + kPalmEpochDay + (seconds % 86400) / 86400.0);
}

std::int64_t TDateTime::ToUnixSeconds() const {
  return static_cast<std::int64_t>(std::floor((days_ - kUnixEpochDay) * 86400.0 + 0.5));
}

TDateTime TDateTime::FromUnixSeconds(std::int64_t seconds) {
  return TDateTime(static_cast<double>(seconds) / 86400.0 + kUnixEpochDay);
}

std::int64_t TDateTime::ToUnixMilliseconds() const {
  return static_cast<std::int64_t>(std::floor((days_ - kUnixEpochDay) * static_cast<double>(kMsPerDay) + 0.5));
}

TDateTime TDateTime::FromUnixMilliseconds(std::int64_t milliseconds) {
  // Floor division without negating: the smallest 64-bit value has no positive counterpart.
  std::int64_t days = milliseconds / kMsPerDay;
  std::int64_t rest = milliseconds % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  return TDateTime(static_cast<double>(days) + kUnixEpochDay + static_cast<double>(rest) / kMsPerDay);
}

TDateTime TDateTime::FromHeaderSeconds(std::uint32_t raw, std::int32_t biasMinutes) {
  if ((raw >> 16) == 0) return TDateTime();
  std::uint32_t seconds;
  if ((raw >> 24) > 0x7F) {
    seconds = raw - kPalmToUnixSeconds;
  } else {
    seconds = raw - static_cast<std::uint32_t>(biasMinutes) * 60u;
  }
  return TDateTime(static_cast<double>(seconds / 86400) + kUnixEpochDay + (seconds % 86400) / 86400.0);
}

std::string TDateTime::FormatDate(char separator) const {
  DateText text;
  return std::string(FormatDate(separator, text));
}

std::string_view TDateTime::FormatDate(char separator, DateText& text) const {
  const Parts p = Decode();
  if (p.year > 9999) {
    const int length = std::snprintf(text.data(), text.size(), "%02d%c%02d%c%04d", p.day, separator, p.month,
                                     separator, p.year);
    return {text.data(), static_cast<std::size_t>(length)};
  }
  // By hand: this runs once per date of every exported record.
  text[0] = static_cast<char>('0' + p.day / 10);
  text[1] = static_cast<char>('0' + p.day % 10);
  text[2] = separator;
  text[3] = static_cast<char>('0' + p.month / 10);
  text[4] = static_cast<char>('0' + p.month % 10);
  text[5] = separator;
  text[6] = static_cast<char>('0' + p.year / 1000);
  text[7] = static_cast<char>('0' + p.year / 100 % 10);
  text[8] = static_cast<char>('0' + p.year / 10 % 10);
  text[9] = static_cast<char>('0' + p.year % 10);
  return {text.data(), 10};
}

std::string TDateTime::FormatTimeHHNN() const {
  const Parts p = Decode();
  return TwoDigits(p.hour) + ":" + TwoDigits(p.minute);
}

std::string TDateTime::FormatDateTimeText() const {
  const Parts p = Decode();
  std::string text = FormatDate('/');
  if (p.hour != 0 || p.minute != 0 || p.second != 0 || p.millisecond != 0) {
    text += ' ';
    text += FormatTimeHHNN();
  }
  return text;
}

std::optional<TDateTime> TDateTime::Parse(std::string_view text) {
  std::size_t pos = 0;
  SkipBlanks(text, pos);
  const std::size_t start = pos;
  // A lone time.
  {
    std::size_t probe = pos;
    if (ReadNumber(text, probe, 2) && probe < text.size() && text[probe] == ':') {
      auto time = ParseTimePart(text, pos);
      SkipBlanks(text, pos);
      if (!time || pos != text.size()) return std::nullopt;
      return time;
    }
  }
  pos = start;
  auto day = ReadNumber(text, pos, 2);
  if (!day || pos >= text.size() || text[pos] != '/') return std::nullopt;
  ++pos;
  auto month = ReadNumber(text, pos, 2);
  if (!month || pos >= text.size() || text[pos] != '/') return std::nullopt;
  ++pos;
  const std::size_t year_start = pos;
  auto year = ReadNumber(text, pos, 4);
  if (!year) return std::nullopt;
  if (pos - year_start <= 2) *year += *year < 50 ? 2000 : 1900;
  auto date = FromDate(*year, *month, *day);
  if (!date) return std::nullopt;
  SkipBlanks(text, pos);
  if (pos == text.size()) return date;
  auto time = ParseTimePart(text, pos);
  SkipBlanks(text, pos);
  if (!time || pos != text.size()) return std::nullopt;
  return TDateTime(date->Days() + time->Days());
}

std::int32_t StandardTimeZoneBiasMinutes() {
  // The standard offset is the smaller of the January and July offsets (the other one has
  // daylight saving time added), whichever hemisphere this machine is in.
  const std::time_t now = std::time(nullptr);
  std::tm probe{};
  localtime_r(&now, &probe);
  long smallest = 0;
  bool first = true;
  for (int month : {0, 6}) {
    std::tm t{};
    t.tm_year = probe.tm_year;
    t.tm_mon = month;
    t.tm_mday = 1;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    std::tm local{};
    localtime_r(&when, &local);
    if (first || local.tm_gmtoff < smallest) smallest = local.tm_gmtoff;
    first = false;
  }
  return static_cast<std::int32_t>(-smallest / 60);
}

}  // namespace core
