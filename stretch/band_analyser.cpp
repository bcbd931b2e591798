#include "stretch/band_analyser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv3 {
namespace {

constexpr double kTwoPi = 2.0 * M_PI;
bool g_exact_trig = false;

}  // namespace

void SetExactTrigForMeasurement(bool exact) { g_exact_trig = exact; }

double ParabolicPhasorMeanGain() {
  // The parabolic sine and cosine give a phasor slightly longer than one
  // (up to 6 % at odd multiples of 45 degrees); over the spread of phase
  // rotations a stretched signal sees, its mean length is this.
  static const double gain = [] {
    double sum = 0;
    const int n = 3600;
    for (int i = 0; i < n; ++i) {
      const float x = static_cast<float>(-M_PI + 2 * M_PI * (i + 0.5) / n);
      const float c = x + static_cast<float>(M_PI / 2) > static_cast<float>(M_PI)
                          ? x - static_cast<float>(1.5 * M_PI)
                          : x + static_cast<float>(M_PI / 2);
      const double ps = x * (1.2732395f - 0.40528473f * std::fabs(x));
      const double pc = c * (1.2732395f - 0.40528473f * std::fabs(c));
      sum += std::sqrt(ps * ps + pc * pc);
    }
    return sum / n;
  }();
  return gain;
}

namespace {

// The fast arctangent without branches, so the per-bin loop vectorises:
// z / (1 + 0.28 z^2) on the smaller-over-larger ratio, which for |y/x| >= 1
// equals pi/2 - z / (z^2 + 0.28) with z = y/x, then the quadrant.
inline float AtanCheap(float y, float x) {
  const float pi = static_cast<float>(M_PI);
  const float ax = std::fabs(x), ay = std::fabs(y);
  const float mx = ax > ay ? ax : ay, mn = ax > ay ? ay : ax;
  const float z = mn / (mx + 1e-30f);
  float a = z / (1.0f + 0.28f * z * z);
  a = ay >= ax ? pi / 2 - a : a;
  a = x < 0.0f ? pi - a : a;
  a = y < 0.0f ? -a : a;
  return mx > 0.0f ? a : 0.0f;
}

// Magnitude (2 |X|) and cheap phase of bins 1 .. half-1 of a packed
// spectrum.
void MagPhaseCheap(const float* __restrict s, float* __restrict mg,
                   float* __restrict ph, int half) {
  for (int k = 1; k < half; ++k) {
    const float re = s[2 * k], im = s[2 * k + 1];
    mg[k] = 2.0f * std::sqrt(re * re + im * im);
    ph[k] = AtanCheap(im, re);
  }
}

void RotateBins(float* __restrict s, const float* __restrict cr,
                const float* __restrict sr, int half) {
  for (int k = 1; k < half; ++k) {
    const float re = s[2 * k], im = s[2 * k + 1];
    s[2 * k] = re * cr[k] - im * sr[k];
    s[2 * k + 1] = re * sr[k] + im * cr[k];
  }
}

// acc = c x frame x scale + (1 - c) x acc
void Crossfade(float* __restrict a, const float* __restrict frame,
               const float* __restrict c, float scale, int from, int to) {
  for (int i = from; i < to; ++i) {
    a[i] = c[i] * frame[i] * scale + (1.0f - c[i]) * a[i];
  }
}

// acc += w x frame x scale
void AddWeighted(float* __restrict a, const float* __restrict frame,
                 const float* __restrict w, float scale, int from, int to) {
  for (int i = from; i < to; ++i) a[i] += scale * w[i] * frame[i];
}

void WindowHalf(float* __restrict dst, const float* __restrict x,
                const float* __restrict w, int n) {
  for (int i = 0; i < n; ++i) dst[i] = x[i] * w[i];
}

// msum = a (+ b); smooth = (2 smooth + msum) / 3; returns the sum of msum.
double SumAndSmooth(const float* __restrict a, const float* __restrict b,
                    float* __restrict msum, float* __restrict smooth, int n) {
  if (b != nullptr) {
    for (int k = 0; k < n; ++k) msum[k] = a[k] + b[k];
  } else {
    for (int k = 0; k < n; ++k) msum[k] = a[k];
  }
  for (int k = 0; k < n; ++k) {
    smooth[k] = (2.0f * smooth[k] + msum[k]) * (1.0f / 3.0f);
  }
  double total = 0.0;
  for (int k = 0; k < n; ++k) total += msum[k];
  return total;
}

}  // namespace

