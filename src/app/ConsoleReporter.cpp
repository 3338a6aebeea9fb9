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

ConsoleReporter::ConsoleReporter(std::ostream& out, std::ostream& err, bool showProgress, ConsoleEncoding encoding,
                                 StepName stepName)
    : out_(out), err_(err), showProgress_(showProgress), encoding_(std::move(encoding)), stepName_(std::move(stepName)) {
  if (showProgress_) gauge_.SetListener([this](int percent) { WriteProgressLine(percent); });
}

ConsoleReporter::~ConsoleReporter() { EndProgressLine(); }

void ConsoleReporter::WriteProgressLine(int percent) {
  err_ << '\r' << step_ << percent << '%' << std::flush;
  progressLineOpen_ = true;
}

void ConsoleReporter::EndProgressLine() {
  if (!progressLineOpen_) return;
  err_ << '\n' << std::flush;
  progressLineOpen_ = false;
}

void ConsoleReporter::ShowMessage(std::string_view text) {
  EndProgressLine();
  out_ << encoding_(ToLineFeeds(text)) << '\n' << std::flush;
}

void ConsoleReporter::ShowError(std::string_view caption, std::string_view text) {
  ++errorsShown_;
  EndProgressLine();
  if (!caption.empty()) err_ << encoding_(caption) << ": ";
  err_ << encoding_(ToLineFeeds(text)) << '\n' << std::flush;
}

void ConsoleReporter::ProgressStart(int maximum, std::string_view stepName) {
  EndProgressLine();
  if (showProgress_) {
    step_ = !stepName.empty() ? std::string(stepName) : stepName_ ? stepName_() : std::string();
    if (!step_.empty()) step_ = encoding_(step_) + ' ';
  }
  // Each walk gets a line of its own, shown from its start (the gauge tells only of changes).
  const int before = gauge_.Percent();
  gauge_.Start(maximum);
  if (showProgress_ && gauge_.Percent() == before) WriteProgressLine(gauge_.Percent());
}

void ConsoleReporter::ProgressStep() { gauge_.Step(); }

}  // namespace app
