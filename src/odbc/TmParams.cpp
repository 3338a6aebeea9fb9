#include "odbc/TmParams.h"

#include <stdexcept>

#include "core/Encoding.h"

namespace odbc {

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"'; }

bool IsNameDelimiter(char c) {
  return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
}

// Removes one leading and one trailing `quote`, each only where present.
void StripQuote(std::string& name, char quote) {
  if (!name.empty() && name.front() == quote) name.erase(0, 1);
  if (!name.empty() && name.back() == quote) name.pop_back();
}

}  // namespace

TParsedSQL ParseSQLParams(std::string_view sql) {
  TParsedSQL result;
  result.text.reserve(sql.size());
  bool inLiteral = false;
  std::size_t pos = 0;
  while (pos < sql.size()) {
    const char c = sql[pos];
    if (c == ':' && !inLiteral) {
      if (pos + 1 < sql.size() && sql[pos + 1] == ':') {
        result.text += ':';
        pos += 2;
        continue;
      }
      std::size_t end = pos + 1;
      while (end < sql.size()) {
        const char n = sql[end];
        if (IsQuote(n)) {
          inLiteral = !inLiteral;
        } else if (!inLiteral && IsNameDelimiter(n)) {
          break;
        }
        ++end;
      }
      std::string name(sql.substr(pos + 1, end - pos - 1));
      if (name.empty()) {  // a lone colon names nothing
        result.text += ':';
        ++pos;
        continue;
      }
      if (IsQuote(name.front())) {
        StripQuote(name, '\'');
        StripQuote(name, '"');
      }
      result.names.push_back(std::move(name));
      result.text += '?';
      // The delimiter that ended the name is copied without being examined again.
      if (end < sql.size()) result.text += sql[end++];
      pos = end;
      continue;
    }
    if (IsQuote(c)) inLiteral = !inLiteral;
    result.text += c;
    ++pos;
  }
  return result;
}

void TmParam::Set(dataset::TFieldType type, Value value) {
  dataType_ = type;
  value_ = std::move(value);
  bound_ = true;
}

void TmParam::Clear() {
  value_ = std::monostate{};
  bound_ = true;
}

std::string TmParam::AsString() const {
  if (IsNull()) return {};
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  if (const auto* number = std::get_if<std::int64_t>(&value_)) return std::to_string(*number);
  throw std::invalid_argument("Parameter '" + name_ + "' does not hold text");
}

std::int64_t TmParam::AsInteger() const {
  if (IsNull()) return 0;
  if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number;
  if (const auto* flag = std::get_if<bool>(&value_)) return *flag ? 1 : 0;
  throw std::invalid_argument("Parameter '" + name_ + "' does not hold an integer");
}

double TmParam::AsFloat() const {
  if (IsNull()) return 0;
  if (const auto* number = std::get_if<double>(&value_)) return *number;
  if (const auto* whole = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*whole);
  if (const auto* moment = std::get_if<core::TDateTime>(&value_)) return moment->Days();
  throw std::invalid_argument("Parameter '" + name_ + "' does not hold a number");
}

bool TmParam::AsBoolean() const {
  if (IsNull()) return false;
  if (const auto* flag = std::get_if<bool>(&value_)) return *flag;
  if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number != 0;
  throw std::invalid_argument("Parameter '" + name_ + "' does not hold a boolean");
}

core::TDateTime TmParam::AsDateTime() const {
  if (IsNull()) return core::TDateTime(0);
  if (const auto* moment = std::get_if<core::TDateTime>(&value_)) return *moment;
  if (const auto* number = std::get_if<double>(&value_)) return core::TDateTime(*number);
  throw std::invalid_argument("Parameter '" + name_ + "' does not hold a date-time");
}

void TmParam::AssignValue(const TmParam& other) {
  dataType_ = other.dataType_;
  value_ = other.value_;
  bound_ = other.bound_;
}

TmParam& TmParams::CreateParam(std::string name, TParamType paramType) {
  items_.emplace_back(std::move(name), paramType);
  return items_.back();
}

TmParam* TmParams::FindParam(std::string_view name) {
  for (TmParam& param : items_) {
    if (core::AnsiSameText(param.Name(), name)) return &param;
  }
  return nullptr;
}

const TmParam* TmParams::FindParam(std::string_view name) const {
  return const_cast<TmParams*>(this)->FindParam(name);
}

TmParam& TmParams::ParamByName(std::string_view name) {
  if (TmParam* param = FindParam(name)) return *param;
  throw std::out_of_range("Parameter '" + std::string(name) + "' not found");
}

void TmParams::AssignValues(const TmParams& other) {
  for (TmParam& param : items_) {
    if (const TmParam* source = other.FindParam(param.Name())) param.AssignValue(*source);
  }
}

TmParams TmParams::FromNames(const std::vector<std::string>& names) {
  TmParams params;
  for (const std::string& name : names) {
    if (!params.FindParam(name)) params.CreateParam(name);
  }
  return params;
}

}  // namespace odbc
