// The semicolon-separated text table of the office exchange files (product.txt, Order.txt ...).
//
// Line 0 of a file names the columns, every further line is one record. The whole file is held
// in memory; a record's values are split into the columns when it becomes current and joined
// back into its line by Post. Text stays in Windows-1251 bytes and is never transcoded; only the
// messages shown to the person are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"
#include "core/Files.h"
#include "core/NumberFormat.h"
#include "core/Reporter.h"

namespace text {

// A file that exists but cannot be a table: no header line, not a regular file, or a text that
// cannot be read (the message names file, line and column).
class EnqTXTTableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One column of the current record: a text, converted on access.
class TnqTXTField {
 public:
  std::string Value;

  const std::string& AsString() const { return Value; }
  void AsString(std::string_view text) { Value.assign(text); }
  // The value as a whole 32-bit number, blanks around it allowed; core::EConvertError ("'%s' is
  // not a valid integer value") when it is not one.
  std::int32_t AsInteger() const;
  // The same, or `fallback` when the value is not a whole number.
  std::int32_t AsIntegerDef(std::int32_t fallback) const;
  // Decimal text without leading zeros or blanks.
  void AsInteger(std::int32_t value);
  // General number format with "," as decimal separator.
  void AsFloat(double value);
  // The date as "dd.mm.yyyy"; the time of day is dropped.
  void AsDateTime(core::TDateTime value);
};

// Writes the values of one new record straight into its line, each followed by the column
// separator: an export that produces many records and reads none back formats every value once,
// in place, instead of into a column and then into the line. Values are written as the setters
// of TnqTXTField write them.
class TnqTXTLineWriter {
 public:
  TnqTXTLineWriter(std::string& line, std::string_view separator) : line_(line), separator_(separator) {}

  // Values written so far.
  std::size_t Count() const { return count_; }

  // The text as it is; returns its bytes in the line, for a caller that adjusts them in place
  // (valid until the next value).
  std::span<char> AsString(std::string_view text);
  void AsInteger(std::int32_t value);
  void AsFloat(double value);
  void AsDateTime(core::TDateTime value);

 private:
  // Appends `value` and the separator.
  void Put(std::string_view value);

  std::string& line_;
  std::string_view separator_;
  std::size_t count_ = 0;
};

// Every line of the table in one growing buffer: a line is a (offset, length) slice of it, so
// opening a file of many short lines costs no allocation per line. A replaced line's new text is
// appended and the old bytes left unused until the buffer is compacted.
class TnqTXTLines {
 public:
  std::size_t Count() const { return slices_.size(); }
  bool Empty() const { return slices_.empty(); }
  std::string_view operator[](std::size_t i) const { return {buffer_.data() + slices_[i].offset, slices_[i].length}; }

  void Clear();
  // Takes a file's bytes and cuts them into lines (CR, LF or CR LF end a line; a break at the
  // very end makes no extra line).
  void Load(std::string bytes);
  void Add(std::string_view line);
  void Replace(std::size_t i, std::string_view line);
  // Replaces line i by what `write` appends to the string it is given. The last line of the
  // buffer (a record just appended) is written in place, without a copy of its text.
  template <class Write>
  void Rewrite(std::size_t i, Write write);

 private:
  struct Slice {
    std::size_t offset;
    std::size_t length;
  };
  void CompactIfWasteful();

  std::string buffer_;
  std::vector<Slice> slices_;
  std::size_t unused_ = 0;  // bytes of buffer_ no line refers to any more
  std::string rewritten_;   // a line written by Rewrite that is not the last one
};

template <class Write>
void TnqTXTLines::Rewrite(std::size_t i, Write write) {
  Slice& slice = slices_.at(i);
  if (slice.offset + slice.length == buffer_.size()) {
    buffer_.resize(slice.offset);
    write(buffer_);
    slice.length = buffer_.size() - slice.offset;
    return;
  }
  rewritten_.clear();
  write(rewritten_);
  Replace(i, rewritten_);
}

class TnqTXTTable {
 public:
  // One header column.
  struct Column {
    std::string Name;
    TnqTXTField Field;
  };

  // Messages for the person (missing file, missing column, bad record number) go to `reporter`.
  explicit TnqTXTTable(core::Reporter& reporter);

  // The directory of the file and the file's name in it; the name matches an existing file
  // without regard to letter case.
  std::string Path;
  std::string FileName;

  const std::string& Separator() const { return separator_; }
  // The column separator (";" from construction on); an empty one is refused.
  void Separator(std::string separator);

  const TnqTXTLines& Lines() const { return lines_; }
  const std::vector<Column>& Fields() const { return fields_; }
  int RecordCount() const { return recordCount_; }
  // Current line: 1 is the first record, RecordCount() + 1 is past the end, 0 before any.
  int RecNo() const { return recNo_; }

