#include "odbc/TmBlobStream.h"

#include <algorithm>
#include <cstring>

namespace odbc {

TmBlobStream::TmBlobStream(dataset::TField& field, dataset::TBlobStreamMode mode) : field_(field), mode_(mode) {
  if (field.DataType() != dataset::TFieldType::Blob)
    throw dataset::EDatabaseError("Field '" + field.DisplayName() + "' is not a long column");
  // The field's own write checks tell why writing is not allowed here.
  if (mode == dataset::TBlobStreamMode::Write) field_.Clear();
}

std::int64_t TmBlobStream::Size() const { return static_cast<std::int64_t>(field_.AsString().size()); }

std::size_t TmBlobStream::Read(std::span<std::byte> out) {
  const std::string value = field_.AsString();
  if (position_ >= static_cast<std::int64_t>(value.size())) return 0;
  const std::size_t from = static_cast<std::size_t>(position_);
  const std::size_t count = std::min(out.size(), value.size() - from);
  std::memcpy(out.data(), value.data() + from, count);
  position_ += static_cast<std::int64_t>(count);
  return count;
}

std::string TmBlobStream::ReadRest() {
  const std::string value = field_.AsString();
  if (position_ >= static_cast<std::int64_t>(value.size())) return {};
  std::string rest = value.substr(static_cast<std::size_t>(position_));
  position_ = static_cast<std::int64_t>(value.size());
  return rest;
}

std::size_t TmBlobStream::Write(std::span<const std::byte> data) {
  if (mode_ == dataset::TBlobStreamMode::Read) throw dataset::EDatabaseError("Cannot write to a stream opened for reading");
  std::string value = field_.AsString();
  value.resize(static_cast<std::size_t>(position_), '\0');  // cut what follows, or fill a gap
  value.append(reinterpret_cast<const char*>(data.data()), data.size());
  field_.AsString(value);
  position_ += static_cast<std::int64_t>(data.size());
  return data.size();
}

std::int64_t TmBlobStream::Seek(std::int64_t offset, dataset::TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == dataset::TSeekOrigin::Current) base = position_;
  if (origin == dataset::TSeekOrigin::End) base = Size();
  if (base + offset < 0) throw dataset::EDatabaseError("Invalid stream position");
  position_ = base + offset;
  return position_;
}

}  // namespace odbc
