// The console side of the program: the reporter, the gauge, the error display and the start-up
// without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "app/ConsoleReporter.h"
#include "app/ConsoleStart.h"
#include "app/ConversionRun.h"
#include "app/ErrorDisplay.h"
#include "app/ExitCode.h"
#include "app/ProgressGauge.h"
#include "support/RecordingReporter.h"

namespace app {
namespace {

using convert::ConversionResult;

TEST(ProgressGauge, NotifiesOnlyWhenTheWholePercentageChanges) {
  ProgressGauge gauge;
  std::vector<int> seen;
  gauge.SetListener([&](int percent) { seen.push_back(percent); });

  gauge.Start(3);
  for (int i = 0; i < 3; ++i) gauge.Step();
  EXPECT_EQ(seen, (std::vector<int>{33, 66, 100}));

  // A large walk repaints at most once per percent.
  seen.clear();
  gauge.Start(100000);
  EXPECT_EQ(seen, std::vector<int>{0});
  for (int i = 0; i < 100000; ++i) gauge.Step();
  EXPECT_EQ(seen.size(), 101u);
  EXPECT_EQ(seen.back(), 100);
  EXPECT_EQ(gauge.Progress(), 100000);
}

TEST(ProgressGauge, KeepsItsPositionWithinZeroAndTheMaximum) {
  ProgressGauge gauge;
  gauge.Start(2);
  for (int i = 0; i < 5; ++i) gauge.Step();
  EXPECT_EQ(gauge.Progress(), 2);
  EXPECT_EQ(gauge.Percent(), 100);
  gauge.SetProgress(-4);
  EXPECT_EQ(gauge.Progress(), 0);
  EXPECT_EQ(gauge.Percent(), 0);

  // An empty table: no division by zero, the gauge stays at 0.
  gauge.Start(0);
  gauge.Step();
  EXPECT_EQ(gauge.Progress(), 0);
  EXPECT_EQ(gauge.Percent(), 0);

  // Percentages of large counts do not overflow.
  gauge.Start(2'000'000'000);
  gauge.SetProgress(1'999'999'999);
  EXPECT_EQ(gauge.Percent(), 99);
}

TEST(ConsoleReporter, MessagesGoToStdoutErrorsToStderrWithLineFeeds) {
  std::ostringstream out, err;
  {
    ConsoleReporter reporter(out, err, false);
    reporter.ShowMessage("Обработано документов: 2\r       Кассовых ордеров: 0");
    reporter.ShowMessage("a\r\nb");
    reporter.ShowError("Vestibo", "'x' is not a valid integer value");
    reporter.ProgressStart(10);
    for (int i = 0; i < 10; ++i) reporter.ProgressStep();
  }
  EXPECT_EQ(out.str(), "Обработано документов: 2\n       Кассовых ордеров: 0\na\nb\n");
  EXPECT_EQ(err.str(), "Vestibo: 'x' is not a valid integer value\n");
}

TEST(ConsoleReporter, ProgressOnATerminalRewritesOneLineAndEndsItBeforeOtherOutput) {
  std::ostringstream out, err;
  {
    ConsoleReporter reporter(out, err, true);
    reporter.ProgressStart(4);
    reporter.ProgressStep();
    reporter.ProgressStep();
    reporter.ShowError("Vestibo", "stop");
    reporter.ProgressStart(2);
    reporter.ProgressStep();
  }
  EXPECT_EQ(err.str(), "\r25%\r50%\nVestibo: stop\n\r0%\r50%\n");
  EXPECT_EQ(out.str(), "");
}

TEST(ErrorDisplay, SpecialHandlersFirstNewestFirstThenThePlainErrorBox) {
  testsupport::RecordingReporter reporter;
  ErrorDisplay display(reporter);
  std::vector<std::string> calls;
  display.AddHandler([&](const std::exception_ptr&) {
    calls.push_back("older");
    return false;
  });
  display.AddHandler([&](const std::exception_ptr& e) {
    calls.push_back("newer");
    try {
      std::rethrow_exception(e);
    } catch (const std::logic_error&) {
      return true;  // this handler's own kind of error
    } catch (...) {
      return false;
    }
  });

  display.Show(std::make_exception_ptr(std::logic_error("mine")));
  EXPECT_EQ(calls, (std::vector<std::string>{"newer"}));
  EXPECT_TRUE(reporter.entries.empty());

  calls.clear();
  display.Show(std::make_exception_ptr(std::runtime_error("Driver not support transactions")));
  EXPECT_EQ(calls, (std::vector<std::string>{"newer", "older"}));
  ASSERT_EQ(reporter.entries.size(), 1u);
  EXPECT_EQ(reporter.entries[0].kind, testsupport::RecordingReporter::Entry::Error);
  EXPECT_EQ(reporter.entries[0].caption, "Vestibo");
  EXPECT_EQ(reporter.entries[0].text, "Driver not support transactions");
}

TEST(ErrorDisplay, AFailingHandlerDoesNotHideTheError) {
  testsupport::RecordingReporter reporter;
  ErrorDisplay display(reporter);
  display.AddHandler([](const std::exception_ptr&) -> bool { throw std::runtime_error("dialog broke"); });
  display.Show(std::make_exception_ptr(std::runtime_error("original")));
  EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"dialog broke", "original"}));

