#include "text/nqTXTTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <numeric>

#include "core/Encoding.h"
#include "core/Files.h"
#include "core/Messages.h"
#include "core/NumberFormat.h"
#include "core/TextUtil.h"
#include "text/OfficeText.h"

namespace text {
namespace {

constexpr std::string_view kErrorCaption = "Ошибка";
constexpr std::string_view kNoSuchRecord = "Попытка обращения к несуществующей записи";
// Keys of an index on a column named "ID" are the ids zero-padded to this width.
constexpr std::size_t kIdKeyWidth = 9;

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    if (c < 0x80) extra = 0;
    else if (c >= 0xC2 && c <= 0xDF) extra = 1;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3;
    else return false;
    if (s.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

// Names the program or the platform gives (directories, file and column names) are shown as
// they are when they are UTF-8 already; anything else is Windows-1251 and converted.
std::string ForDisplay(std::string_view name) { return IsValidUtf8(name) ? std::string(name) : core::AnsiToUtf8(name); }

// The upper-case mapping of every Windows-1251 byte in the user's locale. The caser works one
// character at a time, so applying this table gives the same text as calling it on the whole
// value, at a fraction of the cost for an index over many records.
std::array<char, 256> UpperCaseTable() {
  const core::AnsiUpperCaser upper;
  std::array<char, 256> table{};
  for (int b = 0; b < 256; ++b) {
    const std::string one = upper(std::string(1, static_cast<char>(b)));
    table[static_cast<std::size_t>(b)] = one.size() == 1 ? one[0] : static_cast<char>(b);
  }
  return table;
}

// The first bytes of a sort key as a number, so that most comparisons need no memory access.
std::uint64_t KeyPrefix(std::string_view key) {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < 8; ++i)
    prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return prefix;
}

// What a path that is not a regular file names, for the message.
std::string_view KindName(core::NotRegularFileError::Kind kind) {
  switch (kind) {
    case core::NotRegularFileError::Kind::Directory:
      return "папка";
    case core::NotRegularFileError::Kind::Pipe:
      return "именованный канал";
    case core::NotRegularFileError::Kind::Device:
      return "устройство";
    case core::NotRegularFileError::Kind::Socket:
      return "сокет";
    case core::NotRegularFileError::Kind::Other:
      break;
  }
  return "особый файл";
}

}  // namespace

// ---- TnqTXTField ----

// Numbers are read with the blanks around them removed: office tools pad columns.
std::int32_t TnqTXTField::AsInteger() const {
  if (const auto value = core::ParseInteger(core::TrimBlanks(Value))) return *value;
  throw core::EConvertError::InvalidInteger(Value);
}
std::int32_t TnqTXTField::AsIntegerDef(std::int32_t fallback) const {
  return core::ParseInteger(core::TrimBlanks(Value)).value_or(fallback);
}
void TnqTXTField::AsInteger(std::int32_t value) {
  // Formatted in place: a column set once per record keeps its buffer.
  char digits[12];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
  Value.assign(std::begin(digits), end);
}
// Both formatted into a buffer on the stack and assigned: a column set once per record keeps its
// string's memory.
void TnqTXTField::AsFloat(double value) {
  core::GeneralFormatBuffer buffer;
  Value.assign(core::FormatGeneral(value, buffer));
}
void TnqTXTField::AsDateTime(core::TDateTime value) {
  core::TDateTime::DateText text;
  Value.assign(value.FormatDate('.', text));
}

// ---- TnqTXTLineWriter ----

std::span<char> TnqTXTLineWriter::AsString(std::string_view text) {
  const std::size_t start = line_.size();
  Put(text);
  return {line_.data() + start, text.size()};
}
void TnqTXTLineWriter::AsInteger(std::int32_t value) {
  char digits[12];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
  Put({std::begin(digits), end});
}
void TnqTXTLineWriter::AsFloat(double value) {
  core::GeneralFormatBuffer buffer;
  Put(core::FormatGeneral(value, buffer));
}
void TnqTXTLineWriter::AsDateTime(core::TDateTime value) {
  core::TDateTime::DateText text;
  Put(value.FormatDate('.', text));
}
// Appended by pointer and length: the iterator and view overloads of append go through the
// general replace of std::string, several times slower for values of a few characters.
void TnqTXTLineWriter::Put(std::string_view value) {
  line_.append(value.data(), value.size());
  line_.append(separator_.data(), separator_.size());
  ++count_;
}

// ---- TnqTXTLines ----

void TnqTXTLines::Clear() {
  buffer_.clear();
  buffer_.shrink_to_fit();
  slices_.clear();
  slices_.shrink_to_fit();
  unused_ = 0;
}

void TnqTXTLines::Load(std::string bytes) {
  Clear();
  buffer_ = std::move(bytes);
  // Line ends stay in the buffer, unused; the slices skip them.
  const char* const data = buffer_.data();
  const std::size_t size = buffer_.size();
  slices_.reserve(size / 48 + 1);

  // Next CR and next LF found with memchr and kept until passed, so each byte is looked at
  // about once whichever break style the file uses.
  auto find = [&](char c, std::size_t from) -> std::size_t {
    const void* hit = from < size ? std::memchr(data + from, c, size - from) : nullptr;
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : size;
  };
  std::size_t start = 0;
  std::size_t nextCR = find('\r', 0);
  std::size_t nextLF = find('\n', 0);
  while (start < size) {
    if (nextCR < start) nextCR = find('\r', start);
    if (nextLF < start) nextLF = find('\n', start);
    const std::size_t end = std::min(nextCR, nextLF);
    slices_.push_back({start, end - start});
    if (end == size) break;
    start = end + 1;
    if (end == nextCR && start < size && data[start] == '\n') ++start;  // CR LF is one break
  }
  unused_ = size - std::accumulate(slices_.begin(), slices_.end(), std::size_t{0},
                                   [](std::size_t sum, const Slice& s) { return sum + s.length; });
}

void TnqTXTLines::Add(std::string_view line) {
  slices_.push_back({buffer_.size(), line.size()});
  buffer_.append(line);
}

void TnqTXTLines::Replace(std::size_t i, std::string_view line) {
  Slice& slice = slices_.at(i);
  if (line.size() <= slice.length) {
    // Fits in place (a line is never shared by two slices).
    std::memmove(buffer_.data() + slice.offset, line.data(), line.size());
    unused_ += slice.length - line.size();
    slice.length = line.size();
    return;
  }
  const std::less<const char*> before;
  const bool aliases = !before(line.data(), buffer_.data()) && before(line.data(), buffer_.data() + buffer_.size());
  if (!aliases && slice.offset + slice.length == buffer_.size()) {
    // The last line of the buffer (a record just appended) grows where it is.
    buffer_.resize(slice.offset);
    buffer_.append(line);
    slice.length = line.size();
    return;
  }
  unused_ += slice.length;
  // The new text may be a view into this buffer; append through a copy in that case.
  const std::string copy(line);
  slice = {buffer_.size(), copy.size()};
  buffer_.append(copy);
  CompactIfWasteful();
}

void TnqTXTLines::CompactIfWasteful() {
  if (unused_ < (1u << 16) || unused_ < buffer_.size() / 2) return;
  std::string packed;
  packed.reserve(buffer_.size() - unused_);
  for (Slice& slice : slices_) {
    const std::size_t offset = packed.size();
    packed.append(buffer_, slice.offset, slice.length);
    slice.offset = offset;
  }
  buffer_ = std::move(packed);
  unused_ = 0;
}

// ---- TnqTXTTable ----

TnqTXTTable::TnqTXTTable(core::Reporter& reporter) : reporter_(reporter) {}

void TnqTXTTable::Separator(std::string separator) {
  if (separator.empty()) throw std::invalid_argument("the column separator of a text table cannot be empty");
  separator_ = std::move(separator);
}

std::string_view TnqTXTTable::Index(std::size_t position) const {
  const IndexEntry& entry = index_.at(position);
  return std::string_view(indexText_).substr(entry.offset, entry.length);
}

std::string TnqTXTTable::FullPathForDisplay() const { return ForDisplay(core::JoinPath(Path, FileName)); }

bool TnqTXTTable::Open() {
  Close();
  const auto found = core::FindNoCase(Path, FileName);
  if (!found) {
    ReportError("Файл \"" + FullPathForDisplay() + "\" не найден");
    return false;
  }
  lines_.Load(ReadText(*found));
  if (lines_.Empty())
    throw EnqTXTTableError("Файл \"" + FullPathForDisplay() + "\" пуст: в нём нет строки заголовка");
  if (lines_.Count() > static_cast<std::size_t>(INT_MAX)) {
    lines_.Clear();
    throw EnqTXTTableError("Файл \"" + FullPathForDisplay() + "\" содержит слишком много строк");
  }
  recordCount_ = static_cast<int>(lines_.Count() - 1);
  BuildFields(lines_[0]);
  if (recordCount_ > 0) GotoRecord(1);
  return true;
}

std::string TnqTXTTable::ReadText(const std::filesystem::path& file) const {
  const std::string unreadable = "Файл \"" + FullPathForDisplay() + "\" не прочитан: ";
  std::string bytes;
  try {
    bytes = core::ReadRegularFile(file);
  } catch (const core::NotRegularFileError& e) {
    throw EnqTXTTableError(unreadable + "это " + std::string(KindName(e.kind())) + ", а не обычный файл");
  }
  if (const auto fault = MakeAnsiText(bytes))
    throw EnqTXTTableError(unreadable + "строка " + std::to_string(fault->line) + ", столбец " +
                           std::to_string(fault->column) + ": " + fault->why);
  return bytes;
}

void TnqTXTTable::Close() {
  lines_.Clear();
  fields_.clear();
  splitColumns_ = 0;
  handedOut_.clear();
  recordCount_ = 0;
  recNo_ = 0;
  // Give the memory back: one table object is reused for several files.
  std::string().swap(indexText_);
  std::vector<IndexEntry>().swap(index_);
  indexPos_ = -1;
}

void TnqTXTTable::BuildFields(std::string_view headerLine) {
  std::string header(headerLine);
  std::erase(header, '"');
  // Names are matched with the blanks around them removed, as numbers are read.
  const std::string_view rest(header);
  std::size_t pos = 0;
  for (std::size_t cut = rest.find(separator_); cut != std::string_view::npos; cut = rest.find(separator_, pos)) {
    fields_.push_back({std::string(core::TrimBlanks(rest.substr(pos, cut - pos))), {}});
    pos = cut + separator_.size();
  }
  if (const auto last = core::TrimBlanks(rest.substr(pos)); !last.empty()) fields_.push_back({std::string(last), {}});
}

std::string_view TnqTXTTable::ValueAt(std::string_view line, std::size_t column) const {
  for (std::size_t i = 0;; ++i) {
    const std::size_t cut = line.find(separator_);
    if (i == column) return cut == std::string_view::npos ? line : line.substr(0, cut);
    if (cut == std::string_view::npos) return {};
    line.remove_prefix(cut + separator_.size());
  }
}

void TnqTXTTable::GotoRecord(int lineNo) {
  if (lineNo < 1 || lineNo > recordCount_ + 1) {
    ReportError(kNoSuchRecord);
    return;
  }
  recNo_ = lineNo;
  if (lineNo == recordCount_ + 1) return;
  // The line's values go to the first columns; the columns it does not reach are empty. Only
  // those that can hold something are cleared (the ones the last split filled and the ones a
  // caller may have written through FieldByName), so that a walk costs the length of its lines
  // and not lines times columns: a header of 100,000 separators over 100,000 short lines took
  // half a minute.
  std::string_view rest = lines_[static_cast<std::size_t>(lineNo)];
  std::size_t split = 0;
  while (split < fields_.size()) {
    const std::size_t cut = rest.find(separator_);
    fields_[split++].Field.Value.assign(rest.substr(0, cut));
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + separator_.size());
  }
  ClearValuesFrom(split);
}

