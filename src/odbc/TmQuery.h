// TmQuery: an ODBC statement presented as a data set. The statement side (text, parameters,
// cursor negotiation, execution, column description) is TmStatement's; this half holds the
// rows, fetches them in the directions the cursor allows, converts column values to and from
// field values, and writes appended, edited and deleted records back.
//
// Rows live in the ODBC layout: one bound row per record (value areas and SQLLEN indicators at
// the offsets TmStatement described, the bookmark first when ODBC bookmarks are used) plus one
// string per unbound (long) column. The data set's positions map onto
//   - the locally kept rows, when the cursor is forward-only (every fetched row is kept, so
//     moving back and going to the last record still work), or
//   - the cursor's own rows, fetched again on demand, when it is scrollable;
// followed by the records appended through this query. A record whose changes the cursor does
// not show is kept as a local copy in its place. The data set moves by position and needs the
// record count, so a forward-only result is read to its end when it is first counted (at Open),
// and UniDirectional keeps its rows too. Data-set bookmarks are row numbers of the cursor
// (negative numbers for appended records); the ODBC bookmark column, when the driver offers
// one, is fetched and checked with every row.
//
// "No rows affected" / "More then one rows affected" (an update statement that changed no row
// or several) go to the query's Reporter as messages; the post completes either way.
//
// Posting: an appended record runs InsertSQL, an edited one ModifySQL, a deleted one DeleteSQL
// (parameters filled from the fields by name; "OLD_" names take the old value). Without a
// statement the driver's positioned operations are used when it offers them. Each update
// statement is prepared once and reused for every post while its text stays the same.
#pragma once

#include <sql.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Reporter.h"
#include "dataset/DataSet.h"
#include "dataset/MemBlobStream.h"
#include "odbc/TmStatement.h"

namespace odbc {

class TmBlobStream;

// One record in the ODBC layout.
struct TmRecord {
  std::vector<SQLLEN> row;           // the bound row (SQLLEN-aligned bytes)
  std::vector<std::string> strings;  // one per unbound column, in column order
  std::int32_t recNo = -1;           // 1-based row number in the result, -1 when not known

  std::byte* Bytes() { return reinterpret_cast<std::byte*>(row.data()); }
  const std::byte* Bytes() const { return reinterpret_cast<const std::byte*>(row.data()); }
};

class TmQuery : public TmStatement, public dataset::TDataSet {
 public:
  TmQuery();
  ~TmQuery() override;

  // Setting an update statement while the query is open is refused ("You can't change Post
  // metod while query is active") when it would switch between statement and positioned
  // posting, i.e. when its emptiness differs from that of the current InsertSQL.
  void SetUpdateSQL(UpdateKind kind, std::vector<std::string> lines);
  void SetModifySQL(std::vector<std::string> lines) { SetUpdateSQL(ukModify, std::move(lines)); }
  void SetInsertSQL(std::vector<std::string> lines) { SetUpdateSQL(ukInsert, std::move(lines)); }
  void SetDeleteSQL(std::vector<std::string> lines) { SetUpdateSQL(ukDelete, std::move(lines)); }

  // Master data set whose fields give values to parameters nobody assigned. A link that would
  // make a cycle is refused with "Circular datalinks are not allowed".
  void SetDataSource(dataset::TDataSet* master);
  dataset::TDataSet* DataSource() const { return master_; }

  // Where "No rows affected" / "More then one rows affected" are shown (ShowMessage). They
  // are informational: the post completes either way. Without a reporter nothing is shown.
  void SetReporter(core::Reporter* reporter) { reporter_ = reporter; }
  core::Reporter* Reporter() const { return reporter_; }

  // Whether the opened result may be changed (RequestLive at open time).
  bool CanModify() const { return Active() && Modifiable(); }

