// Runs the built program without a display, as an unattended caller would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
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

ProgramRun RunProgram(const std::string& arguments) {
  testsupport::TempDir dir;
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(VESTIBO_PROGRAM) + " " + arguments +
                              " >" + Quoted((dir / "out").string()) + " 2>" + Quoted((dir / "err").string()) +
                              " </dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status)) << command;
  return {WEXITSTATUS(status), dir.ReadFile("out"), dir.ReadFile("err")};
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

}  // namespace

#endif