void TnqTXTTable::ClearValuesFrom(std::size_t split) {
  for (std::size_t i = split; i < splitColumns_; ++i) fields_[i].Field.Value.clear();
  for (std::size_t i : handedOut_)
    if (i >= split) fields_[i].Field.Value.clear();
  splitColumns_ = split;
}

void TnqTXTTable::MoveToIndexPos(long position) {
  indexPos_ = position;
  GotoRecord(index_[static_cast<std::size_t>(position)].line);
}

void TnqTXTTable::First() {
  GotoRecord(1);
  if (!index_.empty()) {
    indexPos_ = -1;
    Next();
  }
}

void TnqTXTTable::Next() {
  if (!index_.empty()) {
    const long size = static_cast<long>(index_.size());
    if (indexPos_ < size - 1) {
      MoveToIndexPos(indexPos_ + 1);
    } else if (indexPos_ == size - 1) {
      MoveToIndexPos(indexPos_);
      indexPos_ = size;
    }
    // Already at the end: stays there.
    return;
  }
  if (recNo_ <= recordCount_) GotoRecord(recNo_ + 1);
}

bool TnqTXTTable::Eof() const {
  if (!index_.empty()) return indexPos_ >= static_cast<long>(index_.size());
  return recNo_ == recordCount_ + 1;
}