  // The values of `resultFields` (";"-separated) of the first record matching the keys, the
  // cursor left where it was; empty when no record matches.
  std::optional<std::vector<dataset::TValue>> Lookup(std::string_view keyFields, std::span<const dataset::TValue> keyValues,
                                                 std::string_view resultFields);
  std::optional<std::vector<dataset::TValue>> Lookup(std::string_view keyFields, const dataset::TValue& keyValue,
                                                 std::string_view resultFields) {
    return Lookup(keyFields, std::span<const dataset::TValue>(&keyValue, 1), resultFields);
  }

  // A stream over a long (memo or blob) column of the current record.
  std::unique_ptr<TmBlobStream> CreateBlobStream(dataset::TField& field, dataset::TBlobStreamMode mode);

  // The update statement runner of `kind`, once it has been used.
  const TmStatement* UpdateQuery(UpdateKind kind) const { return updateQueries_.at(kind).get(); }
  // How many records were kept because the cursor does not show their changes.
  std::size_t LocallyKeptCount() const;
  // Bookmarks of records deleted through this query.
  const std::vector<std::int64_t>& DeletedBookmarks() const { return deleted_; }

 protected:
  // TmStatement seams.
  void CloseCursor() noexcept override;
  void FillParamsFromMaster() override;
  void CheckInactive() const override;

  // Storage hooks of the data set.
  void InternalOpen() override;
  void InternalLoad() override;
  void InternalClose() override;
  int InternalRecordCount() const override;
  void InternalReadRecord(int position, dataset::TRecordBuffer& buffer) override;
  int InternalPostRecord(const dataset::TRecordBuffer& buffer, dataset::TPostKind kind, int position) override;
  void InternalDeleteRecord(int position) override;
  std::optional<int> InternalFindBookmark(std::int64_t bookmark) const override;

 private:
  // One position of the data set: a row of the cursor (fetched again when read) or a record
  // kept here.
  struct TEntry {
    std::int64_t key = 0;               // the data set's bookmark
    std::int32_t cursorRow = 0;         // 1-based row of the cursor, 0 for an appended record
    std::optional<TmRecord> local;      // the record itself when kept here
  };

  bool LocalStoreMode() const;
  void BindRow(std::byte* row);
  void UnbindRow() noexcept;
  // Fetches in `orientation`; false for SQL_NO_DATA.
  bool Fetch(SQLSMALLINT orientation, SQLLEN offset);
  void ReadUnboundColumns(TmRecord& record);
  void FetchRemaining();
  void CountScrollableRows();
  void EnsureCounted() const;
  void PositionCursorOn(std::int32_t row);
  void ToFieldValues(const TmRecord& record, dataset::TRecordBuffer& buffer) const;
  // The record laid out for the driver; `old` tells which time values were changed.
  TmRecord FromFieldValues(const dataset::TRecordBuffer& buffer, const dataset::TRecordBuffer* old) const;
  const TODBCFieldDef& DefOf(int field) const;

  void RunUpdateQuery(UpdateKind kind, const dataset::TRecordBuffer& current, const dataset::TRecordBuffer& old);
  void ReportRowsAffected(SQLLEN rows) const;
  void PositionedPost(const TmRecord& record, SQLUSMALLINT operation);

  TmRecord rowBuffer_;                // the row the cursor fetches into
  bool rowBound_ = false;
  std::int32_t fetchedRow_ = 0;       // the cursor row now in rowBuffer_, 0 = none/unknown
  mutable bool counted_ = false;
  std::vector<TEntry> entries_;
  std::int64_t lastAppendedKey_ = 0;  // appended records get keys -1, -2, ...
  std::vector<std::int64_t> deleted_;
  std::vector<int> fieldToDef_;       // data-set field index -> index in ODBCFieldDefs()
  std::array<std::unique_ptr<TmStatement>, 3> updateQueries_;
  // For each update statement: parameter index -> (field index, takes the old value).
  std::array<std::vector<std::pair<int, bool>>, 3> updateParamFields_;
  dataset::TDataSet* master_ = nullptr;
  core::Reporter* reporter_ = nullptr;
  bool closing_ = false;
};

}  // namespace odbc
