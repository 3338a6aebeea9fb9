#include "odbc/TmStatement.h"

#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/Encoding.h"
#include "odbc/OdbcDateTime.h"

namespace odbc {

namespace {

SQLPOINTER AttributeValue(SQLULEN value) { return reinterpret_cast<SQLPOINTER>(value); }

std::size_t AlignUp(std::size_t value, std::size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

using TBoundParam = TmStatement::TBoundParam;

template <typename T>
void StoreValue(TBoundParam& bound, const T& value) {
  bound.value.resize(sizeof(T));
  std::memcpy(bound.value.data(), &value, sizeof(T));
  bound.indicator = static_cast<SQLLEN>(sizeof(T));
}

// Digits needed after the seconds to show `milliseconds` exactly (500 -> 1, 5 -> 3).
SQLSMALLINT FractionDigits(int milliseconds) {
  if (milliseconds == 0) return 0;
  SQLSMALLINT digits = 3;
  while (milliseconds % 10 == 0) {
    milliseconds /= 10;
    --digits;
  }
  return digits;
}

// Lays the parameter out for SQLBindParameter in `bound`, reusing its value area.
void PrepareParam(const TmParam& param, TBoundParam& bound) {
  bound.decimalDigits = 0;
  bound.value.clear();
  bound.indicator = 0;
  const bool null = param.IsNull();
  switch (param.DataType()) {
    case dataset::TFieldType::String:
    case dataset::TFieldType::Memo: {
      bound.sqlType = param.DataType() == dataset::TFieldType::String ? SQL_CHAR : SQL_LONGVARCHAR;
      bound.cType = SQL_C_CHAR;
      const std::string text = null ? std::string() : param.AsString();
      bound.columnSize = std::max<SQLULEN>(text.size(), 1);
      if (!null) {
        bound.value.assign(text.begin(), text.end());
        bound.value.push_back(0);
        bound.indicator = SQL_NTS;
      }
      break;
    }
    case dataset::TFieldType::Blob: {
      bound.sqlType = SQL_LONGVARBINARY;
      bound.cType = SQL_C_BINARY;
      const std::string bytes = null ? std::string() : param.AsString();
      bound.columnSize = std::max<SQLULEN>(bytes.size(), 1);
      if (!null) {
        bound.value.assign(bytes.begin(), bytes.end());
        bound.indicator = static_cast<SQLLEN>(bytes.size());
      }
      break;
    }
    case dataset::TFieldType::Smallint:
      bound.sqlType = SQL_SMALLINT;
      bound.cType = SQL_C_SSHORT;
      bound.columnSize = sizeof(SQLSMALLINT);
      if (!null) StoreValue(bound, static_cast<SQLSMALLINT>(param.AsInteger()));
      break;
    case dataset::TFieldType::Word:
      // Unsigned in C, so that a value above 32767 reaches the driver as itself (and is
      // refused there if the column cannot hold it) instead of turning negative.
      bound.sqlType = SQL_SMALLINT;
      bound.cType = SQL_C_USHORT;
      bound.columnSize = sizeof(SQLUSMALLINT);
      if (!null) StoreValue(bound, static_cast<SQLUSMALLINT>(param.AsInteger()));
      break;
    case dataset::TFieldType::Integer:
    case dataset::TFieldType::AutoInc:
      bound.sqlType = SQL_INTEGER;
      bound.cType = SQL_C_SLONG;
      bound.columnSize = sizeof(SQLINTEGER);
      if (!null) StoreValue(bound, static_cast<SQLINTEGER>(param.AsInteger()));
      break;
    case dataset::TFieldType::Boolean:
      bound.sqlType = SQL_BIT;
      bound.cType = SQL_C_BIT;
      bound.columnSize = 1;
      if (!null) StoreValue(bound, static_cast<unsigned char>(param.AsBoolean() ? 1 : 0));
      break;
    case dataset::TFieldType::Float:
    case dataset::TFieldType::Currency:
    case dataset::TFieldType::BCD:
      bound.sqlType = SQL_DOUBLE;
      bound.cType = SQL_C_DOUBLE;
      bound.columnSize = sizeof(double);
      if (!null) StoreValue(bound, param.AsFloat());
      break;
    case dataset::TFieldType::Date: {
      bound.sqlType = SQL_TYPE_DATE;
      bound.cType = SQL_C_TYPE_DATE;
      bound.columnSize = 10;  // yyyy-mm-dd
      if (!null) {
        StoreValue(bound, ToOdbcDate(param.AsDateTime()));
      }
      break;
    }
    case dataset::TFieldType::Time: {
      bound.sqlType = SQL_TYPE_TIME;
      bound.cType = SQL_C_TYPE_TIME;
      bound.columnSize = 8;  // hh:mm:ss
      if (!null) {
        StoreValue(bound, ToOdbcTime(param.AsDateTime()));
      }
      break;
    }
    case dataset::TFieldType::DateTime: {
      bound.sqlType = SQL_TYPE_TIMESTAMP;
      bound.cType = SQL_C_TYPE_TIMESTAMP;
      bound.columnSize = 19;  // yyyy-mm-dd hh:mm:ss
      if (!null) {
        const SQL_TIMESTAMP_STRUCT stamp = ToOdbcTimestamp(param.AsDateTime());
        bound.decimalDigits = FractionDigits(static_cast<int>(stamp.fraction / 1000000u));
        if (bound.decimalDigits > 0) bound.columnSize = 20 + static_cast<SQLULEN>(bound.decimalDigits);
        StoreValue(bound, stamp);
      }
      break;
    }
    default:
      throw std::runtime_error("Field '" + param.Name() + "' is of an unsupported type");
  }
  if (null) bound.indicator = SQL_NULL_DATA;
}

}  // namespace

TmStatement::~TmStatement() {
  ReleaseStatement();
  if (db_) db_->DetachQuery(this);
}

void TmStatement::SetSQL(std::vector<std::string> lines) {
  CloseCursor();
  const bool changed = lines != sql_;
  sql_ = std::move(lines);
  if (changed) prepared_ = false;
  parsed_ = ParseSQLParams(SQLText());
  if (paramCheck_) {
    TmParams fresh = TmParams::FromNames(parsed_.names);
    fresh.AssignValues(params_);
    params_ = std::move(fresh);
  }
}

void TmStatement::AddSQL(std::string line) {
  std::vector<std::string> lines = sql_;
  lines.push_back(std::move(line));
  SetSQL(std::move(lines));
}

std::string TmStatement::SQLText() const {
  std::string text;
  for (const std::string& line : sql_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TmStatement::SetDataBase(TmDataBase* db) {
  if (db == db_) return;
  ReleaseStatement();
  if (db_) db_->DetachQuery(this);
  db_ = db;
  if (db_) db_->AttachQuery(this);
}

void TmStatement::DataBaseGone(TmDataBase* db) noexcept {
  if (db != db_) return;
  ReleaseStatement();
  db_ = nullptr;
}

void TmStatement::SetCursorType(TmCursorTypes type) {
  if (cursorOpen_) throw std::logic_error("Cannot change the cursor type of an open query");
  cursorType_ = type;
}

const TOdbcApi& TmStatement::Api() const {
  if (!api_) throw std::logic_error("TmStatement has no statement");
  return *api_;
}

void TmStatement::Check(SQLRETURN code) const { StatementCheck(Api(), code, hstmt_); }

std::size_t TmStatement::BookmarkIndicatorOffset() const {
  return AlignUp(static_cast<std::size_t>(bookmarkSize_), alignof(SQLLEN));
}

const TODBCFieldDef* TmStatement::FindFieldDef(std::string_view name) const {
  for (const TODBCFieldDef& def : fieldDefs_) {
    if (core::AnsiSameText(def.name, name)) return &def;
  }
  return nullptr;
}

void TmStatement::AllocateStatement() {
  if (hstmt_ != SQL_NULL_HSTMT) return;
  if (!db_) throw ESQLerror("ODBC datasource not defined");
  if (!db_->Connected()) db_->Connect();
  api_ = &db_->Api();
  SQLHANDLE statement = SQL_NULL_HANDLE;
  const SQLRETURN rc = api_->SQLAllocHandle(SQL_HANDLE_STMT, db_->ConnectionHandle(), &statement);
  if (rc != SQL_SUCCESS) throw ESQLerror(*api_, SQL_HANDLE_DBC, rc, db_->ConnectionHandle());
  hstmt_ = static_cast<SQLHSTMT>(statement);
  SetupCursor();
}

void TmStatement::SetupCursor() {
  LowerCursorTypeToOffered();
  RequestCursorType();
  ReadCursorCapabilities();
  SetupBookmarks();
  LimitPositionedOperations();
  SetupConcurrency();
}

// Lowers the wanted cursor type to what the driver offers.
void TmStatement::LowerCursorTypeToOffered() {
  TmDataBase& db = *db_;
  const SQLUINTEGER scroll = db.GetInfoUInt32(SQL_SCROLL_OPTIONS);
  if (cursorType_ == TmCursorTypes::ctDynamicCursor && !(scroll & SQL_SO_DYNAMIC)) {
    cursorType_ = TmCursorTypes::ctKeySetCursor;
  }
  if (cursorType_ == TmCursorTypes::ctKeySetCursor && !(scroll & SQL_SO_KEYSET_DRIVEN)) {
    cursorType_ = TmCursorTypes::ctStaticCursor;
  }
  if (cursorType_ == TmCursorTypes::ctStaticCursor && !(scroll & SQL_SO_STATIC)) {
    cursorType_ = TmCursorTypes::ctFwdOnlyCursor;
  }
}

// Asks for a scrollable cursor type (before execution only) and takes what the driver set.
void TmStatement::RequestCursorType() {
  const TOdbcApi& api = Api();
  if (cursorType_ != TmCursorTypes::ctFwdOnlyCursor) {
    if (!cursorOpen_) {
      const SQLULEN wanted = cursorType_ == TmCursorTypes::ctStaticCursor ? SQL_CURSOR_STATIC
                             : cursorType_ == TmCursorTypes::ctKeySetCursor ? SQL_CURSOR_KEYSET_DRIVEN
                                                                            : SQL_CURSOR_DYNAMIC;
      const SQLRETURN rc = api.SQLSetStmtAttr(hstmt_, SQL_ATTR_CURSOR_TYPE, AttributeValue(wanted), SQL_IS_UINTEGER);
      if (cursorType_ != TmCursorTypes::ctDynamicCursor) {
        try {
          Check(rc);
        } catch (const ESQLerror& error) {
          if (error.SqlState() != "01S02" && error.SqlState() != "HYC00") throw;
        }
      }
    }
    SQLULEN actual = 0;
    Check(api.SQLGetStmtAttr(hstmt_, SQL_ATTR_CURSOR_TYPE, &actual, SQL_IS_UINTEGER, nullptr));
    switch (actual) {
      case SQL_CURSOR_KEYSET_DRIVEN: cursorType_ = TmCursorTypes::ctKeySetCursor; break;
      case SQL_CURSOR_DYNAMIC: cursorType_ = TmCursorTypes::ctDynamicCursor; break;
      case SQL_CURSOR_STATIC: cursorType_ = TmCursorTypes::ctStaticCursor; break;
      default: cursorType_ = TmCursorTypes::ctFwdOnlyCursor; break;
    }
  }
}

// Reads what the cursor can do; a driver that cannot tell leaves zeros.
void TmStatement::ReadCursorCapabilities() {
  TmDataBase& db = *db_;
  caps_ = TmCursorCapabilities{};
  try {
    switch (cursorType_) {
      case TmCursorTypes::ctStaticCursor:
        caps_.cursorAttributes1 = db.GetInfoUInt32(SQL_STATIC_CURSOR_ATTRIBUTES1);
        caps_.sensitivity = db.GetInfoUInt32(SQL_STATIC_SENSITIVITY);
        break;
      case TmCursorTypes::ctKeySetCursor:
        caps_.cursorAttributes1 = db.GetInfoUInt32(SQL_KEYSET_CURSOR_ATTRIBUTES1);
        caps_.sensitivity = db.GetInfoUInt32(SQL_STATIC_SENSITIVITY);
        break;
      case TmCursorTypes::ctDynamicCursor:
        caps_.cursorAttributes1 = db.GetInfoUInt32(SQL_DYNAMIC_CURSOR_ATTRIBUTES1);
        caps_.sensitivity = SQL_SS_ADDITIONS | SQL_SS_DELETIONS | SQL_SS_UPDATES;
        break;
      case TmCursorTypes::ctFwdOnlyCursor: break;
    }
  } catch (const std::exception&) {
    caps_.cursorAttributes1 = 0;
    caps_.sensitivity = 0;
  }
}

// Uses ODBC bookmarks when they survive updates and deletes on this cursor.
void TmStatement::SetupBookmarks() {
  TmDataBase& db = *db_;
  const TOdbcApi& api = Api();
  caps_.bookmarkPersistence = db.GetInfoUInt32(SQL_BOOKMARK_PERSISTENCE);
  useBookmarks_ = (caps_.bookmarkPersistence & SQL_BP_UPDATE) &&
                  cursorType_ != TmCursorTypes::ctFwdOnlyCursor &&
                  ((caps_.bookmarkPersistence & SQL_BP_DELETE) || (caps_.sensitivity & SQL_SS_DELETIONS));
  // Statement attributes cannot change under an open cursor; then the set-up only re-reads.
  if (!cursorOpen_) {
    if (useBookmarks_) {
      Check(api.SQLSetStmtAttr(hstmt_, SQL_ATTR_USE_BOOKMARKS, AttributeValue(SQL_UB_ON), SQL_IS_UINTEGER));
    } else {
      api.SQLSetStmtAttr(hstmt_, SQL_ATTR_USE_BOOKMARKS, AttributeValue(SQL_UB_OFF), SQL_IS_UINTEGER);
    }
  }
}

// Offers positioned operations only where the caller writes through no statement of its own.
void TmStatement::LimitPositionedOperations() {
  caps_.canAdd = (caps_.cursorAttributes1 & SQL_CA1_BULK_ADD) && updateSql_[ukInsert].empty();
  caps_.canUpdate = (caps_.cursorAttributes1 & SQL_CA1_POS_UPDATE) && updateSql_[ukModify].empty();
  caps_.canDelete = (caps_.cursorAttributes1 & SQL_CA1_POS_DELETE) && updateSql_[ukDelete].empty();
  if (!caps_.canUpdate) caps_.sensitivity &= ~SQLUINTEGER{SQL_SS_UPDATES};
  if (!caps_.canDelete) caps_.sensitivity &= ~SQLUINTEGER{SQL_SS_DELETIONS};
}

// Asks for the strongest concurrency the driver offers for keyset and dynamic cursors.
void TmStatement::SetupConcurrency() {
  TmDataBase& db = *db_;
  const TOdbcApi& api = Api();
  const SQLUINTEGER concurrency = db.GetInfoUInt32(SQL_SCROLL_CONCURRENCY);
  if (!cursorOpen_ && (cursorType_ == TmCursorTypes::ctKeySetCursor ||
                       cursorType_ == TmCursorTypes::ctDynamicCursor)) {
    SQLULEN value = 0;
    if (concurrency & SQL_SCCO_LOCK) value = SQL_CONCUR_LOCK;
    else if (concurrency & SQL_SCCO_OPT_ROWVER) value = SQL_CONCUR_ROWVER;
    else if (concurrency & SQL_SCCO_OPT_VALUES) value = SQL_CONCUR_VALUES;
    else if (concurrency & SQL_SCCO_READ_ONLY) value = SQL_CONCUR_READ_ONLY;
    if (value != 0) Check(api.SQLSetStmtAttr(hstmt_, SQL_ATTR_CONCURRENCY, AttributeValue(value), SQL_IS_UINTEGER));
  }
  SQLULEN current = 0;
  caps_.concurrency =
      SQL_SUCCEEDED(api.SQLGetStmtAttr(hstmt_, SQL_ATTR_CONCURRENCY, &current, SQL_IS_UINTEGER, nullptr))
          ? current
          : 0;
}

void TmStatement::Prepare() {
  if (prepared_) return;
  ResetParams();  // the bindings belonged to the statement prepared before
  Check(Api().SQLPrepare(hstmt_, reinterpret_cast<SQLCHAR*>(parsed_.text.data()), SQL_NTS));
  prepared_ = true;
  preparedColumns_ = -1;  // learnt after its first run
}

void TmStatement::BindParams(const std::vector<const TmParam*>& markers) {
  if (boundParams_.size() != markers.size()) {
    ResetParams();
    boundParams_.resize(markers.size());
    boundKeys_.assign(markers.size(), TBindKey{});
  }
  const TOdbcApi& api = Api();
  for (std::size_t i = 0; i < markers.size(); ++i) {
    TBoundParam& bound = boundParams_[i];
    PrepareParam(*markers[i], bound);
    // The driver reads the value area at every execution: a parameter whose layout and
    // buffer are those bound before needs no new binding, only its new value.
    const TBindKey key{bound.cType, bound.sqlType, bound.columnSize, bound.decimalDigits,
                       bound.value.empty() ? nullptr : bound.value.data(), static_cast<SQLLEN>(bound.value.size()), true};
    if (key == boundKeys_[i]) continue;
    boundKeys_[i] = TBindKey{};
    Check(api.SQLBindParameter(hstmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, bound.cType, bound.sqlType,
                               bound.columnSize, bound.decimalDigits, bound.value.empty() ? nullptr : bound.value.data(),
                               key.bufferLength, &bound.indicator));
    boundKeys_[i] = key;
  }
}

void TmStatement::ResetParams() noexcept {
  const bool anyBound = std::any_of(boundKeys_.begin(), boundKeys_.end(), [](const TBindKey& k) { return k.bound; });
  if (anyBound && hstmt_ != SQL_NULL_HSTMT) api_->SQLFreeStmt(hstmt_, SQL_RESET_PARAMS);
  boundParams_.clear();
  boundKeys_.clear();
}

void TmStatement::Execute() {
  ResetPosition();
  modifiable_ = false;
  fieldDefs_.clear();
  try {
    AllocateStatement();
    Prepare();
    FillParamsFromMaster();

    // One parameter per marker, in marker order; with ParamCheck off the caller's list is
    // taken as it stands.
    std::vector<const TmParam*>& markers = markers_;
    markers.clear();
    if (paramCheck_) {
      markerParams_.resize(parsed_.names.size(), 0);
      for (std::size_t m = 0; m < parsed_.names.size(); ++m) {
        const std::string& name = parsed_.names[m];
        // The parameter found for this marker last time, while the list keeps it there.
        std::size_t& at = markerParams_[m];
        if (at >= params_.Count() || params_[at].Name() != name) {
          const TmParam* param = params_.FindParam(name);
          if (!param) throw std::out_of_range("Parameter '" + name + "' not found");
          at = static_cast<std::size_t>(param - &params_[0]);
        }
        markers.push_back(&params_[at]);
      }
    } else {
      for (const TmParam& param : params_) markers.push_back(&param);
    }

    // The bindings stay while this prepared statement is reused (they are reset when the text
    // changes, the statement is released or a run fails), so a post that runs the same
    // statement again only writes its values.
    BindParams(markers);
    const SQLRETURN rc = Api().SQLExecute(hstmt_);
    if (rc == SQL_SUCCESS_WITH_INFO) {
      // The statement ran. Its warnings go to the connection's OnSuccessWithInfo; a cursor
      // the driver changed ("01S02") is set up again now that it is open.
      const auto records = ReadDiagRecords(Api(), SQL_HANDLE_STMT, hstmt_);
      cursorOpen_ = true;
      if (std::any_of(records.begin(), records.end(),
                      [](const TSQLDiagRecord& r) { return r.sqlState == "01S02"; })) {
        SetupCursor();
      }
      db_->NotifySuccessWithInfo(DiagText(records));
    } else if (rc != SQL_NO_DATA) {
      // SQL_NO_DATA: a searched UPDATE or DELETE that matched no row, not a failure.
      Check(rc);
    }
    cursorOpen_ = true;
  } catch (...) {
    ReleaseStatement();
    throw;
  }
}

void TmStatement::ExecSQL() {
  CheckInactive();
  CloseCursor();
  rowsAffected_ = 0;
  try {
    Execute();
    SQLLEN rows = 0;
    Check(Api().SQLRowCount(hstmt_, &rows));
    rowsAffected_ = rows;
    if (preparedColumns_ == -1) {
      // Whether this prepared text returns rows at all, asked once after it ran: a command
      // (INSERT, UPDATE ...) leaves no cursor to close after each run.
      SQLSMALLINT columns = 0;
      preparedColumns_ = SQL_SUCCEEDED(Api().SQLNumResultCols(hstmt_, &columns)) ? columns : -2;
    }
  } catch (...) {
    CloseCursor();
    throw;
  }
  if (preparedColumns_ == 0) {
    // A command opened no cursor: nothing to close (closing costs a round trip on some drivers).
    cursorOpen_ = false;
    endReached_ = false;
  } else {
    CloseCursor();
  }
}

void TmStatement::CloseCursor() noexcept {
  if (hstmt_ != SQL_NULL_HSTMT && cursorOpen_) api_->SQLFreeStmt(hstmt_, SQL_CLOSE);
  cursorOpen_ = false;
  endReached_ = false;
}

void TmStatement::ReleaseStatement() noexcept {
  CloseCursor();
  boundParams_.clear();
  boundKeys_.clear();
  preparedColumns_ = -1;
  if (hstmt_ != SQL_NULL_HSTMT) api_->SQLFreeHandle(SQL_HANDLE_STMT, hstmt_);
  hstmt_ = SQL_NULL_HSTMT;
  prepared_ = false;
  cursorOpen_ = false;
  endReached_ = false;
}

void TmStatement::InitFieldDefs() {
  if (!cursorOpen_) Execute();
  fieldDefs_.clear();
  SQLSMALLINT columns = 0;
  Check(Api().SQLNumResultCols(hstmt_, &columns));
  bookmarkSize_ = 4;
  rowSize_ = 0;
  stringSlots_ = 0;
  if (useBookmarks_) DescribeColumn(0);
  for (SQLSMALLINT column = 1; column <= columns; ++column) {
    DescribeColumn(static_cast<SQLUSMALLINT>(column));
  }
  modifiable_ = requestLive_;
}

void TmStatement::DescribeColumn(SQLUSMALLINT column) {
  std::string name(256, '\0');
  SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
  SQLULEN size = 0;
  auto describe = [&] {
    return Api().SQLDescribeCol(hstmt_, column, reinterpret_cast<SQLCHAR*>(name.data()),
                                static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType,
                                &size, &digits, &nullable);
  };
  SQLRETURN rc = describe();
  if (rc == SQL_SUCCESS_WITH_INFO && nameLength >= static_cast<SQLSMALLINT>(name.size())) {
    name.assign(static_cast<std::size_t>(nameLength) + 1, '\0');  // a longer name: ask again
    rc = describe();
  }
  Check(rc);
  name.resize(std::min<std::size_t>(std::strlen(name.c_str()), name.size()));

  constexpr std::size_t kAlign = alignof(SQLLEN);
  if (column == 0) {
    // The bookmark starts the row, followed by its indicator.
    bookmarkSize_ = sqlType == SQL_INTEGER ? 4 : static_cast<SQLLEN>(size);
    rowSize_ = BookmarkIndicatorOffset() + sizeof(SQLLEN);
    return;
  }

  TODBCFieldDef def;
  def.sqlType = sqlType;
  def.fieldNo = column;
  def.required = nullable == SQL_NO_NULLS;
  switch (sqlType) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR:
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR: {
      // A fixed-width character column is always bound; a size that tells nothing (0) or
      // that would make a buffer without bound goes the long-text way instead.
      const bool fixed = sqlType == SQL_CHAR || sqlType == SQL_WCHAR;
      const bool bound = size >= 1 && (size <= kMaxBoundStringSize || (fixed && size <= 65535));
      def.bufferType = SQL_C_CHAR;
      if (bound) {
        def.dataType = dataset::TFieldType::String;
        def.size = static_cast<int>(size);
        def.bufferLength = static_cast<SQLLEN>(size) + 1;
      } else {
        def.dataType = dataset::TFieldType::Memo;
      }
      break;
    }
    case SQL_NUMERIC: case SQL_DECIMAL: case SQL_FLOAT: case SQL_REAL: case SQL_DOUBLE: case SQL_BIGINT:
      def.dataType = dataset::TFieldType::Float;
      def.precision = digits;
      def.bufferType = SQL_C_DOUBLE;
      def.bufferLength = sizeof(double);
      break;
    case SQL_INTEGER:
      def.dataType = dataset::TFieldType::Integer;
      def.bufferType = SQL_C_SLONG;
      def.bufferLength = sizeof(SQLINTEGER);
      break;
    case SQL_SMALLINT: case SQL_TINYINT:
      def.dataType = dataset::TFieldType::Smallint;
      def.bufferType = SQL_C_SSHORT;
      def.bufferLength = sizeof(SQLSMALLINT);
      break;
    case SQL_DATE: case SQL_TYPE_DATE:
      def.dataType = dataset::TFieldType::Date;
      def.bufferType = SQL_C_TYPE_DATE;
      def.bufferLength = sizeof(SQL_DATE_STRUCT);
      break;
    case SQL_TIME: case SQL_TYPE_TIME:
      def.dataType = dataset::TFieldType::Time;
      def.bufferType = SQL_C_TYPE_TIME;
      def.bufferLength = sizeof(SQL_TIME_STRUCT);
      break;
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP:
      def.dataType = dataset::TFieldType::DateTime;
      def.bufferType = SQL_C_TYPE_TIMESTAMP;
      def.bufferLength = sizeof(SQL_TIMESTAMP_STRUCT);
      break;
    case SQL_BIT:
      def.dataType = dataset::TFieldType::Boolean;
      def.bufferType = SQL_C_BIT;
      def.bufferLength = 1;
      break;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
      def.dataType = dataset::TFieldType::Blob;
      def.bufferType = SQL_C_BINARY;
      break;
    default:
      return;  // a column without a field
  }

  if (name.empty()) name = "COLUMN";
  if (FindFieldDef(name)) {
    for (int counter = 1;; ++counter) {
      std::string candidate = name + "_" + std::to_string(counter);
      if (!FindFieldDef(candidate)) {
        name = std::move(candidate);
        break;
      }
    }
  }
  def.name = std::move(name);

  if (def.Bound()) {
    // Value and indicator aligned, so that a driver writing an 8-byte length or a double
    // never writes across an alignment boundary.
    def.offset = AlignUp(rowSize_, kAlign);
    def.indicatorOffset = AlignUp(def.offset + static_cast<std::size_t>(def.bufferLength), kAlign);
    rowSize_ = def.indicatorOffset + sizeof(SQLLEN);
  } else {
    def.offset = stringSlots_++;
  }
  fieldDefs_.push_back(std::move(def));
}

}  // namespace odbc
