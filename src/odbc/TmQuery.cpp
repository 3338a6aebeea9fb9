#include "odbc/TmQuery.h"

#include <sqlext.h>

#include <algorithm>
#include <cstring>

#include "core/Encoding.h"
#include "odbc/OdbcDateTime.h"
#include "odbc/TmBlobStream.h"

namespace odbc {

namespace {

constexpr const char* kNoRowsAffected = "No rows affected";
constexpr const char* kMoreThanOneRow = "More then one rows affected";
constexpr const char* kUpdateNotSupported = "Sorry :(  but this type not supported for update. Look SetFieldData function";

template <typename T>
T LoadAt(const std::byte* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void StoreAt(std::byte* at, const T& value) {
  std::memcpy(at, &value, sizeof value);
}

std::string WithName(const char* pattern, std::string_view ansiName) {
  std::string text(pattern);
  text.replace(text.find("%s"), 2, core::AnsiToUtf8(ansiName));
  return text;
}

bool StartsWithOld(std::string_view name) {
  return name.size() >= 4 && core::AnsiSameText(name.substr(0, 4), "OLD_");
}

bool AllBlank(const std::vector<std::string>& lines) {
  return std::all_of(lines.begin(), lines.end(), [](const std::string& line) { return core::TrimBlanks(line).empty(); });
}

std::size_t RowWords(std::size_t bytes) { return std::max<std::size_t>(1, (bytes + sizeof(SQLLEN) - 1) / sizeof(SQLLEN)); }

// A field's value as a data-set value (for Lookup).
dataset::TValue ValueOf(const dataset::TField& field) {
  if (field.IsNull()) return {};
  switch (field.DataType()) {
    case dataset::TFieldType::Integer:
    case dataset::TFieldType::LargeInt: return field.AsLargeInt();
    case dataset::TFieldType::Float: return field.AsFloat();
    case dataset::TFieldType::Boolean: return field.AsBoolean();
    case dataset::TFieldType::DateTime: return field.AsDateTime();
    default: return field.AsString();
  }
}

}  // namespace

TmQuery::TmQuery() = default;

TmQuery::~TmQuery() {
  closing_ = true;
  try {
    Close();
  } catch (...) {
    // A pending edit that cannot be posted is lost with the query.
  }
  ReleaseStatement();
}

// ---- properties --------------------------------------------------------------------------

void TmQuery::SetUpdateSQL(UpdateKind kind, std::vector<std::string> lines) {
  if (Active() && lines.empty() != InsertSQL().empty())
    DatabaseError("You can't change Post metod while query is active");
  UpdateSQL(kind) = std::move(lines);
}

void TmQuery::SetDataSource(dataset::TDataSet* master) {
  for (dataset::TDataSet* link = master; link != nullptr;) {
    if (link == this) throw dataset::EDatabaseError("Circular datalinks are not allowed");
    auto* query = dynamic_cast<TmQuery*>(link);
    link = query ? query->master_ : nullptr;
  }
  master_ = master;
}

std::size_t TmQuery::LocallyKeptCount() const {
  if (LocalStoreMode()) return 0;
  return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [](const TEntry& e) {
    return e.cursorRow > 0 && e.local.has_value();
  }));
}

// ---- TmStatement seams -------------------------------------------------------------------

void TmQuery::CloseCursor() noexcept {
  // The statement's cursor goes away under the data set (new SQL text, release): close it too.
  if (Active() && !closing_) {
    closing_ = true;
    try {
      Close();
    } catch (...) {
      // Close posts a pending edit; a failure there must not keep the cursor open.
    }
    closing_ = false;
  }
  UnbindRow();
  TmStatement::CloseCursor();
}

void TmQuery::CheckInactive() const {
  if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
}

