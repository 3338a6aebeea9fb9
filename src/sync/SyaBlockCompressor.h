// Compresses the packer's blocks on worker threads and hands them back in the order they came.
//
// Every block is an independent zlib stream, so blocks can be compressed at the same time on
// several cores while the caller lays out the next ones; taking them back in queue order keeps
// the container's bytes exactly those of compressing one block after the other.
//
// Everything the compression needs (the workers' deflate states, each block's output buffer) is
// allocated on the caller's thread, so the workers allocate nothing: glibc gives every thread
// that allocates a malloc arena of its own, whose pages would come on top of the free room the
// caller's arena already has once the databases are written, and raise the process's peak.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/ByteIO.h"
#include "sync/SyaZlib.h"

namespace sya {

class TBlockCompressor {
 public:
  // `threads` 0: one worker per hardware thread; 1: every block is compressed on the caller's
  // thread when it is pushed, and no thread is started. The workers start with the first block.
  explicit TBlockCompressor(unsigned threads = 0);
  // Waits for the blocks being compressed and drops every result.
  ~TBlockCompressor();
  TBlockCompressor(const TBlockCompressor&) = delete;
  TBlockCompressor& operator=(const TBlockCompressor&) = delete;

  // Queues a block's content for compression at the default level.
  void Push(core::Bytes content);
  bool Empty() const { return order_.empty(); }
  // As many blocks are queued as are kept in flight: take the oldest before pushing more, so
  // that memory stays at a few blocks.
  bool Full() const { return order_.size() >= inFlight_; }
  // Waits for the oldest block and returns it as the stream carries it: its 4-byte compressed
  // length, then the zlib stream. A compression failure is raised here, in queue order.
  core::Bytes PopOldest();
  // Drops every queued block (waiting for those being compressed).
  void DiscardAll();
  // The most bytes the queued blocks can take in the stream once compressed.
  std::size_t QueuedBound() const { return queuedBound_; }

 private:
  struct Job {
    core::Bytes content;
    std::size_t bound = 0;
    core::Bytes output;
    std::exception_ptr error;
    bool done = false;
  };
  bool Parallel() const { return threads_ > 1; }
  void StartWorkers();
  void Work(TZDeflater& deflater);

  unsigned threads_ = 1;
  std::size_t inFlight_ = 1;
  std::size_t queuedBound_ = 0;
  std::vector<std::unique_ptr<TZDeflater>> deflaters_;  // one per worker, or the caller's alone
  std::deque<std::shared_ptr<Job>> order_;  // every queued job, oldest first (caller's thread)
  std::mutex mutex_;
  std::condition_variable work_, finished_;
  std::deque<std::shared_ptr<Job>> waiting_;  // jobs no worker has taken yet (under mutex_)
  bool stop_ = false;                         // under mutex_
  std::vector<std::thread> workers_;
};

}  // namespace sya
