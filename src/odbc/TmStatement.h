// TmStatement: the statement side of a query — SQL text with named parameters, statement
// allocation and cursor negotiation with the driver, execution with bound parameters, and the
// description of result columns as field definitions. The data-set query builds on it.
#pragma once

#include <sql.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "odbc/ESQLerror.h"
#include "odbc/TmDataBase.h"
#include "odbc/TmParams.h"

namespace odbc {

enum class TmCursorTypes { ctFwdOnlyCursor, ctStaticCursor, ctKeySetCursor, ctDynamicCursor };

// What the driver offers for the negotiated cursor, read when the statement is allocated.
struct TmCursorCapabilities {
  SQLUINTEGER cursorAttributes1 = 0;    // SQL_*_CURSOR_ATTRIBUTES1 of the cursor type
  SQLUINTEGER sensitivity = 0;          // SQL_SS_* bits
  SQLUINTEGER bookmarkPersistence = 0;  // SQL_BP_* bits
  bool canAdd = false;
  bool canUpdate = false;
  bool canDelete = false;
  SQLULEN concurrency = 0;              // SQL_CONCUR_*, 0 when unknown
};

// A result column as a field. Bound columns live in the row buffer at `offset` with their
// length/indicator at `indicatorOffset`; unbound ones (long text, binary) in string slot
// `offset`.
struct TODBCFieldDef {
  std::string name;
  dataset::TFieldType dataType = dataset::TFieldType::Unknown;
  int size = 0;
  int precision = 0;
  bool required = false;
  int fieldNo = 0;             // column number, 1-based
  SQLSMALLINT sqlType = 0;     // as described by the driver
  SQLSMALLINT bufferType = 0;  // SQL_C_* used for fetching
  SQLLEN bufferLength = 0;     // 0 = unbound
  std::size_t offset = 0;
  std::size_t indicatorOffset = 0;

  bool Bound() const { return bufferLength > 0; }
};

class TmStatement {
 public:
  // One parameter laid out for SQLBindParameter: its ODBC types, its value area (empty for
  // NULL) and its length/indicator word.
  struct TBoundParam {
    SQLSMALLINT sqlType = 0;
    SQLSMALLINT cType = 0;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    std::vector<unsigned char> value;
    SQLLEN indicator = 0;
  };

  enum UpdateKind { ukModify = 0, ukInsert = 1, ukDelete = 2 };
  // Character columns up to this size are fetched into the row buffer; longer ones as memo.
  static constexpr SQLULEN kMaxBoundStringSize = 254;

  TmStatement() = default;
  // Releases the statement and detaches from the connection.
  virtual ~TmStatement();
  TmStatement(const TmStatement&) = delete;
  TmStatement& operator=(const TmStatement&) = delete;

  // --- statement text
  const std::vector<std::string>& SQL() const { return sql_; }
  // Replacing the text closes the query and re-parses the parameters (keeping the values of
  // parameters whose names stay). The prepared statement is kept while the text is unchanged.
  void SetSQL(std::vector<std::string> lines);
  void AddSQL(std::string line);
  void ClearSQL() { SetSQL({}); }
  // The lines as one text, each followed by CR LF.
  std::string SQLText() const;
  // The text handed to the driver: parameters replaced by "?".
  const std::string& ParsedSQL() const { return parsed_.text; }

  // The update statements run when the data set writes a record back.
  std::vector<std::string>& UpdateSQL(UpdateKind kind) { return updateSql_.at(kind); }
  const std::vector<std::string>& UpdateSQL(UpdateKind kind) const { return updateSql_.at(kind); }
  std::vector<std::string>& ModifySQL() { return UpdateSQL(ukModify); }
  std::vector<std::string>& InsertSQL() { return UpdateSQL(ukInsert); }
  std::vector<std::string>& DeleteSQL() { return UpdateSQL(ukDelete); }

  // --- properties
  TmDataBase* DataBase() const { return db_; }
  // Releases the statement (it belongs to the old connection), detaches, attaches to the new.
  void SetDataBase(TmDataBase* db);
  bool RequestLive() const { return requestLive_; }
  void SetRequestLive(bool live) { requestLive_ = live; }
  TmCursorTypes CursorType() const { return cursorType_; }
  // Only while no cursor is open: std::logic_error otherwise.
  void SetCursorType(TmCursorTypes type);
  bool ParamCheck() const { return paramCheck_; }
  void SetParamCheck(bool check) { paramCheck_ = check; }
  bool UniDirectional() const { return uniDirectional_; }
  void SetUniDirectional(bool value) { uniDirectional_ = value; }
  TmParams& Params() { return params_; }
  const TmParams& Params() const { return params_; }
  // Copies the values of same-named parameters.
  void SetParams(const TmParams& params) { params_.AssignValues(params); }

