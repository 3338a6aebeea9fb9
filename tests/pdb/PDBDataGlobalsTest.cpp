#include "pdb/PDBDataGlobals.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pdb {
namespace {

TEST(PDBDataGlobals, SwapsReverseBytesAndAreTheirOwnInverse) {
  EXPECT_EQ(Swap16(0x1234), 0x3412);
  EXPECT_EQ(Swap32(0x12345678u), 0x78563412u);
  EXPECT_EQ(Swap64(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(SwapSingle(SwapSingle(1.5f)), 1.5f);
  EXPECT_EQ(SwapDouble(SwapDouble(-2.25)), -2.25);
  // 1.5 is 3F C0 00 00; swapped it reads as the float with bits 00 00 C0 3F.
  const float swapped = SwapSingle(1.5f);
  std::uint32_t bits;
  std::memcpy(&bits, &swapped, 4);
  EXPECT_EQ(bits, 0x0000C03Fu);
}

TEST(PDBDataGlobals, FlagSetMapsToHeaderAttributeBits) {
  struct Case {
    TDBEnumFlags flag;
    std::uint16_t bit;
  };
  for (auto c : {Case{dmHdrAttrReadOnly, 0x0002}, Case{dmHdrAttrAppInfoDirty, 0x0004}, Case{dmHdrAttrBackup, 0x0008},
                 Case{dmHdrAttrOKToInstallNewer, 0x0010}, Case{dmHdrAttrResetAfterInstall, 0x0020},
                 Case{dmHdrAttrCopyPrevention, 0x0040}}) {
    EXPECT_EQ(TDBFlags{c.flag}.ToAttributes(), c.bit);
    EXPECT_TRUE(TDBFlags::FromAttributes(c.bit).Contains(c.flag));
  }
  // Bits outside 1..6 (bit 0 = resource database, bit 15 = open) are not part of the set.
  EXPECT_TRUE(TDBFlags::FromAttributes(0x8001).Empty());
  EXPECT_EQ(TDBFlags::FromAttributes(0x800A), (TDBFlags{dmHdrAttrReadOnly, dmHdrAttrBackup}));
}

}  // namespace
}  // namespace pdb
