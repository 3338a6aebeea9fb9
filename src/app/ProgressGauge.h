// The progress gauge of a running conversion, without its drawing: a position kept within
// 0..maximum, shown as a whole percentage. Whoever draws it is told only when the percentage
// changes, so a walk over many records repaints at most about a hundred times.
#pragma once

#include <functional>

namespace app {

class ProgressGauge {
 public:
  using Listener = std::function<void(int percent)>;

  void SetListener(Listener listener) { listener_ = std::move(listener); }

  // Position 0 with a new maximum (negative counts as 0).
  void Start(int maximum);
  // Advances by one, never beyond the maximum.
  void Step() { SetProgress(progress_ + 1); }
  void SetProgress(long long progress);

  int Progress() const { return progress_; }
  int Maximum() const { return maximum_; }
  // Whole percentage, rounded down; 0 while the maximum is 0.
  int Percent() const { return percent_; }

 private:
  void Update();

  int maximum_ = 0;
  int progress_ = 0;
  int percent_ = 0;
  Listener listener_;
};

}  // namespace app