void TmQuery::FillParamsFromMaster() {
  if (!master_) return;
  for (TmParam& param : Params()) {
    if (param.Bound()) continue;
    if (!master_->Active()) {
      if (const dataset::TFieldDef* def = master_->FieldDefs.Find(param.Name())) {
        switch (def->DataType) {
          case dataset::TFieldType::String: param.SetDataType(dataset::TFieldType::String); break;
          case dataset::TFieldType::Integer: param.SetDataType(dataset::TFieldType::Integer); break;
          case dataset::TFieldType::Float:
          case dataset::TFieldType::LargeInt: param.SetDataType(dataset::TFieldType::Float); break;
          case dataset::TFieldType::Boolean: param.SetDataType(dataset::TFieldType::Boolean); break;
          case dataset::TFieldType::DateTime: param.SetDataType(dataset::TFieldType::DateTime); break;
          case dataset::TFieldType::Blob: param.SetDataType(dataset::TFieldType::Blob); break;
          default: break;
        }
      }
      continue;
    }
    const dataset::TField* field = master_->FindField(param.Name());
    if (!field) continue;
    switch (field->DataType()) {
      case dataset::TFieldType::String: param.SetAsString(field->AsString()); break;
      case dataset::TFieldType::Integer: param.SetAsInteger(field->AsInteger()); break;
      case dataset::TFieldType::Float:
      case dataset::TFieldType::LargeInt: param.SetAsFloat(field->AsFloat()); break;
      case dataset::TFieldType::Boolean: param.SetAsBoolean(field->AsBoolean()); break;
      case dataset::TFieldType::DateTime: param.SetAsDateTime(field->AsDateTime()); break;
      case dataset::TFieldType::Blob: param.SetAsBlob(field->AsString()); break;
      default: break;
    }
    if (field->IsNull()) param.Clear();
    param.SetBound(false);  // still the master's value: taken again on the next execution
  }
}

// ---- opening and closing -----------------------------------------------------------------

bool TmQuery::LocalStoreMode() const { return CursorType() == TmCursorTypes::ctFwdOnlyCursor; }

void TmQuery::InternalOpen() {
  InitFieldDefs();
  FieldDefs.Clear();
  fieldToDef_.clear();
  const auto& defs = ODBCFieldDefs();
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const dataset::TFieldType type = dataset::StorageType(defs[i].dataType);
    FieldDefs.Add(defs[i].name, type, type == dataset::TFieldType::String ? defs[i].size : 0);
    fieldToDef_.push_back(static_cast<int>(i));
  }
  rowBuffer_.row.assign(RowWords(RowSize()), 0);
  rowBuffer_.strings.assign(StringSlots(), std::string());
  rowBuffer_.recNo = -1;
  rowBound_ = false;
  fetchedRow_ = 0;
  counted_ = false;
  entries_.clear();
  deleted_.clear();
  lastAppendedKey_ = 0;
}

void TmQuery::InternalLoad() {
  // A result that was not asked to be live refuses every field write.
  if (!Modifiable())
    for (int i = 0; i < FieldCount(); ++i) Fields(i).ReadOnly = true;
}

void TmQuery::InternalClose() {
  UnbindRow();
  TmStatement::CloseCursor();
  entries_.clear();
  deleted_.clear();
  rowBuffer_ = TmRecord{};
  fetchedRow_ = 0;
  counted_ = false;
}

// ---- binding and fetching ----------------------------------------------------------------

void TmQuery::BindRow(std::byte* row) {
  const TOdbcApi& api = Api();
  if (UseBookmarks()) {
    Check(api.SQLBindCol(StatementHandle(), 0, BookmarkSize() == 4 ? SQL_C_BOOKMARK : SQL_C_VARBOOKMARK, row,
                         BookmarkSize(), reinterpret_cast<SQLLEN*>(row + BookmarkIndicatorOffset())));
  }
  for (const TODBCFieldDef& def : ODBCFieldDefs()) {
    if (!def.Bound()) continue;
    Check(api.SQLBindCol(StatementHandle(), static_cast<SQLUSMALLINT>(def.fieldNo), def.bufferType, row + def.offset,
                         def.bufferLength, reinterpret_cast<SQLLEN*>(row + def.indicatorOffset)));
  }
  rowBound_ = true;
}

