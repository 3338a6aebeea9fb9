// TmDataBase: one ODBC connection whose driver connect string is built from key=value lines.
#pragma once

#include <sql.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "odbc/ESQLerror.h"
#include "odbc/TmSession.h"

namespace odbc {

class TmStatement;

enum class TmDriverCompletion { sdPrompt, sdComplete, sdCompleteReq, sdNoPrompt };
enum class TmOdbcCursors { ocUSE_IF_NEEDED, ocUSE_ODBC, ocUSE_DRIVER };
enum class TmIsolationLevels {
  TxnDefault, TxnDirtyRead, TxnReadCommitted, TxnRepeatableRead, TxnSerializable
};
enum class tmAccessMode { ReadWrite, ReadOnly };

// The screen cursor is a service of the window system; the GUI installs one, elsewhere the
// wait-cursor steps do nothing.
struct TmCursorService {
  std::function<std::int16_t()> current;
  std::function<void(std::int16_t)> set;
};

// The value of the line `name`=value in key=value lines (names compare without regard to
// ASCII case); empty when there is no such line.
std::string ParamValue(const std::vector<std::string>& lines, std::string_view name);
// Replaces the value of line `name`, adds the line when missing, removes it for an empty value.
void SetParamValue(std::vector<std::string>& lines, std::string_view name, std::string_view value);
// The lines joined with ";" (none before the first non-empty text), unchanged otherwise.
std::string BuildConnectString(const std::vector<std::string>& lines);

class TmDataBase {
 public:
  static constexpr std::int16_t kSqlWaitCursor = -17;
  static constexpr std::size_t kConnectOutSize = 1024;

  using TOnConnect = std::function<void(TmDataBase& sender)>;
  using TOnSuccessWithInfoEvent = std::function<void(TmDataBase& sender, const std::string& info)>;

  TmDataBase() = default;
  // Disconnects, and tells the attached queries that their connection is gone.
  ~TmDataBase();
  TmDataBase(const TmDataBase&) = delete;
  TmDataBase& operator=(const TmDataBase&) = delete;

  // --- properties
  const std::vector<std::string>& Params() const { return params_; }
  std::vector<std::string>& Params() { return params_; }
  void SetParams(std::vector<std::string> lines) { params_ = std::move(lines); }
  // The value of the "DSN" line of Params.
  std::string DataBaseName() const { return ParamValue(params_, "DSN"); }
  void SetDataBaseName(const std::string& name) { SetParamValue(params_, "DSN", name); }

  TmDriverCompletion DriverCompletion() const { return driverCompletion_; }
  void SetDriverCompletion(TmDriverCompletion value) { driverCompletion_ = value; }
  TmOdbcCursors OdbcCursors() const { return odbcCursors_; }
  void SetOdbcCursors(TmOdbcCursors value) { odbcCursors_ = value; }
  TmIsolationLevels TransIsolation() const { return transIsolation_; }
  void SetTransIsolation(TmIsolationLevels value) { transIsolation_ = value; }
  tmAccessMode AccessMode() const { return accessMode_; }
  // Applied at once when connected.
  void SetAccessMode(tmAccessMode value);
  // Null means the default session. Setting it disconnects first.
  TmSession* Session() const { return session_; }
  void SetSession(TmSession* session);

  std::int16_t WaitCursor() const { return waitCursor_; }
  void SetWaitCursor(std::int16_t cursor) { waitCursor_ = cursor; }
  bool ShowWaitCursor() const { return showWaitCursor_; }
  void SetShowWaitCursor(bool show) { showWaitCursor_ = show; }
  void SetCursorService(TmCursorService service) { cursorService_ = std::move(service); }
  // Parent window for a driver's connect dialog (none by default).
  void SetParentWindow(SQLHWND window) { parentWindow_ = window; }

  TOnConnect OnConnect;
  TOnSuccessWithInfoEvent OnSuccessWithInfo;

  // --- operations
  // Opens the connection; nothing when connected. ODBC failures raise ESQLerror; a failed
  // connect leaves no handle behind.
  void Connect();
  // Closes the connection after releasing the statements of the attached queries; nothing
  // when not connected. Uncommitted work is rolled back when the driver refuses to disconnect
  // with it pending, so the connection is always closed and freed.
  void Disconnect();
  bool Connected() const { return hdbc_ != SQL_NULL_HDBC; }
  // Turns auto-commit off. std::runtime_error "Driver not support transactions" when the
  // driver has none.
  void StartTransaction();
  void Commit();

  // SQLGetInfo on the connection followed by the info check.
  void GetInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
               SQLSMALLINT* stringLength);
  SQLUINTEGER GetInfoUInt32(SQLUSMALLINT infoType);
  SQLUSMALLINT GetInfoUInt16(SQLUSMALLINT infoType);

  SQLHDBC ConnectionHandle() const { return hdbc_; }
  // The connect string completed by the driver, from the last Connect.
  const std::string& CompletedConnectString() const { return completed_; }
  // The entry points of the session in use; valid while connected.
  const TOdbcApi& Api() const;

  void AttachQuery(TmStatement* query);
  void DetachQuery(TmStatement* query);
  const std::vector<TmStatement*>& AttachedQueries() const { return queries_; }

  // Connection check: SQL_SUCCESS passes, SQL_SUCCESS_WITH_INFO hands the diagnostics to
  // OnSuccessWithInfo, anything else raises ESQLerror from the connection's diagnostics.
  void ConnectionCheck(SQLRETURN code);
  // Hands warning text (records joined by CR LF) to OnSuccessWithInfo, if assigned.
  void NotifySuccessWithInfo(const std::string& text);

 private:
  friend class TWaitCursorScope;
  void ApplyAccessMode();
  void ApplyIsolation();
  bool ConnectionAnswers();
  void FreeConnection(bool driverConnected) noexcept;

  std::vector<std::string> params_;
  TmDriverCompletion driverCompletion_ = TmDriverCompletion::sdCompleteReq;
  TmOdbcCursors odbcCursors_ = TmOdbcCursors::ocUSE_DRIVER;
  TmIsolationLevels transIsolation_ = TmIsolationLevels::TxnDefault;
  tmAccessMode accessMode_ = tmAccessMode::ReadWrite;
  TmSession* session_ = nullptr;
  std::int16_t waitCursor_ = kSqlWaitCursor;
  bool showWaitCursor_ = false;
  TmCursorService cursorService_;
  SQLHWND parentWindow_ = nullptr;

  const TOdbcApi* api_ = nullptr;
  SQLHDBC hdbc_ = SQL_NULL_HDBC;
  std::string completed_;
  std::vector<TmStatement*> queries_;
};

}  // namespace odbc
