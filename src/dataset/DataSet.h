// The data-set contract shared by every table-like component of the system: a cursor over
// records with named, typed fields, browse / edit / insert states, typed field accessors with
// fixed conversion rules, Locate, bookmarks and a record filter.
//
// TDataSet owns the state machine, the field objects, the active (edit) buffer and the
// navigation logic. Where the records live is the business of a subclass, which implements a
// handful of storage hooks (see "Storage hooks" in TDataSet). The in-memory store
// (TPDBVirtualDataSet) and the ODBC query keep their rows in completely different places and
// share everything else through this class.
//
// Field values travel in a TRecordBuffer: one fixed byte block per record (one presence byte
// before every non-blob value, strings zero-terminated in N + 1 bytes) plus one byte string per
// blob field. Text is Windows-1251 bytes and is never transcoded; messages are UTF-8.
//
// A store in short (rows kept as a vector of its own):
//
//   class TRowsDataSet : public dataset::TDataSet {
//     std::vector<Row> rows_;
//     void InternalOpen() override { FieldDefs.Clear(); FieldDefs.Add("Id", TFieldType::Integer); }
//     void InternalClose() override { rows_.clear(); }
//     int InternalRecordCount() const override { return int(rows_.size()); }
//     void InternalReadRecord(int i, TRecordBuffer& b) override {
//       b.Reset(); b.SetInteger(0, rows_[i].id); b.Bookmark = rows_[i].key; }
//     int InternalPostRecord(const TRecordBuffer& b, TPostKind kind, int pos) override { ... }
//     void InternalDeleteRecord(int i) override { rows_.erase(rows_.begin() + i); }
//     std::optional<int> InternalFindBookmark(std::int64_t key) const override { ... }
//   };
//
// While InternalPostRecord runs, the record being posted is still the active buffer, so a
// store may also read it through FieldByName(...).AsString() and friends (e.g. to fill
// statement parameters); the old values of an edited record are still in its own row at
// `pos`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dataset/DatabaseError.h"
#include "dataset/Field.h"
#include "dataset/FieldDefs.h"
#include "dataset/FieldType.h"
#include "dataset/RecordBuffer.h"
#include "dataset/RecordLayout.h"
#include "dataset/Value.h"

namespace dataset {

enum class TDataSetState { Inactive, Browse, Edit, Insert };

struct TLocateOptions {
  bool CaseInsensitive = false;
  bool PartialKey = false;
};

// How a posted record is to be stored.
enum class TPostKind {
  Append,     // after the last record
  Insert,     // at the given position, the records from there on moving up by one
  Overwrite,  // replacing the record at the given position
};

class TDataSet {
 public:
  using TNotifyEvent = std::function<void(TDataSet&)>;
  // Called with the candidate record current; clearing accept rejects it.
  using TFilterRecordEvent = std::function<void(TDataSet& dataSet, bool& accept)>;
  // A field's value changed (field set) or the record / data set changed (field null).
  using TDataChangeEvent = std::function<void(TDataSet& dataSet, const TField* field)>;
  // The application's exception handler: shows an exception raised inside a callback.
  using TExceptionHandler = std::function<void(std::exception_ptr error)>;

  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // The component name; when not empty, data-set errors read "<Name>: <message>".
  std::string Name;
  // The definitions the fields are built from at Open (set by the subclass or the caller).
  TFieldDefs FieldDefs;

  // Events. The scroll events run around every cursor movement made through the public
  // operations; AfterOpen runs once the records are loaded and the first one is current.
  TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit, BeforePost, AfterPost;
  TNotifyEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete;
  TNotifyEvent BeforeScroll, AfterScroll;
  TNotifyEvent OnNewRecord;  // a new record was started; its fields may be set here
  TDataChangeEvent OnDataChange;  // suppressed while controls are disabled
  // Receives an exception thrown by OnFilterRecord; without it the exception propagates.
  TExceptionHandler OnApplicationException;

  // Opening: runs InternalOpen, builds one field per definition and the record layout, runs
  // InternalLoad with the cursor before the first record, then makes the first record
  // current; state browse. Nothing happens when already open. A failure anywhere leaves the
  // data set closed.
  void Open();
  // Closing: drops a pending edit (a store that PostsPendingEditOnClose posts it when fields
  // were changed), runs InternalSave
  // (a failure there leaves the data set open with its records), frees the records through
  // InternalClose and the fields; state inactive. Nothing happens when already closed.
  void Close();
  bool Active() const { return state_ != TDataSetState::Inactive; }
  void Active(bool value) { value ? Open() : Close(); }
  TDataSetState State() const { return state_; }
  // Whether a field of the record being edited or inserted was written.
  bool Modified() const { return modified_; }

