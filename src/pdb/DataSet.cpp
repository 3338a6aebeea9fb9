#include "pdb/DataSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/Encoding.h"
#include "core/NumberFormat.h"

namespace pdb {

namespace {

// Value sizes of the fixed record block.
constexpr std::size_t kIntegerSize = 4;
constexpr std::size_t kLargeIntSize = 8;
constexpr std::size_t kFloatSize = 8;
constexpr std::size_t kBooleanSize = 2;
constexpr std::size_t kDateTimeSize = 8;
constexpr std::byte kPresent{1};
constexpr std::byte kNull{0};

// Messages of the data-set framework.
constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
constexpr const char* kNoDataFound = "No data found";
constexpr const char* kDataSetClosed = "Cannot perform this operation on a closed dataset";
constexpr const char* kRecordNotFound = "Record not found";

std::string Quoted(const char* pattern, std::string_view ansiName) {
  // pattern holds one %s; names are Windows-1251 and messages UTF-8.
  std::string text(pattern);
  const auto at = text.find("%s");
  text.replace(at, 2, core::AnsiToUtf8(ansiName));
  return text;
}

std::string FieldNotFound(std::string_view name) { return Quoted("Field '%s' not found", name); }
std::string UnknownType(std::string_view name) { return Quoted("Field '%s' is of an unknown type", name); }
std::string CannotModify(std::string_view name) { return Quoted("Field '%s' cannot be modified", name); }

template <typename T>
T Load(const std::byte* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void Store(std::byte* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

std::int32_t NarrowToInteger(std::int64_t value) {
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    throw core::EConvertError::InvalidInteger(core::FormatInteger(value));
  return static_cast<std::int32_t>(value);
}

// Rounds half to even into 64 bits, refusing what does not fit (NaN and infinities included).
std::int64_t RoundToLargeInt(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(value > -kLimit - 1024 && value < kLimit)) throw core::EConvertError::InvalidInteger(core::FormatGeneral(value));
  return core::RoundHalfEven(value);
}

std::int64_t ParseLargeInt(std::string_view text) {
  if (auto value = core::ParseInteger64(text)) return *value;
  throw core::EConvertError::InvalidInteger(text);
}

core::TDateTime ParseDateTime(std::string_view text) {
  if (auto value = core::TDateTime::Parse(text)) return *value;
  throw core::EConvertError::InvalidDateTime(text);
}

// The boolean reading of a text: true when it begins with T, t, Y or y.
bool TextIsTrue(std::string_view text) {
  return !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

// A text written to a boolean field: T/t/Y/y is true, F/f/N/n false, anything else refused.
bool ParseBoolean(std::string_view text) {
  if (TextIsTrue(text)) return true;
  if (!text.empty() && (text[0] == 'F' || text[0] == 'f' || text[0] == 'N' || text[0] == 'n')) return false;
  throw core::EConvertError("'" + core::AnsiToUtf8(text) + "' is not a valid boolean value");
}

const char* BooleanText(bool value) { return value ? "True" : "False"; }

bool IsTextKind(TFieldType type) { return type == TFieldType::String || type == TFieldType::Blob; }

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

// ---- TFieldDefs ---------------------------------------------------------------------------

TFieldDef& TFieldDefs::Add(std::string name, TFieldType type, int size) {
  if (Find(name)) throw EDatabaseError(Quoted("Duplicate field name '%s'", name));
  if (size < 0) throw EDatabaseError(Quoted("Invalid field size for field '%s'", name));
  defs_.push_back(TFieldDef{std::move(name), type, size});
  return defs_.back();
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  for (const auto& def : defs_)
    if (core::AnsiSameText(def.Name, name)) return &def;
  return nullptr;
}

// ---- TRecordLayout ------------------------------------------------------------------------

TRecordLayout::TRecordLayout(const TFieldDefs& defs) {
  for (const auto& def : defs) {
    TFieldSlot slot;
    slot.Type = def.DataType;
    switch (def.DataType) {
      case TFieldType::String: slot.Size = static_cast<std::size_t>(def.Size) + 1; break;
      case TFieldType::Integer: slot.Size = kIntegerSize; break;
      case TFieldType::LargeInt: slot.Size = kLargeIntSize; break;
      case TFieldType::Float: slot.Size = kFloatSize; break;
      case TFieldType::Boolean: slot.Size = kBooleanSize; break;
      case TFieldType::DateTime: slot.Size = kDateTimeSize; break;
      case TFieldType::Blob: slot.BlobIndex = blobCount_++; break;
      case TFieldType::Unknown: throw EDatabaseError(UnknownType(def.Name));
    }
    if (slot.BlobIndex < 0) {
      slot.Offset = dataSize_;
      dataSize_ += 1 + slot.Size;
    }
    slots_.push_back(slot);
  }
}

// ---- TRecordBuffer ------------------------------------------------------------------------

TRecordBuffer::TRecordBuffer(const TRecordLayout& layout)
    : layout_(&layout), data_(layout.DataSize()), blobs_(static_cast<std::size_t>(layout.BlobCount())) {}

void TRecordBuffer::Reset() {
  // A string slot is read up to its first zero byte, so clearing its presence and first text
  // byte is enough; clearing whole slots would cost as much as the record's largest size (a
  // text read whole takes 64 KiB) on every record.
  const std::size_t fields = static_cast<std::size_t>(layout_ != nullptr ? layout_->FieldCount() : 0);
  std::size_t cleared = 0;  // data_ before this offset is done
  for (std::size_t f = 0; f < fields; ++f) {
    const TFieldSlot& slot = layout_->Slot(static_cast<int>(f));
    if (slot.BlobIndex >= 0 || slot.Type != TFieldType::String) continue;
    std::fill(data_.begin() + static_cast<std::ptrdiff_t>(cleared),
              data_.begin() + static_cast<std::ptrdiff_t>(slot.Offset + 2), std::byte{0});
    cleared = slot.Offset + 1 + slot.Size;
  }
  std::fill(data_.begin() + static_cast<std::ptrdiff_t>(std::min(cleared, data_.size())), data_.end(), std::byte{0});
  for (auto& blob : blobs_) blob.clear();
  Bookmark.reset();
}

const TFieldSlot& TRecordBuffer::Checked(int field, TFieldType type) const {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.Type != type) throw std::logic_error("record buffer accessed with the wrong field type");
  return slot;
}

const TFieldSlot& TRecordBuffer::Checked(int field, TFieldType a, TFieldType b) const {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.Type != a && slot.Type != b) throw std::logic_error("record buffer accessed with the wrong field type");
  return slot;
}

bool TRecordBuffer::IsNull(int field) const {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.BlobIndex >= 0) return blobs_[static_cast<std::size_t>(slot.BlobIndex)].empty();
  return data_[slot.Offset] == kNull;
}

void TRecordBuffer::SetNull(int field) {
  const TFieldSlot& slot = layout_->Slot(field);
  if (slot.BlobIndex >= 0) {
    blobs_[static_cast<std::size_t>(slot.BlobIndex)].clear();
    return;
  }
  data_[slot.Offset] = kNull;
  // Clear the value too, so records compare and copy the same whatever was there before; a text
  // is read up to its first zero byte, so its first byte is enough.
  std::fill_n(data_.begin() + static_cast<std::ptrdiff_t>(slot.Offset + 1),
              slot.Type == TFieldType::String ? 1 : slot.Size, std::byte{0});
}

std::string_view TRecordBuffer::GetString(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::String, TFieldType::Blob);
  if (slot.BlobIndex >= 0) return blobs_[static_cast<std::size_t>(slot.BlobIndex)];
  if (data_[slot.Offset] == kNull) return {};
  const char* text = reinterpret_cast<const char*>(data_.data() + slot.Offset + 1);
  return std::string_view(text, static_cast<std::size_t>(std::find(text, text + slot.Size - 1, '\0') - text));
}

