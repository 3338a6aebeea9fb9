#include "pdb/PDBAppForge.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Messages.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {57020, "Record is not stored as detailed in Fields structure!",
     "Registro não está de acordo com a estrutura de campos especificada!"},
    {57030, "Database is not open!", "Banco de Dados não está aberto!"},
    {57040, "Database is not open for write!", "Banco de Dados não está aberto para gravação!"},
    {57050, "There are no fields specified in Database!", "Não há nenhum campo especificado no Banco de Dados!"},
    {57060, "AppInfo Block is not a valid AppForge block!", "AppInfo Block não é um bloco AppForge válido!"},
    {57070, "Field names do not fit the AppForge AppInfo Block!",
     "Os nomes dos campos não cabem no AppInfo Block do AppForge!"},
};
constexpr core::MessageTable kTable{kMessages};

// The tag that marks an AppForge AppInfo block.
constexpr std::string_view kAFTag = "APPFORG2";
// The 16-bit word after the field count (its meaning is not known; AppForge writes 10).
constexpr std::uint16_t kAFHeaderWord = 10;

// Seconds since 1904 in 32 bits: 0 for the empty date and any before 1904; a date after
// 06/02/2040 06:28:15 does not fit and is refused rather than wrapped to a 1904 date.
std::uint32_t PalmSeconds(core::TDateTime value) {
  if (value.Days() < core::TDateTime::kPalmEpochDay) return 0;
  const auto p = value.Decode();
  const std::int64_t seconds = (value.WholeDays() - static_cast<std::int64_t>(core::TDateTime::kPalmEpochDay)) * 86400 +
                               p.hour * 3600 + p.minute * 60 + p.second;
  if (seconds > std::numeric_limits<std::uint32_t>::max())
    throw core::EConvertError::InvalidDateTime(value.FormatDateTimeText());
  return static_cast<std::uint32_t>(seconds);
}

std::size_t EncodedSize(const TPDBAFField& field) {
  if (field.DataType() == AFString) return ZeroTerminatedText(field.Value()).size() + 1;
  return static_cast<std::size_t>(field.Size());
}

void EncodeField(const TPDBAFField& field, core::SpanWriter& out) {
  const TPDBValue& value = field.Value();
  switch (field.DataType()) {
    case AFByte:
    case AFBoolean: out.U8(static_cast<std::uint8_t>(ValueToInt64(value))); break;
    case AFInteger: out.U16(static_cast<std::uint16_t>(ValueToInt64(value))); break;
    case AFLong: out.U32(static_cast<std::uint32_t>(ValueToInt64(value))); break;
    case AFSingle: out.F32(static_cast<float>(ValueToDouble(value))); break;
    case AFDouble: out.F64(ValueToDouble(value)); break;
    case AFCurrency: out.U64(static_cast<std::uint64_t>(ValueToCurrency(value))); break;
    case AFDate: out.U32(PalmSeconds(CalendarDateTime(value))); break;
    case AFString:
      out.Append(ZeroTerminatedText(value));
      out.U8(0);
      break;
  }
}

// Reads one field at the reader's position; a record that ends inside it raises
// core::ShortReadError.
void DecodeField(TPDBAFField& field, core::BigEndianReader& in) {
  if (field.DataType() == AFString) {
    DecodeZeroTerminatedText(field, in);
    return;
  }

  const std::size_t start = in.Position();
  const auto bytes = in.Take(static_cast<std::size_t>(field.Size()));
  field.SetRaw(core::Bytes(bytes.begin(), bytes.end()));
  in.Seek(start);
  switch (field.DataType()) {
    case AFByte: field.SetValue(std::int64_t{in.U8()}); break;
    case AFBoolean: field.SetValue(in.U8() != 0); break;
    case AFInteger: field.SetValue(std::int64_t{in.I16()}); break;
    case AFLong: field.SetValue(std::int64_t{in.I32()}); break;
    case AFSingle: field.SetValue(static_cast<double>(in.F32())); break;
    case AFDouble: field.SetValue(in.F64()); break;
    case AFCurrency: field.SetValue(CurrencyToValue(in.I64())); break;
    case AFDate: field.SetValue(core::TDateTime::FromPalmSeconds(in.U32())); break;
    case AFString: break;  // handled above
  }
}

// The zero-terminated text at a position of the block counted from the tag; the text must end
// inside the block.
std::string TextAt(const core::Bytes& block, std::uint16_t position) {
  const std::size_t at = kAFTagOffset + position;
  if (at >= block.size()) throw core::ShortReadError();
  const auto rest = core::ByteSpan(block).subspan(at);
  const auto zero = std::find(rest.begin(), rest.end(), std::uint8_t{0});
  if (zero == rest.end()) throw core::ShortReadError();
  return std::string(rest.begin(), zero);
}

struct FieldDescription {
  std::string name;
  TPDBAFFieldType type;
};

}  // namespace

TPDBAppForge::~TPDBAppForge() { CloseOnDestroy(); }

