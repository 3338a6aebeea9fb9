#include "sync/SyaBlockCompressor.h"

#include <zlib.h>

#include <algorithm>

#include "sync/SyaGlobal.h"

namespace sya {
namespace {

std::size_t StreamBound(std::size_t contentSize) {
  return kBlockLengthSize + compressBound(static_cast<uLong>(contentSize));
}

// Room for the block as the stream carries it, at least what TZDeflater::Compress sizes its
// output to at first (a tenth over the content, rounded up to 256 bytes), so that compressing
// never reallocates it.
std::size_t OutputRoom(std::size_t contentSize) { return kBlockLengthSize + contentSize + contentSize / 10 + 12 + 255; }

// The block as the stream carries it: compressed length, then the zlib stream.
void CompressBlock(TZDeflater& deflater, core::Bytes& content, core::Bytes& output) {
  output.assign(kBlockLengthSize, 0);
  const std::size_t length = deflater.Compress(content, output);
  core::StoreBE32(output.data(), static_cast<std::uint32_t>(length));
  core::Bytes().swap(content);
}

}  // namespace

TBlockCompressor::TBlockCompressor(unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads_ = threads;
  // Two blocks per worker keep every core busy while the caller takes finished ones.
  if (Parallel()) inFlight_ = 2 * threads + 1;
}

TBlockCompressor::~TBlockCompressor() {
  DiscardAll();
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void TBlockCompressor::StartWorkers() {
  deflaters_.reserve(threads_);
  workers_.reserve(threads_);
  for (unsigned i = 0; i < threads_; ++i) {
    TZDeflater& deflater = *deflaters_.emplace_back(std::make_unique<TZDeflater>(zcDefault));
    workers_.emplace_back([this, &deflater] { Work(deflater); });
  }
}

void TBlockCompressor::Push(core::Bytes content) {
  if (Parallel() && workers_.empty()) StartWorkers();
  auto job = std::make_shared<Job>();
  job->bound = StreamBound(content.size());
  if (Parallel()) job->output.reserve(OutputRoom(content.size()));
  job->content = std::move(content);
  order_.push_back(job);
  queuedBound_ += job->bound;
  if (!Parallel()) {
    try {
      if (deflaters_.empty()) deflaters_.push_back(std::make_unique<TZDeflater>(zcDefault));
      CompressBlock(*deflaters_.front(), job->content, job->output);
    } catch (...) {
      job->error = std::current_exception();
    }
    job->done = true;
    return;
  }
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(job));
  }
  work_.notify_one();
}

void TBlockCompressor::Work(TZDeflater& deflater) {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
    if (waiting_.empty()) return;  // stopping
    const std::shared_ptr<Job> job = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    try {
      CompressBlock(deflater, job->content, job->output);
    } catch (...) {
      job->error = std::current_exception();
    }
    lock.lock();
    job->done = true;
    finished_.notify_all();
  }
}

core::Bytes TBlockCompressor::PopOldest() {
  const std::shared_ptr<Job> job = std::move(order_.front());
  order_.pop_front();
  queuedBound_ -= job->bound;
  if (Parallel()) {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return job->done; });
  }
  if (job->error) std::rethrow_exception(job->error);
  return std::move(job->output);
}

void TBlockCompressor::DiscardAll() {
  if (Parallel()) {
    std::unique_lock lock(mutex_);
    waiting_.clear();
    finished_.wait(lock, [this] {
      return std::all_of(order_.begin(), order_.end(), [](const auto& job) { return job->done || job.use_count() == 1; });
    });
  }
  order_.clear();
  queuedBound_ = 0;
}

}  // namespace sya
