#include "gui/TfrmMain.h"

#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "app/ExitCode.h"
#include "gui/QtReporter.h"

namespace gui {

namespace {

constexpr int kClientWidth = 428;
constexpr int kClientHeight = 153;
constexpr int kGaugeHeight = 22;
// Space between a label and its box, and between the buttons and the gauge, as designed.
constexpr int kLabelGap = 4;
constexpr int kGaugeGap = 10;

const char* const kPickerTitle = "Укажите каталог";

std::string BoxText(const QLineEdit& box) { return QFile::encodeName(box.text()).toStdString(); }

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

// Messages to the message sink, progress to the window's gauge (and to the sink as well, so that
// a recording sink sees the whole conversation).
class TfrmMain::WindowReporter : public core::Reporter {
 public:
  WindowReporter(core::Reporter& messages, app::ProgressGauge& gauge) : messages_(messages), gauge_(gauge) {}
  void ShowMessage(std::string_view text) override { messages_.ShowMessage(text); }
  void ShowError(std::string_view caption, std::string_view text) override {
    ++errorsShown_;
    messages_.ShowError(caption, text);
  }
  void ProgressStart(int maximum, std::string_view stepName = {}) override {
    gauge_.Start(maximum);
    messages_.ProgressStart(maximum, stepName);
  }
  void ProgressStep() override {
    gauge_.Step();
    messages_.ProgressStep();
  }
  // Errors shown since the last reset (one run).
  int ErrorsShown() const { return errorsShown_; }
  void ResetErrors() { errorsShown_ = 0; }

