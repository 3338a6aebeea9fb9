// The console side of the program: the reporter, the gauge, the error display and the start-up
// without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "app/ConsoleEncoding.h"
#include "app/ConsoleReporter.h"
#include "app/ConsoleStart.h"
#include "app/ConversionRun.h"
#include "app/ErrorDisplay.h"
#include "app/ExitCode.h"
#include "app/ProgressGauge.h"
#include "app/StartChecks.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

namespace app {
namespace {

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

TEST(ConsoleReporter, ProgressOnATerminalIsOneUpdatingLinePerWalkWithItsName) {
  std::ostringstream out, err;
  std::string step = "Kestor_ProductDB.pdb";
  {
    ConsoleReporter reporter(out, err, true, ConsoleEncoding(), [&] { return step; });
    reporter.ProgressStart(4);
    reporter.ProgressStep();
    reporter.ProgressStep();
    reporter.ShowError("Vestibo", "stop");
    step = "Kestor_CustomerDB.pdb";
    reporter.ProgressStart(2);
    reporter.ProgressStep();
    step.clear();
    reporter.ProgressStart(1);
    reporter.ProgressStep();
    reporter.ProgressStart(2, "product.txt");  // a name of its own goes before the database's
    reporter.ProgressStep();
    EXPECT_EQ(reporter.ErrorsShown(), 1);
  }
  EXPECT_EQ(err.str(),
            "\rKestor_ProductDB.pdb 0%\rKestor_ProductDB.pdb 25%\rKestor_ProductDB.pdb 50%\nVestibo: stop\n"
            "\rKestor_CustomerDB.pdb 0%\rKestor_CustomerDB.pdb 50%\n\r0%\r100%\n\rproduct.txt 0%\rproduct.txt 50%\n");
  EXPECT_EQ(out.str(), "");
}

TEST(ConsoleEncoding, TheLocaleNamesTheCharacterSet) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ru_RU.UTF-8", "UTF-8"}, {"C.utf8", "utf8"},       {"ru_RU.KOI8-R@euro", "KOI8-R"},
      {"C", "US-ASCII"},        {"POSIX", "US-ASCII"},    {"", "US-ASCII"},
      {"xx_NOWHERE", "US-ASCII"}};
  for (const auto& [locale, charset] : cases) EXPECT_EQ(CharsetOfLocale(locale), charset) << locale;
}

