// Talks to the person on the console, for command mode without a display: messages on stdout,
// errors on stderr, never waiting for an answer. Texts are UTF-8; the carriage returns that
// separate the lines of a message become line feeds.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/ProgressGauge.h"
#include "core/Reporter.h"

namespace app {

class ConsoleReporter : public core::Reporter {
 public:
  // With `showProgress` the percentage is written to `err` as one line that rewrites itself
  // (meant for a terminal); without it progress is quiet.
  ConsoleReporter(std::ostream& out, std::ostream& err, bool showProgress);
  ~ConsoleReporter() override;
  ConsoleReporter(const ConsoleReporter&) = delete;
  ConsoleReporter& operator=(const ConsoleReporter&) = delete;

  void ShowMessage(std::string_view text) override;
  void ShowError(std::string_view caption, std::string_view text) override;
  void ProgressStart(int maximum) override;
  void ProgressStep() override;

 private:
  void EndProgressLine();

  std::ostream& out_;
  std::ostream& err_;
  bool showProgress_;
  bool progressLineOpen_ = false;
  ProgressGauge gauge_;
};

// The text with each carriage return (alone or before a line feed) turned into one line feed.
std::string ToLineFeeds(std::string_view text);

}  // namespace app
