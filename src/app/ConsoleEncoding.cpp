#include "app/ConsoleEncoding.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <memory>

#ifndef _WIN32
#include <langinfo.h>
#include <locale.h>
#endif

namespace app {

namespace {

constexpr const char* kAscii = "US-ASCII";
// Russian by the BGN/PCGN rules first, then any other script, then Latin accents dropped.
constexpr const char* kTransliteration = "Russian-Latin/BGN; Any-Latin; Latin-ASCII";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

std::string LocaleFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

// The text in the converter's set; false (and nothing useful in `out`) when a character does not
// fit and `substitute` is off.
bool Encode(UConverter* converter, const icu::UnicodeString& text, bool substitute, std::string& out) {
  UErrorCode status = U_ZERO_ERROR;
  if (substitute) {
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    ucnv_setSubstChars(converter, "?", 1, &status);
  } else {
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  ucnv_resetFromUnicode(converter);
  out.resize(static_cast<std::size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(text.length(), ucnv_getMaxCharSize(converter))));
  const int32_t length =
      ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.getBuffer(), text.length(), &status);
  if (U_FAILURE(status)) return false;
  out.resize(static_cast<std::size_t>(length));
  return true;
}

}  // namespace

std::string CharsetOfLocale(std::string_view localeName) {
  if (localeName.empty() || localeName == "C" || localeName == "POSIX") return kAscii;
  const std::size_t dot = localeName.find('.');
  if (dot != std::string_view::npos) {
    std::string_view codeset = localeName.substr(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    if (!codeset.empty()) return std::string(codeset);
  }
#ifdef _WIN32
  return "UTF-8";
#else
  // A locale without a codeset ("ru_RU") has the set its definition gives; one that is not
  // installed leaves the C library in the "C" locale.
  const std::string name(localeName);
  locale_t locale = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return kAscii;
  std::string charset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return charset.empty() ? kAscii : charset;
#endif
}

ConsoleEncoding::ConsoleEncoding(std::string charset)
    : charset_(std::move(charset)), utf8_(ucnv_compareNames(charset_.c_str(), "UTF-8") == 0) {}

ConsoleEncoding ConsoleEncoding::ForLocale() { return ConsoleEncoding(CharsetOfLocale(LocaleFromEnvironment())); }

std::string ConsoleEncoding::operator()(std::string_view utf8) const {
  if (utf8_) return std::string(utf8);
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(charset_.c_str(), &status));
  if (U_FAILURE(status)) converter.reset(ucnv_open(kAscii, &(status = U_ZERO_ERROR)));
  if (U_FAILURE(status)) return std::string(utf8);

  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  std::string out;
  if (Encode(converter.get(), text, false, out)) return out;

  // Transliterate the runs of characters the set lacks (a run at once, so that a word keeps its
  // context), keep the rest as it is.
  std::unique_ptr<icu::Transliterator> transliterator(icu::Transliterator::createInstance(
      icu::UnicodeString(kTransliteration, -1, US_INV), UTRANS_FORWARD, status = U_ZERO_ERROR));
  if (U_FAILURE(status)) transliterator.reset();
  icu::UnicodeString result;
  icu::UnicodeString run;
  std::string ignored;
  auto flushRun = [&] {
    if (run.isEmpty()) return;
    if (transliterator) transliterator->transliterate(run);
    result += run;
    run.remove();
  };
  for (int32_t i = 0; i < text.length();) {
    const UChar32 c = text.char32At(i);
    const icu::UnicodeString one(c);
    if (Encode(converter.get(), one, false, ignored)) {
      flushRun();
      result += one;
    } else {
      run += one;
    }
    i += U16_LENGTH(c);
  }
  flushRun();
  if (!Encode(converter.get(), result, true, out)) return std::string(utf8);
  return out;
}

}  // namespace app
