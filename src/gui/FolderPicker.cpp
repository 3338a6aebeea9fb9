#include "gui/FolderPicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace gui {

std::optional<QString> DialogFolderPicker::PickFolder(QWidget* parent, const QString& title,
                                                      const QString& startFolder) {
  const QString dir = QFileDialog::getExistingDirectory(parent, title, startFolder, QFileDialog::ShowDirsOnly);
  if (dir.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(dir);
}

QString StartFolderFor(const QString& boxText) {
  const QString trimmed = boxText.trimmed();
  if (!trimmed.isEmpty() && QFileInfo(trimmed).isDir()) return trimmed;
  return QDir::homePath();
}

}  // namespace gui
