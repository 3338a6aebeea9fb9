#include "gui/TfrmMain.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QDir>
#include <QFontMetrics>
#include <QStyle>
#include <QTest>
#include <stdexcept>

#include "support/RecordingReporter.h"
#include "support/TempDir.h"


namespace gui {
namespace {

class ScriptedPicker : public FolderPicker {
 public:
  std::optional<QString> answer;
  QString lastTitle;
  QString lastStart;
  int calls = 0;
  std::optional<QString> PickFolder(QWidget*, const QString& title, const QString& startFolder) override {
    ++calls;
    lastTitle = title;
    lastStart = startFolder;
    return answer;
  }
};

class TfrmMainTest : public ::testing::Test {
 protected:

  std::unique_ptr<TfrmMain> MakeWindow(convert::MainFormState state, TfrmMain::ConversionRunner runner = {}) {
    TfrmMain::Options options;
    options.picker = &picker;
    options.messages = &recorder;
    options.runner = std::move(runner);
    return std::make_unique<TfrmMain>(std::move(state), options);
  }

  // A state whose source folder exists, so that conversions get past the folder check.
  convert::MainFormState Ready() {
    convert::MainFormState state;
    state.edtSource = source.Str();
    return state;
  }

  ScriptedPicker picker;
  testsupport::RecordingReporter recorder;
  testsupport::TempDir source;
};

TEST_F(TfrmMainTest, ControlsHaveTheirTextsAndPlaces) {
  convert::MainFormState state;
  state.edtSource = "/data/in";
  state.edtDest = "/data/out";
  auto window = MakeWindow(state);

  EXPECT_EQ(window->windowTitle(), QStringLiteral("Конвертирование файлов"));
  EXPECT_EQ(window->edtSource.text(), "/data/in");
  EXPECT_EQ(window->edtDest.text(), "/data/out");

  // Places as designed, sizes at least as designed and wide enough for the text in the font
  // actually used; only the boxes and pickers move right, and only as far as a label needs.
  struct Expected {
    QWidget* widget;
    QString text;
    QRect designed;
    bool keepsLeft;
  };
  const std::vector<Expected> expected = {
      {&window->Label1, QStringLiteral("Откуда"), {16, 20, 36, 13}, true},
      {&window->edtSource, {}, {56, 16, 257, 21}, false},
      {&window->Button1, "...", {312, 16, 25, 21}, false},
      {&window->Label2, QStringLiteral("Куда"), {16, 61, 24, 13}, true},
      {&window->edtDest, {}, {56, 56, 257, 21}, false},
      {&window->Button2, "...", {312, 56, 25, 21}, false},
      {&window->btnTXTtoPDB, "TXT -> PDB", {56, 96, 75, 25}, true},
      {&window->btnPDBtoTXT, "PDB -> TXT", {160, 96, 75, 25}, true},
      {&window->btnPDBtoDBF, "PDB -> DBF", {260, 96, 75, 25}, true},
  };
  const QFontMetrics metrics(window->font());
  const int shift = window->edtSource.x() - 56;
  EXPECT_GE(shift, 0);
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.widget->objectName().toStdString());
    const QRect r = e.widget->geometry();
    EXPECT_EQ(r.topLeft(), e.designed.topLeft() + QPoint(e.keepsLeft ? 0 : shift, 0));
    EXPECT_GE(r.width(), e.designed.width());
    EXPECT_GE(r.height(), e.designed.height());
    if (auto* label = qobject_cast<QLabel*>(e.widget)) {
      EXPECT_EQ(label->text(), e.text);
      EXPECT_GE(r.width(), metrics.horizontalAdvance(e.text));
      EXPECT_GE(r.height(), metrics.height());
      EXPECT_LT(r.right(), window->edtSource.x());
    }
    if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
      EXPECT_EQ(button->text(), e.text);
      const int margins = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
      EXPECT_GE(r.width(), metrics.horizontalAdvance(e.text) + margins);
    }
  }
  EXPECT_EQ(window->size(), QSize(428, 153).expandedTo(window->minimumSize()));
  EXPECT_EQ(window->p.geometry(), QRect(0, window->height() - 22, window->width(), 22));

  // The gauge stays docked to the bottom when the window changes size; it never gets so small
  // that the buttons slide under the gauge.
  window->show();
  window->resize(600, 200);
  EXPECT_EQ(window->p.geometry(), QRect(0, 178, 600, 22));
  window->resize(100, 60);
  EXPECT_GE(window->p.y(), window->btnPDBtoDBF.geometry().bottom());
  EXPECT_GT(window->width(), window->btnPDBtoDBF.geometry().right());
}

