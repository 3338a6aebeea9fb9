#include "core/PalmPropertyRules.h"

#include <gtest/gtest.h>

#include <string>

namespace core {
namespace {

TEST(PalmPropertyRules, EachPropertyKeepsItsOwnRules) {
  using enum PalmProperty;
  using enum PalmPropertyFault;
  struct Case {
    PalmProperty property;
    std::string current, value;
    PalmPropertyFault fault;
  };
  const std::string name31(31, 'N');
  const Case cases[] = {
      {FileName, "", "a.pdb", None},
      {FileName, "", "x.PdB", None},
      {FileName, "", "a.txt", WrongLength},
      {FileName, "", "pdb", WrongLength},
      {FileName, "", "dir.pdb/file", WrongLength},
      {FileName, "", "a\tb.pdb", InvalidCharacters},
      {FileName, "", "a.txt\x01", WrongLength},  // the extension is checked first
      {DatabaseName, "", name31, None},
      {DatabaseName, "", " " + name31 + " ", None},
      {DatabaseName, "", name31 + "x", WrongLength},
      {DatabaseName, "", "Caf\xE9", InvalidCharacters},
      {CreatorID, "", "PmOr", None},
      {CreatorID, "", " Pm1 ", WrongLength},
      {CreatorID, "", "Pm-r", InvalidCharacters},
      {DatabaseType, "", "DA A", InvalidCharacters},
      {DatabaseType, "", "DATAS", WrongLength},
      // A blank value, or one equal to the current value, passes unchecked.
      {DatabaseType, "DATA", "   ", None},
      {CreatorID, "a-b!", "a-b!", None},
      {CreatorID, "a-b!", "A-B!", InvalidCharacters},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckPalmProperty(c.property, c.current, c.value), c.fault)
        << static_cast<int>(c.property) << " '" << c.value << "'";
}

}  // namespace
}  // namespace core