  // --- execution
  // Runs a statement that returns no rows and sets RowsAffected; the cursor is closed
  // afterwards, also when execution fails.
  void ExecSQL();
  SQLLEN RowsAffected() const { return rowsAffected_; }
  // Allocates (connecting when needed), prepares, binds the parameters and executes; the
  // cursor is open afterwards. Any failure releases the statement.
  void Execute();
  void Prepare();
  void Unprepare() { prepared_ = false; }
  // Closes the cursor and frees the statement handle.
  void ReleaseStatement() noexcept;
  // Accepted and without effect: every post is written at once.
  void ApplyUpdates() {}
  void CommitUpdates() {}

  // Describes the result columns (executing first when no cursor is open).
  void InitFieldDefs();
  const std::vector<TODBCFieldDef>& ODBCFieldDefs() const { return fieldDefs_; }
  const TODBCFieldDef* FindFieldDef(std::string_view name) const;

  // --- state of the statement and its cursor
  SQLHSTMT StatementHandle() const { return hstmt_; }
  bool StatementAllocated() const { return hstmt_ != SQL_NULL_HSTMT; }
  bool Prepared() const { return prepared_; }
  bool CursorOpen() const { return cursorOpen_; }
  bool Modifiable() const { return modifiable_; }
  const TmCursorCapabilities& Capabilities() const { return caps_; }
  bool UseBookmarks() const { return useBookmarks_; }
  std::size_t RowSize() const { return rowSize_; }
  std::size_t StringSlots() const { return stringSlots_; }
  const TOdbcApi& Api() const;
  // The statement check on this statement's handle.
  void Check(SQLRETURN code) const;

 protected:
  // --- state only the data-set half uses
  bool EndReached() const { return endReached_; }
  void SetEndReached(bool reached) { endReached_ = reached; }
  SQLLEN BookmarkSize() const { return bookmarkSize_; }
  // With ODBC bookmarks the row starts with the bookmark (offset 0) and its indicator here.
  std::size_t BookmarkIndicatorOffset() const;

  // Closes the open cursor: SQLFreeStmt(SQL_CLOSE) unchecked, cursor bits cleared. The data set
  // extends it with its buffers.
  virtual void CloseCursor() noexcept;
  // Gives parameters that were not assigned a value from a master data set (none here).
  virtual void FillParamsFromMaster() {}
  // Puts the position before the first row (nothing to do without a data set).
  virtual void ResetPosition() {}
  // Refuses ExecSQL while the data set is open (nothing to refuse without one).
  virtual void CheckInactive() const {}

 private:
  friend class TmDataBase;
  void DataBaseGone(TmDataBase* db) noexcept;
  void AllocateStatement();
  // Negotiates the cursor with the driver, in these steps, and reads what it can do.
  void SetupCursor();
  void LowerCursorTypeToOffered();
  void RequestCursorType();
  void ReadCursorCapabilities();
  void SetupBookmarks();
  void LimitPositionedOperations();
  void SetupConcurrency();
  void DescribeColumn(SQLUSMALLINT column);
  void BindParams(const std::vector<const TmParam*>& markers);
  // SQL_RESET_PARAMS when something is bound; forgets the bindings.
  void ResetParams() noexcept;

  // What a parameter was bound with, to see whether the next run needs a new binding.
  struct TBindKey {
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    const void* buffer = nullptr;
    SQLLEN bufferLength = 0;
    bool bound = false;
    bool operator==(const TBindKey&) const = default;
  };

  std::vector<std::string> sql_;
  TParsedSQL parsed_;
  std::array<std::vector<std::string>, 3> updateSql_;
  TmDataBase* db_ = nullptr;
  bool requestLive_ = false;
  TmCursorTypes cursorType_ = TmCursorTypes::ctDynamicCursor;
  bool paramCheck_ = true;
  bool uniDirectional_ = false;
  TmParams params_;

  const TOdbcApi* api_ = nullptr;
  SQLHSTMT hstmt_ = SQL_NULL_HSTMT;
  bool prepared_ = false;
  bool cursorOpen_ = false;
  bool endReached_ = false;
  bool modifiable_ = false;
  SQLLEN rowsAffected_ = 0;
  TmCursorCapabilities caps_;
  bool useBookmarks_ = false;
  SQLLEN bookmarkSize_ = 4;
  std::size_t rowSize_ = 0;
  std::size_t stringSlots_ = 0;
  std::vector<TODBCFieldDef> fieldDefs_;
  std::vector<TBoundParam> boundParams_;
  std::vector<TBindKey> boundKeys_;
  std::vector<const TmParam*> markers_;
  std::vector<std::size_t> markerParams_;  // marker -> index in params_, remembered
  SQLSMALLINT preparedColumns_ = -1;  // result columns of the prepared text: -1 not asked, -2 unknown
};

}  // namespace odbc
