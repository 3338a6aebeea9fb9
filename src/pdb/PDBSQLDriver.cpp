#include "pdb/PDBSQLDriver.h"

#include <algorithm>
#include <string>

#include "core/Messages.h"
#include "pdb/PDBJavaField.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {52500, "There are no Fields in the structure!", "Não há campos adicionados na estrutura!"},
    {52510, "There are no Fields with this name!", "Não há campos com este nome!"},
    {52520, "Record is not stored as detailed in Fields structure!",
     "Registro não está de acordo com a estrutura de campos especificada!"},
    {52530, "Database is not open!", "Banco de Dados não está aberto!"},
    {52540, "Database is not open for write!", "Banco de Dados não está aberto para gravação!"},
    {52550, "There are no fields specified in Database!", "Não há nenhum campo especificado no Banco de Dados!"},
};
constexpr core::MessageTable kTable{kMessages};

std::size_t EncodedSize(const TPDBSQLDriverField& field) {
  if (field.DataType() == PDChar) return 2 * static_cast<std::size_t>(field.Size()) + 2;
  return static_cast<std::size_t>(field.Size());
}

void EncodeField(const TPDBSQLDriverField& field, core::SpanWriter& out) {
  const TPDBValue& value = field.Value();
  switch (field.DataType()) {
    case PDChar: {
      const std::string text = ValueToString(value);
      const auto size = static_cast<std::size_t>(field.Size());
      // The length word counts the characters actually stored, so that no reader looks past
      // the field for the rest of a longer text.
      out.U16(static_cast<std::uint16_t>(std::min(text.size(), size)));
      for (std::size_t i = 0; i < size; ++i) out.U16(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
      break;
    }
    case PDShort: out.U16(static_cast<std::uint16_t>(ValueToInt64(value))); break;
    case PDInt: out.U32(static_cast<std::uint32_t>(ValueToInt64(value))); break;
    case PDLong: out.U64(static_cast<std::uint64_t>(ValueToTruncatedInt64(value))); break;
    case PDFloat: out.F32(static_cast<float>(ValueToDouble(value))); break;
    case PDDouble: out.F64(ValueToDouble(value)); break;
  }
}

// Reads one field at the reader's position; a record that ends inside it raises
// core::ShortReadError.
void DecodeField(TPDBSQLDriverField& field, core::BigEndianReader& in) {
  const std::size_t start = in.Position();
  const auto bytes = in.Take(EncodedSize(field));
  field.SetRaw(core::Bytes(bytes.begin(), bytes.end()));
  in.Seek(start);
  switch (field.DataType()) {
    case PDChar: {
      in.Skip(2);  // the length word; the characters tell the text
      std::string text;
      for (std::int32_t i = 0; i < field.Size(); ++i)
        if (const std::uint16_t code = in.U16(); code != 0) text.push_back(static_cast<char>(code & 0xFF));
      field.SetValue(std::move(text));
      break;
    }
    case PDShort: field.SetValue(std::int64_t{in.I16()}); break;
    case PDInt: field.SetValue(std::int64_t{in.I32()}); break;
    // Kept as a 64-bit integer, so that no digit is lost.
    case PDLong: field.SetValue(in.I64()); break;
    case PDFloat: field.SetValue(static_cast<double>(in.F32())); break;
    case PDDouble: field.SetValue(in.F64()); break;
  }
}

}  // namespace

std::uint32_t SQLDriverNameHash(std::string_view name) {
  std::uint32_t hash = 0;
  for (char c : name) {
    auto byte = static_cast<std::uint8_t>(c);
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<std::uint8_t>(byte + ('a' - 'A'));
    hash = hash * 31 + byte;
  }
  return hash;
}

TPDBSQLDriver::TPDBSQLDriver(core::Reporter* reporter) {
  fields_.SetReporter(reporter);
  auto& rowID = fields_.Add();
  rowID.SetFieldName(std::string(kSQLDriverRowIDName));
  rowID.SetDataType(PDInt);
}

TPDBSQLDriver::~TPDBSQLDriver() { CloseOnDestroy(); }

TPDBSQLDriverField& TPDBSQLDriver::FieldByName(std::string_view name) {
  if (fields_.Empty()) RaisePDBError(kTable, 52500, 1);
  if (auto* field = fields_.FindField(name)) return *field;
  RaisePDBError(kTable, 52510, 2);
}

void TPDBSQLDriver::BeginAppend() { BeginFieldAppend(!fields_.Empty(), kTable, 52530, 52540, 52550); }

core::Bytes TPDBSQLDriver::BuildSchemaRecord(std::uint32_t dataRecords) const {
  core::Bytes schema;
  core::BigEndianWriter out(schema);
  out.U32(dataRecords + 1);  // the next row number
  out.U16(static_cast<std::uint16_t>(fields_.Count()));
  for (const auto& field : fields_) out.U32(SQLDriverNameHash(field.FieldName()));
  for (const auto& field : fields_) out.U32(field.DataType());
  for (const auto& field : fields_) out.U32(field.DataType() == PDChar ? static_cast<std::uint32_t>(field.Size()) : 0);
  out.Zeros(fields_.Count());
  out.U16(0);
  return schema;
}

void TPDBSQLDriver::BeforeWriteDatabase() {
  SetCurrentRecord(BuildSchemaRecord(RecordCount()));
  SetCurrentCategory(0);
  SetCurrentAttributes(0);
  SetCurrentUniqueID(0);
  InsertRawRecord();
  ReleaseCurrentRecord();
}

void TPDBSQLDriver::BeforePost() { FieldByName(kSQLDriverRowIDName).SetAsInt(RecordCount() + 1); }

std::size_t TPDBSQLDriver::CalcRecordSize() { return SumFieldSizes(fields_, EncodedSize); }

void TPDBSQLDriver::EncodeRecord() { EncodeFields(fields_, EncodeField); }

void TPDBSQLDriver::DecodeRecord() {
  if (!DecodeFields(fields_, DecodeField)) RaisePDBError(kTable, 52520, 1);
}

void TPDBSQLDriver::ClearFieldValues() {
  for (auto& field : fields_) {
    field.ClearRaw();
    switch (field.DataType()) {
      case PDChar: field.SetValue(std::string()); break;
      case PDFloat:
      case PDDouble: field.SetValue(0.0); break;
      default: field.SetValue(std::int64_t{0}); break;
    }
  }
}

}  // namespace pdb
