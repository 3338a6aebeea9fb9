#include "sync/SyaBlockCompressor.h"

#include <zlib.h>

#include <algorithm>

#include "sync/SyaGlobal.h"

namespace sya {
namespace {

std::size_t StreamBound(std::size_t contentSize) {
  return kBlockLengthSize + compressBound(static_cast<uLong>(contentSize));
}

// The block as the stream carries it: compressed length, then the zlib stream.
void CompressBlock(std::optional<TZDeflater>& deflater, core::Bytes& content, core::Bytes& output) {
  if (!deflater) deflater.emplace(zcDefault);
  output.assign(kBlockLengthSize, 0);
  const std::size_t length = deflater->Compress(content, output);
  core::StoreBE32(output.data(), static_cast<std::uint32_t>(length));
  core::Bytes().swap(content);
}

}  // namespace

TBlockCompressor::TBlockCompressor(unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  if (threads == 1) return;
  // Two blocks per worker keep every core busy while the caller takes finished ones.
  inFlight_ = 2 * threads + 1;
  workers_.reserve(threads);
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
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

void TBlockCompressor::Push(core::Bytes content) {
  auto job = std::make_shared<Job>();
  queuedBound_ += StreamBound(content.size());
  job->bound = StreamBound(content.size());
  job->content = std::move(content);
  order_.push_back(job);
  if (workers_.empty()) {
    try {
      CompressBlock(callerDeflater_, job->content, job->output);
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

void TBlockCompressor::Work() {
  std::optional<TZDeflater> deflater;
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
  if (!workers_.empty()) {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return job->done; });
  }
  if (job->error) std::rethrow_exception(job->error);
  return std::move(job->output);
}

void TBlockCompressor::DiscardAll() {
  if (!workers_.empty()) {
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
