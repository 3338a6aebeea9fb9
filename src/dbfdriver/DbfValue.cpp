#include "dbfdriver/DbfValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace dbf {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

int ToInt(std::string_view digits) {
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

// Right-aligned in the field as "%*.*f" would write it, without printf's cost (this runs for
// every number of every row written).
void FormatNumber(const FieldDef& field, double number, std::span<char> out) {
  if (!std::isfinite(number)) {
    throw DriverError("22003", "Numeric value out of range for column " + field.name);
  }
  char text[400];
  // Whole numbers without decimals (ids, counts) take the integer conversion, which is several
  // times cheaper and writes the same digits; -0 keeps its sign through the general one.
  const bool whole = field.decimals == 0 && number == std::trunc(number) && std::fabs(number) < 9e15 &&
                     !(number == 0 && std::signbit(number));
  const auto [end, error] =
      whole ? std::to_chars(text, text + sizeof text, static_cast<long long>(number))
            : std::to_chars(text, text + sizeof text, number, std::chars_format::fixed, field.decimals);
  const auto length = static_cast<std::size_t>(end - text);
  if (error != std::errc() || length > out.size()) {
    const std::string_view shown = error == std::errc() ? std::string_view(text, std::min<std::size_t>(length, 40)) : "";
    throw DriverError("22003", "Numeric value out of range: " + std::string(shown) + " does not fit column " +
                                   field.name + " N(" + std::to_string(field.width) + "," +
                                   std::to_string(field.decimals) + ")");
  }
  const std::size_t pad = out.size() - length;
  std::fill_n(out.begin(), pad, ' ');
  std::copy_n(text, length, out.begin() + static_cast<std::ptrdiff_t>(pad));
}

// Copies `text` left-aligned into the field, blanks after it.
void PutText(std::string_view text, std::span<char> out) {
  const std::size_t length = std::min(text.size(), out.size());
  std::copy_n(text.begin(), length, out.begin());
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(length), out.end(), ' ');
}

double NumberOf(const FieldDef& field, const Value& value) {
  if (const double* d = std::get_if<double>(&value)) return *d;
  if (const bool* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
  if (const std::string* s = std::get_if<std::string>(&value)) {
    double number = 0;
    if (ParseNumber(*s, number)) return number;
  }
  throw DriverError("22018", "Invalid character value for the column type: column " + field.name +
                                 " takes numbers");
}

Date DateOf(const FieldDef& field, const Value& value) {
  Date date;
  if (const Date* d = std::get_if<Date>(&value)) {
    date = *d;
  } else if (const std::string* s = std::get_if<std::string>(&value)) {
    if (!ParseDate(*s, date)) date = Date{};
  } else {
    throw DriverError("22018", "Invalid character value for the column type: column " + field.name +
                                   " takes dates");
  }
  if (!IsValidDate(date)) throw DriverError("22007", "Invalid datetime format for column " + field.name);
  return date;
}

}  // namespace

int LayOutFields(std::vector<FieldDef>& fields) {
  int offset = 1;
  for (FieldDef& f : fields) {
    f.offset = offset;
    offset += f.width;
  }
  return offset;
}

bool IsValidDate(const Date& d) {
  if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int days = kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
  return d.day <= days;
}

bool ParseDate(std::string_view text, Date& out) {
  text = Trim(text);
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-' && AllDigits(text.substr(0, 4)) &&
      AllDigits(text.substr(5, 2)) && AllDigits(text.substr(8, 2))) {
    // A timestamp's time part is allowed and dropped.
    if (text.size() > 10 && text[10] != ' ' && text[10] != 'T') return false;
    out = Date{ToInt(text.substr(0, 4)), ToInt(text.substr(5, 2)), ToInt(text.substr(8, 2))};
  } else if (text.size() == 8 && AllDigits(text)) {
    out = Date{ToInt(text.substr(0, 4)), ToInt(text.substr(4, 2)), ToInt(text.substr(6, 2))};
  } else if (text.size() == 10 && text[2] == '.' && text[5] == '.' && AllDigits(text.substr(0, 2)) &&
             AllDigits(text.substr(3, 2)) && AllDigits(text.substr(6, 4))) {
    out = Date{ToInt(text.substr(6, 4)), ToInt(text.substr(3, 2)), ToInt(text.substr(0, 2))};
  } else {
    return false;
  }
  return IsValidDate(out);
}

std::string FormatDate(const Date& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
  return text;
}