float FastAtan2(float y, float x) {
  if (g_exact_trig) return std::atan2(y, x);
  return AtanCheap(y, x);
}

float FastAtan2Reference(float y, float x) {
  const float pi = static_cast<float>(M_PI);
  if (x == 0.0f) {
    if (y == 0.0f) return 0.0f;
    return y > 0.0f ? pi / 2 : -pi / 2;
  }
  const float z = y / x;
  float a;
  if (std::fabs(z) < 1.0f) {
    a = z / (1.0f + 0.28f * z * z);
  } else {
    a = (z > 0.0f ? pi / 2 : -pi / 2) - z / (z * z + 0.28f);
  }
  if (x < 0.0f) a += (y < 0.0f ? -pi : pi);
  return a;
}

float ParabolicSin(float x) {
  if (g_exact_trig) return std::sin(x);
  return x * (1.2732395f - 0.40528473f * std::fabs(x));
}

float ParabolicCos(float x) {
  if (g_exact_trig) return std::cos(x);
  float y = x + static_cast<float>(M_PI / 2);
  if (y > static_cast<float>(M_PI)) y -= static_cast<float>(kTwoPi);
  return y * (1.2732395f - 0.40528473f * std::fabs(y));
}

double WrapPhase(double x) {
  return x - kTwoPi * std::floor(x / kTwoPi + 0.5);
}

bool BandAnalyser::Init(int n, int channels, float sample_rate, double lo_hz,
                        double hi_hz, Overlap overlap, double ramp_divisor) {
  if (!fft_.Init(n)) return false;
  n_ = n;
  half_ = n / 2;
  channels_ = channels;
  rate_ = sample_rate;
  overlap_ = overlap;
  hann_norm_.resize(n);
  bh_norm_.resize(n);
  hann_.resize(n);
  double hs = 0, bs = 0;
  for (int i = 0; i < n; ++i) {
    const double t = kTwoPi * i / n;
    hann_[i] = static_cast<float>(0.5 - 0.5 * std::cos(t));
    const double bh = 0.35875 - 0.48829 * std::cos(t) +
                      0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    bh_norm_[i] = static_cast<float>(bh);
    hs += hann_[i];
    bs += std::fabs(bh);
  }
  for (int i = 0; i < n; ++i) {
    hann_norm_[i] = static_cast<float>(hann_[i] * n / hs);
    bh_norm_[i] = static_cast<float>(bh_norm_[i] * n / bs);
  }
  // Band mask with linear ramps of (edge bin / divisor) bins on each side
  // of an inner edge; neighbouring bands' ramps are mirror images, so the
  // masks of all bands add up to one.
  const double nyq = sample_rate / 2.0;
  masked_ = lo_hz > 0.0 || hi_hz < nyq - 1e-6;
  mask_.assign(half_ + 1, 1.0f);
  if (masked_) {
    const double bin_hz = sample_rate / n;
    for (int k = 0; k <= half_; ++k) {
      const double f = k * bin_hz;
      double g = 1.0;
      if (lo_hz > 0.0) {
        const double w = std::max(bin_hz, lo_hz / ramp_divisor);
        g *= std::clamp((f - (lo_hz - w)) / (2 * w), 0.0, 1.0);
      }
      if (hi_hz < nyq - 1e-6) {
        const double w = std::max(bin_hz, hi_hz / ramp_divisor);
        g *= std::clamp(((hi_hz + w) - f) / (2 * w), 0.0, 1.0);
      }
      mask_[k] = static_cast<float>(g);
    }
  }
  auto per_channel = [&](std::vector<std::vector<float>>& v, int len) {
    v.assign(channels, std::vector<float>(len, 0.0f));
  };
  per_channel(spec_, n + 16);
  per_channel(mag_, half_ + 1);
  per_channel(phase_, half_ + 1);
  per_channel(prev_phase_, half_ + 1);
  per_channel(acc_, 2 * n);
  msum_.assign(half_ + 1, 0.0f);
  smooth_.assign(half_ + 1, 0.0f);
  rot_.assign(half_ + 1, 0.0f);
  prev_rot_.assign(half_ + 1, 0.0f);
  cos_rot_.assign(half_ + 1, 1.0f);
  sin_rot_.assign(half_ + 1, 0.0f);
  omega_.assign(half_ + 2, 0.0f);
  work_.assign(n + 16, 0.0f);
  peaks_.reserve(half_ + 2);
  bounds_.reserve(half_ + 3);
  ref_.reserve(half_ + 2);
  SetHop(std::max(1, n / 6), 1.0);
  Reset();
  return true;
}

