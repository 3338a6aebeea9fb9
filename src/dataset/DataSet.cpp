#include "dataset/DataSet.h"

#include <algorithm>

#include "core/Encoding.h"
#include "core/Messages.h"
#include "core/NumberFormat.h"
#include "dataset/FieldText.h"

namespace dataset {

using namespace detail;

namespace {

// Messages of the data-set framework.
constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
constexpr const char* kNoDataFound = "No data found";
constexpr const char* kDataSetClosed = "Cannot perform this operation on a closed dataset";
constexpr const char* kRecordNotFound = "Record not found";
constexpr const char* kUniDirectional = "Operation not allowed on a unidirectional dataset";

std::string FieldNotFound(std::string_view name) { return Quoted("Field '%s' not found", name); }
std::string CannotModify(std::string_view name) { return Quoted("Field '%s' cannot be modified", name); }

std::vector<std::string_view> SplitNames(std::string_view names) {
  std::vector<std::string_view> parts;
  while (true) {
    const auto cut = names.find(';');
    const auto part = core::TrimBlanks(names.substr(0, cut));
    if (!part.empty()) parts.push_back(part);
    if (cut == std::string_view::npos) break;
    names.remove_prefix(cut + 1);
  }
  return parts;
}

}  // namespace

// ---- TDataSet: opening and closing --------------------------------------------------------

TDataSet::TDataSet() = default;
TDataSet::~TDataSet() = default;

void TDataSet::DatabaseError(const std::string& message) const {
  if (Name.empty()) throw EDatabaseError(message);
  throw EDatabaseError(Name + ": " + message);
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(kDataSetClosed);
}

void TDataSet::CheckBiDirectional(std::string_view operation) const {
  if (!uniDirectional_) return;
  std::string context(operation);
  const std::string what = Describe();
  context.append(": ").append(what.empty() ? std::string("the data set") : what).append(" is read forward only");
  DatabaseError(core::WithContext(kUniDirectional, context));
}

void TDataSet::BuildFields() {
  layout_ = TRecordLayout(FieldDefs);
  fields_.reserve(static_cast<std::size_t>(FieldDefs.Count()));
  for (int i = 0; i < FieldDefs.Count(); ++i)
    fields_.push_back(std::make_unique<TField>(*this, i, FieldDefs[i], layout_.Slot(i)));
  buffer_ = TRecordBuffer(layout_);
}

void TDataSet::FreeFields() {
  nameCache_.clear();
  fields_.clear();
  buffer_ = TRecordBuffer();
  layout_ = TRecordLayout();
}

void TDataSet::ResetCursor() {
  movedOn_ = false;
  cursor_ = -1;
  hasCurrent_ = false;
  bof_ = eof_ = true;
  modified_ = false;
}

void TDataSet::Open() {
  if (Active()) return;
  Fire(BeforeOpen);
  try {
    InternalOpen();
    BuildFields();
    ResetCursor();
    state_ = TDataSetState::Browse;
    InternalLoad();
    CheckBrowseMode();
    PositionFirst();
  } catch (...) {
    InternalClose();
    FreeFields();
    ResetCursor();
    uniDirectional_ = false;
    state_ = TDataSetState::Inactive;
    throw;
  }
  Fire(AfterOpen);
  NotifyChange(nullptr);
}

void TDataSet::Close() {
  if (!Active()) return;
  if (PostsPendingEditOnClose()) CheckBrowseMode();
  else if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) Cancel();
  Fire(BeforeClose);
  InternalSave();
  InternalClose();
  FreeFields();
  ResetCursor();
  uniDirectional_ = false;
  state_ = TDataSetState::Inactive;
  Fire(AfterClose);
}

// ---- TDataSet: the cursor -----------------------------------------------------------------

int TDataSet::RecordCount() const { return Active() ? InternalRecordCount() : 0; }

bool TDataSet::ReadAccepted(int position) {
  InternalReadRecord(position, buffer_);
  if (!filtered_ || !onFilterRecord_) return true;
  bool accept = true;
  filtering_ = true;
  try {
    onFilterRecord_(*this, accept);
  } catch (...) {
    filtering_ = false;
    if (!OnApplicationException) throw;
    OnApplicationException(std::current_exception());
  }
  filtering_ = false;
  return accept;
}

std::optional<int> TDataSet::ScanAccepted(int from, int step) {
  const int count = InternalRecordCount();
  for (int position = from; position >= 0 && position < count; position += step)
    if (ReadAccepted(position)) return position;
  return std::nullopt;
}