bool ParseNumber(std::string_view text, double& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

void EncodeField(const FieldDef& field, const Value& value, std::span<char> out, std::vector<Warning>& warnings) {
  const auto width = static_cast<std::size_t>(field.width);
  if (out.size() != width) throw DriverError("HY000", "Column " + field.name + " does not fit its record");
  if (IsNull(value)) {
    std::fill(out.begin(), out.end(), ' ');
    return;
  }
  switch (field.type) {
    case 'C': {
      std::string formatted;
      std::string_view text;
      if (const std::string* s = std::get_if<std::string>(&value)) {
        text = *s;
      } else if (const double* d = std::get_if<double>(&value)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", *d);
        text = formatted = buffer;
      } else if (const bool* b = std::get_if<bool>(&value)) {
        text = *b ? "T" : "F";
      } else {
        text = formatted = FormatDate(std::get<Date>(value));
      }
      if (text.size() > width) {
        warnings.push_back({"01004", "String data, right truncated: column " + field.name + " holds " +
                                         std::to_string(width) + " characters, the value had " +
                                         std::to_string(text.size())});
      }
      PutText(text, out);
      return;
    }
    case 'N':
    case 'F':
      FormatNumber(field, NumberOf(field, value), out);
      return;
    case 'D': {
      const Date d = DateOf(field, value);
      char text[32];
      std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
      PutText(std::string_view(text, 8), out);
      return;
    }
    case 'L': {
      bool flag = false;
      if (const bool* b = std::get_if<bool>(&value)) {
        flag = *b;
      } else if (const double* d = std::get_if<double>(&value)) {
        flag = *d != 0;
      } else if (const std::string* s = std::get_if<std::string>(&value)) {
        const std::string_view t = Trim(*s);
        if (t.size() != 1 || std::string_view("TtYy1FfNn0").find(t[0]) == std::string_view::npos)
          throw DriverError("22018", "Invalid character value for the column type: column " + field.name +
                                         " takes T or F");
        flag = std::string_view("TtYy1").find(t[0]) != std::string_view::npos;
      } else {
        throw DriverError("22018", "Invalid character value for the column type: column " + field.name);
      }
      PutText(flag ? "T" : "F", out);
      return;
    }
    default:
      throw DriverError("HYC00", "Column " + field.name + " has a type this driver does not write: " +
                                     std::string(1, field.type));
  }
}

void EncodeField(const FieldDef& field, const Value& value, std::string& row, std::vector<Warning>& warnings) {
  const auto offset = static_cast<std::size_t>(field.offset);
  if (field.offset < 0 || offset + static_cast<std::size_t>(field.width) > row.size())
    throw DriverError("HY000", "Column " + field.name + " lies outside its record");
  EncodeField(field, value, std::span<char>(row).subspan(offset, static_cast<std::size_t>(field.width)), warnings);
}

Value DecodeField(const FieldDef& field, std::string_view raw) {
  switch (field.type) {
    case 'C': {
      while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\0')) raw.remove_suffix(1);
      if (raw.empty()) return {};
      return std::string(raw);
    }
    case 'N':
    case 'F': {
      double number = 0;
      if (!ParseNumber(raw, number)) return {};
      return number;
    }
    case 'D': {
      Date date;
      if (raw.size() < 8 || !AllDigits(raw.substr(0, 8)) || !ParseDate(raw.substr(0, 8), date)) return {};
      return date;
    }
    case 'L': {
      if (raw.empty()) return {};
      if (std::string_view("TtYy").find(raw[0]) != std::string_view::npos) return true;
      if (std::string_view("FfNn").find(raw[0]) != std::string_view::npos) return false;
      return {};
    }
    default: {
      const std::string_view t = Trim(raw);
      if (t.empty()) return {};
      return std::string(t);
    }
  }
}

int CompareValues(const Value& a, const Value& b) {
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  if (a.index() == b.index()) {
    if (const std::string* s = std::get_if<std::string>(&a)) return sign(*s, std::get<std::string>(b));
    if (const double* d = std::get_if<double>(&a)) return sign(*d, std::get<double>(b));
    if (const bool* f = std::get_if<bool>(&a)) return sign(*f, std::get<bool>(b));
    if (const Date* t = std::get_if<Date>(&a)) return sign(*t, std::get<Date>(b));
    return 0;
  }
  // Mixed kinds: a text or truth value read as the other side's kind.
  if (std::holds_alternative<std::string>(b) || (std::holds_alternative<bool>(b) && !std::holds_alternative<std::string>(a)))
    return -CompareValues(b, a);
  const std::string* text = std::get_if<std::string>(&a);
  if (text) {
    double number = 0;
    Date date;
    if (std::holds_alternative<double>(b) && ParseNumber(*text, number)) return sign(number, std::get<double>(b));
    if (std::holds_alternative<Date>(b) && ParseDate(*text, date)) return sign(date, std::get<Date>(b));
    if (const bool* f = std::get_if<bool>(&b)) {
      const bool mine = !text->empty() && std::string_view("TtYy1").find((*text)[0]) != std::string_view::npos;
      return sign(mine, *f);
    }
  } else if (const bool* f = std::get_if<bool>(&a)) {
    if (const double* d = std::get_if<double>(&b)) return sign(*f ? 1.0 : 0.0, *d);
  }
  throw DriverError("22018", "Invalid character value for the column type: the values cannot be compared");
}

}  // namespace dbf