void BandAnalyser::SetHop(int h, double gain) {
  // Contribution of a frame sample at frame position p to the output, for
  // a steady input: analysis window x overlap weight x what later merges
  // leave of it. Its sum over the frames covering one output sample is the
  // steady gain; its centre of mass is where a frame's content is heard.
  std::vector<double> w(n_);
  for (int p = 0; p < n_; ++p) {
    double v = hann_norm_[p];
    if (overlap_ == Overlap::kCrossfade) {
      v *= hann_[p];
      // Every later merge while the sample moves towards the output keeps
      // only (1 - c) of it.
      for (int q = p - h; q >= 0; q -= h) v *= 1.0 - hann_[q];
    } else if (overlap_ == Overlap::kOla) {
      v *= hann_[p];
    } else {
      v *= (band_switch_ ? 1.0 : 0.25) * bh_norm_[p];
    }
    w[p] = v;
  }
  double g = 0, num = 0, den = 0;
  for (int i = 0; i < h; ++i) {
    for (int p = i; p < n_; p += h) g += w[p];
  }
  g /= h;
  for (int p = 0; p < n_; ++p) {
    num += p * w[p];
    den += w[p];
  }
  centre_ = den > 0 ? num / den : n_ / 2.0;
  if (gain <= 0) gain = 1.0;
  scale_ = g > 0 ? 1.0 / (g * n_ * gain) : 1.0 / n_;
}

void BandAnalyser::Reset() {
  first_frame_ = true;
  have_prev_ = false;
  onset_ = false;
  mean_ = 0;
  for (auto& a : acc_) std::fill(a.begin(), a.end(), 0.0f);
  for (auto& p : prev_phase_) std::fill(p.begin(), p.end(), 0.0f);
  std::fill(smooth_.begin(), smooth_.end(), 0.0f);
  std::fill(prev_rot_.begin(), prev_rot_.end(), 0.0f);
  std::fill(rot_.begin(), rot_.end(), 0.0f);
  peaks_.clear();
  bounds_.clear();
}

void BandAnalyser::FindPeaks() {
  peaks_.clear();
  bounds_.clear();
  const float* m = msum_.data();
  peaks_.push_back(0);
  // Peaks over the whole band: bins above a quarter of the transform keep
  // locked phases too, so high partials survive stretching.
  for (int k = 1; k < half_; ++k) {
    const float v = m[k] - 0.001f;
    if (v > m[k - 1] && v > m[k + 1]) {
      peaks_.push_back(k);
      ++k;  // the next bin cannot be a peak as well
    }
  }
  peaks_.push_back(half_);
  // A weak peak (below the mean magnitude) within a few bins of a strong
  // one is a side lobe of it, not a partial: it joins the strong peak's
  // region and turns with it. Taking its own analysis phase there would
  // scatter the side lobes and leave a floor of artefacts around every
  // partial. Weak peaks away from strong ones keep their analysis phase.
  const int reach = std::max(2, n_ / 512);
  size_t kept = 0;
  int last_strong = -1 << 20;
  for (size_t j = 0; j < peaks_.size(); ++j) {
    const int k = peaks_[j];
    if (m[k] >= mean_) {
      last_strong = k;
      peaks_[kept++] = k;
      continue;
    }
    int next_strong = 1 << 20;
    for (size_t i = j + 1; i < peaks_.size() && peaks_[i] - k <= reach; ++i) {
      if (m[peaks_[i]] >= mean_) {
        next_strong = peaks_[i];
        break;
      }
    }
    if (k - last_strong > reach && next_strong - k > reach) peaks_[kept++] = k;
  }
  peaks_.resize(kept);
  if (peaks_.empty()) peaks_.push_back(0);
  bounds_.push_back(0);
  for (size_t j = 1; j < peaks_.size(); ++j) {
    const int a = peaks_[j - 1], b = peaks_[j];
    int best = b;
    if (b - a > 1) {
      best = a + 1;
      for (int k = a + 2; k < b; ++k) {
        if (m[k] < m[best]) best = k;
      }
    }
    bounds_.push_back(best);
  }
  bounds_.push_back(half_ + 1);
}

