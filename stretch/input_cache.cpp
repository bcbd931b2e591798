#include "stretch/input_cache.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv3 {

void InputCache::Init(int channels, double rate_scale,
                      TimePitchReadCallback read) {
  channels_ = channels;
  unit_ = std::pow(2.0, std::round(std::log2(4096.0 * rate_scale))) / 4096.0;
  capacity_ = std::max(10000, static_cast<int>(unit_ * 65536));
  granularity_ = static_cast<int>(unit_ * 4096);
  read_ = read;
  data_.assign(channels, std::vector<float>(capacity_, 0.0f));
  Reset();
}

void InputCache::SetGranularity(double units) {
  units = std::clamp(units, 0.0, 4096.0);
  granularity_ = std::min(capacity_, static_cast<int>(unit_ * units));
}

void InputCache::Reset() {
  start_ = 0;
  fill_ = 0;
  ended_ = false;
}

void InputCache::Fetch(int64_t want_end, void* user_data) {
  while (!ended_ && start_ + fill_ < want_end) {
    if (want_end - start_ > capacity_) {
      // Keep the newest frames: slide the window so want_end fits with half
      // the cache to spare (readers stay well within that distance behind
      // the newest frame), or drop everything when even that cannot bridge
      // the gap.
      const int64_t new_start = want_end - capacity_ / 2;
      const int64_t drop = std::min<int64_t>(new_start - start_, fill_);
      if (drop > 0) {
        for (auto& ch : data_) {
          std::memmove(ch.data(), ch.data() + drop,
                       sizeof(float) * (fill_ - drop));
        }
      }
      start_ += drop;
      fill_ -= static_cast<int>(drop);
    }
    const int64_t missing = want_end - (start_ + fill_);
    int request = static_cast<int>(
        std::min<int64_t>(missing + granularity_, capacity_ - fill_));
    if (request <= 0) break;
    for (int c = 0; c < channels_; ++c) {
      std::memset(data_[c].data() + fill_, 0, sizeof(float) * request);
      ptrs_[c] = data_[c].data() + fill_;
    }
    largest_request_ = std::max(largest_request_, request);
    const int got = read_ ? read_(ptrs_, request, user_data) : 0;
    if (got <= 0) {
      ended_ = true;
      break;
    }
    // A result below the request is the number of frames delivered (the
    // end of the input is near); a larger one (callers that count bytes)
    // means the whole request. Frames not supplied were left zero.
    fill_ += std::min(got, request);
  }
}

int InputCache::Read(int64_t pos, int count, float* const* dst,
                     void* user_data) {
  if (count <= 0) return 0;
  // Frames before the window are gone (the callback cannot seek back); they
  // read as silence and the window is kept rather than restarted, so later
  // frames keep their true positions.
  Fetch(pos + count, user_data);
  const int64_t data_end = start_ + fill_;
  const int64_t lo = std::max(pos, start_);
  const int64_t hi = std::min(pos + count, data_end);
  for (int c = 0; c < channels_; ++c) {
    float* d = dst[c];
    if (hi <= lo) {
      std::memset(d, 0, sizeof(float) * count);
      continue;
    }
    const int head = static_cast<int>(lo - pos);
    const int body = static_cast<int>(hi - lo);
    if (head > 0) std::memset(d, 0, sizeof(float) * head);
    std::memcpy(d + head, data_[c].data() + (lo - start_),
                sizeof(float) * body);
    const int tail = count - head - body;
    if (tail > 0) std::memset(d + head + body, 0, sizeof(float) * tail);
  }
  return static_cast<int>(std::max<int64_t>(0, data_end - pos) > count
                              ? count
                              : std::max<int64_t>(0, data_end - pos));
}

}  // namespace qv3
