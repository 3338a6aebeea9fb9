// The date-time of the whole system: a day number counted from 30 December 1899 with the time
// of day as fraction (01/01/1904 is day 1462, 01/01/1970 day 25569), and every conversion to
// and from the other clocks the exchange files use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

class TDateTime {
 public:
  static constexpr double kPalmEpochDay = 1462;    // 01/01/1904
  static constexpr double kUnixEpochDay = 25569;   // 01/01/1970
  static constexpr std::uint32_t kPalmToUnixSeconds = 2082844800;  // 1904 -> 1970

  struct Parts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
  };

  constexpr TDateTime() = default;
  constexpr explicit TDateTime(double days) : days_(days) {}
  constexpr double Days() const { return days_; }
  constexpr bool IsZero() const { return days_ == 0; }
  friend constexpr auto operator<=>(TDateTime, TDateTime) = default;

  // A calendar date at 00:00, or nothing when the parts name no date (years 1..9999).
  static std::optional<TDateTime> FromDate(int year, int month, int day);
  // A time of day (date part 0), or nothing when a part is out of range.
  static std::optional<TDateTime> FromTime(int hour, int minute, int second, int millisecond = 0);
  static std::optional<TDateTime> FromParts(const Parts& parts);
  // The local date and time now.
  static TDateTime Now();

  // Calendar parts; the time of day is rounded to the millisecond.
  Parts Decode() const;
  // Whole days (the date part, truncated toward zero).
  std::int64_t WholeDays() const;

  // Seconds since 1904-01-01 00:00 without time-zone adjustment, as Palm records and headers
  // store them; values before 1904 give 0, the result wraps at 32 bits.
  std::uint32_t ToPalmSeconds() const;
  // The reverse; 0 gives no date (0).
  static TDateTime FromPalmSeconds(std::uint32_t seconds);
  // Seconds since 1970-01-01 (no time-zone adjustment) and back.
  std::int64_t ToUnixSeconds() const;
  static TDateTime FromUnixSeconds(std::int64_t seconds);
  // Milliseconds since 1970-01-01 and back.
  std::int64_t ToUnixMilliseconds() const;
  static TDateTime FromUnixMilliseconds(std::int64_t milliseconds);

  // A date field of a Palm database header. Values whose first byte is above 0x7F count seconds
  // since 1904 local time; smaller ones count seconds since 1970 UTC and are moved to local time
  // by the standard time-zone bias (minutes, UTC minus local). A value whose first two bytes are
  // zero is no date.
  static TDateTime FromHeaderSeconds(std::uint32_t raw, std::int32_t biasMinutes);

  // "dd<sep>mm<sep>yyyy".
  std::string FormatDate(char separator) const;
  // Ten characters for the years 1..9999; the last moment of 9999 rounds up into year 10000.
  using DateText = std::array<char, 16>;
  // The same written into `text`, for callers that format a date per record and keep no copy.
  std::string_view FormatDate(char separator, DateText& text) const;
  // "hh:nn".
  std::string FormatTimeHHNN() const;
  // The data-set text of a date-time: "dd/mm/yyyy", then " hh:nn" unless the time of day is 0.
  std::string FormatDateTimeText() const;
  // Parses "d/m/yyyy" (or two-digit years), optionally followed by " h:n[:s]", or a lone time
  // "h:n[:s]". Nothing when the text is no date-time.
  static std::optional<TDateTime> Parse(std::string_view text);

 private:
  double days_ = 0;
};

// The standard (non-daylight) time-zone bias of this machine in minutes: UTC minus local time.
std::int32_t StandardTimeZoneBiasMinutes();

}  // namespace core
