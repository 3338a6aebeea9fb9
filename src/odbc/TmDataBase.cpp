#include "odbc/TmDataBase.h"

#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "odbc/TmStatement.h"

namespace odbc {

namespace {

bool SameAsciiText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Index of the line whose text before the first "=" is `name`.
std::ptrdiff_t FindParam(const std::vector<std::string>& lines, std::string_view name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const auto equals = line.find('=');
    if (equals != std::string_view::npos && SameAsciiText(line.substr(0, equals), name)) {
      return static_cast<std::ptrdiff_t>(i);
    }
  }
  return -1;
}

SQLPOINTER AttributeValue(SQLULEN value) { return reinterpret_cast<SQLPOINTER>(value); }

}  // namespace

std::string ParamValue(const std::vector<std::string>& lines, std::string_view name) {
  const auto index = FindParam(lines, name);
  if (index < 0) return {};
  const std::string& line = lines[static_cast<std::size_t>(index)];
  return line.substr(line.find('=') + 1);
}

void SetParamValue(std::vector<std::string>& lines, std::string_view name, std::string_view value) {
  const auto index = FindParam(lines, name);
  if (value.empty()) {
    if (index >= 0) lines.erase(lines.begin() + index);
    return;
  }
  std::string line = std::string(name) + "=" + std::string(value);
  if (index >= 0) {
    lines[static_cast<std::size_t>(index)] = std::move(line);
  } else {
    lines.push_back(std::move(line));
  }
}

std::string BuildConnectString(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += ';';
    text += line;
  }
  return text;
}

// Shows the connection's wait cursor for a scope and puts the earlier cursor back.
class TWaitCursorScope {
 public:
  explicit TWaitCursorScope(TmDataBase& db) : db_(db) {
    const TmCursorService& screen = db_.cursorService_;
    if (!db_.showWaitCursor_ || !screen.current || !screen.set) return;
    const std::int16_t current = screen.current();
    if (current == db_.waitCursor_) return;
    saved_ = current;
    active_ = true;
    screen.set(db_.waitCursor_);
  }
  ~TWaitCursorScope() {
    if (!active_) return;
    const TmCursorService& screen = db_.cursorService_;
    if (db_.showWaitCursor_ && screen.current() == db_.waitCursor_) screen.set(saved_);
  }
  TWaitCursorScope(const TWaitCursorScope&) = delete;
  TWaitCursorScope& operator=(const TWaitCursorScope&) = delete;

 private:
  TmDataBase& db_;
  bool active_ = false;
  std::int16_t saved_ = 0;
};

TmDataBase::~TmDataBase() {
  try {
    Disconnect();
  } catch (...) {
    // Nothing may escape a destructor; Disconnect ignores ODBC results already.
  }
  for (TmStatement* query : queries_) query->DataBaseGone(this);
}

const TOdbcApi& TmDataBase::Api() const {
  if (!api_) throw std::logic_error("TmDataBase is not connected");
  return *api_;
}

void TmDataBase::SetAccessMode(tmAccessMode value) {
  if (value == accessMode_) return;
  accessMode_ = value;
  if (Connected()) ApplyAccessMode();
}

void TmDataBase::SetSession(TmSession* session) {
  Disconnect();
  session_ = session;
}

void TmDataBase::ApplyAccessMode() {
  const SQLULEN mode = accessMode_ == tmAccessMode::ReadOnly ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE;
  ConnectionCheck(api_->SQLSetConnectAttr(hdbc_, SQL_ATTR_ACCESS_MODE, AttributeValue(mode), SQL_IS_UINTEGER));
}

void TmDataBase::ApplyIsolation() {
  SQLULEN level = 0;
  switch (transIsolation_) {
    case TmIsolationLevels::TxnDefault: return;
    case TmIsolationLevels::TxnDirtyRead: level = SQL_TXN_READ_UNCOMMITTED; break;
    case TmIsolationLevels::TxnReadCommitted: level = SQL_TXN_READ_COMMITTED; break;
    case TmIsolationLevels::TxnRepeatableRead: level = SQL_TXN_REPEATABLE_READ; break;
    case TmIsolationLevels::TxnSerializable: level = SQL_TXN_SERIALIZABLE; break;
  }
  ConnectionCheck(api_->SQLSetConnectAttr(hdbc_, SQL_ATTR_TXN_ISOLATION, AttributeValue(level), SQL_IS_INTEGER));
}