void TRecordBuffer::SetString(int field, std::string_view value) {
  const TFieldSlot& slot = Checked(field, TFieldType::String, TFieldType::Blob);
  if (slot.BlobIndex >= 0) {
    blobs_[static_cast<std::size_t>(slot.BlobIndex)].assign(value);
    return;
  }
  const std::size_t length = std::min(value.size(), slot.Size - 1);
  if (length == 0) {
    SetNull(field);
    return;
  }
  std::byte* at = data_.data() + slot.Offset;
  at[0] = kPresent;
  std::memcpy(at + 1, value.data(), length);
  at[1 + length] = std::byte{0};  // the end of the text; bytes after it are never read
}

std::int32_t TRecordBuffer::GetInteger(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::Integer);
  return data_[slot.Offset] == kNull ? 0 : Load<std::int32_t>(data_.data() + slot.Offset + 1);
}

void TRecordBuffer::SetInteger(int field, std::int32_t value) {
  const TFieldSlot& slot = Checked(field, TFieldType::Integer);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value);
}

std::int64_t TRecordBuffer::GetLargeInt(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::LargeInt);
  return data_[slot.Offset] == kNull ? 0 : Load<std::int64_t>(data_.data() + slot.Offset + 1);
}

void TRecordBuffer::SetLargeInt(int field, std::int64_t value) {
  const TFieldSlot& slot = Checked(field, TFieldType::LargeInt);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value);
}