  // The order index: entries "<key>=<line>" in collation order, empty when none was built.
  std::size_t IndexSize() const { return index_.size(); }
  std::string_view Index(std::size_t position) const;
  // The line number of an index entry (the number after its last "=").
  int IndexLine(std::size_t position) const { return index_[position].line; }
  long IndexPos() const { return indexPos_; }
  const std::string& IndexFieldName() const { return indexFieldName_; }

  // Loads Path/FileName. When it does not exist: reports "Файл "<path>" не найден", leaves the
  // table empty and returns false. A file without any line, a path that is not a regular file
  // (a folder, a named pipe ...) and a text that cannot be read (a zero byte, a UTF-8 character
  // Windows-1251 lacks) raise EnqTXTTableError naming the file, line and column. A UTF-8 file is
  // converted to Windows-1251 (see OfficeText.h).
  bool Open();
  // Forgets lines, columns and index.
  void Close();

  // Makes line `lineNo` current: its values are split into the columns. RecordCount() + 1 goes
  // past the end and leaves the values; anything else outside 1..RecordCount() is reported and
  // changes nothing.
  void GotoRecord(int lineNo);
  void First();
  void Next();
  bool Eof() const;

  // Builds the order index on a column: for a column named "ID" (letter case ignored) the key is
  // the text (blanks around it removed) padded left with "0" to 9 characters (or its last 9); for any other column the text
  // upper-cased in the user's locale. Entries sort case-insensitively in the user's collation;
  // equal keys come in the order of their line numbers compared as text. Leaves the table on
  // the first record in index order.
  void CreateIndex(std::string_view fieldName);

  // Adds an empty record at the end and makes it current.
  void Append();
  // Joins the current values (each followed by the separator) into the current line.
  void Post();
  // Adds a record at the end whose line `write(TnqTXTLineWriter&)` fills value by value, as
  // Append, setting the columns and Post would, without going through the columns; columns it
  // writes no value for are empty, more values than columns is a logic_error. Afterwards the
  // table stands past its last record (the columns do not hold the new values).
  template <class Write>
  void AppendRecord(Write write);
  // Writes every line followed by CR LF over the file, through a temporary file, so a failed
  // save (core::FileError) leaves the earlier file as it was. The file is synced to disk unless
  // SetSaveDurability says otherwise (a file the caller syncs itself before it is put in place).
  bool Save();
  void SetSaveDurability(core::Durability durability) { saveDurability_ = durability; }

  // The column named `name` (letter case ignored), or nullptr after reporting
  // "Поля "<name>" нет в таблице <FileName>". Valid until the next Open or Close.
  TnqTXTField* FieldByName(std::string_view name);
  // The same without the message, to test for optional columns.
  TnqTXTField* FindField(std::string_view name);

  // Shows an error message captioned "Ошибка"; the caller goes on.
  void ReportError(std::string_view text);

  // Where the current record's value of `field` (a column of this table) stands, for messages:
  // the file, its line (the header is line 1), the column's number and name, and the value as
  // the file holds it.
  std::string PlaceOf(const TnqTXTField& field) const;
  // `error`, raised for the current value of `field`, with PlaceOf(field) on a second line.
  core::EConvertError WithPlace(const core::EConvertError& error, const TnqTXTField& field) const;

 private:
  struct IndexEntry {
    std::size_t offset;  // in indexText_
    std::size_t length;
    int line;
  };

  std::string FullPathForDisplay() const;
  // The text of an existing file, as Open describes.
  std::string ReadText(const std::filesystem::path& file) const;
  std::optional<std::size_t> ColumnIndex(std::string_view name) const;
  void BuildFields(std::string_view header);
  // The n-th value of a line by the record split.
  std::string_view ValueAt(std::string_view line, std::size_t column) const;
  void MoveToIndexPos(long position);
  // Empties the columns from `split` on that may hold a value (those the last split filled and
  // those handed out for writing); the columns before it hold the current record's values.
  void ClearValuesFrom(std::size_t split);

  core::Reporter& reporter_;
  std::string separator_ = ";";
  TnqTXTLines lines_;
  std::vector<Column> fields_;
  std::size_t splitColumns_ = 0;        // columns the last record split gave values to
  std::vector<std::size_t> handedOut_;  // columns handed out for writing by FindField
  int recordCount_ = 0;
  int recNo_ = 0;
  std::string indexText_;
  std::vector<IndexEntry> index_;
  long indexPos_ = -1;
  std::string indexFieldName_;
  core::Durability saveDurability_ = core::Durability::Synced;
};

template <class Write>
void TnqTXTTable::AppendRecord(Write write) {
  Append();
  lines_.Rewrite(static_cast<std::size_t>(recNo_), [&](std::string& out) {
    TnqTXTLineWriter line(out, separator_);
    write(line);
    if (line.Count() > fields_.size()) throw std::logic_error("a record line with more values than the table has columns");
    for (std::size_t n = line.Count(); n < fields_.size(); ++n) out.append(separator_);
  });
  recNo_ = recordCount_ + 1;
}

}  // namespace text
