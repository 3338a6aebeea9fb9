#include "gui/WindowedStart.h"

#include <QApplication>

#include "app/ExitCode.h"
#include "gui/TfrmMain.h"
#include "gui/TmODBCErrorDlg.h"

namespace gui {

int RunWindowed(int& argc, char** argv, const app::StartupPlan& plan) {
  QApplication application(argc, argv);
  // Created before the window, so that errors of the window's own start-up can use it.
  TmODBCErrorDlg odbcErrorDialog;
  QApplication::setApplicationName(QString::fromUtf8(app::kApplicationTitle.data(),
                                                     static_cast<qsizetype>(app::kApplicationTitle.size())));
  TfrmMain window(plan.state);

  app::ExitCode code = app::ExitCode::Success;
  if (plan.command) {
    const app::RunOutcome outcome = window.RunConversion(*plan.command);
    if (outcome != app::RunOutcome::Stopped) return app::ToInt(app::ExitCodeFor(outcome));
    // The error has been shown; the person gets the window to try again.
    code = app::ExitCode::ConversionStopped;
  } else if (plan.unrecognisedCommand) {
    window.Reporter().ShowMessage(app::kParameterError);
    code = app::ExitCode::UnrecognisedCommand;
  } else if (plan.usageRequested) {
    window.Reporter().ShowMessage(app::kUsageMessage);
  }
  window.show();
  QApplication::exec();
  return app::ToInt(code);
}

}  // namespace gui
