#include "gui/QtReporter.h"

#include <QMessageBox>

#include "app/CommandLine.h"
#include "app/ConsoleReporter.h"

namespace gui {

QString DisplayText(std::string_view text) {
  const std::string lines = app::ToLineFeeds(text);
  return QString::fromUtf8(lines.data(), static_cast<qsizetype>(lines.size()));
}

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, std::string_view caption, std::string_view text) {
  QMessageBox box(icon, DisplayText(caption), DisplayText(text), QMessageBox::Ok, parent);
  // Texts may carry data values; never interpret them as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

void QtReporter::ShowMessage(std::string_view text) {
  ShowBox(parent_.data(), QMessageBox::NoIcon, core::kApplicationTitle, text);
}

void QtReporter::ShowError(std::string_view caption, std::string_view text) {
  ShowBox(parent_.data(), QMessageBox::Critical, caption, text);
}

}  // namespace gui