double BandAnalyser::Analyse(const float* const* frames, double hop,
                             bool onset, double anchor_shift) {
  for (int c = 0; c < channels_; ++c) {
    float* s = spec_[c].data();
    const float* x = frames[c];
    if (band_switch_) {
      for (int i = 0; i < n_; ++i) s[i] = x[i] * hann_norm_[i];
      continue;
    }
    // Window and rotate by n/2 so the frame centre is time zero.
    WindowHalf(s, x + half_, hann_norm_.data() + half_, half_);
    WindowHalf(s + half_, x, hann_norm_.data(), half_);
    analysis_fft_->Forward(s);
    if (masked_) {
      s[0] *= mask_[0];
      s[1] *= mask_[half_];
      for (int k = 1; k < half_; ++k) {
        s[2 * k] *= mask_[k];
        s[2 * k + 1] *= mask_[k];
      }
    }
    if (hook_) hook_(s, n_);
    float* mg = mag_[c].data();
    float* ph = phase_[c].data();
    mg[0] = 2.0f * std::fabs(s[0]);
    ph[0] = s[0] < 0 ? static_cast<float>(M_PI) : 0.0f;
    mg[half_] = 2.0f * std::fabs(s[1]);
    ph[half_] = s[1] < 0 ? static_cast<float>(M_PI) : 0.0f;
    if (g_exact_trig) {
      for (int k = 1; k < half_; ++k) {
        const float re = s[2 * k], im = s[2 * k + 1];
        mg[k] = 2.0f * std::sqrt(re * re + im * im);
        ph[k] = std::atan2(im, re);
      }
    } else {
      MagPhaseCheap(s, mg, ph, half_);
    }
  }
  if (band_switch_) return 1.0;

  const double total =
      SumAndSmooth(mag_[0].data(), channels_ > 1 ? mag_[1].data() : nullptr,
                   msum_.data(), smooth_.data(), half_ + 1);
  mean_ = total / (half_ + 1);
  onset_ = onset;
  FindPeaks();

  // True frequency of every peak from the channel where it is strongest.
  ref_.resize(peaks_.size());
  const bool use_hop = have_prev_ && hop > 0.5;
  int strongest = 0;
  for (size_t j = 0; j < peaks_.size(); ++j) {
    const int k = peaks_[j];
    int r = 0;
    for (int c = 1; c < channels_; ++c) {
      if (mag_[c][k] > mag_[r][k]) r = c;
    }
    ref_[j] = r;
    const double centre = kTwoPi * k / n_;
    double w = centre;
    if (!use_hop && k > 0 && k < half_) {
      // No usable hop (first frame, or the analysis did not move): the
      // peak's frequency from the parabola through its log magnitudes,
      // which for a Hann window is within a few hundredths of a bin.
      const double a = std::log(msum_[k - 1] + 1e-20);
      const double b = std::log(msum_[k] + 1e-20);
      const double c = std::log(msum_[k + 1] + 1e-20);
      const double den = a - 2 * b + c;
      const double off = den < 0 ? std::clamp(0.5 * (a - c) / den, -0.5, 0.5) : 0.0;
      w = kTwoPi * (k + off) / n_;
    } else if (use_hop) {
      const double d = WrapPhase(static_cast<double>(phase_[r][k]) -
                                 prev_phase_[r][k] - centre * hop);
      w = centre + d / hop;
    }
    omega_[j] = static_cast<float>(w);
    if (msum_[k] > msum_[peaks_[strongest]]) strongest = static_cast<int>(j);
  }

  anchor_shift_ = anchor_shift;
  const double f = omega_[strongest] * rate_ / kTwoPi;
  return f >= 1.0 ? rate_ / f : 1.0;
}