void TDataSet::RestoreCurrent() {
  if (hasCurrent_)
    InternalReadRecord(cursor_, buffer_);
  else
    buffer_.Reset();
}

void TDataSet::MakeCurrent(int position) {
  cursor_ = position;
  hasCurrent_ = true;
  bof_ = eof_ = false;
}

template <class Scan>
std::optional<int> TDataSet::PositionOrReset(Scan scan) {
  std::optional<int> found;
  try {
    found = scan();
  } catch (...) {
    ResetCursor();
    buffer_.Reset();
    throw;
  }
  if (found) {
    MakeCurrent(*found);
  } else {
    ResetCursor();
    buffer_.Reset();
  }
  return found;
}

void TDataSet::PositionFirst() {
  if (PositionOrReset([&] { return ScanAccepted(0, +1); })) bof_ = true;
}

void TDataSet::First() {
  CheckActive();
  CheckBrowseMode();
  // Forward only: the first record is still current as long as Next has not been asked for.
  if (movedOn_) CheckBiDirectional("First");
  Fire(BeforeScroll);
  if (!uniDirectional_) PositionFirst();
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

void TDataSet::Last() {
  CheckActive();
  CheckBrowseMode();
  CheckBiDirectional("Last");
  Fire(BeforeScroll);
  if (PositionOrReset([&] { return ScanAccepted(InternalRecordCount() - 1, -1); })) eof_ = true;
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

void TDataSet::Step(int direction) {
  CheckActive();
  CheckBrowseMode();
  if (direction < 0) CheckBiDirectional("Prior");
  if (direction > 0 ? eof_ : bof_) return;
  if (direction > 0) movedOn_ = true;
  Fire(BeforeScroll);
  const int from = hasCurrent_ ? cursor_ + direction : (direction > 0 ? 0 : InternalRecordCount() - 1);
  std::optional<int> found;
  try {
    found = ScanAccepted(from, direction);
  } catch (...) {
    RestoreCurrent();
    throw;
  }
  if (found) {
    MakeCurrent(*found);
    NotifyChange(nullptr);
    Fire(AfterScroll);
    return;
  }
  // Nothing further: the current record stays, the end is reported.
  RestoreCurrent();
  if (direction > 0) {
    eof_ = true;
    bof_ = !hasCurrent_;
  } else {
    bof_ = true;
    eof_ = !hasCurrent_;
  }
}

void TDataSet::Next() { Step(+1); }
void TDataSet::Prior() { Step(-1); }

int TDataSet::RecNo() const {
  if (!Active()) return 0;
  if (state_ == TDataSetState::Insert)
    return insertKind_ == TPostKind::Append ? InternalRecordCount() + 1 : insertPosition_ + 1;
  if (hasCurrent_) return cursor_ + 1;
  return InternalRecordCount() > 0 ? 1 : 0;
}

void TDataSet::RecNo(int value) {
  CheckActive();
  CheckBrowseMode();
  CheckBiDirectional("RecNo");
  if (value < 1 || value > InternalRecordCount()) return;
  Fire(BeforeScroll);
  bool accepted = false;
  try {
    accepted = ReadAccepted(value - 1);
  } catch (...) {
    RestoreCurrent();
    throw;
  }
  if (!accepted) {
    RestoreCurrent();
    return;
  }
  MakeCurrent(value - 1);
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

// ---- TDataSet: editing --------------------------------------------------------------------

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) {
    if (modified_)
      Post();
    else
      Cancel();
  }
}

void TDataSet::StartInsert(bool append) {
  CheckActive();
  CheckBiDirectional(append ? "Append" : "Insert");
  CheckBrowseMode();
  Fire(BeforeInsert);
  insertKind_ = append ? TPostKind::Append : TPostKind::Insert;
  insertPosition_ = append ? InternalRecordCount() : (hasCurrent_ ? cursor_ : 0);
  buffer_.Reset();
  state_ = TDataSetState::Insert;
  modified_ = false;
  Fire(OnNewRecord);
  Fire(AfterInsert);
  NotifyChange(nullptr);
}

void TDataSet::Append() { StartInsert(true); }
void TDataSet::Insert() { StartInsert(false); }

void TDataSet::Edit() {
  CheckActive();
  CheckBiDirectional("Edit");
  if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) return;
  if (!hasCurrent_) {
    // Nothing to change: start a new record instead, as the framework always did.
    Insert();
    return;
  }
  Fire(BeforeEdit);
  InternalReadRecord(cursor_, buffer_);
  state_ = TDataSetState::Edit;
  modified_ = false;
  Fire(AfterEdit);
  NotifyChange(nullptr);
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert) return;
  Fire(BeforePost);
  const TPostKind kind = state_ == TDataSetState::Edit ? TPostKind::Overwrite : insertKind_;
  const int position = state_ == TDataSetState::Edit ? cursor_ : insertPosition_;
  // A failure leaves the record in the edit buffer, still in edit or insert state.
  const int stored = InternalPostRecord(buffer_, kind, position);
  state_ = TDataSetState::Browse;
  modified_ = false;
  MakeCurrent(stored);
  InternalReadRecord(stored, buffer_);
  Fire(AfterPost);
  NotifyChange(nullptr);
}

