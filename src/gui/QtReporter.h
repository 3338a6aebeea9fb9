// Message boxes for the conversions: modal, with an OK button, waiting for the person. Progress
// is drawn by the window's gauge, not here.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/Reporter.h"

namespace gui {

class QtReporter : public core::Reporter {
 public:
  // `parent` (may be null or hidden) centres the boxes.
  explicit QtReporter(QWidget* parent = nullptr) : parent_(parent) {}

  // A plain message captioned "Vestibo".
  void ShowMessage(std::string_view text) override;
  // An error with the error icon and the given caption.
  void ShowError(std::string_view caption, std::string_view text) override;
  void ProgressStart(int, std::string_view = {}) override {}
  void ProgressStep() override {}

 private:
  QPointer<QWidget> parent_;
};

// A UTF-8 text as shown in a box: carriage returns separate lines.
QString DisplayText(std::string_view text);

}  // namespace gui