void TmDataBase::Connect() {
  if (Connected()) return;
  TWaitCursorScope wait(*this);
  TmSession& session = session_ ? *session_ : DefaultSession();
  SQLHENV env = session.Handle();
  api_ = &session.Api();

  SQLHANDLE dbc = SQL_NULL_HANDLE;
  if (api_->SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS) {
    throw std::runtime_error("Can`t allocate HDBC handle");
  }
  hdbc_ = static_cast<SQLHDBC>(dbc);

  bool driverConnected = false;
  try {
    ApplyAccessMode();
    SQLULEN cursors = SQL_CUR_USE_DRIVER;
    switch (odbcCursors_) {
      case TmOdbcCursors::ocUSE_IF_NEEDED: cursors = SQL_CUR_USE_IF_NEEDED; break;
      case TmOdbcCursors::ocUSE_ODBC: cursors = SQL_CUR_USE_ODBC; break;
      case TmOdbcCursors::ocUSE_DRIVER: cursors = SQL_CUR_USE_DRIVER; break;
    }
    ConnectionCheck(api_->SQLSetConnectAttr(hdbc_, SQL_ATTR_ODBC_CURSORS, AttributeValue(cursors), SQL_IS_UINTEGER));

    if (OnConnect) OnConnect(*this);

    std::string connectString = BuildConnectString(params_);
    SQLUSMALLINT completion = SQL_DRIVER_COMPLETE_REQUIRED;
    switch (driverCompletion_) {
      case TmDriverCompletion::sdPrompt: completion = SQL_DRIVER_PROMPT; break;
      case TmDriverCompletion::sdComplete: completion = SQL_DRIVER_COMPLETE; break;
      case TmDriverCompletion::sdCompleteReq: completion = SQL_DRIVER_COMPLETE_REQUIRED; break;
      case TmDriverCompletion::sdNoPrompt: completion = SQL_DRIVER_NOPROMPT; break;
    }

    completed_.clear();
    std::array<SQLCHAR, kConnectOutSize> out{};
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = api_->SQLDriverConnect(
        hdbc_, parentWindow_, reinterpret_cast<SQLCHAR*>(connectString.data()), SQL_NTS,
        out.data(), static_cast<SQLSMALLINT>(out.size()), &outLength, completion);
    driverConnected = SQL_SUCCEEDED(rc);
    try {
      ConnectionCheck(rc);
    } catch (ESQLerror& error) {
      if (error.ReturnCode() == SQL_NO_DATA) {
        // The driver manager's answer when the person cancels the driver's dialog.
        error.SetMessage("Database not opened");
        throw;
      }
      // A general warning reported as an error is harmless only if a connection came of it;
      // unixODBC reports a driver it cannot load with this state too.
      if (error.SqlState() != "01000" || !ConnectionAnswers()) throw;
      driverConnected = true;
    }
    out.back() = 0;
    completed_ = reinterpret_cast<const char*>(out.data());
    ApplyIsolation();
  } catch (...) {
    FreeConnection(driverConnected);
    throw;
  }
}

bool TmDataBase::ConnectionAnswers() {
  std::array<SQLCHAR, 256> name{};
  SQLSMALLINT length = 0;
  const SQLRETURN rc = api_->SQLGetInfo(hdbc_, SQL_DBMS_NAME, name.data(),
                                        static_cast<SQLSMALLINT>(name.size()), &length);
  return SQL_SUCCEEDED(rc);
}

void TmDataBase::FreeConnection(bool driverConnected) noexcept {
  if (hdbc_ == SQL_NULL_HDBC) return;
  if (driverConnected && !SQL_SUCCEEDED(api_->SQLDisconnect(hdbc_))) {
    api_->SQLEndTran(SQL_HANDLE_DBC, hdbc_, SQL_ROLLBACK);
    api_->SQLDisconnect(hdbc_);
  }
  api_->SQLFreeHandle(SQL_HANDLE_DBC, hdbc_);
  hdbc_ = SQL_NULL_HDBC;
}

void TmDataBase::Disconnect() {
  if (!Connected()) return;
  TWaitCursorScope wait(*this);
  for (TmStatement* query : queries_) query->ReleaseStatement();
  FreeConnection(true);
}

void TmDataBase::StartTransaction() {
  if (GetInfoUInt16(SQL_TXN_CAPABLE) == SQL_TC_NONE) {
    throw std::runtime_error("Driver not support transactions");
  }
  ConnectionCheck(api_->SQLSetConnectAttr(hdbc_, SQL_ATTR_AUTOCOMMIT,
                                          AttributeValue(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
}

void TmDataBase::Commit() {
  if (!Connected()) throw ESQLerror("SQL_INVALID_HANDLE");
  ConnectionCheck(api_->SQLEndTran(SQL_HANDLE_DBC, hdbc_, SQL_COMMIT));
}

void TmDataBase::GetInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                         SQLSMALLINT* stringLength) {
  // A handle that does not exist is what the driver manager would answer for it.
  if (!Connected()) throw ESQLerror("SQL_INVALID_HANDLE");
  InfoCheck(*api_, api_->SQLGetInfo(hdbc_, infoType, value, bufferLength, stringLength), hdbc_);
}

SQLUINTEGER TmDataBase::GetInfoUInt32(SQLUSMALLINT infoType) {
  SQLUINTEGER value = 0;
  GetInfo(infoType, &value, sizeof value, nullptr);
  return value;
}

SQLUSMALLINT TmDataBase::GetInfoUInt16(SQLUSMALLINT infoType) {
  SQLUSMALLINT value = 0;
  GetInfo(infoType, &value, sizeof value, nullptr);
  return value;
}

void TmDataBase::AttachQuery(TmStatement* query) {
  if (query && std::find(queries_.begin(), queries_.end(), query) == queries_.end()) {
    queries_.push_back(query);
  }
}

void TmDataBase::DetachQuery(TmStatement* query) {
  queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

void TmDataBase::NotifySuccessWithInfo(const std::string& text) {
  if (OnSuccessWithInfo) OnSuccessWithInfo(*this, text);
}

void TmDataBase::ConnectionCheck(SQLRETURN code) {
  if (code == SQL_SUCCESS) return;
  if (code == SQL_SUCCESS_WITH_INFO) {
    NotifySuccessWithInfo(DiagText(ReadDiagRecords(*api_, SQL_HANDLE_DBC, hdbc_)));
    return;
  }
  throw ESQLerror(*api_, SQL_HANDLE_DBC, code, hdbc_);
}

}  // namespace odbc
