#include "pdb/PDBJava.h"

#include <algorithm>

#include <cmath>
#include <string>

#include "core/Encoding.h"
#include "core/Messages.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {52020, "Record is not stored as detailed in Fields structure!",
     "Registro não está de acordo com a estrutura de campos especificada!"},
    {52030, "Database is not open!", "Banco de Dados não está aberto!"},
    {52040, "Database is not open for write!", "Banco de Dados não está aberto para gravação!"},
    {52050, "There are no fields specified in Database!", "Não há nenhum campo especificado no Banco de Dados!"},
    {52060, "String field longer than 65535 bytes!", "Campo string com mais de 65535 bytes!"},
};
constexpr core::MessageTable kTable{kMessages};

constexpr std::int64_t kMsPerSecond = 1000;
// Day numbers beyond this lie outside any calendar a handheld knows (and outside 64-bit ms).
constexpr double kMaxDays = 1e8;

// Floor division remainder, so that dropping milliseconds moves every value back in time.
std::int64_t FloorToSecond(std::int64_t milliseconds) {
  std::int64_t rest = milliseconds % kMsPerSecond;
  if (rest < 0) rest += kMsPerSecond;
  return milliseconds - rest;
}

std::size_t EncodedSize(const TPDBJavaField& field) {
  if (field.DataType() == JString) return ValueToString(field.Value()).size() + 2;
  return static_cast<std::size_t>(field.Size());
}

std::uint16_t CharCode(const TPDBValue& value) {
  // A text set through AsString stands for its first character.
  if (const auto* text = std::get_if<std::string>(&value))
    return text->empty() ? 0 : static_cast<std::uint8_t>(text->front());
  return static_cast<std::uint16_t>(ValueToInt64(value));
}

void EncodeField(const TPDBJavaField& field, core::SpanWriter& out) {
  const TPDBValue& value = field.Value();
  switch (field.DataType()) {
    case JByte: out.U8(static_cast<std::uint8_t>(ValueToInt64(value))); break;
    case JBoolean: out.U8(ValueToBoolean(value) ? 1 : 0); break;
    case JChar: out.U16(CharCode(value)); break;
    case JInt: out.U32(static_cast<std::uint32_t>(ValueToInt64(value))); break;
    case JLong: out.U64(static_cast<std::uint64_t>(ValueToTruncatedInt64(value))); break;
    case JShort: out.U16(static_cast<std::uint16_t>(ValueToInt64(value))); break;
    case JDate: out.U64(static_cast<std::uint64_t>(java::EncodeDate(ValueToDateTime(value)))); break;
    case JString: {
      const std::string text = ValueToString(value);
      out.U16(static_cast<std::uint16_t>(text.size()));  // checked by EncodeRecord
      out.Append(text);
      break;
    }
  }
}

// Reads one field at the reader's position; a record that ends inside it raises
// core::ShortReadError.
void DecodeField(TPDBJavaField& field, core::BigEndianReader& in) {
  const std::size_t start = in.Position();
  if (field.DataType() == JString) {
    const std::uint16_t length = in.U16();
    in.Seek(start);
    const auto bytes = in.Take(2 + std::size_t{length});
    field.SetRaw(core::Bytes(bytes.begin(), bytes.end()));
    field.SetValue(std::string(core::AsText(bytes.subspan(2))));
    return;
  }
  const auto bytes = in.Take(static_cast<std::size_t>(field.Size()));
  field.SetRaw(core::Bytes(bytes.begin(), bytes.end()));
  in.Seek(start);
  switch (field.DataType()) {
    case JByte: field.SetValue(std::int64_t{in.U8()}); break;
    case JBoolean: field.SetValue(in.U8() != 0); break;
    case JChar: field.SetValue(std::int64_t{in.U16()}); break;
    case JInt: field.SetValue(std::int64_t{in.I32()}); break;
    // Kept as a 64-bit integer, so that no digit is lost.
    case JLong: field.SetValue(in.I64()); break;
    case JShort: field.SetValue(std::int64_t{in.I16()}); break;
    case JDate: field.SetValue(java::DecodeDate(in.I64())); break;
    case JString: break;  // handled above
  }
}

}  // namespace

namespace java {

std::int64_t EncodeDate(core::TDateTime value) {
  if (value.IsZero()) return 0;
  if (!(std::fabs(value.Days()) < kMaxDays)) throw core::EConvertError::InvalidDateTime(core::FormatGeneral(value.Days()));
  return FloorToSecond(value.ToUnixMilliseconds());
}

core::TDateTime DecodeDate(std::int64_t milliseconds) {
  if (milliseconds == 0) return core::TDateTime();
  // A damaged record can hold any count; beyond kMaxDays it names no date anyway, and keeping
  // it there leaves room for the rounding below.
  constexpr auto kMaxMs = static_cast<std::int64_t>(kMaxDays) * 86400 * kMsPerSecond;
  milliseconds = std::clamp(milliseconds, -kMaxMs, kMaxMs);
  return core::TDateTime::FromUnixMilliseconds(FloorToSecond(milliseconds));
}

core::Bytes NameAsChars(std::string_view name) {
  core::Bytes chars;
  core::BigEndianWriter out(chars);
  for (char c : name) out.U16(static_cast<std::uint8_t>(c));
  return chars;
}

}  // namespace java

TPDBJava::~TPDBJava() { CloseOnDestroy(); }

void TPDBJava::BeginAppend() { BeginFieldAppend(!fields_.Empty(), kTable, 52030, 52040, 52050); }

void TPDBJava::AfterReadHeader() {
  const std::string suffix = "-" + CreatorID();
  const auto at = DatabaseName().find(suffix);
  if (at != std::string::npos) AssignDatabaseName(DatabaseName().substr(0, at));
}

void TPDBJava::BeforeCloseWrite() {
  // Close calls this before it checks that the database is open; a closed one keeps its name.
  if (!IsOpen()) return;
  SetAppInfoData(java::NameAsChars(DatabaseName()));
  AssignDatabaseName(std::string(core::TrimBlanks(DatabaseName())));
}

std::size_t TPDBJava::CalcRecordSize() { return SumFieldSizes(fields_, EncodedSize); }

void TPDBJava::EncodeRecord() {
  // A longer text cannot be told by its 16-bit length; refuse it rather than write a wrong one.
  for (const auto& field : fields_)
    if (field.DataType() == JString && ValueToString(field.Value()).size() > kJavaMaxStringLength)
      RaisePDBError(kTable, 52060, 4);
  EncodeFields(fields_, EncodeField);
}

void TPDBJava::DecodeRecord() {
  if (!DecodeFields(fields_, DecodeField)) RaisePDBError(kTable, 52020, 1);
}

void TPDBJava::ClearFieldValues() {
  for (auto& field : fields_) {
    field.ClearRaw();
    switch (field.DataType()) {
      case JDate: field.SetValue(core::TDateTime()); break;
      case JBoolean: field.SetValue(false); break;
      case JString: field.SetValue(std::string()); break;
      default: field.SetValue(std::int64_t{0}); break;
    }
  }
}

}  // namespace pdb