double TRecordBuffer::GetFloat(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::Float);
  return data_[slot.Offset] == kNull ? 0.0 : Load<double>(data_.data() + slot.Offset + 1);
}

void TRecordBuffer::SetFloat(int field, double value) {
  const TFieldSlot& slot = Checked(field, TFieldType::Float);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value);
}

bool TRecordBuffer::GetBoolean(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::Boolean);
  return data_[slot.Offset] != kNull && Load<std::uint16_t>(data_.data() + slot.Offset + 1) != 0;
}

void TRecordBuffer::SetBoolean(int field, bool value) {
  const TFieldSlot& slot = Checked(field, TFieldType::Boolean);
  data_[slot.Offset] = kPresent;
  Store<std::uint16_t>(data_.data() + slot.Offset + 1, value ? 1 : 0);
}

core::TDateTime TRecordBuffer::GetDateTime(int field) const {
  const TFieldSlot& slot = Checked(field, TFieldType::DateTime);
  return core::TDateTime(data_[slot.Offset] == kNull ? 0.0 : Load<double>(data_.data() + slot.Offset + 1));
}

void TRecordBuffer::SetDateTime(int field, core::TDateTime value) {
  const TFieldSlot& slot = Checked(field, TFieldType::DateTime);
  data_[slot.Offset] = kPresent;
  Store(data_.data() + slot.Offset + 1, value.Days());
}

// ---- TField -------------------------------------------------------------------------------

TField::TField(TDataSet& dataSet, int index, const TFieldDef& def, const TFieldSlot& slot)
    : dataSet_(&dataSet), index_(index), name_(def.Name), size_(def.Size), slot_(slot) {}

const TRecordBuffer* TField::Record() const { return dataSet_->ReadBuffer(); }

TRecordBuffer& TField::WriteTarget() { return dataSet_->WriteBuffer(*this); }

void TField::Changed() { dataSet_->FieldChanged(*this); }

void TField::AccessError(const char* typeName) const {
  throw EDatabaseError("Cannot access field '" + core::AnsiToUtf8(name_) + "' as type " + typeName);
}

bool TField::IsNull() const {
  const TRecordBuffer* record = Record();
  return !record || record->IsNull(index_);
}

void TField::Clear() {
  WriteTarget().SetNull(index_);
  Changed();
}

