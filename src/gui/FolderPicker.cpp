#include "gui/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace gui {

std::optional<QString> DialogFolderPicker::PickFolder(QWidget* parent, const QString& title) {
  const QString dir = QFileDialog::getExistingDirectory(parent, title, QDir::rootPath(), QFileDialog::ShowDirsOnly);
  if (dir.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(dir);
}

}  // namespace gui
