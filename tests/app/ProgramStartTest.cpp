// Runs the built program as an unattended caller would: without a display, with one that cannot
// be reached, with options.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/ExitCode.h"
#include "support/TempDir.h"

#ifdef VESTIBO_PROGRAM

namespace {

struct ProgramRun {
  int exitCode;
  std::string out;
  std::string err;
};

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// `environment` is added to a start without any display and in a UTF-8 locale.
ProgramRun RunProgram(const std::string& arguments, const std::string& environment = "") {
  testsupport::TempDir dir;
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE LC_ALL=C.UTF-8 " +
                              environment + " " + Quoted(VESTIBO_PROGRAM) + " " + arguments + " >" +
                              Quoted((dir / "out").string()) + " 2>" + Quoted((dir / "err").string()) + " </dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status)) << command;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.ReadFile("out"), dir.ReadFile("err")};
}

// An X display number that no server listens on.
std::string UnreachableDisplay() {
  for (int n = 97;; ++n)
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) return ":" + std::to_string(n);
}

TEST(ProgramStart, WithoutDisplayOrCommandItPrintsTheUsageAndFails) {
  const ProgramRun run = RunProgram("");
  EXPECT_EQ(run.exitCode, app::ToInt(app::ExitCode::NoDisplay));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("Допустимые параметры:\n\"Команда\"", 0), 0u) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
}

TEST(ProgramStart, WithoutDisplayABadCommandFailsWithTheParameterError) {
  const ProgramRun run = RunProgram("TXTTOPDBX /tmp/a /tmp/b");
  EXPECT_EQ(run.exitCode, app::ToInt(app::ExitCode::UnrecognisedCommand));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("Vestibo: Ошибка в ратаметрах\n", 0), 0u) << run.err;
}

TEST(ProgramStart, ADisplayThatCannotBeOpenedOrConsoleModeRunsTheCommandOnTheConsole) {
  testsupport::TempDir source, dest;
  const std::string dead = UnreachableDisplay();
  const std::string command = "TXTTOPDB " + Quoted(source.Str()) + " " + Quoted(dest.Str());
  const std::string nothingToDo = "Нечего делать: в каталоге \"" + source.Str() + "\" нет файла Product.txt\n";
  struct Case {
    std::string environment, arguments;
    int exitCode;
    std::string outStart, errStart;
  };
  const std::vector<Case> cases = {
      {"DISPLAY=" + dead, command, 0, nothingToDo, ""},
      {"WAYLAND_DISPLAY=vestibo-no-such-socket", command, 0, nothingToDo, ""},
      {"DISPLAY=" + dead, "", app::ToInt(app::ExitCode::NoDisplay), "", "Допустимые параметры:\n"},
      {"DISPLAY=" + dead, "--console " + command, 0, nothingToDo, ""},
      // Help and version answer without ever trying the display.
      {"DISPLAY=" + dead, "--help", 0, "Допустимые параметры:\n", ""},
      {"DISPLAY=" + dead, "--version", 0, "vestibo ", ""},
      {"DISPLAY=" + dead, "--verbose " + command, app::ToInt(app::ExitCode::UnrecognisedCommand), "",
       "Vestibo: Ошибка в ратаметрах\nНеизвестный параметр --verbose\n"},
      // A missing source folder is an error naming it; under LANG=C the console gets ASCII.
      {"", "--console TXTTOPDB " + Quoted(source.Str() + "/nowhere") + " /tmp", 2, "",
       "Vestibo: Каталог \"" + source.Str() + "/nowhere\" не найден\nNo such file or directory\n"},
      {"LC_ALL=C", "PDBTOTXT " + Quoted(source.Str() + "/nowhere") + " /tmp", 2, "",
       "Vestibo: Katalog \"" + source.Str() + "/nowhere\" ne nayden\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.environment + " " + c.arguments);
    const ProgramRun run = RunProgram(c.arguments, c.environment);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.out.rfind(c.outStart, 0), 0u) << run.out;
    EXPECT_EQ(run.err.rfind(c.errStart, 0), 0u) << run.err;
  }
  EXPECT_TRUE(dest.List().empty());
}

TEST(ProgramStart, AnErrorShownOnTheWayFailsTheRunEvenWhenItsOutputIsMade) {
  testsupport::TempDir source, dest;
  source.WriteFile("product.txt",
                   "Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3;Price4\r\n"
                   "1;1;P1;Bread;;pc;1;2;3;4;5;6\r\n");
  source.WriteFile("category.txt", "Id;IdParent;Name\r\n1;0;Bakery\r\n");
  const ProgramRun run = RunProgram("TXTTOPDB " + Quoted(source.Str()) + " " + Quoted(dest.Str()));
  EXPECT_EQ(run.exitCode, app::ToInt(app::ExitCode::ConversionFailed));
  EXPECT_NE(run.err.find("customer.txt"), std::string::npos) << run.err;
  EXPECT_TRUE(dest.Exists("Kestor_In.pdb"));
}

}  // namespace

#endif
