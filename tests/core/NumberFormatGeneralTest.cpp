// FormatGeneral takes the shortest round-trip digits when there are at most 15 of them and
// rounds to 15 digits otherwise. Both roads must give what rounding every value to 15
// significant digits gives; the reference here does that rounding through printf.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "core/NumberFormat.h"

namespace {

std::string ReferenceGeneral(double value) {
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  const char* e = std::strchr(static_cast<const char*>(buf), 'e');
  const int exponent = std::atoi(e + 1);
  std::string digits = std::string(1, buf[0]) + std::string(static_cast<const char*>(buf) + 2, e);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = value < 0 ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "," + digits.substr(1);
    out += "E";
    if (exponent < 0) out += "-";
    return out + std::to_string(std::abs(exponent));
  }
  if (exponent < 0) return out + "0," + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  const auto whole = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= whole) return out + digits + std::string(whole - digits.size(), '0');
  return out + digits.substr(0, whole) + "," + digits.substr(whole);
}

TEST(NumberFormatGeneral, AgreesWithFifteenDigitRoundingOnManyValues) {
  std::mt19937_64 gen(20261207);
  std::uniform_int_distribution<std::uint64_t> bits;
  std::uniform_int_distribution<int> cents(0, 10'000'000);
  std::uniform_int_distribution<int> scale(-25, 25);
  for (int i = 0; i < 100'000; ++i) {
    // Money-like values (short digits), the same values after arithmetic (17 digits), and
    // arbitrary bit patterns over the whole range.
    const double money = cents(gen) / 100.0;
    const double computed = money * 1.1 + 0.1;
    double any = 0;
    const std::uint64_t raw = bits(gen);
    std::memcpy(&any, &raw, sizeof any);
    const double scaled = money * std::pow(10.0, scale(gen));
    for (double v : {money, -money, computed, scaled, any}) {
      if (!std::isfinite(v)) continue;
      ASSERT_EQ(core::FormatGeneral(v), ReferenceGeneral(v)) << v;
    }
  }
}

TEST(NumberFormatGeneral, AgreesAtTheEdges) {
  const double values[] = {0.1 + 0.2, 1e15, 999999999999999.0, 999999999999999.4, 999999999999999.6,
                           1e-5, 0.99999999999999995e-5, 9.999999999999995, 0.5, 123456789012345678.0,
                           std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(), 2.5e-308, 1234.5, 10.0, 2.5,
                           1.23456789012345e-308, 0.0001, 0.00012345, 99999999999.9999, 100000000000.0001};
  core::GeneralFormatBuffer buffer;
  for (double v : values) {
    EXPECT_EQ(core::FormatGeneral(v), ReferenceGeneral(v)) << v;
    EXPECT_EQ(core::FormatGeneral(-v), ReferenceGeneral(-v)) << v;
    EXPECT_EQ(core::FormatGeneral(-v, buffer), ReferenceGeneral(-v)) << v;  // the longest texts fit
  }
}

}  // namespace
