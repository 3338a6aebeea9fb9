#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace app {
namespace {

using Args = std::vector<std::string>;
using convert::CategorySource;
constexpr std::string_view kDefault = "/home/agent/Key";

StartupPlan Evaluate(const Args& args) { return EvaluateCommandLine(args, kDefault); }

struct CommandCase {
  Args args;
  std::optional<Command> command;
  CategorySource categorySource;
  std::string driver;
};

TEST(CommandLine, RecognisedCommandsRunWithTheirDirectoriesAndNoInteraction) {
  const std::vector<CommandCase> cases = {
      {{"TXTTOPDB", "c:\\Data", "c:\\Out"}, Command::TxtToPdb, CategorySource::TextFile, ""},
      {{"TxtToPdb", "c:\\Data", "c:\\Out"}, Command::TxtToPdb, CategorySource::TextFile, ""},
      {{"pdbtotxt", "c:\\Data", "c:\\Out"}, Command::PdbToTxt, CategorySource::None, ""},
      {{"pdbtotxt", "c:\\Data", "c:\\Out", "surplus", "more"}, Command::PdbToTxt, CategorySource::None, ""},
      {{"PdbToDbf", "c:\\Data", "c:\\Out"}, Command::PdbToDbf, CategorySource::None, ""},
      {{"PDBTODBF", "c:\\Data", "c:\\Out", "Visual FoxPro vfp Driver", "surplus"},
       Command::PdbToDbf,
       CategorySource::None,
       "Visual FoxPro vfp Driver"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " with " + std::to_string(c.args.size()) + " arguments");
    const StartupPlan plan = Evaluate(c.args);
    EXPECT_EQ(plan.command, c.command);
    EXPECT_FALSE(plan.unrecognisedCommand);
    EXPECT_FALSE(plan.usageRequested);
    EXPECT_FALSE(plan.state.Interactive);
    EXPECT_EQ(plan.state.CategorySource, c.categorySource);
    EXPECT_EQ(plan.state.edtSource, "c:\\Data");
    EXPECT_EQ(plan.state.edtDest, "c:\\Out");
    EXPECT_EQ(plan.state.OdbcDriver, c.driver);
  }
}

TEST(CommandLine, AFourthArgumentIsADriverOnlyForPdbToDbf) {
  EXPECT_EQ(Evaluate({"txttopdb", "a", "b", "Some Driver"}).state.OdbcDriver, "");
  EXPECT_EQ(Evaluate({"pdbtotxt", "a", "b", "Some Driver"}).state.OdbcDriver, "");
  EXPECT_EQ(Evaluate({"pdbtodbf", "a", "b", "Some Driver"}).state.OdbcDriver, "Some Driver");
}

TEST(CommandLine, WordsThatAreNotExactlyACommandAreRefused) {
  // Longer or shorter words, look-alikes outside a-z, and blanks around the word.
  for (const std::string word : {"TXTTOPDBX", "PDBTOTXT2", "PDBTODB", "foo", "", " PDBTOTXT", "РDBTOTXT",
                                 "pdbtotxt\xC3\xA9"}) {
    SCOPED_TRACE(word);
    const StartupPlan plan = Evaluate({word, "c:\\Data", "c:\\Out", "extra"});
    EXPECT_FALSE(plan.command.has_value());
    EXPECT_TRUE(plan.unrecognisedCommand);
    // The window then opens with the two directories, not interactive, no categories.
    EXPECT_EQ(plan.state.edtSource, "c:\\Data");
    EXPECT_EQ(plan.state.edtDest, "c:\\Out");
    EXPECT_FALSE(plan.state.Interactive);
    EXPECT_EQ(plan.state.CategorySource, CategorySource::None);
    EXPECT_EQ(plan.state.OdbcDriver, "");
  }
}

TEST(CommandLine, NoArgumentsOrTwoStartTheInteractiveWindowOnTheDefaultDirectory) {
  for (const Args& args : {Args{}, Args{"TXTTOPDB", "c:\\Data"}, Args{"/?", "x"}}) {
    SCOPED_TRACE(args.size());
    const StartupPlan plan = Evaluate(args);
    EXPECT_FALSE(plan.command.has_value());
    EXPECT_FALSE(plan.unrecognisedCommand);
    EXPECT_FALSE(plan.usageRequested);
    EXPECT_TRUE(plan.state.Interactive);
    EXPECT_EQ(plan.state.CategorySource, CategorySource::TextFile);
    EXPECT_EQ(plan.state.edtSource, kDefault);
    EXPECT_EQ(plan.state.edtDest, kDefault);
  }
}

TEST(CommandLine, OneArgumentOpensAnEmptyWindowAndAsksForUsageOnlyWithAQuestionMark) {
  struct Case {
    std::string arg;
    bool usage;
  };
  for (const Case& c : {Case{"/?", true}, Case{"help?me", true}, Case{"?", true}, Case{"TXTTOPDB", false},
                        Case{"/h", false}}) {
    SCOPED_TRACE(c.arg);
    const StartupPlan plan = Evaluate({c.arg});
    EXPECT_EQ(plan.usageRequested, c.usage);
    EXPECT_FALSE(plan.command.has_value());
    EXPECT_FALSE(plan.unrecognisedCommand);
    EXPECT_FALSE(plan.state.Interactive);
    EXPECT_EQ(plan.state.CategorySource, CategorySource::None);
    EXPECT_EQ(plan.state.edtSource, "");
    EXPECT_EQ(plan.state.edtDest, "");
  }
}

TEST(CommandLine, UsageTextIsFiveLinesSeparatedByCarriageReturnsOnly) {
  const std::vector<std::string> lines = {
      R"x(Допустимые параметры:)x",
      R"x("Команда"  "Каталог с даными"  "Каталог для сохранения результата")x",
      R"x("TXTTOPDB  c:\Data              c:\Ftp\PALM-1\TEMP"  - Упаковывает справочники для отправки на PALM)x",
      R"x("PDBTOTXT  c:\Ftp\PALM-1   c:\Data"  - Извлекает документы из выгруженной с PALM базы данных)x",
      R"x("PDBTODBF  c:\Ftp\PALM-1   c:\Data [Имя ODBC драайвера]"  - Извлекает документы из выгруженной с PALM базы данных в формате DBF. Если не указано имя драйвера используется "Microsoft dBase Driver (*.dbf)")x",
  };
  std::string expected;
  for (std::size_t i = 0; i < lines.size(); ++i) expected += (i ? "\r" : "") + lines[i];
  EXPECT_EQ(kUsageMessage, expected);
  EXPECT_EQ(kUsageMessage.find('\n'), std::string_view::npos);
  // Fourteen blanks after the data directory of the TXTTOPDB line.
  EXPECT_NE(kUsageMessage.find("c:\\Data" + std::string(14, ' ') + "c:\\Ftp"), std::string_view::npos);
}

TEST(CommandLine, DefaultDirectoryIsKeyInTheHomeDirectory) {
  {
    testsupport::ScopedEnv home("HOME", "/home/agent");
    EXPECT_EQ(DefaultKeyDirectory(), "/home/agent/Key");
  }
  {
    testsupport::ScopedEnv home("HOME", "/home/agent/");
    EXPECT_EQ(DefaultKeyDirectory(), "/home/agent/Key");
  }
  {
    testsupport::ScopedEnv home("HOME", "/");
    EXPECT_EQ(DefaultKeyDirectory(), "/Key");
  }
}

}  // namespace
}  // namespace app
