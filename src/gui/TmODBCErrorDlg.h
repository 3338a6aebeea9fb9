// The ODBC error dialog: the diagnostic records of one ODBC error, one at a time, with Back and
// Next to walk through them and OK to close.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <string>
#include <vector>

#include "app/ODBCErrorDialogModel.h"

namespace gui {

class TmODBCErrorDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TmODBCErrorDlg(QWidget* parent = nullptr);

  // Shows the error modally, starting on its first record, and forgets it when closed. Returns
  // false without showing anything while another error is being shown or the application is
  // closing down; the caller then passes the error on to the plain error display.
  bool ShowError(std::vector<app::ODBCDiagnosticRecord> records, std::string message);

  // Takes the error into the view without running the dialog (ShowError's first half).
  void Load(std::vector<app::ODBCDiagnosticRecord> records, std::string message);
  // Forgets the error (ShowError's last half).
  void Unload();

  const app::ODBCErrorDialogModel& Model() const { return model_; }

  // The controls, owned by the dialog as members. ErrorLabel sits inside ScrollBox and is
  // declared after it, so it is destroyed first and the scroll area never deletes a member.
  QLabel IconImage;
  QScrollArea ScrollBox;
  QLabel ErrorLabel;
  QPushButton BackBtn;
  QPushButton NextBtn;
  QPushButton OKBtn;

 public slots:
  // Esc closes the dialog as OK does.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private slots:
  void BackBtnClick();
  void NextBtnClick();

 private:
  void Refresh();
  void UpdateIcon();

  app::ODBCErrorDialogModel model_;
};

}  // namespace gui