void TDataSet::Cancel() {
  CheckActive();
  if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert) return;
  Fire(BeforeCancel);
  state_ = TDataSetState::Browse;
  modified_ = false;
  RestoreCurrent();
  Fire(AfterCancel);
  NotifyChange(nullptr);
}

void TDataSet::Delete() {
  CheckActive();
  CheckBiDirectional("Delete");
  if (state_ == TDataSetState::Insert) {
    Cancel();
    return;
  }
  if (!hasCurrent_) DatabaseError(kNoDataFound);
  Fire(BeforeDelete);
  Fire(BeforeScroll);
  InternalDeleteRecord(cursor_);
  state_ = TDataSetState::Browse;
  modified_ = false;
  const int count = InternalRecordCount();
  const int position = std::min(cursor_, count - 1);
  hasCurrent_ = false;
  // The record before the deleted one becomes current, or else the one after it.
  PositionOrReset([&] {
    const auto before = ScanAccepted(position, -1);
    return before ? before : ScanAccepted(position + 1, +1);
  });
  Fire(AfterDelete);
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

// ---- TDataSet: field access ---------------------------------------------------------------

const TRecordBuffer* TDataSet::ReadBuffer() const {
  switch (state_) {
    case TDataSetState::Inactive: return nullptr;
    case TDataSetState::Edit:
    case TDataSetState::Insert: return &buffer_;
    case TDataSetState::Browse: return hasCurrent_ || filtering_ ? &buffer_ : nullptr;
  }
  return nullptr;
}

TRecordBuffer& TDataSet::WriteBuffer(const TField& field) {
  if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert) DatabaseError(kNotEditing);
  if (field.ReadOnly) throw EDatabaseError(CannotModify(field.DisplayName()));
  return buffer_;
}

void TDataSet::FieldChanged(const TField& field) {
  modified_ = true;
  NotifyChange(&field);
}

void TDataSet::NotifyChange(const TField* field) {
  if (disableCount_ == 0 && OnDataChange) OnDataChange(*this, field);
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ == 0 && Active()) NotifyChange(nullptr);
}

TField* TDataSet::FindField(std::string_view name) {
  if (auto hit = nameCache_.find(name); hit != nameCache_.end())
    return fields_[static_cast<std::size_t>(hit->second)].get();
  for (const auto& field : fields_) {
    if (core::AnsiSameText(field->FieldName(), name)) {
      // Remember this spelling; the cache is bounded so odd callers cannot grow it forever.
      if (nameCache_.size() < 8 * fields_.size() + 64) nameCache_.emplace(std::string(name), field->Index());
      return field.get();
    }
  }
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) {
  if (TField* field = FindField(name)) return *field;
  DatabaseError(FieldNotFound(name));
}

// ---- TDataSet: filter ---------------------------------------------------------------------

void TDataSet::Filtered(bool value) {
  if (!Active()) {
    filtered_ = value;
    return;
  }
  CheckBrowseMode();
  if (value == filtered_) return;
  filtered_ = value;
  First();
}

void TDataSet::OnFilterRecord(TFilterRecordEvent callback) {
  if (!Active()) {
    onFilterRecord_ = std::move(callback);
    return;
  }
  CheckBrowseMode();
  onFilterRecord_ = std::move(callback);
  if (filtered_) First();
}

// ---- TDataSet: Locate ---------------------------------------------------------------------

