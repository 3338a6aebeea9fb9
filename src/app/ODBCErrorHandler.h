// How an ODBC error that stops a conversion reaches the person: in the window through the ODBC
// error dialog (its records converted to the dialog model's plain records), on the console as
// one line per diagnostic record. Both are handlers of the ErrorDisplay; every other exception
// passes on to the plain error display.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/ErrorDisplay.h"
#include "app/ODBCErrorDialogModel.h"
#include "odbc/ESQLerror.h"

namespace app {

// The error's records for the dialog; driver texts (Windows-1251 bytes) converted to UTF-8.
std::vector<ODBCDiagnosticRecord> ODBCDiagnosticRecords(const odbc::ESQLerror& error);
// The error's message in UTF-8, shown when it has no records.
std::string ODBCErrorMessage(const odbc::ESQLerror& error);

// Prints every record on its own line: "<title>: <SQLSTATE> (native <code>): <message>"; an
// error without records prints its message.
void PrintODBCError(const odbc::ESQLerror& error, std::ostream& err);

// Shows records and message somewhere; returns false when it could not (the dialog is busy).
using ODBCErrorShow = std::function<bool(std::vector<ODBCDiagnosticRecord> records, std::string message)>;
// A handler that gives ESQLerror exceptions to `show` and passes every other one on.
ErrorDisplay::Handler MakeODBCErrorHandler(ODBCErrorShow show);

// The console's installer (an ErrorHandlerInstaller): ODBC errors are printed on `err`.
void InstallODBCConsoleHandler(ErrorDisplay& display, std::ostream& err);

}  // namespace app
