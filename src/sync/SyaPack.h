// Packs several Palm database files into one container database.
//
// A container is built between BeginPack and EndPack; each PackDatabase appends one database
// file to the container stream. Nothing reaches the container's file name before EndPack: the
// container is written to a temporary file and renamed into place, so an earlier container
// stays whole when packing fails. AbandonPack (or destroying the packer) drops an unfinished
// container.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/ByteIO.h"
#include "sync/SyaGlobal.h"
#include "sync/SyaSupport.h"
#include "sync/SyaZlib.h"

namespace sya {

class TSyaPacker {
 public:
  TSyaPacker();
  ~TSyaPacker();
  TSyaPacker(const TSyaPacker&) = delete;
  TSyaPacker& operator=(const TSyaPacker&) = delete;

  // Starts a container `fileName` in `directory` with the given database name and creator.
  // 0, or 1020 while a container is open; invalid names raise EPDBException.
  int BeginPack(std::string_view directory, std::string_view fileName, std::string_view databaseName,
                std::string_view creator);
  // Appends the database file `directory`/`fileName`, cutting the stream into container records
  // of at most `maxRecordSize` bytes. 0 or a failure code; a failure leaves the container as it
  // was before the call.
  int PackDatabase(std::string_view directory, std::string_view fileName, std::size_t maxRecordSize);
  // Writes the directory and the container file. 0, or 1021 without an open container.
  int EndPack();
  // Drops the open container without writing it. 0, or 1021 without an open container.
  int AbandonPack();
  bool Packing() const { return container_ != nullptr; }

 private:
  int PackOpenedSource(TPDBDataFields& source);
  int EmitBlock(core::ByteSpan content);
  int AppendToStream(core::ByteSpan bytes);

  std::unique_ptr<TPDBDataFields> container_;
  std::vector<std::string> names_;
  std::size_t maxRecordSize_ = kMaxContainerRecordSize;
  TZDeflater deflater_;
  core::Bytes blockOut_;  // length + compressed block, reused
};

// The process's packer, created on first use and destroyed at exit (dropping an unfinished
// container). The free functions below work on it.
TSyaPacker& DefaultPacker();

int SyaBeginPack(std::string_view directory, std::string_view fileName, std::string_view databaseName,
                 std::string_view creator);
int SyaPackDatabase(std::string_view directory, std::string_view fileName, std::size_t maxRecordSize);
int SyaEndPack();
int SyaAbandonPack();

}  // namespace sya
