#include "dataset/RecordLayout.h"

#include "dataset/DatabaseError.h"
#include "dataset/FieldText.h"

namespace dataset {

using namespace detail;

namespace {

// Value sizes of the fixed record block.
constexpr std::size_t kIntegerSize = 4;
constexpr std::size_t kLargeIntSize = 8;
constexpr std::size_t kFloatSize = 8;
constexpr std::size_t kBooleanSize = 2;
constexpr std::size_t kDateTimeSize = 8;

std::string UnknownType(std::string_view name) { return Quoted("Field '%s' is of an unknown type", name); }

}  // namespace

TRecordLayout::TRecordLayout(const TFieldDefs& defs) {
  for (const auto& def : defs) {
    TFieldSlot slot;
    slot.Type = StorageType(def.DataType);
    switch (slot.Type) {
      case TFieldType::String: slot.Size = static_cast<std::size_t>(def.Size) + 1; break;
      case TFieldType::Integer: slot.Size = kIntegerSize; break;
      case TFieldType::LargeInt: slot.Size = kLargeIntSize; break;
      case TFieldType::Float: slot.Size = kFloatSize; break;
      case TFieldType::Boolean: slot.Size = kBooleanSize; break;
      case TFieldType::DateTime: slot.Size = kDateTimeSize; break;
      case TFieldType::Blob: slot.BlobIndex = blobCount_++; break;
      default: throw EDatabaseError(UnknownType(def.Name));
    }
    if (slot.BlobIndex < 0) {
      slot.Offset = dataSize_;
      dataSize_ += 1 + slot.Size;
    }
    slots_.push_back(slot);
  }
}

}  // namespace dataset
