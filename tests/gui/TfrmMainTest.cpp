#include "gui/TfrmMain.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "support/RecordingReporter.h"


namespace gui {
namespace {

class ScriptedPicker : public FolderPicker {
 public:
  std::optional<QString> answer;
  QString lastTitle;
  int calls = 0;
  std::optional<QString> PickFolder(QWidget*, const QString& title) override {
    ++calls;
    lastTitle = title;
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

  ScriptedPicker picker;
  testsupport::RecordingReporter recorder;
};

TEST_F(TfrmMainTest, ControlsHaveTheirTextsAndPlaces) {
  convert::MainFormState state;
  state.edtSource = "/data/in";
  state.edtDest = "/data/out";
  auto window = MakeWindow(state);

  EXPECT_EQ(window->windowTitle(), QStringLiteral("Конвертирование файлов"));
  EXPECT_EQ(window->size(), QSize(428, 153));
  EXPECT_EQ(window->edtSource.text(), "/data/in");
  EXPECT_EQ(window->edtDest.text(), "/data/out");

  struct Expected {
    QWidget* widget;
    QString text;
    QRect geometry;
  };
  const std::vector<Expected> expected = {
      {&window->Label1, QStringLiteral("Откуда"), {16, 20, 36, 13}},
      {&window->edtSource, {}, {56, 16, 257, 21}},
      {&window->Button1, "...", {312, 16, 25, 21}},
      {&window->Label2, QStringLiteral("Куда"), {16, 61, 24, 13}},
      {&window->edtDest, {}, {56, 56, 257, 21}},
      {&window->Button2, "...", {312, 56, 25, 21}},
      {&window->btnTXTtoPDB, "TXT -> PDB", {56, 96, 75, 25}},
      {&window->btnPDBtoTXT, "PDB -> TXT", {160, 96, 75, 25}},
      {&window->btnPDBtoDBF, "PDB -> DBF", {260, 96, 75, 25}},
      {&window->p, {}, {0, 131, 428, 22}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.widget->objectName().toStdString());
    EXPECT_EQ(e.widget->geometry(), e.geometry);
    if (auto* label = qobject_cast<QLabel*>(e.widget)) {
      EXPECT_EQ(label->text(), e.text);
    }
    if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
      EXPECT_EQ(button->text(), e.text);
    }
  }

  // The gauge stays docked to the bottom when the window changes size.
  window->show();
  window->resize(600, 200);
  EXPECT_EQ(window->p.geometry(), QRect(0, 178, 600, 22));
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
  EXPECT_EQ(window->edtSource.text(), "/chosen/source");
  EXPECT_EQ(window->edtDest.text(), "/old/dest");

  picker.answer.reset();
  QTest::mouseClick(&window->Button2, Qt::LeftButton);
  EXPECT_EQ(picker.calls, 2);
  EXPECT_EQ(window->edtDest.text(), "/old/dest");

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

  window->edtSource.setText("/palm/in/ ");
  window->edtDest.setText(QStringLiteral("/данные"));
  QTest::mouseClick(&window->btnPDBtoTXT, Qt::LeftButton);
  QTest::mouseClick(&window->btnTXTtoPDB, Qt::LeftButton);
  QTest::mouseClick(&window->btnPDBtoDBF, Qt::LeftButton);

  EXPECT_EQ(started, (std::vector<app::Command>{app::Command::PdbToTxt, app::Command::TxtToPdb,
                                                 app::Command::PdbToDbf}));
  ASSERT_EQ(directories.size(), 3u);
  EXPECT_EQ(directories[0].first, "/palm/in/ ");
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
  auto window = MakeWindow({}, [&](app::Command command, convert::ConversionContext& context,
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

}  // namespace
}  // namespace gui
