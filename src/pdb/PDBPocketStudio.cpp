#include "pdb/PDBPocketStudio.h"

#include <algorithm>
#include <limits>
#include <string>
#include <type_traits>

#include "core/Messages.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {65020, "Record is not stored as detailed in Fields structure!",
     "Registro não está de acordo com a estrutura de campos especificada!"},
    {65030, "Database is not open!", "Banco de Dados não está aberto!"},
    {65040, "Database is not open for write!", "Banco de Dados não está aberto para gravação!"},
    {65050, "There are no fields specified in Database!", "Não há nenhum campo especificado no Banco de Dados!"},
    {65060, "Binary field longer than 65535 bytes!", "Campo binário com mais de 65535 bytes!"},
};
constexpr core::MessageTable kTable{kMessages};

// The length of a binary field is a 16-bit number.
constexpr std::size_t kMaxBinaryLength = std::numeric_limits<std::uint16_t>::max();

// A string field's text: the held string itself when the value is one (the usual case, no
// copy), otherwise its conversion, kept in `scratch`. It ends at its first zero byte, which
// would otherwise end the field early and shift every field after it.
std::string_view TextOf(const TPDBValue& value, std::string& scratch) {
  std::string_view text;
  if (const auto* held = std::get_if<std::string>(&value)) {
    text = *held;
  } else {
    scratch = ValueToString(value);
    text = scratch;
  }
  return text.substr(0, text.find('\0'));
}

std::size_t EncodedSize(const TPDBPSField& field) {
  switch (field.DataType()) {
    case PSString:
      if (field.Size() > 0) return static_cast<std::size_t>(field.Size()) + 1;
      {
        std::string scratch;
        return TextOf(field.Value(), scratch).size() + 1;
      }
    case PSBinary:
      return field.Raw().size() + 2;
    default:
      return static_cast<std::size_t>(field.Size());
  }
}

void EncodeField(const TPDBPSField& field, core::SpanWriter& out) {
  const TPDBValue& value = field.Value();
  switch (field.DataType()) {
    case PSBoolean:
    case PSInt8:
    case PSUInt8:
      out.U8(static_cast<std::uint8_t>(ValueToInt64(value)));
      break;
    case PSInt16:
    case PSUInt16:
      out.U16(static_cast<std::uint16_t>(ValueToInt64(value)));
      break;
    case PSInt32:
    case PSUInt32:
      out.U32(static_cast<std::uint32_t>(ValueToInt64(value)));
      break;
    case PSDate:
      out.U16(ps::EncodeDate(ValueToDateTime(value)));
      break;
    case PSTime:
      out.U16(ps::EncodeTime(ValueToDateTime(value)));
      break;
    case PSDateTime:
      out.U32(ValueToDateTime(value).ToPalmSeconds());
      break;
    case PSString: {
      std::string scratch;
      const std::string_view text = TextOf(value, scratch);
      if (field.Size() > 0) {
        const auto fixed = static_cast<std::size_t>(field.Size());
        const std::size_t kept = std::min(text.size(), fixed);
        out.Append(text.substr(0, kept));
        out.Zeros(fixed - kept);
      } else {
        out.Append(text);
      }
      out.U8(0);
      break;
    }
    case PSSingle:
      out.F32(static_cast<float>(ValueToDouble(value)));
      break;
    case PSDouble:
      out.F64(ValueToDouble(value));
      break;
    case PSBinary:
      out.U16(static_cast<std::uint16_t>(field.Raw().size()));
      out.Append(field.Raw());
      break;
  }
}

// Reads one field at the reader's position into the field's raw buffer and value; a short
// record raises core::ShortReadError.
void DecodeField(TPDBPSField& field, core::BigEndianReader& in) {
  const ps::FieldReading reading = ps::ReadField(field.DataType(), static_cast<std::size_t>(field.Size()), in);
  field.AssignRaw(reading.raw, reading.rawZeros);
  if (const auto* text = std::get_if<std::string_view>(&reading.value))
    field.AssignText(*text);
  else
    std::visit(
        [&](auto value) {
          if constexpr (!std::is_same_v<decltype(value), std::string_view>) field.SetValue(value);
        },
        reading.value);
}

}  // namespace

namespace ps {

FieldReading ReadField(TPDBPSFieldType type, std::size_t size, core::BigEndianReader& in) {
  return ReadFieldWith(type, size, in, [](core::ByteSpan raw, std::size_t rawZeros, auto value) {
    return FieldReading{raw, rawZeros, value};
  });
}

std::uint16_t EncodeDate(core::TDateTime value) {
  if (value.Days() < core::TDateTime::kPalmEpochDay) return 0;
  const auto p = value.Decode();
  return static_cast<std::uint16_t>((((p.year - 1904) & 0x7F) << 9) | (p.month << 5) | p.day);
}

core::TDateTime DecodeDate(std::uint16_t word) {
  const int day = word & 0x1F;
  const int month = (word >> 5) & 0x0F;
  const int year = (word >> 9) + 1904;
  if (day == 0 || month == 0) return core::TDateTime();
  return core::TDateTime::FromDate(year, month, day).value_or(core::TDateTime());
}

std::uint16_t EncodeTime(core::TDateTime value) {
  const auto p = value.Decode();
  return static_cast<std::uint16_t>(p.hour * 256 + p.minute);
}

core::TDateTime DecodeTime(std::uint16_t word) {
  if (auto time = core::TDateTime::FromTime(word >> 8, word & 0xFF, 0)) return *time;
  throw core::EConvertError("Invalid argument to time encode");
}

}  // namespace ps

TPDBPocketStudio::~TPDBPocketStudio() { CloseOnDestroy(); }

void TPDBPocketStudio::BeginAppend() { BeginFieldAppend(!fields_.Empty(), kTable, 65030, 65040, 65050); }

std::size_t TPDBPocketStudio::CalcRecordSize() { return SumFieldSizes(fields_, EncodedSize); }

void TPDBPocketStudio::EncodeRecord() {
  for (const auto& field : fields_)
    if (field.DataType() == PSBinary && field.Raw().size() > kMaxBinaryLength)
      RaisePDBError(kTable, 65060, 4);
  EncodeFields(fields_, EncodeField);
}

void TPDBPocketStudio::DecodeRecord() {
  if (!DecodeFields(fields_, DecodeField)) RefuseRecord();
}

void TPDBPocketStudio::RefuseRecord() {
  // The record does not match the field list: release the file, keep the memory.
  AbandonOpenFile();
  RaisePDBError(kTable, 65020, 1);
}

void TPDBPocketStudio::ClearFieldValues() {
  for (auto& field : fields_) {
    field.ClearRaw();
    switch (field.DataType()) {
      case PSBoolean: field.SetValue(false); break;
      case PSDate:
      case PSTime:
      case PSDateTime: field.SetValue(core::TDateTime()); break;
      case PSString: field.SetValue(std::string()); break;
      case PSUInt32:
      case PSSingle:
      case PSDouble: field.SetValue(0.0); break;
      default: field.SetValue(std::int64_t{0}); break;
    }
  }
}

}  // namespace pdb
