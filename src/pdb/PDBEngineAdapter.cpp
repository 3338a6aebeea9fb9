#include "pdb/PDBEngineAdapter.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/Encoding.h"

namespace pdb {

dataset::TFieldType PSDataSetFieldType(TPDBPSFieldType type) {
  switch (type) {
    case PSBoolean: return dataset::TFieldType::Boolean;
    case PSInt8:
    case PSInt16:
    case PSInt32:
    case PSUInt8:
    case PSUInt16:
    case PSUInt32: return dataset::TFieldType::Integer;
    case PSDate:
    case PSTime:
    case PSDateTime: return dataset::TFieldType::DateTime;
    case PSString: return dataset::TFieldType::String;
    case PSSingle:
    case PSDouble: return dataset::TFieldType::Float;
    case PSBinary: return dataset::TFieldType::Blob;
  }
  return dataset::TFieldType::Unknown;
}

void TPDBPocketStudioAdapter::DefineFields(dataset::TFieldDefs& defs) {
  engine_.Fields().Clear();
  for (const auto& item : design_)
    AddDesignField(defs, item, PSDataSetFieldType(item.DataType()), item.InternalSize());
}

namespace {

// Stores one PocketStudio field as read (see ps::ReadFieldWith) into data-set field k, converted
// as the engine's typed accessor and the data-set field of its kind convert it.
template <class Value>
void StoreReading(dataset::TRecordBuffer& record, int k, TPDBPSFieldType type, core::ByteSpan raw, Value value) {
  if constexpr (std::is_same_v<Value, bool>) {
    record.SetBoolean(k, value);
  } else if constexpr (std::is_same_v<Value, std::int64_t>) {
    // The blob holds the binary field's own bytes (without their length word).
    if (type == PSBinary) record.SetString(k, core::AsText(raw));
    else record.SetInteger(k, static_cast<std::int32_t>(value));
  } else if constexpr (std::is_same_v<Value, double>) {
    // A data-set integer is 32-bit signed: numbers above 2147483647 show as negative and are
    // written back with the same bits.
    if (type == PSUInt32) record.SetInteger(k, static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    else record.SetFloat(k, value);
  } else if constexpr (std::is_same_v<Value, core::TDateTime>) {
    record.SetDateTime(k, value);
  } else {
    static_assert(std::is_same_v<Value, std::string_view>);
    record.SetString(k, value);  // cut to the field's size
  }
}

}  // namespace

void TPDBPocketStudioAdapter::DecodeInto(core::ByteSpan bytes, dataset::TRecordBuffer& record) {
  core::BigEndianReader in(bytes);
  const auto& fields = engine_.Fields();
  try {
    for (std::size_t k = 0; k < fields.Count(); ++k) {
      const TPDBPSField& field = fields[k];
      const TPDBPSFieldType type = field.DataType();
      ps::ReadFieldWith(type, static_cast<std::size_t>(field.Size()), in,
                        [&](core::ByteSpan raw, std::size_t, auto value) {
                          StoreReading(record, static_cast<int>(k), type, raw, value);
                        });
    }
  } catch (const core::ShortReadError&) {
    engine_.RefuseRecord();
  }
}

void TPDBPocketStudioAdapter::LoadRecord(dataset::TRecordBuffer& record) { DecodeInto(engine_.CurrentRecord(), record); }

void TPDBPocketStudioAdapter::ReadRecord(std::int32_t index, dataset::TRecordBuffer& record) {
  DecodeInto(engine_.GoToRecordBytes(index), record);
}

void TPDBPocketStudioAdapter::SaveRecord(const dataset::TRecordBuffer& record) {
  AppendRecord([&](auto& field, int k) {
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
      case PSString: field.AssignText(record.GetString(k)); break;  // as SetAsString, in place
      case PSSingle: field.SetAsSingle(static_cast<float>(record.GetFloat(k))); break;
      case PSDouble: field.SetAsDouble(record.GetFloat(k)); break;
      case PSBinary: {
        const std::string_view blob = record.GetString(k);
        field.SetRaw(core::Bytes(blob.begin(), blob.end()));
        break;
      }
    }
  });
}

// ---- NSBasic ---------------------------------------------------------------------------------

dataset::TFieldType NSBDataSetFieldType(TPDBNSBFieldType type) {
  switch (type) {
    case NSBByte:
    case NSBShort:
    case NSBInteger: return dataset::TFieldType::Integer;
    case NSBFloat:
    case NSBSingle:
    case NSBDouble: return dataset::TFieldType::Float;
    case NSBDate:
    case NSBTime: return dataset::TFieldType::DateTime;
    case NSBString: return dataset::TFieldType::String;
  }
  return dataset::TFieldType::Unknown;
}

void TPDBNSBasicAdapter::DefineFields(dataset::TFieldDefs& defs) {
  engine_.Fields().Clear();
  for (const auto& item : design_)
    AddDesignField(defs, item, NSBDataSetFieldType(item.DataType()), kEngineStringFieldSize);
}

void TPDBNSBasicAdapter::LoadRecord(dataset::TRecordBuffer& record) {
  LoadFields([&](const auto& field, int k) {
    switch (field.DataType()) {
      case NSBByte: record.SetInteger(k, field.AsByte()); break;
      case NSBShort: record.SetInteger(k, field.AsShort()); break;
      case NSBInteger: record.SetInteger(k, field.AsInteger()); break;
      case NSBFloat:
      case NSBDouble: record.SetFloat(k, field.AsFloat()); break;
      case NSBSingle: record.SetFloat(k, field.AsSingle()); break;
      case NSBDate: record.SetDateTime(k, field.AsDate()); break;
      case NSBTime: record.SetDateTime(k, field.AsTime()); break;
      case NSBString: record.SetString(k, field.AsString()); break;  // cut to the field's size
    }
  });
}

void TPDBNSBasicAdapter::SaveRecord(const dataset::TRecordBuffer& record) {
  AppendRecord([&](auto& field, int k) {
    switch (field.DataType()) {
      // Integers too wide for the field keep their low-order bits.
      case NSBByte: field.SetAsByte(static_cast<std::uint8_t>(record.GetInteger(k))); break;
      case NSBShort: field.SetAsShort(static_cast<std::int16_t>(record.GetInteger(k))); break;
      case NSBInteger: field.SetAsInteger(record.GetInteger(k)); break;
      case NSBFloat:
      case NSBDouble: field.SetAsFloat(record.GetFloat(k)); break;
      case NSBSingle: field.SetAsSingle(static_cast<float>(record.GetFloat(k))); break;
      case NSBDate: field.SetAsDate(record.GetDateTime(k)); break;
      case NSBTime: field.SetAsTime(record.GetDateTime(k)); break;
      case NSBString: field.SetAsString(std::string(record.GetString(k))); break;
    }
  });
}

// ---- AppForge --------------------------------------------------------------------------------

dataset::TFieldType AFDataSetFieldType(TPDBAFFieldType type) {
  switch (type) {
    case AFByte:
    case AFInteger:
    case AFLong: return dataset::TFieldType::Integer;
    case AFSingle:
    case AFDouble:
    case AFCurrency: return dataset::TFieldType::Float;
    case AFString: return dataset::TFieldType::String;
    case AFBoolean: return dataset::TFieldType::Boolean;
    case AFDate: return dataset::TFieldType::DateTime;
  }
  return dataset::TFieldType::Unknown;
}

void TPDBAppForgeAdapter::DefineFields(dataset::TFieldDefs& defs) {
  defined_.clear();
  for (const auto& item : design_) {
    const dataset::TFieldType kind = AFDataSetFieldType(item.DataType());
    defs.Add(item.FieldName(), kind, kind == dataset::TFieldType::String ? kEngineStringFieldSize : 0);
    defined_.emplace_back(item.FieldName(), item.DataType());
  }
  RestoreDefinedFields();
}

void TPDBAppForgeAdapter::RestoreDefinedFields() {
  auto& fields = engine_.Fields();
  fields.Clear();
  for (const auto& [name, type] : defined_) {
    auto& field = fields.Add();
    field.SetFieldName(name);
    field.SetDataType(type);
  }
}

void TPDBAppForgeAdapter::LoadRecord(dataset::TRecordBuffer& record) {
  LoadFields([&](const auto& field, int) {
    const auto found = std::find_if(defined_.begin(), defined_.end(), [&](const auto& defined) {
      return core::AnsiSameText(defined.first, field.FieldName());
    });
    if (found == defined_.end())
      throw dataset::EDatabaseError("Field '" + core::AnsiToUtf8(field.FieldName()) + "' not found");
    const auto k = static_cast<int>(found - defined_.begin());
    // A file may store a field with another type than the data set defines: its value is
    // taken when the defined type holds every value of the stored one.
    const TPDBAFFieldType defined = found->second;
    TPDBAppForge::CheckStoredType(field, defined);
    const TPDBValue& value = field.Value();
    switch (defined) {
      case AFByte:
      case AFInteger:
      case AFLong: record.SetInteger(k, static_cast<std::int32_t>(ValueToInt64(value))); break;
      case AFSingle:
      case AFDouble: record.SetFloat(k, ValueToDouble(value)); break;
      case AFCurrency:
        record.SetFloat(k, static_cast<double>(ValueToCurrency(value)) / static_cast<double>(kAFCurrencyScale));
        break;
      case AFString: record.SetString(k, field.AsString()); break;
      case AFBoolean: record.SetBoolean(k, field.AsBoolean()); break;
      case AFDate: record.SetDateTime(k, field.AsDate()); break;
    }
  });
}

void TPDBAppForgeAdapter::SaveRecord(const dataset::TRecordBuffer& record) {
  AppendRecord([&](auto& field, int k) {
    switch (field.DataType()) {
      case AFByte: field.SetAsByte(static_cast<std::uint8_t>(record.GetInteger(k))); break;
      case AFInteger: field.SetAsInteger(static_cast<std::int16_t>(record.GetInteger(k))); break;
      case AFLong: field.SetAsLong(record.GetInteger(k)); break;
      case AFSingle: field.SetAsSingle(static_cast<float>(record.GetFloat(k))); break;
      case AFDouble: field.SetAsDouble(record.GetFloat(k)); break;
      // The amount in ten-thousandths, rounded half to even.
      case AFCurrency: field.SetAsCurrency(ValueToCurrency(TPDBValue(record.GetFloat(k)))); break;
      case AFString: field.SetAsString(std::string(record.GetString(k))); break;
      case AFBoolean: field.SetAsBoolean(record.GetBoolean(k)); break;
      case AFDate: field.SetAsDate(record.GetDateTime(k)); break;
    }
  });
}

// ---- Java ------------------------------------------------------------------------------------

dataset::TFieldType JavaDataSetFieldType(TPDBJavaFieldType type) {
  switch (type) {
    case JByte:
    case JInt:
    case JShort: return dataset::TFieldType::Integer;
    case JBoolean: return dataset::TFieldType::Boolean;
    case JChar:
    case JString: return dataset::TFieldType::String;
    case JLong: return dataset::TFieldType::LargeInt;
    case JDate: return dataset::TFieldType::DateTime;
  }
  return dataset::TFieldType::Unknown;
}

void TPDBJavaAdapter::DefineFields(dataset::TFieldDefs& defs) {
  engine_.Fields().Clear();
  for (const auto& item : design_)
    AddDesignField(defs, item, JavaDataSetFieldType(item.DataType()), kEngineStringFieldSize);
}

void TPDBJavaAdapter::LoadRecord(dataset::TRecordBuffer& record) {
  LoadFields([&](const auto& field, int k) {
    switch (field.DataType()) {
      case JByte: record.SetInteger(k, field.AsByte()); break;
      case JInt: record.SetInteger(k, field.AsInt()); break;
      case JShort: record.SetInteger(k, field.AsShort()); break;
      case JBoolean: record.SetBoolean(k, field.AsBoolean()); break;
      case JChar: record.SetString(k, field.AsChar()); break;
      case JString: record.SetString(k, field.AsString()); break;
      // Whole 64 bits, not through a double that would lose the last digits.
      case JLong: record.SetLargeInt(k, field.AsLong()); break;
      case JDate: record.SetDateTime(k, field.AsDate()); break;
    }
  });
}

void TPDBJavaAdapter::SaveRecord(const dataset::TRecordBuffer& record) {
  AppendRecord([&](auto& field, int k) {
    switch (field.DataType()) {
      case JByte: field.SetAsByte(static_cast<std::uint8_t>(record.GetInteger(k))); break;
      case JInt: field.SetAsInt(record.GetInteger(k)); break;
      case JShort: field.SetAsShort(static_cast<std::int16_t>(record.GetInteger(k))); break;
      case JBoolean: field.SetAsBoolean(record.GetBoolean(k)); break;
      case JChar: field.SetAsChar(record.GetString(k)); break;
      case JString: field.SetAsString(std::string(record.GetString(k))); break;
      case JLong: field.SetAsLong(record.GetLargeInt(k)); break;
      case JDate: field.SetAsDate(record.GetDateTime(k)); break;
    }
  });
}

// ---- SQLDriver -------------------------------------------------------------------------------

dataset::TFieldType SQLDriverDataSetFieldType(TPDBSQLDriverFieldType type) {
  switch (type) {
    case PDChar: return dataset::TFieldType::String;
    case PDShort:
    case PDInt: return dataset::TFieldType::Integer;
    case PDLong: return dataset::TFieldType::LargeInt;
    case PDFloat:
    case PDDouble: return dataset::TFieldType::Float;
  }
  return dataset::TFieldType::Unknown;
}

void TPDBSQLDriverAdapter::DefineFields(dataset::TFieldDefs& defs) {
  auto& fields = engine_.Fields();
  fields.Clear();
  auto& rowID = fields.Add();
  rowID.SetFieldName(std::string(kSQLDriverRowIDName));
  rowID.SetDataType(PDInt);
  for (const auto& item : design_) {
    auto& field =
        AddDesignField(defs, item, SQLDriverDataSetFieldType(item.DataType()), kEngineStringFieldSize);
    if (item.DataType() == PDChar) field.SetSize(item.Size());
  }
}

void TPDBSQLDriverAdapter::LoadRecord(dataset::TRecordBuffer& record) {
  LoadFields([&](const auto& field, int k) {
    switch (field.DataType()) {
      case PDChar: record.SetString(k, field.AsString()); break;
      case PDShort: record.SetInteger(k, field.AsShort()); break;
      case PDInt: record.SetInteger(k, field.AsInt()); break;
      // Whole 64 bits, not through a double that would lose the last digits.
      case PDLong: record.SetLargeInt(k, field.AsLong()); break;
      case PDFloat: record.SetFloat(k, field.AsFloat()); break;
      case PDDouble: record.SetFloat(k, field.AsDouble()); break;
    }
  });
}

void TPDBSQLDriverAdapter::SaveRecord(const dataset::TRecordBuffer& record) {
  AppendRecord([&](auto& field, int k) {
    switch (field.DataType()) {
      case PDChar: field.SetAsString(std::string(record.GetString(k))); break;
      case PDShort: field.SetAsShort(static_cast<std::int16_t>(record.GetInteger(k))); break;
      case PDInt: field.SetAsInt(record.GetInteger(k)); break;
      case PDLong: field.SetAsLong(record.GetLargeInt(k)); break;
      case PDFloat: field.SetAsFloat(static_cast<float>(record.GetFloat(k))); break;
      case PDDouble: field.SetAsDouble(record.GetFloat(k)); break;
    }
  });
}

}  // namespace pdb
