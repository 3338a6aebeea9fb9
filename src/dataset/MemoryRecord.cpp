#include "dataset/MemoryRecord.h"

#include <algorithm>
#include <cstring>

#include "dataset/PDBVirtualDataSet.h"

namespace dataset {

namespace {

constexpr std::byte kNull{0};

// The text of a present string slot: up to its first zero byte.
std::span<const std::byte> SlotText(const std::byte* value, std::size_t size) {
  const std::byte* end = std::find(value, value + size - 1, kNull);
  return {value, static_cast<std::size_t>(end - value)};
}

}  // namespace

std::size_t PackedSize(const TRecordLayout& layout, const TRecordBuffer& values) {
  const std::span<const std::byte> raw = values.Data();
  std::size_t size = 0;
  for (int f = 0; f < layout.FieldCount(); ++f) {
    const TFieldSlot& slot = layout.Slot(f);
    if (slot.BlobIndex >= 0) continue;
    const std::byte* at = raw.data() + slot.Offset;
    if (slot.Type != TFieldType::String)
      size += 1 + slot.Size;
    else
      size += at[0] == kNull ? 1 : 2 + SlotText(at + 1, slot.Size).size();
  }
  return size;
}

void PackValues(const TRecordLayout& layout, const TRecordBuffer& values, std::byte* out) {
  const std::span<const std::byte> raw = values.Data();
  // Runs of neighbouring fixed-size fields are copied at once, as in UnpackValues.
  const std::byte* runFrom = nullptr;
  std::size_t runLength = 0;
  const auto flush = [&] {
    if (runLength != 0) out = static_cast<std::byte*>(std::memcpy(out, runFrom, runLength)) + runLength;
    runLength = 0;
  };
  for (int f = 0; f < layout.FieldCount(); ++f) {
    const TFieldSlot& slot = layout.Slot(f);
    if (slot.BlobIndex >= 0) continue;
    const std::byte* at = raw.data() + slot.Offset;
    if (slot.Type != TFieldType::String) {
      if (runLength == 0 || runFrom + runLength != at) {
        flush();
        runFrom = at;
      }
      runLength += 1 + slot.Size;
      continue;
    }
    flush();
    if (at[0] == kNull) {
      *out++ = kNull;
    } else {
      const auto text = SlotText(at + 1, slot.Size);
      *out++ = at[0];
      out = std::copy(text.begin(), text.end(), out);
      *out++ = kNull;
    }
  }
  flush();
}

void UnpackValues(const TRecordLayout& layout, std::span<const std::byte> packed, TRecordBuffer& buffer) {
  const std::span<std::byte> raw = buffer.Data();
  const std::byte* in = packed.data();
  const std::byte* const packedEnd = packed.data() + packed.size();
  // Neighbouring fixed-size fields lie one after another in both layouts: each run of them is
  // copied at once.
  const std::byte* runFrom = nullptr;
  std::byte* runTo = nullptr;
  std::size_t runLength = 0;
  const auto flush = [&] {
    if (runLength != 0) std::memcpy(runTo, runFrom, runLength);
    runLength = 0;
  };
  for (int f = 0; f < layout.FieldCount(); ++f) {
    const TFieldSlot& slot = layout.Slot(f);
    if (slot.BlobIndex >= 0) continue;
    std::byte* at = raw.data() + slot.Offset;
    if (slot.Type != TFieldType::String) {
      if (runLength == 0 || runTo + runLength != at) {
        flush();
        runFrom = in;
        runTo = at;
      }
      runLength += 1 + slot.Size;
      in += 1 + slot.Size;
      continue;
    }
    flush();
    *at = *in++;
    std::byte* text = at + 1;
    if (*at != kNull) {
      const std::byte* end = std::find(in, packedEnd, kNull);
      text = std::copy(in, end, text);
      in = end + 1;
    }
    *text = kNull;  // the end of the text; the rest of the slot is never read
  }
  flush();
}

const std::vector<std::string>& TMemoryRecord::Blobs() const {
  static const std::vector<std::string> kNone;
  return blobs_ != nullptr ? *blobs_ : kNone;
}

void TMemoryRecord::CopyTo(TRecordBuffer& buffer) const {
  UnpackValues(owner_->RecordLayout(), Data(), buffer);
  // Element-wise assignment keeps the buffer's strings (and their capacity) in place.
  buffer.Blobs() = Blobs();
  buffer.Bookmark = stored_->id;
}

}  // namespace dataset
