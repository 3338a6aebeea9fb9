// Machine-readable result rows of the benchmarks, next to their human output. Each row is
//
//   BENCH|<measurement>|<value>|<reference>|<ratio>|<target>|PASS or FAIL or INFO
//
// where value and reference carry their units, ratio is the figure the target applies to and
// target reads "<= 2" or ">= 1.5" (or "-" for a figure without one, marked INFO).
// scripts/bench.sh gathers the rows of every benchmark into one table.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace bench {

enum class Goal { AtMost, AtLeast, None };

inline std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
inline std::string Seconds(double seconds) { return Format("%.4f s", seconds); }
inline std::string MiB(double bytes) { return Format("%.1f MiB", bytes / (1024.0 * 1024.0)); }
inline std::string PerSecond(double count, std::string_view unit) {
  return Format("%.0f ", count) + std::string(unit) + "/s";
}

// Prints the row and returns whether the ratio meets its target (true without one).
inline bool Row(std::string_view measurement, std::string_view value, std::string_view reference, double ratio,
                Goal goal, double target) {
  const bool pass = goal == Goal::None || (goal == Goal::AtMost ? ratio <= target : ratio >= target);
  const std::string targetText = goal == Goal::None ? std::string("-")
                                                    : (goal == Goal::AtMost ? "<= " : ">= ") + Format("%g", target);
  std::printf("BENCH|%.*s|%.*s|%.*s|%.4g|%s|%s\n", static_cast<int>(measurement.size()), measurement.data(),
              static_cast<int>(value.size()), value.data(), static_cast<int>(reference.size()), reference.data(), ratio,
              targetText.c_str(), goal == Goal::None ? "INFO" : (pass ? "PASS" : "FAIL"));
  std::fflush(stdout);
  return pass;
}

}  // namespace bench
