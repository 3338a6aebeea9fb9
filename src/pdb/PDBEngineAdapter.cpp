#include "pdb/PDBEngineAdapter.h"

#include <string>
#include <string_view>

namespace pdb {

TFieldType PSDataSetFieldType(TPDBPSFieldType type) {
  switch (type) {
    case PSBoolean: return TFieldType::Boolean;
    case PSInt8:
    case PSInt16:
    case PSInt32:
    case PSUInt8:
    case PSUInt16:
    case PSUInt32: return TFieldType::Integer;
    case PSDate:
    case PSTime:
    case PSDateTime: return TFieldType::DateTime;
    case PSString: return TFieldType::String;
    case PSSingle:
    case PSDouble: return TFieldType::Float;
    case PSBinary: return TFieldType::Blob;
  }
  return TFieldType::Unknown;
}

void TPDBPocketStudioAdapter::DefineFields(TFieldDefs& defs) {
  auto& fields = engine_.Fields();
  fields.Clear();
  for (const auto& item : design_) {
    auto& field = fields.Add();
    field.SetFieldName(item.FieldName());
    field.SetDataType(item.DataType());
    const TFieldType kind = PSDataSetFieldType(item.DataType());
    defs.Add(item.FieldName(), kind, kind == TFieldType::String ? item.InternalSize() : 0);
  }
}

void TPDBPocketStudioAdapter::LoadRecord(TRecordBuffer& record) {
  int k = 0;
  for (const auto& field : engine_.Fields()) {
    switch (field.DataType()) {
      case PSBoolean: record.SetBoolean(k, field.AsBoolean()); break;
      case PSInt8: record.SetInteger(k, field.AsInt8()); break;
      case PSInt16: record.SetInteger(k, field.AsInt16()); break;
      case PSInt32: record.SetInteger(k, field.AsInt32()); break;
      case PSUInt8: record.SetInteger(k, field.AsUInt8()); break;
      case PSUInt16: record.SetInteger(k, field.AsUInt16()); break;
      // A data-set integer is 32-bit signed: numbers above 2147483647 show as negative and
      // are written back with the same bits.
      case PSUInt32: record.SetInteger(k, static_cast<std::int32_t>(field.AsUInt32())); break;
      case PSDate: record.SetDateTime(k, field.AsDate()); break;
      case PSTime: record.SetDateTime(k, field.AsTime()); break;
      case PSDateTime: record.SetDateTime(k, field.AsDateTime()); break;
      case PSString: record.SetString(k, field.AsString()); break;  // cut to the field's size
      case PSSingle: record.SetFloat(k, field.AsSingle()); break;
      case PSDouble: record.SetFloat(k, field.AsDouble()); break;
      case PSBinary: {
        // The blob holds the binary field's own bytes (without their length word).
        const auto& raw = field.Raw();
        record.SetString(k, std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()));
        break;
      }
    }
    ++k;
  }
}

void TPDBPocketStudioAdapter::SaveRecord(const TRecordBuffer& record) {
  engine_.BeginAppend();
  int k = 0;
  for (auto& field : engine_.Fields()) {
    switch (field.DataType()) {
      case PSBoolean: field.SetAsBoolean(record.GetBoolean(k)); break;
      // Integers too wide for the field keep their low-order bits.
      case PSInt8: field.SetAsInt8(static_cast<std::int8_t>(record.GetInteger(k))); break;
      case PSInt16: field.SetAsInt16(static_cast<std::int16_t>(record.GetInteger(k))); break;
      case PSInt32: field.SetAsInt32(record.GetInteger(k)); break;
      case PSUInt8: field.SetAsUInt8(static_cast<std::uint8_t>(record.GetInteger(k))); break;
      case PSUInt16: field.SetAsUInt16(static_cast<std::uint16_t>(record.GetInteger(k))); break;
      case PSUInt32: field.SetAsUInt32(static_cast<std::uint32_t>(record.GetInteger(k))); break;
      case PSDate: field.SetAsDate(record.GetDateTime(k)); break;
      case PSTime: field.SetAsTime(record.GetDateTime(k)); break;
      case PSDateTime: field.SetAsDateTime(record.GetDateTime(k)); break;
      case PSString: field.SetAsString(std::string(record.GetString(k))); break;
      case PSSingle: field.SetAsSingle(static_cast<float>(record.GetFloat(k))); break;
      case PSDouble: field.SetAsDouble(record.GetFloat(k)); break;
      case PSBinary: {
        const std::string_view blob = record.GetString(k);
        field.SetRaw(core::Bytes(blob.begin(), blob.end()));
        break;
      }
    }
    ++k;
  }
  engine_.Post();
}

}  // namespace pdb