  // Navigation. First / Last go to the first / last accepted record; Next / Prior move one
  // accepted record on and set Eof / Bof instead when there is none (the current record stays).
  // Each of them first ends a pending edit (post if modified, cancel otherwise).
  void First();
  void Last();
  void Next();
  void Prior();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  // No current record (both Eof and Bof).
  bool IsEmpty() const { return !hasCurrent_; }
  // Records in the store, filtered-out ones included; 0 when closed.
  int RecordCount() const;
  // 1-based position of the current record (1 when there is none but the store has records,
  // 0 when empty). Setting 1..RecordCount moves there (unless the filter rejects that
  // record); other values are ignored.
  int RecNo() const;
  void RecNo(int value);

  // Editing. Append starts a new record to go after the last one, Insert one to go at the
  // current position (0 when there is none); all fields null; state insert. Edit starts
  // changing the current record (with no current record it starts an insert). Post stores
  // the record and makes it current; Cancel drops the changes; Delete removes the current
  // record (or cancels an insert) and makes the record now at its position current, the new
  // last one when it was last, the nearest accepted one back when filtered.
  void Append();
  void Insert();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  // Posts a pending edit when fields were changed, cancels it otherwise.
  void CheckBrowseMode();

  // The field whose name equals name, letter case ignored; "Field '%s' not found" otherwise.
  TField& FieldByName(std::string_view name);
  TField* FindField(std::string_view name);
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int index) const { return *fields_.at(static_cast<std::size_t>(index)); }

  // Looks for the first record whose named fields (names separated by ";") hold the values;
  // the current record is tried first. Moves there and returns true, or leaves the cursor
  // where it was and returns false.
  bool Locate(std::string_view names, const TValue& value, TLocateOptions options = {});
  bool Locate(std::string_view names, std::span<const TValue> values, TLocateOptions options = {});
  bool Locate(std::string_view names, std::initializer_list<TValue> values, TLocateOptions options = {}) {
    return Locate(names, std::span<const TValue>(values.begin(), values.size()), options);
  }

  // Bookmarks: the key of the current record (absent when there is none or a new record is
  // being inserted); going to one fails with "Record not found" when its record is gone, and
  // leaves the cursor alone when the filter rejects it; a bookmark is valid while its record
  // exists in the open data set; absent bookmarks sort before all others.
  TBookmark GetBookmark() const;
  void GotoBookmark(const TBookmark& bookmark);
  bool BookmarkValid(const TBookmark& bookmark) const;
  static int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // The record filter. Changing either on an open data set ends a pending edit and moves to
  // the first record (the callback change only when Filtered is set).
  bool Filtered() const { return filtered_; }
  void Filtered(bool value);
  const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
  void OnFilterRecord(TFilterRecordEvent callback);

  // A uni-directional data set reads its records once, from the first to the last, and keeps
  // none behind the cursor: Next, Eof, RecordCount and field reads work as usual; whatever goes
  // back or changes records (Prior, Last, First once Next has moved on, setting RecNo, Locate,
  // GotoBookmark, Append, Insert, Edit, Delete) fails with "Operation not allowed on a
  // unidirectional dataset" and the store's description on a second line. Set by the store.
  bool IsUniDirectional() const { return uniDirectional_; }

  // Nested suppression of OnDataChange while records are loaded or saved in bulk; the last
  // EnableControls sends one change notification for the whole data set.
  void DisableControls() { ++disableCount_; }
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