void TPDBAppForge::CheckStoredType(const TPDBAFField& field, TPDBAFFieldType wanted) {
  if (AFTypeHolds(wanted, field.DataType())) return;
  throw EPDBException(LoadPDBMessage(kTable, 57020) + "\nField '" + core::AnsiToUtf8(field.FieldName()) +
                          "' is stored as " + AFFieldTypeName(field.DataType()) + ", defined as " +
                          AFFieldTypeName(wanted) + ".",
                      1);
}

void TPDBAppForge::BeginAppend() { BeginFieldAppend(!fields_.Empty(), kTable, 57030, 57040, 57050); }

core::Bytes TPDBAppForge::BuildAppInfoBlock(const std::string& databaseName) const {
  const std::size_t n = fields_.Count();
  std::size_t length = kAFDescriptorOffset + kAFDescriptorSize * n + databaseName.size() + 1;
  for (const auto& field : fields_) length += field.FieldName().size() + 1;
  // Every position and the length are 16-bit numbers counted from the tag.
  if (length - kAFTagOffset > std::numeric_limits<std::uint16_t>::max()) RaisePDBError(kTable, 57070, 5);

  core::Bytes block;
  block.reserve(length);
  core::BigEndianWriter out(block);
  out.U16(0);  // bit mask of changed names
  for (const auto& name : CategoryNames()) out.FixedText(name, 16);
  out.Append(core::ByteSpan(CategoryIDs()));  // 16 IDs and the last unique ID
  out.U8(0);
  out.Append(kAFTag);
  out.U32(0);
  out.U16(static_cast<std::uint16_t>(length - kAFTagOffset));
  const std::size_t namePosition = kAFDescriptorOffset - kAFTagOffset + kAFDescriptorSize * n;
  out.U16(static_cast<std::uint16_t>(namePosition));
  out.U16(static_cast<std::uint16_t>(n));
  out.U16(kAFHeaderWord);
  out.U16(0);
  out.U16(0);
  std::size_t position = namePosition + databaseName.size() + 1;
  for (const auto& field : fields_) {
    out.U16(static_cast<std::uint16_t>(position));
    out.U16(static_cast<std::uint16_t>(field.DataType() + 1));
    out.U16(0);
    position += field.FieldName().size() + 1;
  }
  out.Append(databaseName);
  out.U8(0);
  for (const auto& field : fields_) {
    out.Append(field.FieldName());
    out.U8(0);
  }
  return block;
}

void TPDBAppForge::AfterOpen() {
  const core::Bytes& block = AppInfoData();
  std::string name;
  std::vector<FieldDescription> described;
  try {
    core::BigEndianReader in(block);
    in.Seek(kAFTagOffset);
    if (core::AsText(in.Take(kAFTag.size())) != kAFTag) throw core::ShortReadError();
    in.Seek(kAFTagOffset + 14);
    const std::uint16_t namePosition = in.U16();
    const std::uint16_t count = in.U16();
    name = TextAt(block, namePosition);
    // Every descriptor must be there before any is trusted.
    if (!core::BigEndianReader(block, kAFDescriptorOffset).Has(kAFDescriptorSize * count))
      throw core::ShortReadError();
    in.Seek(kAFDescriptorOffset);
    described.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint16_t position = in.U16();
      const std::uint16_t type = in.U16();
      in.Skip(2);
      if (type < 1 || type > AFCurrency + 1) throw core::ShortReadError();
      described.push_back({TextAt(block, position), static_cast<TPDBAFFieldType>(type - 1)});
    }
  } catch (const core::ShortReadError&) {
    RaisePDBError(kTable, 57060, 4);
  }

  ReadCategories();
  AssignDatabaseName(std::move(name));
  fields_.Clear();
  for (auto& description : described) {
    auto& field = fields_.Add();
    field.SetFieldName(std::move(description.name));
    field.SetDataType(description.type);
  }
}

void TPDBAppForge::BeforeCloseWrite() {
  // Close calls this before it checks that the database is open; a closed one keeps its name.
  if (!IsOpen()) return;
  core::Bytes block = BuildAppInfoBlock(DatabaseName());
  const std::string& file = PDBFilename();
  AssignDatabaseName(file.substr(0, file.find('.')));
  SetAppInfoData(std::move(block));
}

std::size_t TPDBAppForge::CalcRecordSize() { return SumFieldSizes(fields_, EncodedSize); }

void TPDBAppForge::EncodeRecord() { EncodeFields(fields_, EncodeField); }

void TPDBAppForge::DecodeRecord() {
  if (!DecodeFields(fields_, DecodeField)) RaisePDBError(kTable, 57020, 1);
}

void TPDBAppForge::ClearFieldValues() {
  for (auto& field : fields_) {
    field.ClearRaw();
    switch (field.DataType()) {
      case AFSingle:
      case AFDouble: field.SetValue(0.0); break;
      case AFDate: field.SetValue(core::TDateTime()); break;
      case AFBoolean: field.SetValue(false); break;
      case AFString: field.SetValue(std::string()); break;
      default: field.SetValue(std::int64_t{0}); break;
    }
  }
}

}  // namespace pdb
