// A reporter that remembers everything it is told, for tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Reporter.h"

namespace testsupport {

class RecordingReporter : public core::Reporter {
 public:
  struct Entry {
    enum Kind { Message, Error } kind;
    std::string caption;
    std::string text;
  };
  void ShowMessage(std::string_view text) override { entries.push_back({Entry::Message, "", std::string(text)}); }
  void ShowError(std::string_view caption, std::string_view text) override {
    entries.push_back({Entry::Error, std::string(caption), std::string(text)});
  }
  void ProgressStart(int maximum, std::string_view stepName = {}) override {
    progressNames.emplace_back(stepName);
    progressMaximum = maximum;
    progress = 0;
    ++progressStarts;
  }
  void ProgressStep() override { ++progress; ++progressSteps; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.text);
    return out;
  }

  std::vector<Entry> entries;
  int progressMaximum = 0;
  int progress = 0;
  int progressStarts = 0;
  std::vector<std::string> progressNames;  // the step name of each ProgressStart
  long progressSteps = 0;
};

}  // namespace testsupport