void TmQuery::UnbindRow() noexcept {
  if (!rowBound_ || !StatementAllocated()) {
    rowBound_ = false;
    return;
  }
  const TOdbcApi& api = Api();
  const SQLRETURN rc = api.SQLFreeStmt(StatementHandle(), SQL_UNBIND);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_INVALID_HANDLE) {
    for (const TODBCFieldDef& def : ODBCFieldDefs())
      api.SQLBindCol(StatementHandle(), static_cast<SQLUSMALLINT>(def.fieldNo), def.bufferType, nullptr, 0, nullptr);
  }
  rowBound_ = false;
}

bool TmQuery::Fetch(SQLSMALLINT orientation, SQLLEN offset) {
  if (!rowBound_) BindRow(rowBuffer_.Bytes());
  const TOdbcApi& api = Api();
  const bool forwardOnly = CursorType() == TmCursorTypes::ctFwdOnlyCursor;
  for (int attempt = 0;; ++attempt) {
    const SQLRETURN rc = forwardOnly ? api.SQLFetch(StatementHandle())
                                     : api.SQLFetchScroll(StatementHandle(), orientation, offset);
    if (rc == SQL_NO_DATA) {
      if (orientation == SQL_FETCH_RELATIVE && offset == 0) DatabaseError("No data found");
      return false;
    }
    if (rc == SQL_SUCCESS) break;
    try {
      Check(rc);
      break;
    } catch (const ESQLerror& error) {
      if (rc == SQL_SUCCESS_WITH_INFO && error.SqlState() == "01S06" && orientation == SQL_FETCH_PRIOR) return false;
      // An invalid cursor position is tried once more; re-reading the current row becomes next.
      if (rc == SQL_ERROR && error.SqlState() == "HY109" && attempt == 0) {
        if (orientation == SQL_FETCH_RELATIVE && offset == 0) orientation = SQL_FETCH_NEXT;
        continue;
      }
      throw;
    }
  }
  const std::byte* row = rowBuffer_.Bytes();
  if (UseBookmarks() && LoadAt<SQLLEN>(row + BookmarkIndicatorOffset()) != BookmarkSize())
    DatabaseError("Invalid bookmark returned by the driver");
  if (forwardOnly) {
    rowBuffer_.recNo = -1;  // the local store numbers its rows itself
  } else {
    SQLULEN number = 0;
    const SQLRETURN rc = api.SQLGetStmtAttr(StatementHandle(), SQL_ATTR_ROW_NUMBER, &number, SQL_IS_UINTEGER, nullptr);
    rowBuffer_.recNo = SQL_SUCCEEDED(rc) && number > 0 ? static_cast<std::int32_t>(number) : -1;
  }
  ReadUnboundColumns(rowBuffer_);
  return true;
}

void TmQuery::ReadUnboundColumns(TmRecord& record) {
  const TOdbcApi& api = Api();
  for (const TODBCFieldDef& def : ODBCFieldDefs()) {
    if (def.Bound()) continue;
    std::string& value = record.strings.at(def.offset);
    value.clear();
    const auto column = static_cast<SQLUSMALLINT>(def.fieldNo);
    const bool character = def.bufferType == SQL_C_CHAR;
    char probe[1];
    SQLLEN indicator = 0;
    // A zero-length read tells the length (or that the value is NULL).
    SQLRETURN rc = api.SQLGetData(StatementHandle(), column, def.bufferType, probe, 0, &indicator);
    if (rc == SQL_NO_DATA || indicator == SQL_NULL_DATA) continue;
    if (!SQL_SUCCEEDED(rc)) Check(rc);
    if (rc == SQL_SUCCESS && indicator == 0) continue;
    SQLLEN chunk = indicator >= 1 && indicator != SQL_NO_TOTAL ? indicator : 256;
    while (true) {
      const std::size_t at = value.size();
      const std::size_t room = static_cast<std::size_t>(chunk) + (character ? 1 : 0);
      value.resize(at + room);
      rc = api.SQLGetData(StatementHandle(), column, def.bufferType, value.data() + at, static_cast<SQLLEN>(room),
                          &indicator);
      if (rc == SQL_NO_DATA) {
        value.resize(at);
        break;
      }
      if (!SQL_SUCCEEDED(rc)) Check(rc);
      if (indicator == SQL_NULL_DATA) {
        value.clear();
        break;
      }
      if (indicator != SQL_NO_TOTAL && indicator <= chunk) {
        value.resize(at + static_cast<std::size_t>(indicator));  // the rest fitted
        break;
      }
      value.resize(at + static_cast<std::size_t>(chunk));  // a full chunk; the terminator dropped
      if (rc != SQL_SUCCESS_WITH_INFO || indicator == 0) break;
      chunk = indicator != SQL_NO_TOTAL && indicator > chunk ? indicator - chunk : 256;
    }
  }
}