void TnqTXTTable::CreateIndex(std::string_view fieldName) {
  indexFieldName_.assign(fieldName);
  indexText_.clear();
  index_.clear();
  indexPos_ = -1;

  // Only a table with records looks the column up (and names it when it is missing).
  const auto column = recordCount_ > 0 ? ColumnIndex(fieldName) : std::nullopt;
  if (recordCount_ > 0 && !column) FieldByName(fieldName);
  if (column) {
    const bool idKey = core::UpperAscii(fieldName) == "ID";
    const auto upper = idKey ? std::array<char, 256>{} : UpperCaseTable();

    struct Sortable {
      std::uint64_t prefix;
      std::size_t keyOffset, keyLength;  // in `keys`
      std::size_t entry;                 // position in index_ before sorting
    };
    std::vector<Sortable> order;
    order.reserve(static_cast<std::size_t>(recordCount_));
    index_.reserve(static_cast<std::size_t>(recordCount_));
    bool digitKeys = idKey;  // every key nine ASCII digits
    std::string entry;
    for (int n = 1; n <= recordCount_; ++n) {
      std::string_view value = ValueAt(lines_[static_cast<std::size_t>(n)], *column);
      entry.clear();
      if (idKey) {
        value = core::TrimBlanks(value);  // an id padded with blanks is the same id
        if (value.size() < kIdKeyWidth) entry.append(kIdKeyWidth - value.size(), '0');
        entry.append(value.size() > kIdKeyWidth ? value.substr(value.size() - kIdKeyWidth) : value);
        digitKeys = digitKeys && std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; });
      } else {
        for (char c : value) entry += upper[static_cast<unsigned char>(c)];
      }
      entry += '=';
      entry += std::to_string(n);
      index_.push_back({indexText_.size(), entry.size(), n});
      indexText_ += entry;
    }

    std::string keys;
    if (digitKeys) {
      // Entries of nine digits, "=" and a line number: the collation orders digits by value
      // and every entry has its "=" at the same place, so the entry's own bytes order as its
      // sort key would. The prefix holds the id and the first digits of the line number.
      for (std::size_t i = 0; i < index_.size(); ++i) {
        const std::string_view text = Index(i);
        std::uint64_t prefix = 0;
        for (std::size_t k = 0; k < kIdKeyWidth; ++k) prefix = prefix * 10 + static_cast<unsigned>(text[k] - '0');
        for (std::size_t k = kIdKeyWidth + 1; k < kIdKeyWidth + 4; ++k)
          prefix = (prefix << 8) | (k < text.size() ? static_cast<unsigned char>(text[k]) : 0u);
        order.push_back({prefix, index_[i].offset, index_[i].length, i});
      }
    } else {
      const core::AnsiCollator collator;
      for (std::size_t i = 0; i < index_.size(); ++i) {
        const std::string key = collator.SortKey(Index(i));
        order.push_back({KeyPrefix(key), keys.size(), key.size(), i});
        keys += key;
      }
    }

    // By sort key; entries the collation holds equal fall back to their bytes, so the order
    // never depends on the sort algorithm.
    const std::string_view keyView = digitKeys ? std::string_view(indexText_) : std::string_view(keys);
    std::sort(order.begin(), order.end(), [&](const Sortable& a, const Sortable& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      const int byKey = keyView.substr(a.keyOffset, a.keyLength).compare(keyView.substr(b.keyOffset, b.keyLength));
      if (byKey != 0) return byKey < 0;
      return Index(a.entry) < Index(b.entry);
    });
    std::vector<IndexEntry> sorted;
    sorted.reserve(index_.size());
    for (const Sortable& s : order) sorted.push_back(index_[s.entry]);
    index_ = std::move(sorted);
  }
  First();
}

