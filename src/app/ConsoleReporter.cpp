#include "app/ConsoleReporter.h"

namespace app {

std::string ToLineFeeds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

ConsoleReporter::ConsoleReporter(std::ostream& out, std::ostream& err, bool showProgress)
    : out_(out), err_(err), showProgress_(showProgress) {
  if (showProgress_) {
    gauge_.SetListener([this](int percent) {
      err_ << '\r' << percent << '%' << std::flush;
      progressLineOpen_ = true;
    });
  }
}

ConsoleReporter::~ConsoleReporter() { EndProgressLine(); }

void ConsoleReporter::EndProgressLine() {
  if (!progressLineOpen_) return;
  err_ << '\n' << std::flush;
  progressLineOpen_ = false;
}

void ConsoleReporter::ShowMessage(std::string_view text) {
  EndProgressLine();
  out_ << ToLineFeeds(text) << '\n' << std::flush;
}

void ConsoleReporter::ShowError(std::string_view caption, std::string_view text) {
  EndProgressLine();
  if (!caption.empty()) err_ << caption << ": ";
  err_ << ToLineFeeds(text) << '\n' << std::flush;
}

void ConsoleReporter::ProgressStart(int maximum) {
  EndProgressLine();
  gauge_.Start(maximum);
}

void ConsoleReporter::ProgressStep() { gauge_.Step(); }

}  // namespace app