TEST(ConsoleEncoding, CyrillicIsKeptWhereTheSetHoldsItAndTransliteratedWhereNot) {
  const std::string text = "Ошибка в ратаметрах: \"/tmp/x\" №1";
  EXPECT_EQ(ConsoleEncoding("UTF-8")(text), text);
  EXPECT_EQ(ConsoleEncoding("utf8")(text), text);
  // KOI8-R holds the letters but not the numero sign.
  EXPECT_EQ(ConsoleEncoding("KOI8-R")("Ошибка"), "\xEF\xDB\xC9\xC2\xCB\xC1");
  EXPECT_EQ(ConsoleEncoding("KOI8-R")("Ошибка №1"), "\xEF\xDB\xC9\xC2\xCB\xC1 No1");
  for (const char* ascii : {"US-ASCII", "ANSI_X3.4-1968"})
    EXPECT_EQ(ConsoleEncoding(ascii)(text), "Oshibka v ratametrakh: \"/tmp/x\" No1") << ascii;
  // An emoji has no Latin form: what is left becomes "?".
  EXPECT_EQ(ConsoleEncoding("US-ASCII")("\xF0\x9F\x98\x80!"), "?!");
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
  EXPECT_EQ(RunGuarded([] { return convert::ConversionResult::Done; }, display), RunOutcome::Done);
  EXPECT_EQ(RunGuarded([] { return convert::ConversionResult::NothingToDo; }, display), RunOutcome::NothingToDo);
  EXPECT_EQ(RunGuarded([] { return convert::ConversionResult::FailureReported; }, display), RunOutcome::FailureReported);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(RunGuarded([]() -> convert::ConversionResult { throw std::runtime_error("'1.5x' is not a valid floating point value"); },
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

TEST(Conversions, AnErrorShownMakesADoneRunAFailure) {
  struct Case {
    RunOutcome outcome;
    int errors;
    RunOutcome expected;
  };
  for (const Case& c : {Case{RunOutcome::Done, 0, RunOutcome::Done}, Case{RunOutcome::Done, 1, RunOutcome::FailureReported},
                        Case{RunOutcome::NothingToDo, 2, RunOutcome::FailureReported},
                        Case{RunOutcome::Stopped, 1, RunOutcome::Stopped}})
    EXPECT_EQ(WithErrorsShown(c.outcome, c.errors), c.expected) << static_cast<int>(c.outcome) << " " << c.errors;
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

TEST(ConsoleStart, HelpVersionAndUnknownOptionsAnswerAndEnd) {
  struct Case {
    std::vector<std::string> args;
    std::optional<ExitCode> code;
    std::string outStart, errStart;
  };
  const std::vector<Case> cases = {
      {{"--help"}, ExitCode::Success, "Допустимые параметры:\n", ""},
      {{"--console", "-h", "TXTTOPDB", "a", "b"}, ExitCode::Success, "Допустимые параметры:\n", ""},
      {{"--version", "--help"}, ExitCode::Success, "vestibo 9.8\n", ""},
      {{"--frobnicate", "--help"}, ExitCode::UnrecognisedCommand, "",
       "Vestibo: Ошибка в ратаметрах\nНеизвестный параметр --frobnicate\nДопустимые параметры:\n"},
      {{"--console", "TXTTOPDB", "--help", "b"}, std::nullopt, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " ... " + c.args.back());
    std::ostringstream out, err;
    EXPECT_EQ(AnswerOption(ParseProgramOptions(c.args), Console{out, err}, "9.8"), c.code);
    EXPECT_EQ(out.str().rfind(c.outStart, 0), 0u) << out.str();
    EXPECT_EQ(err.str().rfind(c.errStart, 0), 0u) << err.str();
    if (c.code == ExitCode::Success && c.outStart != "vestibo 9.8\n") {
      EXPECT_NE(out.str().find("--console"), std::string::npos);
      EXPECT_EQ(err.str(), "");
    }
  }
}

TEST(ConsoleStart, AMissingSourceFolderStopsTheCommandAndAnEmptyOneHasNothingToDo) {
  testsupport::TempDir source, dest;
  struct Case {
    std::string command, sourceDir;
    ExitCode code;
    std::string outText, errText;
  };
  const std::vector<Case> cases = {
      {"TXTTOPDB", source.Str() + "/missing", ExitCode::ConversionStopped, "",
       "Vestibo: Каталог \"" + source.Str() + "/missing\" не найден\nNo such file or directory\n"},
      {"PDBTOTXT", source.Str() + "/", ExitCode::Success,
       "Нечего делать: в каталоге \"" + source.Str() + "\" нет файла Kestor_Out.pdb\n", ""},
      {"txttopdb", source.Str(), ExitCode::Success,
       "Нечего делать: в каталоге \"" + source.Str() + "\" нет файла Product.txt\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command + " " + c.sourceDir);
    std::ostringstream out, err;
    const std::vector<std::string> args = {c.command, c.sourceDir, dest.Str()};
    EXPECT_EQ(RunConsole(EvaluateCommandLine(args, "/k"), out, err, false), c.code);
    EXPECT_EQ(out.str(), c.outText);
    EXPECT_EQ(err.str(), c.errText);
  }
  EXPECT_TRUE(dest.List().empty());
}

TEST(StartChecks, DirectoriesLoseTrailingSeparatorsButRootsStay) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/data/out/", "/data/out"}, {"/data/out//", "/data/out"}, {"/data/out", "/data/out"}, {"/", "/"},
      {"", ""},                     {"out/ ", "out/ "},          {"c:/", "c:/"},            {"c:/Out/", "c:/Out"}};
  for (const auto& [typed, used] : cases) EXPECT_EQ(WithoutTrailingSeparators(typed), used) << typed;
}

TEST(StartChecks, TheRunnerGetsCheckedFoldersAndNeverStartsOnAnUnreadableSource) {
  testsupport::TempDir source;
  source.WriteFile("plain", "x");
  testsupport::RecordingReporter reporter;
  ErrorDisplay errors(reporter);
  convert::MainFormObjects objects;
  std::vector<std::string> seen;
  const ConversionRunner runner = [&](Command, convert::ConversionContext& context, const ErrorDisplay&) {
    seen.push_back(context.state.edtSource + "|" + context.state.edtDest);
    return RunOutcome::Done;
  };

  convert::MainFormState state;
  state.edtSource = source.Str() + "//";
  state.edtDest = "/out/";
  convert::ConversionContext context{state, reporter, objects};
  EXPECT_EQ(RunChecked(Command::TxtToPdb, context, errors, runner), RunOutcome::Done);
  EXPECT_EQ(seen, std::vector<std::string>{source.Str() + "|/out"});

  state.edtSource = (source / "plain").string();
  EXPECT_EQ(RunChecked(Command::PdbToTxt, context, errors, runner), RunOutcome::Stopped);
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"\"" + state.edtSource + "\" не является каталогом\nNot a directory"});
}

}  // namespace
}  // namespace app
