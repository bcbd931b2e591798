#include "stretch/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv3 {
namespace {

constexpr double kMaxStep = 12.0;

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 60; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
    if (term < 1e-14 * sum) break;
  }
  return sum;
}

}  // namespace

void Resampler::Init(int channels, int quality_tag, int max_block) {
  channels_ = channels;
  double beta;
  if (quality_tag == 300) {
    zero_crossings_ = 16;
    beta = 7.0;
    cutoff_ = 0.43;
  } else {
    zero_crossings_ = 48;
    beta = 10.0;
    cutoff_ = 0.466;
  }
  const int len = zero_crossings_ * phases_ + 2;
  table_.assign(len, 0.0f);
  const double i0b = BesselI0(beta);
  for (int i = 0; i < len; ++i) {
    const double x = static_cast<double>(i) / phases_;
    double v = 0.0;
    if (x < zero_crossings_) {
      const double a = 2.0 * M_PI * cutoff_ * x;
      const double sinc = x == 0.0 ? 1.0 : std::sin(a) / a;
      const double r = x / zero_crossings_;
      v = 2.0 * cutoff_ * sinc * BesselI0(beta * std::sqrt(1.0 - r * r)) / i0b;
    }
    table_[i] = static_cast<float>(v);
  }
  history_ = static_cast<int>(std::ceil(zero_crossings_ * kMaxStep)) + 4;
  capacity_ = 2 * history_ + max_block + 64;
  buf_.assign(channels, std::vector<float>(capacity_, 0.0f));
  Reset();
}

void Resampler::SetStep(double step) {
  step_ = std::clamp(step, 0.05, kMaxStep);
}

void Resampler::Reset() {
  for (auto& b : buf_) std::fill(b.begin(), b.end(), 0.0f);
  // Silence before the first input sample, so output starts at once.
  base_ = -history_;
  fill_ = history_;
  pos_ = 0.0;
}

float Resampler::Kernel(double x) const {
  x = std::fabs(x) * phases_;
  const int i = static_cast<int>(x);
  if (i >= zero_crossings_ * phases_) return 0.0f;
  const float f = static_cast<float>(x - i);
  return table_[i] + f * (table_[i + 1] - table_[i]);
}

int Resampler::Process(const float* const* in, int n_in, float* const* out,
                       int max_out) {
  const double scale = std::max(1.0, step_);
  const int reach = static_cast<int>(std::ceil(zero_crossings_ * scale));
  int written = 0;
  int consumed = 0;
  while (true) {
    // Room for more input: drop what no future output can reach.
    if (consumed < n_in) {
      const long long keep_from =
          static_cast<long long>(std::floor(pos_)) - reach - 2;
      const int drop = static_cast<int>(
          std::clamp<long long>(keep_from - base_, 0, fill_));
      if (drop > 0 && fill_ + (n_in - consumed) > capacity_) {
        for (auto& b : buf_) {
          std::memmove(b.data(), b.data() + drop,
                       sizeof(float) * (fill_ - drop));
        }
        base_ += drop;
        fill_ -= drop;
      }
      const int take = std::min(n_in - consumed, capacity_ - fill_);
      for (int c = 0; c < channels_; ++c) {
        std::memcpy(buf_[c].data() + fill_, in[c] + consumed,
                    sizeof(float) * take);
      }
      fill_ += take;
      consumed += take;
    }
    // Every output whose kernel lies inside the buffered input.
    const long long end = base_ + fill_;
    bool progressed = false;
    while (written < max_out && pos_ + reach + 1 < static_cast<double>(end)) {
      const long long centre = static_cast<long long>(std::floor(pos_));
      const long long lo = centre - reach + 1;
      const long long hi = centre + reach;
      float acc[2] = {0.0f, 0.0f};
      const double inv = 1.0 / scale;
      for (long long i = lo; i <= hi; ++i) {
        const float w = Kernel((pos_ - static_cast<double>(i)) * inv);
        const int idx = static_cast<int>(i - base_);
        for (int c = 0; c < channels_ && c < 2; ++c) {
          acc[c] += w * buf_[c][idx];
        }
      }
      for (int c = 0; c < channels_ && c < 2; ++c) {
        out[c][written] = acc[c] * static_cast<float>(inv);
      }
      ++written;
      pos_ += step_;
      progressed = true;
    }
    if (consumed >= n_in && !progressed) break;
    if (written >= max_out) break;
    if (consumed >= n_in) break;
  }
  return written;
}

}  // namespace qv3
