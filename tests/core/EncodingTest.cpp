#include <gtest/gtest.h>

#include <algorithm>

#include "core/Encoding.h"
#include "core/Messages.h"
#include "support/TempDir.h"

using namespace core;

TEST(Encoding, Windows1251RoundTripsThroughUtf8) {
  const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8";  // "Привет Ёё"
  EXPECT_EQ(AnsiToUtf8(ansi), "Привет Ёё");
  EXPECT_EQ(Utf8ToAnsi("Привет Ёё"), ansi);
  EXPECT_EQ(Utf8ToAnsi("日本"), "??");
}

TEST(Encoding, SameTextFoldsLatinAndCyrillic) {
  EXPECT_TRUE(AnsiSameText("IdCustomer", "IDCUSTOMER"));
  EXPECT_TRUE(AnsiSameText(Utf8ToAnsi("цена"), Utf8ToAnsi("ЦЕНА")));
  EXPECT_TRUE(AnsiSameText(Utf8ToAnsi("ёлка"), Utf8ToAnsi("Ёлка")));
  EXPECT_FALSE(AnsiSameText("Id", "Idx"));
  EXPECT_FALSE(AnsiSameText("Ie", "Id"));
}

TEST(Encoding, UpperCasesCyrillicInTheLocale) {
  AnsiUpperCaser upper("ru_RU");
  EXPECT_EQ(AnsiToUtf8(upper(Utf8ToAnsi("молоко ёж abc 7"))), "МОЛОКО ЁЖ ABC 7");
  AnsiUpperCaser turkish("tr_TR");
  EXPECT_EQ(turkish("i"), "i");  // dotted capital I is not in Windows-1251: the byte stays
}

TEST(Encoding, CollationKeysOrderCaseInsensitivelyInTheLocale) {
  AnsiCollator collator("ru_RU");
  std::vector<std::string> words = {"яблоко", "Арбуз", "ёж", "Банан", "апельсин", "Zebra", "apple"};
  std::vector<std::pair<std::string, std::string>> keyed;
  for (const auto& w : words) {
    auto ansi = Utf8ToAnsi(w);
    keyed.emplace_back(collator.SortKey(ansi), w);
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::string> sorted;
  for (auto& [k, w] : keyed) sorted.push_back(w);
    // Russian collation puts Cyrillic script before Latin.
  EXPECT_EQ(sorted, (std::vector<std::string>{"апельсин", "Арбуз", "Банан", "ёж", "яблоко", "apple", "Zebra"}));
  EXPECT_EQ(collator.SortKey(Utf8ToAnsi("ДОМ")), collator.SortKey(Utf8ToAnsi("дом")));
  EXPECT_EQ(collator.Compare("abc", "ABC"), 0);
}

TEST(Encoding, UserLocaleComesFromTheEnvironment) {
  testsupport::ScopedEnv all("LC_ALL", nullptr);
  testsupport::ScopedEnv collate("LC_COLLATE", "ru_RU.UTF-8");
  EXPECT_EQ(UserCollationLocale(), "ru_RU");
  testsupport::ScopedEnv c("LC_COLLATE", "C");
  EXPECT_EQ(UserCollationLocale(), "en_US_POSIX");
}

namespace {
constexpr MessageText kTexts[] = {
    {14030, "PDB File does not exist!", "Arquivo PDB não existe!"},
    {14060, "File is not in Palm Database Format (PDB)!", "Arquivo não está no formato Palm Database (PDB)!"},
};
}  // namespace

TEST(Messages, LanguageFollowsTheLocale) {
  const MessageTable table(kTexts);
  testsupport::ScopedEnv all("LC_ALL", nullptr);
  testsupport::ScopedEnv messages("LC_MESSAGES", nullptr);
  {
    testsupport::ScopedEnv lang("LANG", "pt_BR.UTF-8");
    EXPECT_EQ(table.Load(14030), "Arquivo PDB não existe!");
  }
  {
    testsupport::ScopedEnv lang("LANG", "PT_pt");
    EXPECT_EQ(table.Load(14030), "Arquivo PDB não existe!");
  }
  {
    testsupport::ScopedEnv lang("LANG", "en_US.UTF-8");
    EXPECT_EQ(table.Load(14030), "PDB File does not exist!");
  }
  EXPECT_EQ(table.Load(14031, MessageLanguage::English), "Arquivo PDB não existe!");
  EXPECT_EQ(table.Load(14060, MessageLanguage::English), "File is not in Palm Database Format (PDB)!");
}
