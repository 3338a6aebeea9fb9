#include "gui/DisplayProbe.h"

#include <QGuiApplication>
#include <cerrno>
#include <cstdlib>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace gui {

namespace {

#ifndef _WIN32
constexpr auto kProbeTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

bool EnvironmentNamesADisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Qt's fatal message is where a platform that cannot start ends; leaving quietly here spares
// the abort (and a core dump) that would follow it.
void ExitOnFatal(QtMsgType type, const QMessageLogContext&, const QString&) {
  if (type == QtFatalMsg) _exit(1);
}

[[noreturn]] void ProbeInChild(int argc, char** argv) {
  const int devNull = open("/dev/null", O_WRONLY);
  if (devNull >= 0) {
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
  }
  qInstallMessageHandler(ExitOnFatal);
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  int count = argc;
  {
    QGuiApplication application(count, args.data());
  }
  _exit(0);
}
#endif

}  // namespace

bool DisplayCanBeOpened(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  return true;
#else
  if (!EnvironmentNamesADisplay()) return false;
  const pid_t child = fork();
  if (child < 0) return true;  // no trial possible: let Qt try for real, as before
  if (child == 0) ProbeInChild(argc, argv);

  const auto deadline = std::chrono::steady_clock::now() + kProbeTimeout;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    // A server that accepts the connection but never answers counts as unreachable.
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
#endif
}

}  // namespace gui
