// Choosing a directory for one of the two boxes, behind an interface so that tests can answer
// in place of the person.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace gui {

class FolderPicker {
 public:
  virtual ~FolderPicker() = default;
  // The chosen directory, or nothing when the person cancelled. The chooser opens at
  // `startFolder`.
  virtual std::optional<QString> PickFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
};

// The platform's own directory chooser where it has one (Qt's otherwise), with Qt's texts in
// the user's language when the translations are installed.
class DialogFolderPicker : public FolderPicker {
 public:
  std::optional<QString> PickFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
};

// Where a chooser for a box opens: the folder the box names when it exists, the home folder
// otherwise.
QString StartFolderFor(const QString& boxText);

}  // namespace gui