TEST(PlaceOnScreen, AWindowPartlyOffTheScreenMovesOntoIt) {
  const QRect screen(0, 0, 800, 600);
  struct Case {
    QRect frame;
    QPoint corner;
  };
  for (const Case& c : {Case{{300, 159, 436, 187}, {300, 159}}, Case{{600, 500, 436, 187}, {364, 413}},
                        Case{{-20, -5, 436, 187}, {0, 0}}, Case{{300, 159, 1000, 700}, {0, 0}}}) {
    EXPECT_EQ(PlaceOnScreen(c.frame, screen), c.corner);
  }
  EXPECT_EQ(PlaceOnScreen({300, 159, 436, 187}, {1920, 0, 640, 480}), QPoint(1920, 159));
}

TEST_F(TfrmMainTest, TabOrderRunsThroughBoxesPickersAndButtons) {
  auto window = MakeWindow({});
  const std::vector<QWidget*> order = {&window->edtSource,   &window->Button1,     &window->edtDest,
                                       &window->Button2,     &window->btnTXTtoPDB, &window->btnPDBtoTXT,
                                       &window->btnPDBtoDBF};
  std::vector<QWidget*> chain;
  QWidget* w = &window->edtSource;
  do {
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w);
    w = w->nextInFocusChain();
  } while (w != &window->edtSource && chain.size() < 20);
  EXPECT_EQ(chain, order);
}

TEST_F(TfrmMainTest, PickersReplaceTheBoxTextOnlyWhenAFolderIsChosen) {
  convert::MainFormState state;
  state.edtSource = "/old/source";
  state.edtDest = "/old/dest";
  auto window = MakeWindow(state);

  picker.answer = "/chosen/source";
  QTest::mouseClick(&window->Button1, Qt::LeftButton);
  EXPECT_EQ(picker.lastTitle, QStringLiteral("Укажите каталог"));
  // A box naming no folder opens the chooser at home, one naming a folder at that folder.
  EXPECT_EQ(picker.lastStart, QDir::homePath());
  EXPECT_EQ(window->edtSource.text(), "/chosen/source");
  EXPECT_EQ(window->edtDest.text(), "/old/dest");
  window->edtDest.setText(QString::fromStdString(source.Str()));

  picker.answer.reset();
  QTest::mouseClick(&window->Button2, Qt::LeftButton);
  EXPECT_EQ(picker.calls, 2);
  EXPECT_EQ(picker.lastStart, QString::fromStdString(source.Str()));
  EXPECT_EQ(window->edtDest.text(), QString::fromStdString(source.Str()));

  picker.answer = "/chosen/dest";
  QTest::mouseClick(&window->Button2, Qt::LeftButton);
  EXPECT_EQ(window->edtDest.text(), "/chosen/dest");
  EXPECT_EQ(window->edtSource.text(), "/chosen/source");
}

TEST_F(TfrmMainTest, ButtonsRunTheirConversionWithTheBoxesAsTyped) {
  std::vector<app::Command> started;
  std::vector<std::pair<std::string, std::string>> directories;
  std::vector<int> percentsAtMessage;
  TfrmMain* self = nullptr;
  auto window = MakeWindow({}, [&](app::Command command, convert::ConversionContext& context, const app::ErrorDisplay&) {
    started.push_back(command);
    directories.emplace_back(context.state.edtSource, context.state.edtDest);
    context.reporter.ProgressStart(7);
    for (int i = 0; i < 7; ++i) context.reporter.ProgressStep();
    percentsAtMessage.push_back(self->p.value());
    context.reporter.ShowMessage("Обработано документов: 2\r       Кассовых ордеров: 0");
    return app::RunOutcome::Done;
  });
  self = window.get();

  window->edtSource.setText(QString::fromStdString(source.Str() + "/"));
  window->edtDest.setText(QStringLiteral("/данные/"));
  QTest::mouseClick(&window->btnPDBtoTXT, Qt::LeftButton);
  QTest::mouseClick(&window->btnTXTtoPDB, Qt::LeftButton);
  QTest::mouseClick(&window->btnPDBtoDBF, Qt::LeftButton);

  EXPECT_EQ(started, (std::vector<app::Command>{app::Command::PdbToTxt, app::Command::TxtToPdb,
                                                 app::Command::PdbToDbf}));
  ASSERT_EQ(directories.size(), 3u);
  // Trailing separators go, so that a joined path never shows "//".
  EXPECT_EQ(directories[0].first, source.Str());
  EXPECT_EQ(directories[0].second, "/данные");
  EXPECT_EQ(percentsAtMessage, (std::vector<int>{100, 100, 100}));
  EXPECT_EQ(recorder.progressMaximum, 7);
  EXPECT_EQ(recorder.progress, 7);
  ASSERT_EQ(recorder.entries.size(), 3u);
  EXPECT_EQ(recorder.entries[0].text, "Обработано документов: 2\r       Кассовых ордеров: 0");
  // The window's own state holds the texts of the last run.
  EXPECT_EQ(window->State().edtDest, "/данные");
}

