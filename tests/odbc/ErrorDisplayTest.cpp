// ODBC errors on their way to the person: the records for the error dialog and the console
// lines, from a real driver-manager failure and from a stub diagnostics reader with several
// records.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "support/OdbcTestEnv.h"
#include "app/ODBCErrorHandler.h"
#include "core/Reporter.h"
#include "support/RecordingReporter.h"

namespace odbctest {
namespace {

// Three diagnostic records, the second with a Windows-1251 text ("Таблица" = table).
SQLRETURN SQL_API ThreeRecords(SQLSMALLINT, SQLHANDLE, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
                               SQLCHAR* message, SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
  static const char* const kStates[] = {"42S02", "01000", "HY000"};
  static const char* const kTexts[] = {"no such table", "\xD2\xE0\xE1\xEB\xE8\xF6\xE0", "general error"};
  if (record < 1 || record > 3) return SQL_NO_DATA;
  std::snprintf(reinterpret_cast<char*>(state), 6, "%s", kStates[record - 1]);
  *native = record * 10;
  const std::string text = kTexts[record - 1];
  std::snprintf(reinterpret_cast<char*>(message), static_cast<std::size_t>(bufferLength), "%s", text.c_str());
  *textLength = static_cast<SQLSMALLINT>(text.size());
  return SQL_SUCCESS;
}

odbc::ESQLerror ThreeRecordError() {
  odbc::TOdbcApi api;
  api.SQLGetDiagRec = &ThreeRecords;
  int handle = 0;
  return odbc::ESQLerror(api, SQL_HANDLE_STMT, SQL_ERROR, &handle);
}

TEST(ODBCErrorDisplay, ConsolePrintsEveryRecordAndPassesOtherErrorsOn) {
  testsupport::RecordingReporter fallback;
  std::ostringstream err;
  app::ErrorDisplay display(fallback);
  app::InstallODBCConsoleHandler(display, err);

  display.Show(std::make_exception_ptr(ThreeRecordError()));
  EXPECT_EQ(err.str(),
            "Vestibo: 42S02 (native 10): no such table\n"
            "Vestibo: 01000 (native 20): \xD0\xA2\xD0\xB0\xD0\xB1\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0\n"
            "Vestibo: HY000 (native 30): general error\n");
  EXPECT_TRUE(fallback.entries.empty());

  err.str("");
  display.Show(std::make_exception_ptr(odbc::ESQLerror("Database not opened")));
  EXPECT_EQ(err.str(), "Vestibo: Database not opened\n");

  err.str("");
  display.Show(std::make_exception_ptr(std::runtime_error("Driver not support transactions")));
  EXPECT_EQ(err.str(), "");
  ASSERT_EQ(fallback.entries.size(), 1u);
  EXPECT_EQ(fallback.entries[0].text, "Driver not support transactions");
}

TEST(ODBCErrorDisplay, DialogGetsTheRecordsInOrderOrTheMessage) {
  testsupport::RecordingReporter fallback;
  app::ErrorDisplay display(fallback);
  std::vector<app::ODBCDiagnosticRecord> shown;
  std::string shownMessage;
  bool busy = false;
  display.AddHandler(app::MakeODBCErrorHandler([&](std::vector<app::ODBCDiagnosticRecord> records, std::string message) {
    if (busy) return false;
    shown = std::move(records);
    shownMessage = std::move(message);
    return true;
  }));

  display.Show(std::make_exception_ptr(ThreeRecordError()));
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].SQLState, "42S02");
  EXPECT_EQ(shown[2].NativeError, 30);
  EXPECT_EQ(shown[1].Message, "\xD0\xA2\xD0\xB0\xD0\xB1\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0");
  EXPECT_EQ(shownMessage, "42S02:no such table");
  app::ODBCErrorDialogModel model;
  model.Begin(shown, shownMessage);
  model.Next();
  model.Next();
  EXPECT_EQ(model.Text(), "HY000:general error");
  EXPECT_FALSE(model.NextEnabled());

  // While the dialog shows an error, the next one goes to the plain display.
  busy = true;
  display.Show(std::make_exception_ptr(ThreeRecordError()));
  ASSERT_EQ(fallback.entries.size(), 1u);
  EXPECT_EQ(fallback.entries[0].text, "42S02:no such table");
}

TEST(ODBCErrorDisplay, UnregisteredDriverReachesTheConsole) {
  EnsureDriverRegistry();
  odbc::TmDataBase db;
  db.SetParams({"DRIVER=Vestibo Driver Nobody Registered", "Database=x"});
  db.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
  testsupport::RecordingReporter fallback;
  std::ostringstream err;
  app::ErrorDisplay display(fallback);
  app::InstallODBCConsoleHandler(display, err);
  try {
    db.Connect();
    FAIL() << "connected through a driver nobody registered";
  } catch (...) {
    display.Show(std::current_exception());
  }
  // The driver manager's own record, with the name that it could not load.
  EXPECT_EQ(err.str().rfind("Vestibo: ", 0), 0u) << err.str();
  EXPECT_NE(err.str().find("(native "), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("Vestibo Driver Nobody Registered"), std::string::npos) << err.str();
  EXPECT_TRUE(fallback.entries.empty());
}

}  // namespace
}  // namespace odbctest