void TmQuery::FetchRemaining() {
  std::int32_t rows = static_cast<std::int32_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const TEntry& e) { return e.cursorRow > 0; }));
  while (!EndReached() && CursorOpen()) {
    if (!Fetch(SQL_FETCH_NEXT, 0)) {
      SetEndReached(true);
      break;
    }
    TEntry entry;
    entry.cursorRow = ++rows;
    entry.key = rows;
    entry.local = rowBuffer_;
    entry.local->recNo = rows;
    entries_.push_back(std::move(entry));
  }
}

void TmQuery::CountScrollableRows() {
  // The rows are counted by walking them from the first: the row number a driver reports for
  // its last row cannot be trusted (the SQLite driver gives 1 there on a statement opened again),
  // and a count too small would end every walk over the result early.
  std::int32_t rows = 0;
  if (Fetch(SQL_FETCH_FIRST, 0))
    for (rows = 1; Fetch(SQL_FETCH_NEXT, 0);) ++rows;
  fetchedRow_ = 0;
  entries_.reserve(static_cast<std::size_t>(rows));
  for (std::int32_t row = 1; row <= rows; ++row) {
    TEntry entry;
    entry.cursorRow = row;
    entry.key = row;
    entries_.push_back(std::move(entry));
  }
}

void TmQuery::EnsureCounted() const {
  if (counted_) return;
  // Counting fetches; the rows it keeps are the store's own state, not the caller's.
  auto& self = const_cast<TmQuery&>(*this);
  if (LocalStoreMode())
    self.FetchRemaining();
  else
    self.CountScrollableRows();
  counted_ = true;
}

void TmQuery::PositionCursorOn(std::int32_t row) {
  if (fetchedRow_ == row) return;
  bool found = false;
  if (fetchedRow_ > 0 && row == fetchedRow_ + 1) {
    found = Fetch(SQL_FETCH_NEXT, 0);
  } else if (fetchedRow_ > 0 && row == fetchedRow_ - 1) {
    found = Fetch(SQL_FETCH_PRIOR, 0);
  } else if (Capabilities().cursorAttributes1 & SQL_CA1_ABSOLUTE) {
    found = Fetch(SQL_FETCH_ABSOLUTE, row);
  } else {
    // Without absolute positioning the cursor is walked from its first row.
    found = Fetch(SQL_FETCH_FIRST, 0);
    for (std::int32_t at = 1; found && at < row; ++at) found = Fetch(SQL_FETCH_NEXT, 0);
  }
  fetchedRow_ = found ? row : 0;
  if (!found) DatabaseError("Record not found");
}

// ---- storage hooks -----------------------------------------------------------------------

int TmQuery::InternalRecordCount() const {
  EnsureCounted();
  return static_cast<int>(entries_.size());
}

std::optional<int> TmQuery::InternalFindBookmark(std::int64_t bookmark) const {
  EnsureCounted();
  const auto hit = std::find_if(entries_.begin(), entries_.end(), [&](const TEntry& e) { return e.key == bookmark; });
  if (hit == entries_.end()) return std::nullopt;
  return static_cast<int>(hit - entries_.begin());
}

