// Talks to the person on the console, for command mode without a display: messages on stdout,
// errors on stderr, never waiting for an answer. Texts are written in the console's character
// set; the carriage returns that separate the lines of a message become line feeds.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/ConsoleEncoding.h"
#include "app/ProgressGauge.h"
#include "core/Reporter.h"

namespace app {

class ConsoleReporter : public core::Reporter {
 public:
  // The name of a walk whose ProgressStart gives none (the database being read or written).
  using StepName = std::function<std::string()>;

  // With `showProgress` each walk is one line on `err` ("product.txt 45%") that rewrites itself
  // (meant for a terminal); without it progress is quiet.
  ConsoleReporter(std::ostream& out, std::ostream& err, bool showProgress, ConsoleEncoding encoding = ConsoleEncoding(),
                  StepName stepName = {});
  ~ConsoleReporter() override;
  ConsoleReporter(const ConsoleReporter&) = delete;
  ConsoleReporter& operator=(const ConsoleReporter&) = delete;

  void ShowMessage(std::string_view text) override;
  void ShowError(std::string_view caption, std::string_view text) override;
  void ProgressStart(int maximum, std::string_view stepName = {}) override;
  void ProgressStep() override;

  // How many errors have been shown so far.
  int ErrorsShown() const { return errorsShown_; }

 private:
  void WriteProgressLine(int percent);
  void EndProgressLine();

  std::ostream& out_;
  std::ostream& err_;
  bool showProgress_;
  ConsoleEncoding encoding_;
  StepName stepName_;
  std::string step_;
  bool progressLineOpen_ = false;
  int errorsShown_ = 0;
  ProgressGauge gauge_;
};

// The text with each carriage return (alone or before a line feed) turned into one line feed.
std::string ToLineFeeds(std::string_view text);

}  // namespace app
