// A reporter for work done on a second thread: the person's reporter (a window, a console) is
// only ever called from the thread that owns it, so this one keeps what it is told and the owning
// thread hands it on.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Reporter.h"

namespace convert {

class BackgroundReporter : public core::Reporter {
 public:
  // Called on the working thread.
  void ShowMessage(std::string_view text) override { messages_.emplace_back(std::string(), std::string(text)); }
  void ShowError(std::string_view caption, std::string_view text) override {
    messages_.emplace_back(std::string(caption), std::string(text));
  }
  void ProgressStart(int maximum, std::string_view = {}) override {
    maximum_.store(maximum, std::memory_order_relaxed);
    steps_.store(0, std::memory_order_relaxed);
  }
  void ProgressStep() override { steps_.fetch_add(1, std::memory_order_relaxed); }

  // Called on the owning thread, at any time: the gauge of the work so far.
  int Maximum() const { return maximum_.load(std::memory_order_relaxed); }
  int Steps() const { return steps_.load(std::memory_order_relaxed); }
  // Called on the owning thread once the work has ended (joined): the messages and errors, in
  // the order they came, to `person`.
  void Replay(core::Reporter& person) const;

 private:
  std::vector<std::pair<std::string, std::string>> messages_;  // caption (empty for a message), text
  std::atomic<int> maximum_{0};
  std::atomic<int> steps_{0};
};

}  // namespace convert