std::string TField::AsString() const {
  const TRecordBuffer* record = Record();
  if (!record || record->IsNull(index_)) return {};
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: return std::string(record->GetString(index_));
    case TFieldType::Integer: return core::FormatInteger(record->GetInteger(index_));
    case TFieldType::LargeInt: return core::FormatInteger(record->GetLargeInt(index_));
    case TFieldType::Float: return core::FormatGeneral(record->GetFloat(index_));
    case TFieldType::Boolean: return BooleanText(record->GetBoolean(index_));
    case TFieldType::DateTime: return record->GetDateTime(index_).FormatDateTimeText();
    case TFieldType::Unknown: break;
  }
  return {};
}

void TField::AsString(std::string_view value) {
  TRecordBuffer& record = WriteTarget();
  if (IsTextKind(slot_.Type)) {
    record.SetString(index_, value);
  } else if (value.empty()) {
    record.SetNull(index_);
  } else {
    switch (slot_.Type) {
      case TFieldType::Integer: record.SetInteger(index_, core::StrToInt(value)); break;
      case TFieldType::LargeInt: record.SetLargeInt(index_, ParseLargeInt(value)); break;
      case TFieldType::Float: record.SetFloat(index_, core::StrToFloat(value)); break;
      case TFieldType::Boolean: record.SetBoolean(index_, ParseBoolean(value)); break;
      case TFieldType::DateTime: record.SetDateTime(index_, ParseDateTime(value)); break;
      default: break;
    }
  }
  Changed();
}

std::int64_t TField::AsLargeInt() const {
  const TRecordBuffer* record = Record();
  if (IsTextKind(slot_.Type)) return ParseLargeInt(record ? record->GetString(index_) : std::string_view());
  if (!record || record->IsNull(index_)) return 0;
  switch (slot_.Type) {
    case TFieldType::Integer: return record->GetInteger(index_);
    case TFieldType::LargeInt: return record->GetLargeInt(index_);
    case TFieldType::Float: return RoundToLargeInt(record->GetFloat(index_));
    case TFieldType::Boolean: return record->GetBoolean(index_) ? 1 : 0;
    case TFieldType::DateTime: return record->GetDateTime(index_).WholeDays();
    default: return 0;
  }
}

void TField::AsLargeInt(std::int64_t value) {
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, core::FormatInteger(value)); break;
    case TFieldType::Integer: record.SetInteger(index_, NarrowToInteger(value)); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, value); break;
    case TFieldType::Float: record.SetFloat(index_, static_cast<double>(value)); break;
    case TFieldType::Boolean: record.SetBoolean(index_, value != 0); break;
    case TFieldType::DateTime: record.SetDateTime(index_, core::TDateTime(static_cast<double>(value))); break;
    case TFieldType::Unknown: break;
  }
  Changed();
}

std::int32_t TField::AsInteger() const {
  if (slot_.Type == TFieldType::String || slot_.Type == TFieldType::Blob) {
    const TRecordBuffer* record = Record();
    return core::StrToInt(record ? record->GetString(index_) : std::string_view());
  }
  return NarrowToInteger(AsLargeInt());
}

void TField::AsInteger(std::int32_t value) { AsLargeInt(value); }

double TField::AsFloat() const {
  const TRecordBuffer* record = Record();
  if (IsTextKind(slot_.Type)) return core::StrToFloat(record ? record->GetString(index_) : std::string_view());
  if (!record || record->IsNull(index_)) return 0.0;
  switch (slot_.Type) {
    case TFieldType::Integer: return record->GetInteger(index_);
    case TFieldType::LargeInt: return static_cast<double>(record->GetLargeInt(index_));
    case TFieldType::Float: return record->GetFloat(index_);
    case TFieldType::Boolean: return record->GetBoolean(index_) ? 1.0 : 0.0;
    case TFieldType::DateTime: return record->GetDateTime(index_).Days();
    default: return 0.0;
  }
}

