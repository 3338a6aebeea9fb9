// How the conversions and libraries talk to the person, without knowing any toolkit.
//
// Two implementations: the window's (Qt message boxes captioned with the application title, the
// progress bar) and the console's (stdout/stderr); the tests record what they are told. All
// texts are UTF-8.
#pragma once

#include <string_view>

namespace core {

// The caption of the person's messages and errors.
inline constexpr std::string_view kApplicationTitle = "Vestibo";

class Reporter {
 public:
  virtual ~Reporter() = default;
  // A plain modal message with an OK button, captioned with the application title.
  virtual void ShowMessage(std::string_view text) = 0;
  // A modal error message with an error icon and the given caption.
  virtual void ShowError(std::string_view caption, std::string_view text) = 0;
  // The progress gauge: set to 0 with the given maximum / advance by one. `stepName` names what
  // the walk reads or writes ("product.txt"), for reporters that show it; empty when the caller
  // has no name for it.
  virtual void ProgressStart(int maximum, std::string_view stepName = {}) = 0;
  virtual void ProgressStep() = 0;
};

// Tells nothing; for callers that have no one to tell.
class SilentReporter : public Reporter {
 public:
  void ShowMessage(std::string_view) override {}
  void ShowError(std::string_view, std::string_view) override {}
  void ProgressStart(int, std::string_view = {}) override {}
  void ProgressStep() override {}
};

}  // namespace core
