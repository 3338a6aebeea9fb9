// TmBlobStream: a byte stream over one long column (memo or blob) of a query's current record.
// Reading copies from the value at the position; writing n bytes at position p makes the value
// exactly p + n bytes long (whatever followed is cut) and works only on the record being edited
// or inserted; opening for writing empties the value first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dataset/DataSet.h"
#include "dataset/MemBlobStream.h"

namespace odbc {

class TmBlobStream {
 public:
  // Fails with EDatabaseError for a field that is no long column, and, opened for writing, with
  // "Dataset not in edit or insert mode" / "Field '%s' cannot be modified".
  TmBlobStream(dataset::TField& field, dataset::TBlobStreamMode mode);
  TmBlobStream(const TmBlobStream&) = delete;
  TmBlobStream& operator=(const TmBlobStream&) = delete;

  std::size_t Read(std::span<std::byte> out);
  std::string ReadRest();
  std::size_t Write(std::span<const std::byte> data);
  std::size_t Write(std::string_view data) { return Write(std::as_bytes(std::span(data.data(), data.size()))); }
  // From the beginning, the position or the end of the value; before the start is refused.
  std::int64_t Seek(std::int64_t offset, dataset::TSeekOrigin origin);
  std::int64_t Position() const { return position_; }
  std::int64_t Size() const;

 private:
  dataset::TField& field_;
  dataset::TBlobStreamMode mode_;
  std::int64_t position_ = 0;
};

}  // namespace odbc
