// How the conversions and libraries talk to the person, without knowing any toolkit.
//
// Three implementations: the window's (Qt message boxes captioned "Vestibo", the progress bar),
// the console's (stdout/stderr), and the recording one below for tests. All texts are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

class Reporter {
 public:
  virtual ~Reporter() = default;
  // A plain modal message with an OK button, captioned with the application title.
  virtual void ShowMessage(std::string_view text) = 0;
  // A modal error message with an error icon and the given caption.
  virtual void ShowError(std::string_view caption, std::string_view text) = 0;
  // The progress gauge: set to 0 with the given maximum / advance by one.
  virtual void ProgressStart(int maximum) = 0;
  virtual void ProgressStep() = 0;
};

// Remembers everything it is told, for tests.
class RecordingReporter : public Reporter {
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
  void ProgressStart(int maximum) override {
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
  long progressSteps = 0;
};

// Tells nothing; for callers that have no one to tell.
class SilentReporter : public Reporter {
 public:
  void ShowMessage(std::string_view) override {}
  void ShowError(std::string_view, std::string_view) override {}
  void ProgressStart(int) override {}
  void ProgressStep() override {}
};

}  // namespace core
