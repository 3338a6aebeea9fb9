#include "gui/TmODBCErrorDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

#include "gui/QtReporter.h"

namespace gui {

namespace {

constexpr int kClientWidth = 315;
constexpr int kClientHeight = 151;
constexpr int kPanelHeight = 39;
constexpr int kStripWidth = 55;

}  // namespace

TmODBCErrorDlg::TmODBCErrorDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      IconImage(this),
      ScrollBox(this),
      BackBtn(QStringLiteral("< &Back"), this),
      NextBtn(QStringLiteral("Next >"), this),
      OKBtn(QStringLiteral("OK"), this) {
  setWindowTitle(QStringLiteral("ODBC Error"));
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);

  const int clientTop = kClientHeight - kPanelHeight;

  IconImage.setObjectName("IconImage");
  IconImage.setGeometry(10, 10, 34, 34);
  UpdateIcon();

  ScrollBox.setObjectName("ScrollBox");
  ScrollBox.setFrameShape(QFrame::NoFrame);
  ScrollBox.setWidgetResizable(true);
  ScrollBox.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ScrollBox.setGeometry(kStripWidth, 0, kClientWidth - kStripWidth, clientTop);
  ErrorLabel.setObjectName("ErrorLabel");
  ErrorLabel.setWordWrap(true);
  ErrorLabel.setTextFormat(Qt::PlainText);
  ErrorLabel.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ErrorLabel.setContentsMargins(4, 8, 8, 4);
  ScrollBox.setWidget(&ErrorLabel);

  BackBtn.setObjectName("BackBtn");
  BackBtn.setGeometry(56, clientTop + 8, 75, 25);
  NextBtn.setObjectName("NextBtn");
  NextBtn.setGeometry(136, clientTop + 8, 75, 25);
  OKBtn.setObjectName("OKBtn");
  OKBtn.setGeometry(215, clientTop + 8, 75, 25);

  for (QPushButton* button : {&OKBtn, &BackBtn, &NextBtn}) {
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
  }
  NextBtn.setDefault(true);
  setTabOrder(&OKBtn, &BackBtn);
  setTabOrder(&BackBtn, &NextBtn);

  connect(&BackBtn, &QPushButton::clicked, this, &TmODBCErrorDlg::BackBtnClick);
  connect(&NextBtn, &QPushButton::clicked, this, &TmODBCErrorDlg::NextBtnClick);
  connect(&OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
}

bool TmODBCErrorDlg::ShowError(std::vector<app::ODBCDiagnosticRecord> records, std::string message) {
  if (model_.Showing() || QCoreApplication::closingDown()) return false;
  Load(std::move(records), std::move(message));
  exec();
  Unload();
  return true;
}

void TmODBCErrorDlg::Load(std::vector<app::ODBCDiagnosticRecord> records, std::string message) {
  model_.Begin(std::move(records), std::move(message));
  Refresh();
}

void TmODBCErrorDlg::Unload() {
  model_.End();
  Refresh();
}

void TmODBCErrorDlg::reject() { accept(); }

void TmODBCErrorDlg::UpdateIcon() {
  // Drawn by the style for the screen's pixel ratio, so that it stays sharp on HiDPI screens.
  IconImage.setPixmap(style()
                          ->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this)
                          .pixmap(IconImage.size(), devicePixelRatioF()));
}

void TmODBCErrorDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  UpdateIcon();
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  OKBtn.setFocus();
}

void TmODBCErrorDlg::BackBtnClick() {
  model_.Back();
  Refresh();
}

void TmODBCErrorDlg::NextBtnClick() {
  model_.Next();
  Refresh();
}

void TmODBCErrorDlg::Refresh() {
  BackBtn.setEnabled(model_.BackEnabled());
  NextBtn.setEnabled(model_.NextEnabled());
  ErrorLabel.setText(DisplayText(model_.Text()));
}

}  // namespace gui
