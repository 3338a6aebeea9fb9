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
  // The chosen directory, or nothing when the person cancelled.
  virtual std::optional<QString> PickFolder(QWidget* parent, const QString& title) = 0;
};

// The system's directory chooser, starting at the top of the file system (the box's current
// text is not passed on).
class DialogFolderPicker : public FolderPicker {
 public:
  std::optional<QString> PickFolder(QWidget* parent, const QString& title) override;
};

}  // namespace gui