 protected:
  // ---- Storage hooks -------------------------------------------------------------------
  // Positions are 0-based indexes into the store's ordered records. The base calls them only
  // while the data set is open.
  //
  // Before the fields are built: prepare FieldDefs (from a design, a statement...) and
  // acquire resources. A failure leaves the data set closed (InternalClose is called).
  virtual void InternalOpen() {}
  // After the fields are built, in browse state with no current record: fill the store,
  // typically by Append / field writes / Post. Failures close the data set again.
  virtual void InternalLoad() {}
  // First step of Close, fields and records still there (e.g. write them to a file); a
  // failure leaves the data set open.
  virtual void InternalSave() {}
  // What Close does with a record being edited or inserted: false (the default) drops it, as a
  // data set does when it closes; a store whose save step writes from the first record (and so
  // ends the edit the way every move does, posting what was changed) answers true.
  virtual bool PostsPendingEditOnClose() const { return false; }
  // Free every record and resource; must not fail. Also called after a failed Open.
  virtual void InternalClose() = 0;
  // Number of records held.
  virtual int InternalRecordCount() const = 0;
  // Copy record `position` into `buffer` (all fields, blobs and its Bookmark).
  virtual void InternalReadRecord(int position, TRecordBuffer& buffer) = 0;
  // Store a posted record as `kind` says and return the position it now has; `position` is
  // the insert / overwrite position (unused for Append). A new record gets its key here.
  virtual int InternalPostRecord(const TRecordBuffer& buffer, TPostKind kind, int position) = 0;
  // Remove record `position`.
  virtual void InternalDeleteRecord(int position) = 0;
  // The position of the record with that key, if it is held.
  virtual std::optional<int> InternalFindBookmark(std::int64_t bookmark) const = 0;

  // A store that reads forward only sets this while it opens (in InternalOpen); Close and a
  // failed Open clear it.
  void SetUniDirectional(bool value) { uniDirectional_ = value; }
  // What the data set reads, for the second line of its refusals ("database /x/Orders.pdb").
  virtual std::string Describe() const { return {}; }

  // Helpers for subclasses.
  const TRecordLayout& RecordLayout() const { return layout_; }
  // Raises EDatabaseError with the component-name prefix.
  [[noreturn]] void DatabaseError(const std::string& message) const;
  void CheckActive() const;
  // The current record's position in the store (-1 when there is none).
  int CurrentPosition() const { return hasCurrent_ ? cursor_ : -1; }

 private:
  friend class TField;
  friend class TMemBlobStream;

  // The buffer field reads come from, or nullptr when there is no record to read.
  const TRecordBuffer* ReadBuffer() const;
  // The buffer field writes go to, after the state and read-only checks.
  TRecordBuffer& WriteBuffer(const TField& field);
  void FieldChanged(const TField& field);
  void NotifyChange(const TField* field);
  void Fire(const TNotifyEvent& event) {
    if (event) event(*this);
  }

  void BuildFields();
  void FreeFields();
  void ResetCursor();
  // Reads record `position` into the active buffer and runs the filter on it.
  bool ReadAccepted(int position);
  // Scans from `from` in direction `step` for an accepted record, leaving it in the active
  // buffer; the active buffer is undefined when nothing is found (RestoreCurrent mends it).
  std::optional<int> ScanAccepted(int from, int step);
  void RestoreCurrent();
  void MakeCurrent(int position);
  // Makes the record `scan` finds (a ScanAccepted) current, or leaves no record current when it
  // finds none or fails; returns its position.
  template <class Scan>
  std::optional<int> PositionOrReset(Scan scan);
  void PositionFirst();
  void Step(int direction);
  void StartInsert(bool append);
  // Refuses `operation` on a uni-directional data set.
  void CheckBiDirectional(std::string_view operation) const;
  bool RecordMatches(const std::vector<TField*>& fields, std::span<const TValue> values,
                     TLocateOptions options) const;

  TDataSetState state_ = TDataSetState::Inactive;
  TRecordLayout layout_;
  std::vector<std::unique_ptr<TField>> fields_;
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  // Name spellings already looked up -> field index.
  mutable std::unordered_map<std::string, int, NameHash, std::equal_to<>> nameCache_;

  TRecordBuffer buffer_;  // the current record in browse, the edit buffer in edit / insert
  int cursor_ = -1;       // position of the current record in the store
  bool hasCurrent_ = false;
  bool bof_ = true, eof_ = true;
  bool modified_ = false;
  TPostKind insertKind_ = TPostKind::Append;
  int insertPosition_ = 0;
  bool uniDirectional_ = false;
  bool movedOn_ = false;  // Next has been asked for since Open
  bool filtered_ = false;
  bool filtering_ = false;  // the filter callback is running on a candidate
  TFilterRecordEvent onFilterRecord_;
  int disableCount_ = 0;
};

}  // namespace dataset
