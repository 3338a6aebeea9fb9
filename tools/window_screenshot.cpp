// Draws the main window without a display into two pictures for the README: as it opens, and
// after a "TXT -> PDB" conversion with its gauge full. Run on Qt's offscreen platform
// (scripts/screenshot.sh does):
//   vestibo_screenshot <office dir> <destination dir> <opening.png> <done.png>
#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "core/Reporter.h"
#include "gui/TfrmMain.h"

namespace {

// The client area under a plain title bar with the window's caption, as a desktop shows it.
QPixmap Framed(QWidget& window) {
  constexpr int kBorder = 1;
  constexpr int kTitleHeight = 24;
  const QPixmap client = window.grab();
  QPixmap framed(client.width() + 2 * kBorder, client.height() + kTitleHeight + kBorder);
  framed.fill(QColor(0x2f, 0x3a, 0x45));
  QPainter painter(&framed);
  painter.drawPixmap(kBorder, kTitleHeight, client);
  QFont font = window.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(8, 0, framed.width() - 16, kTitleHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   window.windowTitle());
  return framed;
}

// Messages on the console instead of message boxes that would wait for OK.
class ConsoleMessages : public core::Reporter {
 public:
  void ShowMessage(std::string_view text) override { std::cout << text << '\n'; }
  void ShowError(std::string_view caption, std::string_view text) override {
    std::cerr << caption << ": " << text << '\n';
  }
  void ProgressStart(int, std::string_view) override {}
  void ProgressStep() override {}
};

bool Save(QWidget& window, const char* path) {
  QApplication::processEvents();
  if (Framed(window).save(QFile::decodeName(path), "PNG")) return true;
  std::cerr << "vestibo_screenshot: cannot write " << path << '\n';
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: vestibo_screenshot <office dir> <destination dir> <opening.png> <done.png>\n";
    return 2;
  }
  QApplication application(argc, argv);

  // A start without arguments, in the home of a clerk: both boxes on its Key folder.
  const app::StartupPlan plan = app::EvaluateCommandLine(std::vector<std::string>{}, "/home/clerk/Key");
  ConsoleMessages messages;
  gui::TfrmMain::Options options;
  options.messages = &messages;
  gui::TfrmMain window(plan.state, std::move(options));
  window.show();
  if (!Save(window, argv[3])) return 1;

  window.edtSource.setText(QFile::decodeName(argv[1]));
  window.edtDest.setText(QFile::decodeName(argv[2]));
  const app::RunOutcome outcome = window.RunConversion(app::Command::TxtToPdb);
  if (outcome != app::RunOutcome::Done || window.Gauge().Percent() != 100) {
    std::cerr << "vestibo_screenshot: TXT -> PDB did not complete on " << argv[1] << '\n';
    return 1;
  }
  return Save(window, argv[4]) ? 0 : 1;
}
