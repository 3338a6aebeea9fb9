#include "pdb/PDBNSBasic.h"

#include <algorithm>
#include <string>

#include "core/Messages.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

constexpr core::MessageText kMessages[] = {
    {61020, "Record is not stored as detailed in Fields structure!",
     "Registro não está de acordo com a estrutura de campos especificada!"},
    {61030, "Database is not open!", "Banco de Dados não está aberto!"},
    {61040, "Database is not open for write!", "Banco de Dados não está aberto para gravação!"},
    {61050, "There are no fields specified in Database!", "Não há nenhum campo especificado no Banco de Dados!"},
};
constexpr core::MessageTable kTable{kMessages};

// NSBasic keeps dates as (year - 1900) * 10000 + month * 100 + day.
constexpr std::int64_t kNSBDateBias = 19000000;

std::size_t EncodedSize(const TPDBNSBField& field) {
  if (field.DataType() != NSBString) return static_cast<std::size_t>(field.Size());
  if (field.Size() > 0) return static_cast<std::size_t>(field.Size()) + 1;
  return ZeroTerminatedText(field.Value()).size() + 1;
}

void EncodeField(const TPDBNSBField& field, core::SpanWriter& out) {
  const TPDBValue& value = field.Value();
  switch (field.DataType()) {
    case NSBByte: out.U8(static_cast<std::uint8_t>(ValueToInt64(value))); break;
    case NSBShort: out.U16(static_cast<std::uint16_t>(ValueToInt64(value))); break;
    case NSBInteger: out.U32(static_cast<std::uint32_t>(ValueToInt64(value))); break;
    case NSBSingle: out.F32(static_cast<float>(ValueToDouble(value))); break;
    case NSBFloat:
    case NSBDouble: out.F64(ValueToDouble(value)); break;
    case NSBDate: out.F64(nsb::EncodeDate(CalendarDateTime(value))); break;
    case NSBTime: out.F64(nsb::EncodeTime(CalendarDateTime(value))); break;
    case NSBString: {
      const std::string text = ZeroTerminatedText(value);
      if (field.Size() > 0) {
        // A shorter text is padded with zero bytes, where the reader stops.
        const auto fixed = static_cast<std::size_t>(field.Size());
        const std::size_t kept = std::min(text.size(), fixed);
        out.Append(std::string_view(text).substr(0, kept));
        out.Zeros(fixed - kept);
      } else {
        out.Append(text);
      }
      out.U8(0);
      break;
    }
  }
}

// Reads one field at the reader's position; a record that ends inside it raises
// core::ShortReadError.
void DecodeField(TPDBNSBField& field, core::BigEndianReader& in) {
  if (field.DataType() == NSBString) {
    if (field.Size() > 0) {
      const auto fixed = static_cast<std::size_t>(field.Size());
      const auto bytes = in.Take(fixed);
      in.Skip(1);  // the terminator
      core::Bytes raw(fixed + 1, 0);
      std::copy(bytes.begin(), bytes.end(), raw.begin());
      field.SetRaw(std::move(raw));
      field.SetValue(std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0})));
    } else {
      DecodeZeroTerminatedText(field, in);
    }
    return;
  }

  const std::size_t start = in.Position();
  const auto bytes = in.Take(static_cast<std::size_t>(field.Size()));
  field.SetRaw(core::Bytes(bytes.begin(), bytes.end()));
  in.Seek(start);
  switch (field.DataType()) {
    case NSBByte: field.SetValue(std::int64_t{in.U8()}); break;
    case NSBShort: field.SetValue(std::int64_t{in.I16()}); break;
    case NSBInteger: field.SetValue(std::int64_t{in.I32()}); break;
    case NSBSingle: field.SetValue(static_cast<double>(in.F32())); break;
    case NSBFloat:
    case NSBDouble: field.SetValue(in.F64()); break;
    case NSBDate: field.SetValue(nsb::DecodeDate(in.F64())); break;
    case NSBTime: field.SetValue(nsb::DecodeTime(in.F64())); break;
    case NSBString: break;  // handled above
  }
}

}  // namespace

namespace nsb {

double EncodeDate(core::TDateTime value) {
  if (value.IsZero()) return 0;
  const auto p = value.Decode();
  return static_cast<double>(std::int64_t{p.year} * 10000 + p.month * 100 + p.day - kNSBDateBias);
}

core::TDateTime DecodeDate(double stored) {
  // Dates before 1900 are stored as negative numbers; the digits are those of the full
  // year * 10000 + month * 100 + day. Years outside 1..9999 name no date the day count can hold.
  if (stored == 0 || !(stored > -kNSBDateBias && stored < 1e8 - kNSBDateBias)) return core::TDateTime();
  const std::int64_t number = static_cast<std::int64_t>(stored) + kNSBDateBias;
  const auto year = static_cast<int>(number / 10000);
  const auto month = static_cast<int>(number / 100 % 100);
  const auto day = static_cast<int>(number % 100);
  return core::TDateTime::FromDate(year, month, day).value_or(core::TDateTime());
}

double EncodeTime(core::TDateTime value) {
  const auto p = value.Decode();
  return static_cast<double>(p.hour * 10000 + p.minute * 100 + p.second);
}

core::TDateTime DecodeTime(double stored) {
  if (stored >= 0 && stored < 1e6) {
    const auto number = static_cast<int>(stored);
    if (auto time = core::TDateTime::FromTime(number / 10000, number / 100 % 100, number % 100)) return *time;
  }
  throw core::EConvertError("Invalid argument to time encode");
}

}  // namespace nsb

TPDBNSBasic::~TPDBNSBasic() { CloseOnDestroy(); }

void TPDBNSBasic::BeginAppend() { BeginFieldAppend(!fields_.Empty(), kTable, 61030, 61040, 61050); }

std::size_t TPDBNSBasic::CalcRecordSize() { return SumFieldSizes(fields_, EncodedSize); }

void TPDBNSBasic::EncodeRecord() { EncodeFields(fields_, EncodeField); }

void TPDBNSBasic::DecodeRecord() {
  if (!DecodeFields(fields_, DecodeField)) RaisePDBError(kTable, 61020, 1);
}

void TPDBNSBasic::ClearFieldValues() {
  for (auto& field : fields_) {
    field.ClearRaw();
    switch (field.DataType()) {
      case NSBFloat:
      case NSBSingle:
      case NSBDouble: field.SetValue(0.0); break;
      case NSBDate:
      case NSBTime: field.SetValue(core::TDateTime()); break;
      case NSBString: field.SetValue(std::string()); break;
      default: field.SetValue(std::int64_t{0}); break;
    }
  }
}

}  // namespace pdb