TEST_F(TfrmMainTest, GaugeRepaintsOncePerPercentAndStartsAgainAtZero) {
  auto window = MakeWindow({});
  std::vector<int> values;
  QObject::connect(&window->p, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
  window->Reporter().ProgressStart(400);
  for (int i = 0; i < 400; ++i) window->Reporter().ProgressStep();
  EXPECT_EQ(values.size(), 100u);
  EXPECT_EQ(window->p.value(), 100);
  EXPECT_EQ(window->p.text(), "100%");
  window->Reporter().ProgressStart(5);
  EXPECT_EQ(window->p.value(), 0);
}

TEST_F(TfrmMainTest, AnErrorThatStopsAConversionIsShownCaptionedVestiboAndTheWindowStaysUsable) {
  int runs = 0;
  auto window = MakeWindow(Ready(), [&](app::Command command, convert::ConversionContext& context,
                                        const app::ErrorDisplay& errors) {
    ++runs;
    return app::RunGuarded(
        [&]() -> convert::ConversionResult {
          if (command == app::Command::TxtToPdb) throw std::runtime_error("'12x' is not a valid integer value");
          context.reporter.ShowMessage("done");
          return convert::ConversionResult::Done;
        },
        errors);
  });
  EXPECT_EQ(window->RunConversion(app::Command::TxtToPdb), app::RunOutcome::Stopped);
  ASSERT_EQ(recorder.entries.size(), 1u);
  EXPECT_EQ(recorder.entries[0].kind, testsupport::RecordingReporter::Entry::Error);
  EXPECT_EQ(recorder.entries[0].caption, "Vestibo");
  EXPECT_EQ(recorder.entries[0].text, "'12x' is not a valid integer value");

  QTest::mouseClick(&window->btnPDBtoTXT, Qt::LeftButton);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(recorder.entries.back().text, "done");
}

TEST_F(TfrmMainTest, ARunThatFailedOrShowedAnErrorLeavesTheGaugeEmpty) {
  struct Case {
    app::RunOutcome outcome;
    bool showsError;
    app::RunOutcome seen;
    int gauge;
  };
  const std::vector<Case> cases = {
      {app::RunOutcome::Done, false, app::RunOutcome::Done, 100},
      {app::RunOutcome::Done, true, app::RunOutcome::FailureReported, 0},
      {app::RunOutcome::FailureReported, true, app::RunOutcome::FailureReported, 0},
      {app::RunOutcome::Stopped, true, app::RunOutcome::Stopped, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.outcome));
    auto window = MakeWindow(Ready(), [&](app::Command, convert::ConversionContext& context, const app::ErrorDisplay&) {
      context.reporter.ProgressStart(2);
      context.reporter.ProgressStep();
      context.reporter.ProgressStep();
      if (c.showsError) context.reporter.ShowError("Vestibo", "Файл customer.txt не найден");
      return c.outcome;
    });
    EXPECT_EQ(window->RunConversion(app::Command::TxtToPdb), c.seen);
    EXPECT_EQ(window->p.value(), c.gauge);
  }
}

TEST_F(TfrmMainTest, AMissingSourceFolderOrInputIsToldInAMessageBox) {
  int runs = 0;
  auto window = MakeWindow(Ready(), [&](app::Command, convert::ConversionContext&, const app::ErrorDisplay&) {
    ++runs;
    return app::RunOutcome::NothingToDo;
  });
  QTest::mouseClick(&window->btnTXTtoPDB, Qt::LeftButton);
  ASSERT_EQ(recorder.entries.size(), 1u);
  EXPECT_EQ(recorder.entries[0].kind, testsupport::RecordingReporter::Entry::Message);
  EXPECT_EQ(recorder.entries[0].text, "Нечего делать: в каталоге \"" + source.Str() + "\" нет файла Product.txt");

  window->edtSource.setText(QString::fromStdString(source.Str() + "/nowhere/"));
  QTest::mouseClick(&window->btnPDBtoDBF, Qt::LeftButton);
  EXPECT_EQ(runs, 1);
  ASSERT_EQ(recorder.entries.size(), 2u);
  EXPECT_EQ(recorder.entries[1].kind, testsupport::RecordingReporter::Entry::Error);
  EXPECT_EQ(recorder.entries[1].text,
            "Каталог \"" + source.Str() + "/nowhere\" не найден\nNo such file or directory");
}

}  // namespace
}  // namespace gui