void TmQuery::InternalReadRecord(int position, dataset::TRecordBuffer& buffer) {
  EnsureCounted();
  TEntry& entry = entries_.at(static_cast<std::size_t>(position));
  if (entry.local) {
    ToFieldValues(*entry.local, buffer);
  } else {
    PositionCursorOn(entry.cursorRow);
    ToFieldValues(rowBuffer_, buffer);
  }
  buffer.Bookmark = entry.key;
}

const TODBCFieldDef& TmQuery::DefOf(int field) const {
  if (field < 0 || static_cast<std::size_t>(field) >= fieldToDef_.size()) DatabaseError("fielddef not found");
  return ODBCFieldDefs().at(static_cast<std::size_t>(fieldToDef_[static_cast<std::size_t>(field)]));
}

void TmQuery::ToFieldValues(const TmRecord& record, dataset::TRecordBuffer& buffer) const {
  buffer.Reset();
  const std::byte* row = record.Bytes();
  for (int i = 0; i < FieldCount(); ++i) {
    const TODBCFieldDef& def = DefOf(i);
    if (!def.Bound()) {
      buffer.SetString(i, record.strings.at(def.offset));
      continue;
    }
    const SQLLEN indicator = LoadAt<SQLLEN>(row + def.indicatorOffset);
    if (indicator == SQL_NULL_DATA) continue;
    const std::byte* value = row + def.offset;
    switch (def.bufferType) {
      case SQL_C_CHAR: {
        const char* text = reinterpret_cast<const char*>(value);
        std::size_t length = static_cast<std::size_t>(def.bufferLength - 1);
        if (indicator >= 0 && static_cast<std::size_t>(indicator) < length) length = static_cast<std::size_t>(indicator);
        length = static_cast<std::size_t>(std::find(text, text + length, '\0') - text);
        while (length > 0 && text[length - 1] == ' ') --length;  // fixed-width padding
        buffer.SetString(i, std::string_view(text, length));
        break;
      }
      case SQL_C_DOUBLE: buffer.SetFloat(i, LoadAt<double>(value)); break;
      case SQL_C_SLONG: buffer.SetInteger(i, LoadAt<SQLINTEGER>(value)); break;
      case SQL_C_SSHORT: buffer.SetInteger(i, LoadAt<SQLSMALLINT>(value)); break;
      case SQL_C_BIT: buffer.SetBoolean(i, LoadAt<unsigned char>(value) != 0); break;
      case SQL_C_TYPE_DATE: buffer.SetDateTime(i, FromOdbc(LoadAt<SQL_DATE_STRUCT>(value))); break;
      case SQL_C_TYPE_TIME: buffer.SetDateTime(i, FromOdbc(LoadAt<SQL_TIME_STRUCT>(value))); break;
      case SQL_C_TYPE_TIMESTAMP: buffer.SetDateTime(i, FromOdbc(LoadAt<SQL_TIMESTAMP_STRUCT>(value))); break;
      default: throw dataset::EDatabaseError(WithName("Field '%s' is of an unsupported type", def.name));
    }
  }
}

