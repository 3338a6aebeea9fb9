#include "app/ODBCErrorHandler.h"

#include "app/CommandLine.h"
#include "core/Encoding.h"

namespace app {

std::vector<ODBCDiagnosticRecord> ODBCDiagnosticRecords(const odbc::ESQLerror& error) {
  std::vector<ODBCDiagnosticRecord> records;
  records.reserve(error.Records().size());
  for (const odbc::TSQLDiagRecord& record : error.Records())
    records.push_back({record.sqlState, record.nativeError, core::AnsiToUtf8(record.message)});
  return records;
}

std::string ODBCErrorMessage(const odbc::ESQLerror& error) { return core::AnsiToUtf8(error.what()); }

void PrintODBCError(const odbc::ESQLerror& error, std::ostream& err) {
  const auto records = ODBCDiagnosticRecords(error);
  if (records.empty()) err << core::kApplicationTitle << ": " << ODBCErrorMessage(error) << '\n';
  for (const ODBCDiagnosticRecord& record : records) {
    err << core::kApplicationTitle << ": " << record.SQLState << " (native " << record.NativeError
        << "): " << record.Message << '\n';
  }
  err << std::flush;
}

ErrorDisplay::Handler MakeODBCErrorHandler(ODBCErrorShow show) {
  return [show = std::move(show)](const std::exception_ptr& error) {
    try {
      std::rethrow_exception(error);
    } catch (const odbc::ESQLerror& odbcError) {
      return show(ODBCDiagnosticRecords(odbcError), ODBCErrorMessage(odbcError));
    } catch (...) {
      return false;
    }
  };
}

void InstallODBCConsoleHandler(ErrorDisplay& display, std::ostream& err) {
  display.AddHandler([&err](const std::exception_ptr& error) {
    try {
      std::rethrow_exception(error);
    } catch (const odbc::ESQLerror& odbcError) {
      PrintODBCError(odbcError, err);
      return true;
    } catch (...) {
      return false;
    }
  });
}

}  // namespace app
