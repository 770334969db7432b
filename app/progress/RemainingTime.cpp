#include "progress/RemainingTime.h"

#include <algorithm>
#include <cmath>

namespace {
// A rate is measured over at least this long, so that the files read between
// two reports average out.
constexpr int64_t kSampleMs = 500;
// Weight of the newest sample in the smoothed rate.
constexpr double kSmoothing = 0.3;
}  // namespace

void RemainingTime::Start(int64_t total, int64_t nowMs) {
  total_ = std::max<int64_t>(total, 0);
  done_ = 0;
  sampleDone_ = 0;
  sampleMs_ = nowMs;
  bytesPerMs_ = -1;
}

void RemainingTime::Update(int64_t done, int64_t nowMs) {
  done_ = std::clamp<int64_t>(std::max(done, done_), 0, std::max<int64_t>(total_, 0));
  const int64_t elapsed = nowMs - sampleMs_;
  if (elapsed < kSampleMs) return;
  const double rate = static_cast<double>(done_ - sampleDone_) / static_cast<double>(elapsed);
  bytesPerMs_ = bytesPerMs_ < 0 ? rate : kSmoothing * rate + (1 - kSmoothing) * bytesPerMs_;
  sampleDone_ = done_;
  sampleMs_ = nowMs;
}

int RemainingTime::Percent() const {
  if (total_ <= 0) return 0;
  return static_cast<int>(done_ * 100 / total_);
}

int64_t RemainingTime::SecondsLeft() const {
  if (total_ <= 0 || done_ >= total_) return total_ > 0 ? 0 : -1;
  if (bytesPerMs_ <= 0) return -1;
  return static_cast<int64_t>(std::ceil(static_cast<double>(total_ - done_) / bytesPerMs_ / 1000));
}
