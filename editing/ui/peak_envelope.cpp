#include "editing/ui/peak_envelope.h"

#include <algorithm>

namespace qv3 {

void PeakEnvelope::Assign(std::vector<int16_t> values, int32_t value_count) {
  values_ = std::move(values);
  values_.resize(std::max<int32_t>(0, value_count) & ~1);
  lows_.clear();
  highs_.clear();
  // Level 0 is the values themselves; build upward while blocks remain.
  std::vector<int16_t> lo_prev, hi_prev;
  int64_t count = Milliseconds();
  bool first = true;
  while (count > kFanOut) {
    const int64_t next = (count + kFanOut - 1) / kFanOut;
    std::vector<int16_t> lo(next), hi(next);
    for (int64_t b = 0; b < next; ++b) {
      const int64_t end = std::min(count, (b + 1) * kFanOut);
      int l = 32767, h = -32768;
      for (int64_t k = b * kFanOut; k < end; ++k) {
        int a, z;
        if (first) {
          a = values_[2 * k];
          z = values_[2 * k + 1];
          if (a > z) std::swap(a, z);
        } else {
          a = lo_prev[k];
          z = hi_prev[k];
        }
        l = std::min(l, a);
        h = std::max(h, z);
      }
      lo[b] = static_cast<int16_t>(l);
      hi[b] = static_cast<int16_t>(h);
    }
    lows_.push_back(lo);
    highs_.push_back(hi);
    lo_prev = std::move(lo);
    hi_prev = std::move(hi);
    count = next;
    first = false;
  }
}

void PeakEnvelope::Clear() {
  values_.clear();
  lows_.clear();
  highs_.clear();
}

bool PeakEnvelope::Range(int64_t first, int64_t last, int* lo, int* hi) const {
  first = std::max<int64_t>(first, 0);
  last = std::min<int64_t>(last, Milliseconds());
  if (first >= last) return false;
  int l = 32767, h = -32768;
  auto take = [&](size_t level, int64_t k) {
    if (level == 0) {
      const int a = values_[2 * k], z = values_[2 * k + 1];
      l = std::min(l, std::min(a, z));
      h = std::max(h, std::max(a, z));
    } else {
      l = std::min<int>(l, lows_[level - 1][k]);
      h = std::max<int>(h, highs_[level - 1][k]);
    }
  };
  size_t level = 0;
  int64_t a = first, b = last;  // in units of level blocks
  while (a < b) {
    if (level < lows_.size() && b - a >= 2 * kFanOut) {
      // Take the unaligned ends here, the aligned middle one level up.
      while (a % kFanOut != 0) take(level, a++);
      while (b % kFanOut != 0) take(level, --b);
      a /= kFanOut;
      b /= kFanOut;
      ++level;
    } else {
      for (int64_t k = a; k < b; ++k) take(level, k);
      break;
    }
  }
  *lo = l;
  *hi = h;
  return true;
}

}  // namespace qv3
