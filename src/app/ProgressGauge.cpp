#include "app/ProgressGauge.h"

#include <algorithm>

namespace app {

void ProgressGauge::Start(int maximum) {
  maximum_ = std::max(maximum, 0);
  progress_ = 0;
  Update();
}

void ProgressGauge::SetProgress(long long progress) {
  progress_ = static_cast<int>(std::clamp<long long>(progress, 0, maximum_));
  Update();
}

void ProgressGauge::Update() {
  const int percent = maximum_ == 0 ? 0 : static_cast<int>(static_cast<long long>(progress_) * 100 / maximum_);
  if (percent == percent_) return;
  percent_ = percent;
  if (listener_) listener_(percent_);
}

}  // namespace app
