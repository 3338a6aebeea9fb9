// Packs several Palm database files into one container database.
//
// A container is built between BeginPack and EndPack; each PackDatabase appends one database
// file to the container stream. Nothing reaches the container's file name before EndPack: the
// container is written to a temporary file and renamed into place, so an earlier container
// stays whole when packing fails. AbandonPack (or destroying the packer) drops an unfinished
// container.
//
// PackDatabase reads and lays out its database on the caller's thread and hands the blocks to
// worker threads for compression; the last blocks of a database may still be compressing when it
// returns, while the caller prepares the next one. They join the stream, in order, at the next
// PackDatabase or EndPack, so the container's bytes are those of a packer on one core (blocks
// that might take the container past 65535 records join before PackDatabase returns). Should
// memory run out for them, that next call takes the database they belong to back out of the
// container and reports 1007.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ByteIO.h"
#include "core/Files.h"
#include "sync/SyaBlockCompressor.h"
#include "sync/SyaGlobal.h"
#include "sync/SyaSupport.h"
#include "sync/SyaZlib.h"

namespace sya {

class TSyaPacker {
 public:
  // `compressionThreads` 0: one per hardware thread; 1: everything on the caller's thread.
  explicit TSyaPacker(unsigned compressionThreads = 0);
  ~TSyaPacker();
  TSyaPacker(const TSyaPacker&) = delete;
  TSyaPacker& operator=(const TSyaPacker&) = delete;

  // Starts a container `fileName` in `directory` with the given database name and creator.
  // 0, or 1020 while a container is open; invalid names raise EPDBException. The container is
  // synced to disk when written unless `durability` says otherwise (for a container the same run
  // deletes again).
  int BeginPack(std::string_view directory, std::string_view fileName, std::string_view databaseName,
                std::string_view creator, core::Durability durability = core::Durability::Synced);
  // Appends the database file `directory`/`fileName`, cutting the stream into container records
  // of at most `maxRecordSize` bytes. 0 or a failure code; a failure leaves the container as it
  // was before the call.
  int PackDatabase(std::string_view directory, std::string_view fileName, std::size_t maxRecordSize);
  // Writes the directory and the container file. 0, 1021 without an open container, or 1007 when
  // the last database's blocks cannot be finished.
  int EndPack();
  // Drops the open container without writing it. 0, or 1021 without an open container.
  int AbandonPack();
  bool Packing() const { return container_ != nullptr; }

 private:
  // Where the stream ended: the container's record count and its last record's size.
  struct StreamMark {
    std::size_t records = 0;
    std::size_t lastRecordSize = 0;
  };
  StreamMark MarkStream();
  // Runs `step`; when it fails (a code, or an exception passed on) the blocks queued and the
  // stream appended since `mark` are taken back. Memory running out gives 1007.
  int AllOrNothing(const StreamMark& mark, const std::function<int()>& step);
  // The stream bytes the container can still take before its record count reaches 65535.
  std::size_t StreamRoom();
  void RollBackTo(const StreamMark& mark);
  int PackOpenedSource(TPDBDataFields& source);
  int EmitBlock(core::Bytes content);
  int AppendOldestBlock();
  // Appends the blocks still compressing to the stream; on a failure takes their database back out.
  int SettlePending();
  int AppendToStream(core::ByteSpan bytes);

  std::unique_ptr<TPDBDataFields> container_;
  std::vector<std::string> names_;
  std::size_t maxRecordSize_ = kMaxContainerRecordSize;
  TBlockCompressor compressor_;
  // The last packed database while some of its blocks may still be compressing: where the
  // stream ended before it, and its name, which joins the directory once its blocks are in.
  struct PendingDatabase {
    StreamMark before;
    std::string name;
  };
  std::optional<PendingDatabase> pending_;
};

// The process's packer, created on first use and destroyed at exit (dropping an unfinished
// container). The free functions below work on it.
TSyaPacker& DefaultPacker();

int SyaBeginPack(std::string_view directory, std::string_view fileName, std::string_view databaseName,
                 std::string_view creator, core::Durability durability = core::Durability::Synced);
int SyaPackDatabase(std::string_view directory, std::string_view fileName, std::size_t maxRecordSize);
int SyaEndPack();
int SyaAbandonPack();

}  // namespace sya