void TField::AsFloat(double value) {
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, core::FormatGeneral(value)); break;
    case TFieldType::Integer: record.SetInteger(index_, NarrowToInteger(RoundToLargeInt(value))); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, RoundToLargeInt(value)); break;
    case TFieldType::Float: record.SetFloat(index_, value); break;
    case TFieldType::Boolean: record.SetBoolean(index_, value != 0.0); break;
    case TFieldType::DateTime: record.SetDateTime(index_, core::TDateTime(value)); break;
    case TFieldType::Unknown: break;
  }
  Changed();
}

core::TDateTime TField::AsDateTime() const {
  const TRecordBuffer* record = Record();
  if (IsTextKind(slot_.Type)) return ParseDateTime(record ? record->GetString(index_) : std::string_view());
  if (!record || record->IsNull(index_)) return core::TDateTime();
  if (slot_.Type == TFieldType::Boolean) AccessError("DateTime");
  if (slot_.Type == TFieldType::DateTime) return record->GetDateTime(index_);
  return core::TDateTime(AsFloat());
}

void TField::AsDateTime(core::TDateTime value) {
  if (slot_.Type == TFieldType::Boolean) AccessError("DateTime");
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, value.FormatDateTimeText()); break;
    case TFieldType::Integer: record.SetInteger(index_, NarrowToInteger(value.WholeDays())); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, value.WholeDays()); break;
    case TFieldType::Float: record.SetFloat(index_, value.Days()); break;
    case TFieldType::DateTime: record.SetDateTime(index_, value); break;
    default: break;
  }
  Changed();
}

bool TField::AsBoolean() const {
  const TRecordBuffer* record = Record();
  if (!record || record->IsNull(index_)) return false;
  if (slot_.Type == TFieldType::DateTime) AccessError("Boolean");
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: return TextIsTrue(record->GetString(index_));
    case TFieldType::Boolean: return record->GetBoolean(index_);
    case TFieldType::Float: return record->GetFloat(index_) != 0.0;
    default: return AsLargeInt() != 0;
  }
}

void TField::AsBoolean(bool value) {
  if (slot_.Type == TFieldType::DateTime) AccessError("Boolean");
  TRecordBuffer& record = WriteTarget();
  switch (slot_.Type) {
    case TFieldType::String:
    case TFieldType::Blob: record.SetString(index_, BooleanText(value)); break;
    case TFieldType::Integer: record.SetInteger(index_, value ? 1 : 0); break;
    case TFieldType::LargeInt: record.SetLargeInt(index_, value ? 1 : 0); break;
    case TFieldType::Float: record.SetFloat(index_, value ? 1.0 : 0.0); break;
    case TFieldType::Boolean: record.SetBoolean(index_, value); break;
    default: break;
  }
  Changed();
}

// ---- TValue -------------------------------------------------------------------------------

std::string TValue::AsText() const {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(std::int64_t number) const { return core::FormatInteger(number); }
    std::string operator()(double number) const { return core::FormatGeneral(number); }
    std::string operator()(bool flag) const { return BooleanText(flag); }
    std::string operator()(core::TDateTime date) const { return date.FormatDateTimeText(); }
  };
  return std::visit(Visitor{}, value_);
}

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
  Fire(BeforeScroll);
  PositionFirst();
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

void TDataSet::Last() {
  CheckActive();
  CheckBrowseMode();
  Fire(BeforeScroll);
  if (PositionOrReset([&] { return ScanAccepted(InternalRecordCount() - 1, -1); })) eof_ = true;
  NotifyChange(nullptr);
  Fire(AfterScroll);
}

void TDataSet::Step(int direction) {
  CheckActive();
  CheckBrowseMode();
  if (direction > 0 ? eof_ : bof_) return;
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
  return Active() && bookmark && InternalFindBookmark(*bookmark).has_value();
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckActive();
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

}  // namespace pdb