TmRecord TmQuery::FromFieldValues(const dataset::TRecordBuffer& buffer, const dataset::TRecordBuffer* old) const {
  TmRecord record;
  record.row.assign(RowWords(RowSize()), 0);
  record.strings.assign(StringSlots(), std::string());
  std::byte* row = record.Bytes();
  for (int i = 0; i < FieldCount(); ++i) {
    const TODBCFieldDef& def = DefOf(i);
    if (!def.Bound()) {
      record.strings.at(def.offset) = std::string(buffer.GetString(i));
      continue;
    }
    std::byte* value = row + def.offset;
    SQLLEN indicator = SQL_NULL_DATA;
    if (!buffer.IsNull(i)) {
      switch (def.bufferType) {
        case SQL_C_CHAR: {
          const std::string_view text = buffer.GetString(i);
          const std::size_t length = std::min(text.size(), static_cast<std::size_t>(def.bufferLength - 1));
          std::memcpy(value, text.data(), length);
          indicator = static_cast<SQLLEN>(length);
          break;
        }
        case SQL_C_DOUBLE:
          StoreAt(value, buffer.GetFloat(i));
          indicator = sizeof(double);
          break;
        case SQL_C_SLONG:
          StoreAt(value, static_cast<SQLINTEGER>(buffer.GetInteger(i)));
          indicator = sizeof(SQLINTEGER);
          break;
        case SQL_C_SSHORT:
          StoreAt(value, static_cast<SQLSMALLINT>(buffer.GetInteger(i)));
          indicator = sizeof(SQLSMALLINT);
          break;
        case SQL_C_BIT:
          StoreAt(value, static_cast<unsigned char>(buffer.GetBoolean(i) ? 1 : 0));
          indicator = 1;
          break;
        case SQL_C_TYPE_DATE: {
          const SQL_DATE_STRUCT date = ToOdbcDate(buffer.GetDateTime(i));
          StoreAt(value, date);
          indicator = sizeof date;
          break;
        }
        case SQL_C_TYPE_TIMESTAMP: {
          const SQL_TIMESTAMP_STRUCT stamp = ToOdbcTimestamp(buffer.GetDateTime(i));
          StoreAt(value, stamp);
          indicator = sizeof stamp;
          break;
        }
        case SQL_C_TYPE_TIME: {
          // Time values cannot be written back through the driver's positioned operations;
          // an unchanged one is simply carried along.
          if (old && (old->IsNull(i) || old->GetDateTime(i).Days() != buffer.GetDateTime(i).Days()))
            DatabaseError(kUpdateNotSupported);
          const SQL_TIME_STRUCT time = ToOdbcTime(buffer.GetDateTime(i));
          StoreAt(value, time);
          indicator = sizeof time;
          break;
        }
        default: DatabaseError(kUpdateNotSupported);
      }
    }
    StoreAt(row + def.indicatorOffset, indicator);
  }
  return record;
}

int TmQuery::InternalPostRecord(const dataset::TRecordBuffer& buffer, dataset::TPostKind kind, int position) {
  EnsureCounted();
  if (!Modifiable()) DatabaseError("Cannot modify a read-only dataset");
  if (kind != dataset::TPostKind::Overwrite) {
    if (!InsertSQL().empty()) {
      // An appended record's old values are the values being inserted.
      RunUpdateQuery(ukInsert, buffer, buffer);
    } else if (Capabilities().canAdd) {
      PositionedPost(FromFieldValues(buffer, &buffer), SQL_ADD);
    } else {
      DatabaseError("Internal insert is not supported by the driver");
    }
    TEntry entry;
    entry.key = --lastAppendedKey_;
    entry.local = FromFieldValues(buffer, nullptr);
    const int count = static_cast<int>(entries_.size());
    const int at = kind == dataset::TPostKind::Append ? count : std::clamp(position, 0, count);
    entries_.insert(entries_.begin() + at, std::move(entry));
    return at;
  }

  TEntry& entry = entries_.at(static_cast<std::size_t>(position));
  dataset::TRecordBuffer old(RecordLayout());
  InternalReadRecord(position, old);
  if (!ModifySQL().empty()) {
    RunUpdateQuery(ukModify, buffer, old);
  } else if (Capabilities().canUpdate && entry.cursorRow > 0) {
    TmRecord record = FromFieldValues(buffer, &old);
    PositionCursorOn(entry.cursorRow);
    PositionedPost(record, SQL_UPDATE);
  } else {
    DatabaseError("Internal update is not supported by the driver");
  }
  // A cursor that does not show its own updates would read the old row again: keep this one.
  if (entry.local || !(Capabilities().sensitivity & SQL_SS_UPDATES)) {
    const std::int32_t recNo = entry.local ? entry.local->recNo : entry.cursorRow;
    entry.local = FromFieldValues(buffer, nullptr);
    entry.local->recNo = recNo;
  }
  return position;
}