void TnqTXTTable::Append() {
  if (lines_.Empty()) throw std::logic_error("a text table without a header line cannot take records");
  if (recordCount_ == INT_MAX - 1) throw EnqTXTTableError("Таблица " + ForDisplay(FileName) + " переполнена");
  lines_.Add({});
  ++recordCount_;
  // The new line is empty, so is every value: nothing to split.
  recNo_ = recordCount_;
  ClearValuesFrom(0);
}

void TnqTXTTable::Post() {
  if (recNo_ < 1 || recNo_ > recordCount_) {
    ReportError(kNoSuchRecord);
    return;
  }
  // Sized once and copied into: a record just appended is joined straight into the line store.
  lines_.Rewrite(static_cast<std::size_t>(recNo_), [&](std::string& out) {
    std::size_t length = 0;
    for (const Column& column : fields_) length += column.Field.Value.size() + separator_.size();
    const std::size_t start = out.size();
    out.resize(start + length);
    char* at = out.data() + start;
    for (const Column& column : fields_) {
      at += column.Field.Value.copy(at, column.Field.Value.size());
      at += separator_.copy(at, separator_.size());
    }
  });
}

bool TnqTXTTable::Save() {
  core::AtomicFileWriter writer(core::ResolveNoCase(Path, FileName), saveDurability_);
  constexpr std::size_t kChunk = 1 << 16;
  std::string chunk;
  chunk.reserve(kChunk * 2);
  for (std::size_t i = 0; i < lines_.Count(); ++i) {
    chunk.append(lines_[i]).append("\r\n");
    if (chunk.size() >= kChunk) {
      writer.Write(chunk);
      chunk.clear();
    }
  }
  writer.Write(chunk);
  writer.Commit();
  return true;
}