namespace {

bool TextMatches(std::string_view fieldText, std::string_view key, TLocateOptions options) {
  if (options.PartialKey && fieldText.size() > key.size()) fieldText = fieldText.substr(0, key.size());
  return options.CaseInsensitive ? core::AnsiSameText(fieldText, key) : fieldText == key;
}

// Compares a non-text field with a value as values: null only matches null, numbers compare
// numerically, texts are read by the field kind's rules (a text that does not convert never
// matches).
bool ValueMatches(const TField& field, const TValue& value) {
  if (value.IsNull() || field.IsNull()) return value.IsNull() && field.IsNull();
  const auto& v = value.Get();
  try {
    switch (field.DataType()) {
      case TFieldType::Integer:
      case TFieldType::LargeInt: {
        const std::int64_t have = field.AsLargeInt();
        if (auto* n = std::get_if<std::int64_t>(&v)) return have == *n;
        if (auto* d = std::get_if<double>(&v)) return static_cast<double>(have) == *d;
        if (auto* b = std::get_if<bool>(&v)) return have == (*b ? 1 : 0);
        if (auto* s = std::get_if<std::string>(&v)) return have == ParseLargeInt(*s);
        return false;
      }
      case TFieldType::Float:
      case TFieldType::DateTime: {
        const double have = field.AsFloat();
        if (auto* n = std::get_if<std::int64_t>(&v)) return have == static_cast<double>(*n);
        if (auto* d = std::get_if<double>(&v)) return have == *d;
        if (auto* t = std::get_if<core::TDateTime>(&v)) return have == t->Days();
        if (auto* s = std::get_if<std::string>(&v))
          return field.DataType() == TFieldType::DateTime ? have == ParseDateTime(*s).Days()
                                                          : have == core::StrToFloat(*s);
        return false;
      }
      case TFieldType::Boolean: {
        const bool have = field.AsBoolean();
        if (auto* b = std::get_if<bool>(&v)) return have == *b;
        if (auto* n = std::get_if<std::int64_t>(&v)) return have == (*n != 0);
        if (auto* s = std::get_if<std::string>(&v)) return have == ParseBoolean(*s);
        return false;
      }
      default: return false;
    }
  } catch (const core::EConvertError&) {
    return false;
  }
}

}  // namespace

bool TDataSet::RecordMatches(const std::vector<TField*>& fields, std::span<const TValue> values,
                             TLocateOptions options) const {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const TField& field = *fields[i];
    const bool matches = IsTextKind(field.DataType())
                             ? TextMatches(field.IsNull() ? std::string() : field.AsString(), values[i].AsText(), options)
                             : ValueMatches(field, values[i]);
    if (!matches) return false;
  }
  return true;
}

bool TDataSet::Locate(std::string_view names, const TValue& value, TLocateOptions options) {
  return Locate(names, std::span<const TValue>(&value, 1), options);
}

bool TDataSet::Locate(std::string_view names, std::span<const TValue> values, TLocateOptions options) {
  CheckActive();
  CheckBiDirectional("Locate");
  CheckBrowseMode();
  std::vector<TField*> fields;
  for (auto name : SplitNames(names)) fields.push_back(&FieldByName(name));
  if (fields.size() != values.size())
    DatabaseError("Locate needs one value per field name (" + std::to_string(fields.size()) + " names, " +
                  std::to_string(values.size()) + " values)");
  if (bof_ && eof_) return false;

  Fire(BeforeScroll);
  if (hasCurrent_ && RecordMatches(fields, values, options)) {
    NotifyChange(nullptr);
    Fire(AfterScroll);
    return true;
  }
  DisableControls();
  std::optional<int> found;
  try {
    const int count = InternalRecordCount();
    for (int position = 0; position < count && !found; ++position)
      if (ReadAccepted(position) && RecordMatches(fields, values, options)) found = position;
  } catch (...) {
    RestoreCurrent();
    EnableControls();
    throw;
  }
  if (!found) {
    RestoreCurrent();
    EnableControls();
    return false;
  }
  MakeCurrent(*found);
  EnableControls();  // the change notification for the move
  Fire(AfterScroll);
  return true;
}

// ---- TDataSet: bookmarks ------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
  const TRecordBuffer* record = ReadBuffer();
  return record ? record->Bookmark : std::nullopt;
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const {
  return Active() && !uniDirectional_ && bookmark && InternalFindBookmark(*bookmark).has_value();
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckActive();
  CheckBiDirectional("GotoBookmark");
  CheckBrowseMode();
  const std::optional<int> position = bookmark ? InternalFindBookmark(*bookmark) : std::nullopt;
  if (!position) DatabaseError(kRecordNotFound);
  Fire(BeforeScroll);
  bool accepted = false;
  try {
    accepted = ReadAccepted(*position);
  } catch (...) {
    RestoreCurrent();
    throw;
  }
  if (!accepted) {
    RestoreCurrent();
    return;
  }
  MakeCurrent(*position);
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

}  // namespace dataset
