#include "audiolib/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv3::audio_internal {
namespace {

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 30; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
  }
  return sum;
}

}  // namespace

void Resampler::Configure(uint32_t in_rate, uint32_t out_rate, uint32_t channels, uint32_t max_push) {
  in_rate_ = in_rate;
  out_rate_ = out_rate;
  channels_ = channels;
  step_ = static_cast<double>(in_rate) / static_cast<double>(out_rate);
  const double ratio = std::min(1.0, static_cast<double>(out_rate) / in_rate);
  half_ = std::min(kMaxHalfTaps, static_cast<int>(std::ceil(16.0 / ratio)));
  const int half = half_;
  capacity_ = max_push + 4 * half + 8;
  buf_.assign(static_cast<size_t>(capacity_) * channels, 0.0f);
  const int taps = 2 * half;
  table_.assign(static_cast<size_t>(kPhases + 1) * taps, 0.0f);
  // Cut below the lower of the two Nyquist frequencies, with a margin for
  // the transition band.
  const double cutoff = 0.92 * ratio;
  const double beta = 8.0;
  const double i0b = BesselI0(beta);
  for (int p = 0; p <= kPhases; ++p) {
    const double frac = static_cast<double>(p) / kPhases;
    double sum = 0.0;
    float* row = &table_[static_cast<size_t>(p) * taps];
    for (int k = 0; k < taps; ++k) {
      // Tap k weighs input frame (i - half + 1 + k) for output time i + frac.
      const double x = (k - half + 1) - frac;
      const double r = x / half;
      double w = std::fabs(r) >= 1.0 ? 0.0 : BesselI0(beta * std::sqrt(1.0 - r * r)) / i0b;
      double s = x == 0.0 ? 1.0 : std::sin(M_PI * cutoff * x) / (M_PI * cutoff * x);
      row[k] = static_cast<float>(cutoff * s * w);
      sum += row[k];
    }
    for (int k = 0; k < taps; ++k) row[k] = static_cast<float>(row[k] / sum);
  }
  Reset();
}

void Resampler::Reset() {
  const int half = half_;
  std::fill(buf_.begin(), buf_.end(), 0.0f);
  // History of silence before the first frame, so output 0 sits at input 0.
  count_ = half - 1;
  pos_ = half - 1;
}

uint32_t Resampler::InputNeeded(uint32_t out_frames) const {
  const int half = half_;
  const double last = pos_ + step_ * out_frames + half + 1;
  return last > count_ ? static_cast<uint32_t>(std::ceil(last - count_)) : 0;
}

void Resampler::Push(const float* in, uint32_t frames) {
  frames = std::min(frames, Room());
  std::memcpy(&buf_[static_cast<size_t>(count_) * channels_], in,
              sizeof(float) * static_cast<size_t>(frames) * channels_);
  count_ += frames;
}

uint32_t Resampler::Produce(float* out, uint32_t max_frames) {
  const int half = half_;
  const int taps = 2 * half;
  uint32_t produced = 0;
  const uint32_t ch = channels_;
  while (produced < max_frames) {
    const double ip = std::floor(pos_);
    const uint32_t i = static_cast<uint32_t>(ip);
    if (i + static_cast<uint32_t>(half) >= count_) break;  // needs frames up to i + half
    const double fp = (pos_ - ip) * kPhases;
    const int p = static_cast<int>(fp);
    const float t = static_cast<float>(fp - p);
    const float* r0 = &table_[static_cast<size_t>(p) * taps];
    const float* r1 = r0 + taps;
    const float* x = &buf_[static_cast<size_t>(i + 1 - half) * ch];
    for (uint32_t c = 0; c < ch; ++c) {
      float acc0 = 0.0f, acc1 = 0.0f;
      for (int k = 0; k < taps; ++k) {
        const float v = x[static_cast<size_t>(k) * ch + c];
        acc0 += r0[k] * v;
        acc1 += r1[k] * v;
      }
      out[static_cast<size_t>(produced) * ch + c] = acc0 + (acc1 - acc0) * t;
    }
    ++produced;
    pos_ += step_;
  }
  // Drop input no longer needed, keeping the filter's history.
  const double ip = std::floor(pos_);
  if (ip >= half) {
    uint32_t drop = static_cast<uint32_t>(ip) - (half - 1);
    drop = std::min(drop, count_);
    std::memmove(buf_.data(), buf_.data() + static_cast<size_t>(drop) * ch,
                 sizeof(float) * static_cast<size_t>(count_ - drop) * ch);
    count_ -= drop;
    pos_ -= drop;
  }
  return produced;
}

}  // namespace qv3::audio_internal