std::optional<std::size_t> TnqTXTTable::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (core::AnsiSameText(fields_[i].Name, name)) return i;
  return std::nullopt;
}

TnqTXTField* TnqTXTTable::FindField(std::string_view name) {
  const auto column = ColumnIndex(name);
  if (!column) return nullptr;
  if (std::find(handedOut_.begin(), handedOut_.end(), *column) == handedOut_.end()) handedOut_.push_back(*column);
  return &fields_[*column].Field;
}

TnqTXTField* TnqTXTTable::FieldByName(std::string_view name) {
  TnqTXTField* field = FindField(name);
  if (!field) ReportError("Поля \"" + ForDisplay(name) + "\" нет в таблице " + ForDisplay(FileName));
  return field;
}

void TnqTXTTable::ReportError(std::string_view text) { reporter_.ShowError(kErrorCaption, text); }

std::string TnqTXTTable::PlaceOf(const TnqTXTField& field) const {
  std::string place = "Файл \"" + FullPathForDisplay() + "\", строка " + std::to_string(recNo_ + 1);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (&fields_[i].Field != &field) continue;
    place += ", столбец " + std::to_string(i + 1) + " (" + ForDisplay(fields_[i].Name) + ")";
  }
  return place + ": \"" + core::AnsiToUtf8(field.Value) + "\"";
}

core::EConvertError TnqTXTTable::WithPlace(const core::EConvertError& error, const TnqTXTField& field) const {
  return core::EConvertError(core::WithContext(error.what(), PlaceOf(field)));
}

}  // namespace text
