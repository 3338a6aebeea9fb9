#include "gui/TfrmMain.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "gui/QtReporter.h"

namespace gui {

namespace {

constexpr int kClientWidth = 428;
constexpr int kClientHeight = 153;
constexpr int kGaugeHeight = 22;

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
  void ShowError(std::string_view caption, std::string_view text) override { messages_.ShowError(caption, text); }
  void ProgressStart(int maximum) override {
    gauge_.Start(maximum);
    messages_.ProgressStart(maximum);
  }
  void ProgressStep() override {
    gauge_.Step();
    messages_.ProgressStep();
  }

 private:
  core::Reporter& messages_;
  app::ProgressGauge& gauge_;
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

  connect(&Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
  connect(&Button2, &QPushButton::clicked, this, &TfrmMain::Button2Click);
  connect(&btnTXTtoPDB, &QPushButton::clicked, this, &TfrmMain::btnTXTtoPDBClick);
  connect(&btnPDBtoTXT, &QPushButton::clicked, this, &TfrmMain::btnPDBtoTXTClick);
  connect(&btnPDBtoDBF, &QPushButton::clicked, this, &TfrmMain::btnPDBtoDBFClick);
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
  if (std::optional<QString> dir = picker_->PickFolder(this, QString::fromUtf8(kPickerTitle))) box.setText(*dir);
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
  app::RunOutcome outcome = app::RunOutcome::Stopped;
  try {
    outcome = runner_(command, context, errors_);
  } catch (...) {
    // The default runner shows every error itself; a custom one may not.
    errors_.Show(std::current_exception());
  }
  running_ = false;
  return outcome;
}

void TfrmMain::btnTXTtoPDBClick() { RunConversion(app::Command::TxtToPdb); }
void TfrmMain::btnPDBtoTXTClick() { RunConversion(app::Command::PdbToTxt); }
void TfrmMain::btnPDBtoDBFClick() { RunConversion(app::Command::PdbToDbf); }

}  // namespace gui
