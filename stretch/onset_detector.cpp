#include "stretch/onset_detector.h"

#include <algorithm>
#include <cmath>

namespace qv3 {
namespace {
constexpr int kHistory = 8;
constexpr size_t kMaxOnsets = 256;
constexpr double kRatio = 4.0;
}  // namespace

void OnsetDetector::Init(int channels, double unit) {
  channels_ = channels;
  seg_ = std::max(32, static_cast<int>(128 * unit));
  buf_.assign(channels, std::vector<float>(seg_, 0.0f));
  ptr_.resize(channels);
  for (int c = 0; c < channels; ++c) ptr_[c] = buf_[c].data();
  last_.assign(channels, 0.0f);
  last2_.assign(channels, 0.0f);
  hist_.assign(kHistory, 0.0);
  found_.reserve(kMaxOnsets);
  Reset();
}

void OnsetDetector::Reset() {
  scanned_ = 0;
  std::fill(last_.begin(), last_.end(), 0.0f);
  std::fill(last2_.begin(), last2_.end(), 0.0f);
  std::fill(hist_.begin(), hist_.end(), 0.0);
  hist_count_ = 0;
  hist_pos_ = 0;
  refractory_ = 0;
  found_.clear();
  found_head_ = 0;
}

void OnsetDetector::ScanTo(int64_t upto, InputCache& cache, void* user_data) {
  while (scanned_ + seg_ <= upto) {
    const int got = cache.Read(scanned_, seg_, ptr_.data(), user_data);
    if (got < seg_) {
      // The end of the input (where the signal drops to silence) is no
      // attack; nothing more to find.
      scanned_ = upto;
      break;
    }
    double e = 0.0, peak = 0.0;
    int peak_at = 0;
    for (int c = 0; c < channels_; ++c) {
      const float* x = buf_[c].data();
      float p1 = last_[c], p2 = last2_[c];
      for (int i = 0; i < seg_; ++i) {
        // Second difference: a gain rising with the square of frequency,
        // so sustained low and middle tones hardly count and attacks do.
        const double d = static_cast<double>(x[i]) - 2.0 * p1 + p2;
        p2 = p1;
        p1 = x[i];
        e += d * d;
        if (std::fabs(d) > peak) {
          peak = std::fabs(d);
          peak_at = i;
        }
      }
      last_[c] = p1;
      last2_[c] = p2;
    }
    double mean = 0.0;
    for (int k = 0; k < hist_count_; ++k) mean += hist_[k];
    mean = hist_count_ > 0 ? mean / hist_count_ : 0.0;
    const bool loud = e > 1e-7 * seg_;
    if (refractory_ > 0) --refractory_;
    if (loud && refractory_ == 0 && hist_count_ >= 2 &&
        e > kRatio * mean) {
      // The attack starts a little before the segment's largest step.
      const int at = std::max(0, peak_at - 2);
      if (found_.size() >= kMaxOnsets) {
        found_.erase(found_.begin(), found_.begin() + kMaxOnsets / 2);
      }
      found_.push_back(scanned_ + at);
      refractory_ = 4;
    }
    hist_[hist_pos_] = e;
    hist_pos_ = (hist_pos_ + 1) % kHistory;
    hist_count_ = std::min(hist_count_ + 1, kHistory);
    scanned_ += seg_;
  }
}

int64_t OnsetDetector::NextAtOrAfter(int64_t from) const {
  auto it = std::lower_bound(found_.begin(), found_.end(), from);
  return it == found_.end() ? kNone : *it;
}

}  // namespace qv3
