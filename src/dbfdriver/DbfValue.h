// Values as the driver handles them between SQL, ODBC buffers and dBase fields, and their
// encoding into the fixed-width text of a dBase III record.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dbfdriver/DriverError.h"

namespace dbf {

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const Date&, const Date&) = default;
  friend auto operator<=>(const Date&, const Date&) = default;
};

// NULL, text bytes (never transcoded), a number, a truth value or a calendar date.
using Value = std::variant<std::monostate, std::string, double, bool, Date>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// One column of a dBase III table: type letter C, N, D or L, width and decimals as in the file
// header; offset is the position in the record (after the deletion flag).
struct FieldDef {
  std::string name;
  char type = 'C';
  int width = 1;
  int decimals = 0;
  int offset = 1;
};

// Lays out offsets after the deletion flag; returns the record length.
int LayOutFields(std::vector<FieldDef>& fields);

bool IsValidDate(const Date& d);
// "yyyy-mm-dd", "yyyymmdd" or "dd.mm.yyyy"; nullopt-like failure through the bool.
bool ParseDate(std::string_view text, Date& out);
std::string FormatDate(const Date& d);  // yyyy-mm-dd
// A decimal number as SQL writes it (sign, digits, point, exponent); blanks around allowed.
bool ParseNumber(std::string_view text, double& out);

// Writes `value` into `out`, the field's field.width bytes. NULL becomes blanks. A text longer
// than a character column is cut and reported in `warnings` (01004); a number that does not
// fit throws 22003, an invalid date 22007, a text that is no number 22018.
void EncodeField(const FieldDef& field, const Value& value, std::span<char> out, std::vector<Warning>& warnings);
// The same into the field's place in a whole record.
void EncodeField(const FieldDef& field, const Value& value, std::string& row, std::vector<Warning>& warnings);

// Reads a field's bytes back: blanks are NULL, texts lose their trailing blanks.
Value DecodeField(const FieldDef& field, std::string_view raw);

// Orders two values of comparable kinds (texts by bytes, numbers, dates, truth values); a
// text compared with a number or date is read as one. Throws 22018 for kinds that never meet.
int CompareValues(const Value& a, const Value& b);

}  // namespace dbf