void TmQuery::InternalDeleteRecord(int position) {
  EnsureCounted();
  if (!Modifiable()) DatabaseError("Cannot modify a read-only dataset");
  TEntry& entry = entries_.at(static_cast<std::size_t>(position));
  const std::int32_t row = entry.cursorRow;
  if (!DeleteSQL().empty()) {
    dataset::TRecordBuffer current(RecordLayout());
    InternalReadRecord(position, current);
    RunUpdateQuery(ukDelete, current, current);
    deleted_.push_back(entry.key);
  } else if ((Capabilities().cursorAttributes1 & SQL_CA1_POS_DELETE) && row > 0) {
    PositionCursorOn(row);
    const SQLRETURN rc = Api().SQLSetPos(StatementHandle(), 1, SQL_DELETE, SQL_LOCK_NO_CHANGE);
    fetchedRow_ = 0;
    Check(rc);
    if (Capabilities().sensitivity & SQL_SS_DELETIONS) {
      // The cursor dropped the row: the rows after it moved up by one.
      for (TEntry& e : entries_)
        if (e.cursorRow > row) --e.cursorRow;
    } else {
      deleted_.push_back(entry.key);
    }
  } else {
    DatabaseError("Internal delete is not supported by the driver");
  }
  entries_.erase(entries_.begin() + position);
}

// ---- writing back ------------------------------------------------------------------------

void TmQuery::PositionedPost(const TmRecord& source, SQLUSMALLINT operation) {
  // The record goes to the driver through the row the cursor is bound to: its values are
  // copied there (a driver may keep using the buffers it was given at the fetch, so binding
  // another buffer is not enough). Long columns are bound from their strings for the call,
  // an empty one as NULL.
  if (!rowBound_) BindRow(rowBuffer_.Bytes());
  std::copy(source.row.begin(), source.row.end(), rowBuffer_.row.begin());
  std::vector<std::string> strings = source.strings;
  std::vector<SQLLEN> longLengths(strings.size(), SQL_NULL_DATA);
  const TOdbcApi& api = Api();
  auto unbindLongColumns = [&]() noexcept {
    for (const TODBCFieldDef& def : ODBCFieldDefs())
      if (!def.Bound())
        api.SQLBindCol(StatementHandle(), static_cast<SQLUSMALLINT>(def.fieldNo), def.bufferType, nullptr, 0, nullptr);
  };
  fetchedRow_ = 0;  // the row buffer no longer holds what the cursor has
  try {
    for (const TODBCFieldDef& def : ODBCFieldDefs()) {
      if (def.Bound()) continue;
      std::string& value = strings.at(def.offset);
      SQLLEN& length = longLengths.at(def.offset);
      length = value.empty() ? SQL_NULL_DATA : static_cast<SQLLEN>(value.size());
      Check(api.SQLBindCol(StatementHandle(), static_cast<SQLUSMALLINT>(def.fieldNo), def.bufferType, value.data(),
                           static_cast<SQLLEN>(value.size()), &length));
    }
    const SQLRETURN rc = operation == SQL_ADD ? api.SQLBulkOperations(StatementHandle(), SQL_ADD)
                                              : api.SQLSetPos(StatementHandle(), 1, operation, SQL_LOCK_NO_CHANGE);
    if (rc != SQL_SUCCESS) Check(rc);
  } catch (...) {
    unbindLongColumns();
    throw;
  }
  unbindLongColumns();
}

