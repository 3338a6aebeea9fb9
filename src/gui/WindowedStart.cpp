#include "gui/WindowedStart.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <iostream>

#include "app/ConsoleEncoding.h"
#include "app/ODBCErrorHandler.h"
#include "app/StartChecks.h"
#include "gui/TmODBCErrorDlg.h"
#include "odbc/TmSession.h"

namespace gui {

namespace {

// Compiled in from packaging/ when the package has drawn the icon; Qt's default icon otherwise.
const char* const kWindowIcon = ":/vestibo.svg";

}  // namespace

app::ExitCode StartWindow(TfrmMain& window, const app::StartupPlan& plan, const std::function<void()>& runEventLoop,
                          std::ostream& out) {
  app::ExitCode code = app::ExitCode::Success;
  if (plan.command) {
    const app::RunOutcome outcome = window.RunConversion(*plan.command);
    if (outcome == app::RunOutcome::NothingToDo)
      out << app::ConsoleEncoding::ForLocale()(app::NothingToDoNotice(*plan.command, window.State())) << '\n'
          << std::flush;
    if (outcome != app::RunOutcome::Stopped) return app::ExitCodeFor(outcome);
    // The error has been shown; the person gets the window to try again.
    code = app::ExitCode::ConversionStopped;
  } else if (plan.unrecognisedCommand) {
    window.Reporter().ShowMessage(app::kParameterError);
    code = app::ExitCode::UnrecognisedCommand;
  } else if (plan.usageRequested) {
    window.Reporter().ShowMessage(app::kUsageMessage);
  }
  window.show();
  runEventLoop();
  return code;
}

std::vector<std::unique_ptr<QTranslator>> InstallQtTranslations(const QLocale& locale) {
  std::vector<std::unique_ptr<QTranslator>> installed;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto translator = std::make_unique<QTranslator>();
  if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
      QCoreApplication::installTranslator(translator.get()))
    installed.push_back(std::move(translator));
  return installed;
}

int RunWindowed(int& argc, char** argv, const app::StartupPlan& plan) {
  QApplication application(argc, argv);
  const auto translations = InstallQtTranslations(QLocale::system());
  if (QFile::exists(QString::fromLatin1(kWindowIcon))) QApplication::setWindowIcon(QIcon(QString::fromLatin1(kWindowIcon)));
  // Start-up order: the default ODBC session (no ODBC call yet; a second call is a no-op when
  // main created it), the ODBC error dialog, the title, the window.
  odbc::DefaultSession();
  TmODBCErrorDlg odbcErrorDialog;
  QApplication::setApplicationName(
      QString::fromUtf8(core::kApplicationTitle.data(), static_cast<qsizetype>(core::kApplicationTitle.size())));
  TfrmMain window(plan.state);
  // ODBC errors go to the dialog; while it shows one, another passes on to the plain display.
  window.Errors().AddHandler(app::MakeODBCErrorHandler(
      [&odbcErrorDialog](std::vector<app::ODBCDiagnosticRecord> records, std::string message) {
        return odbcErrorDialog.ShowError(std::move(records), std::move(message));
      }));
  return app::ToInt(StartWindow(window, plan, [] { QApplication::exec(); }, std::cout));
}

}  // namespace gui
