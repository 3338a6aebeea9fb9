#include "core/Encoding.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <unordered_map>

namespace core {
namespace {

// The Windows-1251 table, read once from ICU's converter: byte -> UTF-16 unit and back.
struct CodePage {
  std::array<char16_t, 256> toUnicode{};
  std::unordered_map<char16_t, unsigned char> fromUnicode;

  CodePage() {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-1251", &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU has no windows-1251 converter");
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      UChar unit = 0xFFFD;
      status = U_ZERO_ERROR;
      int32_t n = ucnv_toUChars(conv, &unit, 1, &byte, 1, &status);
      if (U_FAILURE(status) || n != 1) unit = 0xFFFD;
      toUnicode[static_cast<std::size_t>(b)] = unit;
      if (unit != 0xFFFD) fromUnicode.emplace(unit, static_cast<unsigned char>(b));
    }
    ucnv_close(conv);
  }
};

const CodePage& Cp1251() {
  static const CodePage table;  // immutable once built
  return table;
}

icu::UnicodeString ToUnicode(std::string_view ansi) {
  const auto& cp = Cp1251();
  icu::UnicodeString out;
  UChar* buf = out.getBuffer(static_cast<int32_t>(ansi.size()));
  for (std::size_t i = 0; i < ansi.size(); ++i) buf[i] = cp.toUnicode[static_cast<unsigned char>(ansi[i])];
  out.releaseBuffer(static_cast<int32_t>(ansi.size()));
  return out;
}

std::string EnvLocale(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value && *value) {
      std::string id(value);
      // "ru_RU.UTF-8@euro" -> "ru_RU"
      if (auto cut = id.find_first_of(".@"); cut != std::string::npos) id.resize(cut);
      if (id == "C" || id == "POSIX") return "en_US_POSIX";
      return id;
    }
  }
  return "en_US_POSIX";
}

unsigned char FoldByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0) return static_cast<unsigned char>(c - 32);  // а..я -> А..Я
  if (c == 0xB8) return 0xA8;                                 // ё -> Ё
  return c;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  ToUnicode(ansi).toUTF8String(out);
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const auto& cp = Cp1251();
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  std::string out;
  out.reserve(static_cast<std::size_t>(text.length()));
  for (int32_t i = 0; i < text.length(); ++i) {
    auto it = cp.fromUnicode.find(text.charAt(i));
    out += it != cp.fromUnicode.end() ? static_cast<char>(it->second) : '?';
  }
  return out;
}

std::optional<char> UnicodeToAnsi(char32_t character) {
  if (character > 0xFFFF) return std::nullopt;
  const auto& cp = Cp1251();
  const auto it = cp.fromUnicode.find(static_cast<char16_t>(character));
  if (it == cp.fromUnicode.end()) return std::nullopt;
  return static_cast<char>(it->second);
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldByte(static_cast<unsigned char>(a[i])) != FoldByte(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

std::string UserCollationLocale() { return EnvLocale({"LC_ALL", "LC_COLLATE", "LANG"}); }
std::string UserCaseLocale() { return EnvLocale({"LC_ALL", "LC_CTYPE", "LANG"}); }

AnsiUpperCaser::AnsiUpperCaser(std::string locale) : locale_(std::move(locale)) {}

std::string AnsiUpperCaser::operator()(std::string_view ansi) const {
  // Plain ASCII needs no ICU round trip (except where the locale has its own rule for 'i').
  bool ascii = true;
  for (char c : ansi) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii && locale_.rfind("tr", 0) != 0 && locale_.rfind("az", 0) != 0) return UpperAscii(ansi);

  const auto& cp = Cp1251();
  const icu::Locale locale(locale_.c_str());
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) {
    icu::UnicodeString one(cp.toUnicode[static_cast<unsigned char>(c)]);
    one.toUpper(locale);
    auto it = one.length() == 1 ? cp.fromUnicode.find(one.charAt(0)) : cp.fromUnicode.end();
    out += it != cp.fromUnicode.end() ? static_cast<char>(it->second) : c;
  }
  return out;
}

struct AnsiCollator::Impl {
  std::unique_ptr<icu::Collator> collator;
};

AnsiCollator::AnsiCollator(const std::string& locale) : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  impl_->collator.reset(icu::Collator::createInstance(icu::Locale(locale.c_str()), status));
  if (U_FAILURE(status) || !impl_->collator) throw std::runtime_error("cannot create an ICU collator for " + locale);
  impl_->collator->setStrength(icu::Collator::SECONDARY);  // letter case ignored
}

AnsiCollator::~AnsiCollator() = default;

std::string AnsiCollator::SortKey(std::string_view ansi) const {
  const icu::UnicodeString text = ToUnicode(ansi);
  std::string key(ansi.size() * 4 + 16, '\0');
  int32_t n = impl_->collator->getSortKey(text, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
  if (n > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<std::size_t>(n));
    n = impl_->collator->getSortKey(text, reinterpret_cast<uint8_t*>(key.data()), n);
  }
  key.resize(n > 0 ? static_cast<std::size_t>(n) - 1 : 0);  // drop the terminating zero
  return key;
}

int AnsiCollator::Compare(std::string_view a, std::string_view b) const {
  UErrorCode status = U_ZERO_ERROR;
  return impl_->collator->compare(ToUnicode(a), ToUnicode(b), status);
}

}  // namespace core