 private:
  core::Reporter& messages_;
  app::ProgressGauge& gauge_;
  int errorsShown_ = 0;
};

TfrmMain::TfrmMain(convert::MainFormState state) : TfrmMain(std::move(state), Options{}) {}

TfrmMain::TfrmMain(convert::MainFormState state, Options options)
    : Label1(QStringLiteral("Откуда"), this),
      edtSource(this),
      Button1(QStringLiteral("..."), this),
      Label2(QStringLiteral("Куда"), this),
      edtDest(this),
      Button2(QStringLiteral("..."), this),
      btnTXTtoPDB(QStringLiteral("TXT -> PDB"), this),
      btnPDBtoTXT(QStringLiteral("PDB -> TXT"), this),
      btnPDBtoDBF(QStringLiteral("PDB -> DBF"), this),
      p(this),
      state_(std::move(state)),
      picker_(options.picker),
      messages_(options.messages != nullptr ? options.messages
                                            : (ownMessages_ = std::make_unique<QtReporter>(this)).get()),
      runner_(std::move(options.runner)),
      reporter_(std::make_unique<WindowReporter>(*messages_, gauge_)),
      errors_(*reporter_) {
  if (picker_ == nullptr) {
    ownPicker_ = std::make_unique<DialogFolderPicker>();
    picker_ = ownPicker_.get();
  }
  if (!runner_) runner_ = &app::RunConversionGuarded;
  gauge_.SetListener([this](int percent) { ShowPercent(percent); });
  BuildControls();
}

TfrmMain::~TfrmMain() = default;

core::Reporter& TfrmMain::Reporter() { return *reporter_; }

void TfrmMain::BuildControls() {
  setWindowTitle(QStringLiteral("Конвертирование файлов"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  resize(kClientWidth, kClientHeight);
  move(300, 159);

  Label1.setObjectName("Label1");
  Label1.setGeometry(16, 20, 36, 13);
  edtSource.setText(PathText(state_.edtSource));
  edtSource.setObjectName("edtSource");
  edtSource.setGeometry(56, 16, 257, 21);
  Button1.setObjectName("Button1");
  Button1.setGeometry(312, 16, 25, 21);

  Label2.setObjectName("Label2");
  Label2.setGeometry(16, 61, 24, 13);
  edtDest.setText(PathText(state_.edtDest));
  edtDest.setObjectName("edtDest");
  edtDest.setGeometry(56, 56, 257, 21);
  Button2.setObjectName("Button2");
  Button2.setGeometry(312, 56, 25, 21);

  btnTXTtoPDB.setObjectName("btnTXTtoPDB");
  btnTXTtoPDB.setGeometry(56, 96, 75, 25);
  btnPDBtoTXT.setObjectName("btnPDBtoTXT");
  btnPDBtoTXT.setGeometry(160, 96, 75, 25);
  btnPDBtoDBF.setObjectName("btnPDBtoDBF");
  btnPDBtoDBF.setGeometry(260, 96, 75, 25);

  // A borderless bar in the colour of an active title bar on a button-face background.
  p.setObjectName("p");
  p.setRange(0, 100);
  p.setValue(0);
  p.setFormat(QStringLiteral("%p%"));
  p.setAlignment(Qt::AlignCenter);
  p.setTextVisible(true);
  p.setFocusPolicy(Qt::NoFocus);
  QPalette palette = p.palette();
  palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  p.setPalette(palette);
  p.setGeometry(0, kClientHeight - kGaugeHeight, kClientWidth, kGaugeHeight);

  for (QPushButton* button : {&Button1, &Button2, &btnTXTtoPDB, &btnPDBtoTXT, &btnPDBtoDBF})
    button->setFocusPolicy(Qt::StrongFocus);
  setTabOrder(&edtSource, &Button1);
  setTabOrder(&Button1, &edtDest);
  setTabOrder(&edtDest, &Button2);
  setTabOrder(&Button2, &btnTXTtoPDB);
  setTabOrder(&btnTXTtoPDB, &btnPDBtoTXT);
  setTabOrder(&btnPDBtoTXT, &btnPDBtoDBF);

  FitControlsToText();

  connect(&Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
  connect(&Button2, &QPushButton::clicked, this, &TfrmMain::Button2Click);
  connect(&btnTXTtoPDB, &QPushButton::clicked, this, &TfrmMain::btnTXTtoPDBClick);
  connect(&btnPDBtoTXT, &QPushButton::clicked, this, &TfrmMain::btnPDBtoTXTClick);
  connect(&btnPDBtoDBF, &QPushButton::clicked, this, &TfrmMain::btnPDBtoDBFClick);
}

void TfrmMain::FitControlsToText() {
  // The designed sizes suit the original 8 pt face; the face actually used here may be wider.
  // Controls keep their places and grow to their texts; the boxes and pickers move right only
  // as far as the widened labels need.
  const QFontMetrics metrics(font());
  for (QLabel* label : {&Label1, &Label2}) {
    const int margins = 2 * label->margin() + label->contentsMargins().left() + label->contentsMargins().right();
    label->resize(std::max(label->width(), metrics.horizontalAdvance(label->text()) + margins),
                  std::max(label->height(), metrics.height()));
  }
  const int buttonMargins =
      style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this) +
      2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  for (QPushButton* button : {&Button1, &Button2, &btnTXTtoPDB, &btnPDBtoTXT, &btnPDBtoDBF}) {
    button->resize(std::max(button->width(), metrics.horizontalAdvance(button->text()) + buttonMargins),
                   std::max(button->height(), metrics.height() + buttonMargins));
  }
  const int labelsEnd = std::max(Label1.x() + Label1.width(), Label2.x() + Label2.width());
  if (const int shift = labelsEnd + kLabelGap - edtSource.x(); shift > 0) {
    for (QWidget* w : std::initializer_list<QWidget*>{&edtSource, &Button1, &edtDest, &Button2})
      w->move(w->x() + shift, w->y());
  }

  // The window never gets so small that the buttons slide under the gauge or off its right edge.
  int right = 0;
  int bottom = 0;
  for (QWidget* w : std::initializer_list<QWidget*>{&Label1, &edtSource, &Button1, &Label2, &edtDest, &Button2,
                                                    &btnTXTtoPDB, &btnPDBtoTXT, &btnPDBtoDBF}) {
    right = std::max(right, w->x() + w->width());
    bottom = std::max(bottom, w->y() + w->height());
  }
  const int leftMargin = Label1.x();
  setMinimumSize(right + leftMargin, bottom + kGaugeGap + kGaugeHeight);
  resize(std::max(width(), minimumWidth()), std::max(height(), minimumHeight()));
  p.setGeometry(0, height() - kGaugeHeight, width(), kGaugeHeight);
}

QPoint PlaceOnScreen(const QRect& frame, const QRect& available) {
  const auto fit = [](int pos, int size, int start, int length) {
    return std::max(start, std::min(pos, start + length - size));
  };
  return {fit(frame.x(), frame.width(), available.x(), available.width()),
          fit(frame.y(), frame.height(), available.y(), available.height())};
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placed_) return;
  placed_ = true;
  // The designed start position may leave the window partly off a small (or scaled) screen.
  if (QScreen* s = screen()) {
    const QRect frame = frameGeometry();
    const QPoint corner = PlaceOnScreen(frame, s->availableGeometry());
    if (corner != frame.topLeft()) move(corner);
  }
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The gauge stays docked to the bottom edge across the whole width.
  p.setGeometry(0, height() - kGaugeHeight, width(), kGaugeHeight);
}

void TfrmMain::ShowPercent(int percent) {
  p.setValue(percent);
  // Drawn at once: the conversion runs on this thread and no events are processed until it ends.
  p.repaint();
}

void TfrmMain::PickInto(QLineEdit& box) {
  if (std::optional<QString> dir = picker_->PickFolder(this, QString::fromUtf8(kPickerTitle), StartFolderFor(box.text())))
    box.setText(*dir);
}

void TfrmMain::Button1Click() { PickInto(edtSource); }
void TfrmMain::Button2Click() { PickInto(edtDest); }

app::RunOutcome TfrmMain::RunConversion(app::Command command) {
  // A message box of a running conversion runs an event loop; a second start must not nest.
  if (running_) return app::RunOutcome::NothingToDo;
  running_ = true;
  state_.edtSource = BoxText(edtSource);
  state_.edtDest = BoxText(edtDest);
  convert::ConversionContext context{state_, Reporter(), objects_};
  reporter_->ResetErrors();
  app::RunOutcome outcome = app::RunOutcome::Stopped;
  try {
    outcome = app::RunChecked(command, context, errors_, runner_);
  } catch (...) {
    // The default runner shows every error itself; a custom one may not.
    errors_.Show(std::current_exception());
  }
  outcome = app::WithErrorsShown(outcome, reporter_->ErrorsShown());
  // A full gauge reads as success.
  if (outcome == app::RunOutcome::Stopped || outcome == app::RunOutcome::FailureReported) gauge_.Start(0);
  running_ = false;
  return outcome;
}

void TfrmMain::RunFromButton(app::Command command) {
  if (running_) return;
  if (RunConversion(command) == app::RunOutcome::NothingToDo)
    Reporter().ShowMessage(app::NothingToDoNotice(command, state_));
}

void TfrmMain::btnTXTtoPDBClick() { RunFromButton(app::Command::TxtToPdb); }
void TfrmMain::btnPDBtoTXTClick() { RunFromButton(app::Command::PdbToTxt); }
void TfrmMain::btnPDBtoDBFClick() { RunFromButton(app::Command::PdbToDbf); }

}  // namespace gui