  display.Show(std::make_exception_ptr(42));
  EXPECT_EQ(reporter.Texts().back(), "Unknown error");
}

TEST(Conversions, GuardedRunTellsTheOutcomesApartAndShowsStoppingErrors) {
  testsupport::RecordingReporter reporter;
  ErrorDisplay display(reporter);
  EXPECT_EQ(RunGuarded([] { return ConversionResult::Done; }, display), RunOutcome::Done);
  EXPECT_EQ(RunGuarded([] { return ConversionResult::NothingToDo; }, display), RunOutcome::NothingToDo);
  EXPECT_EQ(RunGuarded([] { return ConversionResult::FailureReported; }, display), RunOutcome::FailureReported);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(RunGuarded([]() -> ConversionResult { throw std::runtime_error("'1.5x' is not a valid floating point value"); },
                       display),
            RunOutcome::Stopped);
  ASSERT_EQ(reporter.entries.size(), 1u);
  EXPECT_EQ(reporter.entries[0].caption, "Vestibo");
}

TEST(Conversions, ExitCodesTellSuccessFromEachKindOfFailure) {
  EXPECT_EQ(ToInt(ExitCodeFor(RunOutcome::Done)), 0);
  EXPECT_EQ(ToInt(ExitCodeFor(RunOutcome::NothingToDo)), 0);
  const std::vector<int> failures = {ToInt(ExitCodeFor(RunOutcome::FailureReported)),
                                     ToInt(ExitCodeFor(RunOutcome::Stopped)), ToInt(ExitCode::UnrecognisedCommand),
                                     ToInt(ExitCode::NoDisplay)};
  for (std::size_t i = 0; i < failures.size(); ++i) {
    EXPECT_NE(failures[i], 0);
    for (std::size_t j = i + 1; j < failures.size(); ++j) EXPECT_NE(failures[i], failures[j]);
  }
}

TEST(ConsoleStart, WithoutACommandPrintsTheUsageWithLineFeedsAndFails) {
  std::ostringstream out, err;
  const std::vector<std::string> none;
  const ExitCode code = RunConsole(EvaluateCommandLine(none, "/k"), out, err, false);
  EXPECT_EQ(code, ExitCode::NoDisplay);
  EXPECT_EQ(out.str(), "");
  const std::string text = err.str();
  EXPECT_EQ(text, ToLineFeeds(kUsageMessage) + "\n");
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST(ConsoleStart, AnUnrecognisedCommandPrintsTheParameterErrorAndTheUsage) {
  std::ostringstream out, err;
  const std::vector<std::string> args = {"PDBTOTXTX", "a", "b"};
  EXPECT_EQ(RunConsole(EvaluateCommandLine(args, "/k"), out, err, false), ExitCode::UnrecognisedCommand);
  EXPECT_EQ(err.str().rfind("Vestibo: Ошибка в ратаметрах\n", 0), 0u);
  EXPECT_NE(err.str().find("Допустимые параметры:\n"), std::string::npos);
}

}  // namespace
}  // namespace app
