#include "gui/WindowedStart.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <stdexcept>

#include "support/RecordingReporter.h"

namespace gui {
namespace {

class WindowedStartTest : public ::testing::Test {
 protected:
  // Runs the plan on a window whose conversions end as `outcome` (or throw for Stopped).
  app::ExitCode Start(const std::vector<std::string>& args, app::RunOutcome outcome = app::RunOutcome::Done) {
    plan = app::EvaluateCommandLine(args, "/home/agent/Key");
    TfrmMain::Options options;
    options.messages = &recorder;
    options.runner = [&, outcome](app::Command command, convert::ConversionContext& context,
                                  const app::ErrorDisplay& errors) {
      ran.push_back(command);
      interactive = context.state.Interactive;
      return app::RunGuarded(
          [&]() -> convert::ConversionResult {
            switch (outcome) {
              case app::RunOutcome::Done:
                return convert::ConversionResult::Done;
              case app::RunOutcome::NothingToDo:
                return convert::ConversionResult::NothingToDo;
              case app::RunOutcome::FailureReported:
                context.reporter.ShowMessage("Error starting the pack operation!");
                return convert::ConversionResult::FailureReported;
              case app::RunOutcome::Stopped:
                break;
            }
            throw std::runtime_error("stopped");
          },
          errors);
    };
    window = std::make_unique<TfrmMain>(plan.state, options);
    return StartWindow(*window, plan, [&] {
      ++loops;
      shownDuringLoop = window->isVisible();
    });
  }

  app::StartupPlan plan;
  testsupport::RecordingReporter recorder;
  std::unique_ptr<TfrmMain> window;
  std::vector<app::Command> ran;
  bool interactive = true;
  int loops = 0;
  bool shownDuringLoop = false;
};

TEST_F(WindowedStartTest, ACommandRunsBeforeTheWindowAndEndsWithoutShowingIt) {
  struct Case {
    app::RunOutcome outcome;
    app::ExitCode code;
  };
  for (const Case& c : {Case{app::RunOutcome::Done, app::ExitCode::Success},
                        Case{app::RunOutcome::NothingToDo, app::ExitCode::Success},
                        Case{app::RunOutcome::FailureReported, app::ExitCode::ConversionFailed}}) {
    SCOPED_TRACE(static_cast<int>(c.outcome));
    ran.clear();
    loops = 0;
    EXPECT_EQ(Start({"txttopdb", "/in", "/out"}, c.outcome), c.code);
    EXPECT_EQ(ran, std::vector<app::Command>{app::Command::TxtToPdb});
    EXPECT_FALSE(interactive);
    EXPECT_EQ(loops, 0);
    EXPECT_FALSE(window->isVisible());
  }
}

TEST_F(WindowedStartTest, AnErrorThatStopsTheCommandOpensTheWindowOnItsDirectories) {
  EXPECT_EQ(Start({"PDBTODBF", "/in", "/out", "VFP driver"}, app::RunOutcome::Stopped),
            app::ExitCode::ConversionStopped);
  EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"stopped"});
  EXPECT_EQ(recorder.entries[0].caption, "Vestibo");
  EXPECT_EQ(loops, 1);
  EXPECT_TRUE(shownDuringLoop);
  EXPECT_EQ(window->edtSource.text(), "/in");
  EXPECT_EQ(window->edtDest.text(), "/out");
  EXPECT_FALSE(window->State().Interactive);
  EXPECT_EQ(window->State().OdbcDriver, "VFP driver");
}

TEST_F(WindowedStartTest, AnUnrecognisedCommandShowsTheParameterErrorThenTheWindow) {
  EXPECT_EQ(Start({"convert", "/in", "/out"}), app::ExitCode::UnrecognisedCommand);
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"Ошибка в ратаметрах"});
  EXPECT_EQ(recorder.entries[0].kind, testsupport::RecordingReporter::Entry::Message);
  EXPECT_TRUE(shownDuringLoop);
  EXPECT_EQ(window->edtSource.text(), "/in");
}

TEST_F(WindowedStartTest, WithoutACommandTheWindowOpensAfterTheUsageIfAskedFor) {
  EXPECT_EQ(Start({"/?"}), app::ExitCode::Success);
  EXPECT_EQ(recorder.Texts(), std::vector<std::string>{std::string(app::kUsageMessage)});
  EXPECT_TRUE(shownDuringLoop);
  EXPECT_EQ(window->edtSource.text(), "");

  recorder.entries.clear();
  EXPECT_EQ(Start({}), app::ExitCode::Success);
  EXPECT_TRUE(recorder.entries.empty());
  EXPECT_EQ(window->edtSource.text(), "/home/agent/Key");
  EXPECT_TRUE(window->State().Interactive);
}

}  // namespace
}  // namespace gui