void TmQuery::RunUpdateQuery(UpdateKind kind, const dataset::TRecordBuffer& current, const dataset::TRecordBuffer& old) {
  const std::vector<std::string>& lines = UpdateSQL(kind);
  if (AllBlank(lines)) DatabaseError("sql statement not defined");
  std::unique_ptr<TmStatement>& query = updateQueries_.at(kind);
  if (!query) query = std::make_unique<TmStatement>();
  if (query->DataBase() != DataBase()) query->SetDataBase(DataBase());
  if (query->SQL() != lines) {
    // A new text: parse it (which drops the prepared statement) and match the parameters to
    // the fields once. The same text is prepared once and run again for every post.
    // An update statement returns no rows: it runs forward-only, whatever cursor the result
    // uses, which spares the driver its scrollable-cursor work on every post.
    if (!query->CursorOpen()) query->SetCursorType(TmCursorTypes::ctFwdOnlyCursor);
    query->SetSQL(lines);
    auto& mapping = updateParamFields_.at(kind);
    mapping.clear();
    for (const TmParam& param : query->Params()) {
      const bool takesOld = StartsWithOld(param.Name());
      const dataset::TField* field = FindField(takesOld ? std::string_view(param.Name()).substr(4) : param.Name());
      mapping.emplace_back(field ? field->Index() : -1, takesOld);
    }
  }
  const auto& mapping = updateParamFields_.at(kind);
  TmParams& params = query->Params();
  for (std::size_t p = 0; p < params.Count(); ++p) {
    const auto [field, takesOld] = mapping.at(p);
    if (field < 0) continue;  // no such field: the parameter keeps what the caller gave it
    const dataset::TRecordBuffer& values = takesOld ? old : current;
    const TODBCFieldDef& def = DefOf(field);
    TmParam& param = params[p];
    if (values.IsNull(field)) {
      dataset::TFieldType type = def.dataType;
      if (type == dataset::TFieldType::Word || type == dataset::TFieldType::AutoInc) type = dataset::TFieldType::Integer;
      param.SetDataType(type);
      param.Clear();
      continue;
    }
    switch (def.dataType) {
      case dataset::TFieldType::String: param.SetAsString(std::string(values.GetString(field))); break;
      case dataset::TFieldType::Memo: param.SetAsMemo(std::string(values.GetString(field))); break;
      case dataset::TFieldType::Blob: param.SetAsBlob(std::string(values.GetString(field))); break;
      case dataset::TFieldType::Smallint: param.SetAsSmallInt(static_cast<std::int16_t>(values.GetInteger(field))); break;
      case dataset::TFieldType::Integer:
      case dataset::TFieldType::Word:
      case dataset::TFieldType::AutoInc: param.SetAsInteger(values.GetInteger(field)); break;
      case dataset::TFieldType::Boolean: param.SetAsBoolean(values.GetBoolean(field)); break;
      case dataset::TFieldType::Date: param.SetAsDate(values.GetDateTime(field)); break;
      case dataset::TFieldType::Time: param.SetAsTime(values.GetDateTime(field)); break;
      case dataset::TFieldType::DateTime: param.SetAsDateTime(values.GetDateTime(field)); break;
      case dataset::TFieldType::LargeInt: param.SetAsFloat(static_cast<double>(values.GetLargeInt(field))); break;
      default: param.SetAsFloat(values.GetFloat(field)); break;
    }
  }
  query->ExecSQL();
  ReportRowsAffected(query->RowsAffected());
}

void TmQuery::ReportRowsAffected(SQLLEN rows) const {
  if (!reporter_ || rows == 1) return;
  reporter_->ShowMessage(rows < 1 ? kNoRowsAffected : kMoreThanOneRow);
}

// ---- lookups and streams -----------------------------------------------------------------

std::optional<std::vector<dataset::TValue>> TmQuery::Lookup(std::string_view keyFields,
                                                        std::span<const dataset::TValue> keyValues,
                                                        std::string_view resultFields) {
  CheckBrowseMode();
  const dataset::TBookmark mark = GetBookmark();
  std::optional<std::vector<dataset::TValue>> result;
  DisableControls();
  try {
    if (Locate(keyFields, keyValues)) {
      result.emplace();
      std::string_view names = resultFields;
      while (true) {
        const auto cut = names.find(';');
        const auto name = core::TrimBlanks(names.substr(0, cut));
        if (!name.empty()) result->push_back(ValueOf(FieldByName(name)));
        if (cut == std::string_view::npos) break;
        names.remove_prefix(cut + 1);
      }
      if (BookmarkValid(mark)) GotoBookmark(mark);
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  return result;
}

std::unique_ptr<TmBlobStream> TmQuery::CreateBlobStream(dataset::TField& field, dataset::TBlobStreamMode mode) {
  return std::make_unique<TmBlobStream>(field, mode);
}

}  // namespace odbc