void BandAnalyser::Synthesise(int h, float gain, float* const* out) {
  if (!band_switch_) {
    // Phase rotation per peak: the synthesis phase advances by the true
    // frequency over the synthesis hop; weak peaks and peaks at a confirmed
    // onset take their analysis phase (rotation 0). Every bin of a peak's
    // region takes the peak's rotation (phase locking), and every channel
    // the same rotation.
    for (size_t j = 0; j < peaks_.size(); ++j) {
      const int k = peaks_[j];
      const int r = ref_[j];
      double rot;
      if (!have_prev_) {
        rot = omega_[j] * anchor_shift_;
      } else if (onset_ && msum_[k] > 1.5f * smooth_[k]) {
        rot = 0.0;
      } else if (msum_[k] < mean_) {
        // Weak peaks take their analysis phase. While the analysis barely
        // moves (the input frozen after an attack), that phase would repeat
        // frame after frame and turn noise into a metallic buzz; a random
        // offset from the noise table keeps it noise.
        rot = 0.0;
        if (noise_ != nullptr) {
          const int idx = (k * 31 + noise_pos_) & 8191;
          rot = (noise_[idx] - 128) * (M_PI / 128.0);
        }
      } else {
        rot = prev_rot_[k] + static_cast<double>(prev_phase_[r][k]) -
              phase_[r][k] + static_cast<double>(omega_[j]) * h;
      }
      const float rw = static_cast<float>(WrapPhase(rot));
      const float cr = ParabolicCos(rw), sr = ParabolicSin(rw);
      for (int b = bounds_[j]; b < bounds_[j + 1]; ++b) {
        rot_[b] = rw;
        cos_rot_[b] = cr;
        sin_rot_[b] = sr;
      }
    }
  }
  // The cheap phasor's mean excess length is taken out of the calibration,
  // so a steady tone keeps its level.
  const float scale = static_cast<float>(
      g_exact_trig || band_switch_ ? scale_ : scale_ / ParabolicPhasorMeanGain());
  for (int c = 0; c < channels_; ++c) {
    float* s = spec_[c].data();
    float* frame = work_.data();
    if (band_switch_) {
      std::memcpy(frame, s, sizeof(float) * n_);
    } else {
      s[0] *= cos_rot_[0] >= 0 ? 1.0f : -1.0f;
      s[1] *= cos_rot_[half_] >= 0 ? 1.0f : -1.0f;
      RotateBins(s, cos_rot_.data(), sin_rot_.data(), half_);
      synthesis_fft_->Inverse(s);
      // Undo the zero-phase rotation: swap the halves.
      std::memcpy(frame, s + half_, sizeof(float) * half_);
      std::memcpy(frame + half_, s, sizeof(float) * half_);
    }
    float* a = acc_[c].data();
    if (overlap_ == Overlap::kCrossfade) {
      const int from = first_frame_ ? half_ : 0;
      if (first_frame_) {
        for (int i = 0; i < half_; ++i) a[i] = frame[i] * scale;
      }
      Crossfade(a, frame, hann_.data(), scale, from, n_);
    } else if (overlap_ == Overlap::kOla) {
      AddWeighted(a, frame, hann_.data(), scale, 0, n_);
    } else {
      const float wgt = (band_switch_ ? 1.0f : 0.25f) * scale;
      if (first_frame_) {
        const float mid = bh_norm_[half_];
        for (int i = 0; i < half_; ++i) a[i] += wgt * mid * frame[i];
        AddWeighted(a, frame, bh_norm_.data(), wgt, half_, n_);
      } else {
        AddWeighted(a, frame, bh_norm_.data(), wgt, 0, n_);
      }
    }
    float* o = out[c];
    for (int i = 0; i < h; ++i) o[i] += gain * a[i];
    // Frames span the first n samples only; the rest stays zero.
    std::memmove(a, a + h, sizeof(float) * (n_ - h));
    std::memset(a + n_ - h, 0, sizeof(float) * h);
  }
  first_frame_ = false;
  noise_pos_ = (noise_pos_ + 1237) & 8191;
  if (!band_switch_) {
    std::swap(prev_rot_, rot_);
    std::swap(prev_phase_, phase_);
    have_prev_ = true;
  }
}

}  // namespace qv3
