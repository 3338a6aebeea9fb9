// TMemBlobStream: a byte stream over one blob field of a data set's active record. Writing
// works on the edit buffer only (edit or insert state, field not read-only); reading works on
// the edit buffer while editing and on the current record otherwise (no record reads empty).
// A stream is short-lived: it must not outlive the data set's current open, and moving the
// cursor while a reading stream exists makes it read the new current record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dataset {

class TDataSet;
class TField;

enum class TBlobStreamMode {
  Read,
  Write,      // empties the blob first
  ReadWrite,  // keeps the blob, position 0
};

enum class TSeekOrigin { Beginning, Current, End };

class TMemBlobStream {
 public:
  // Fails with "Field '%s' cannot be modified" / "Dataset not in edit or insert mode" when
  // opened for writing where that is not allowed, and with EDatabaseError for a field that is
  // not a blob.
  TMemBlobStream(TField& field, TBlobStreamMode mode);
  // When the stream wrote, marks the field modified and notifies the data set of the change.
  ~TMemBlobStream();
  TMemBlobStream(const TMemBlobStream&) = delete;
  TMemBlobStream& operator=(const TMemBlobStream&) = delete;

  // Copies up to out.size() bytes from the position on; returns how many.
  std::size_t Read(std::span<std::byte> out);
  // Writes at the position, growing the blob as needed (a gap after a seek past the end is
  // zero-filled); fails with EDatabaseError on a stream opened for reading.
  std::size_t Write(std::span<const std::byte> data);
  std::size_t Write(std::string_view data) { return Write(std::as_bytes(std::span(data.data(), data.size()))); }
  // Everything from the position on.
  std::string ReadRest();

  // Moves the position; a result before the start is refused (EDatabaseError).
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin);
  std::int64_t Position() const { return position_; }
  std::int64_t Size() const;

 private:
  const std::string& Blob() const;

  TField& field_;
  TDataSet& dataSet_;
  int blobIndex_;
  bool writable_;
  bool wrote_ = false;
  std::int64_t position_ = 0;
};

}  // namespace dataset
