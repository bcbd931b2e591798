#include "stretch/time_pitch_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "stretch/transcription_processor.h"

namespace qv3 {
namespace {

constexpr double kMinProduct = 0.03;

struct ModeConfig {
  int bands;
  int sizes[TimePitchCore::kMaxBands];
  double edges[TimePitchCore::kMaxBands];  // inner edges in Hz
  double w_good;                           // qualities 302/303
  double w_other;
};

ModeConfig ConfigFor(int mode) {
  switch (mode) {
    case 200:
      return {1, {4096}, {}, 0.29, 0.2175};
    case 201:
      return {1, {2048}, {}, 0.58, 0.58};
    case 202:
      return {3, {4096, 2048, 1024}, {700, 2500}, 0.6, 0.6};
    case 204:
      return {6, {4096, 4096, 2048, 2048, 1024, 512},
              {300, 700, 1300, 2700, 5500}, 0.6, 0.6};
    case 205:
      return {11,
              {4096, 4096, 4096, 2048, 2048, 2048, 2048, 1024, 1024, 512, 512},
              {350, 600, 720, 864, 1036, 1791, 2579, 3715, 6419, 9244},
              0.6, 0.6};
    default:
      return {4, {4096, 4096, 2048, 1024}, {300, 1300, 2700}, 0.6, 0.6};
  }
}

int ScaledSize(int size, double rate_scale) {
  const double t = std::trunc(size * rate_scale);
  return 1 << static_cast<int>(std::lround(std::log2(std::max(16.0, t))));
}

// Cookbook second-order low-pass, run forward then backward over x.
void LowPassTwice(std::vector<float>& x, int n, double rate, double cutoff,
                  double q) {
  const double w = 2.0 * M_PI * cutoff / rate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double a0 = 1.0 + alpha;
  const double b0 = (1.0 - std::cos(w)) / 2.0 / a0, b1 = (1.0 - std::cos(w)) / a0;
  const double b2 = b0, a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
  for (int pass = 0; pass < 2; ++pass) {
    double x1 = x[pass ? n - 1 : 0], x2 = x1, y1 = x1, y2 = x1;
    for (int i = 0; i < n; ++i) {
      const int k = pass ? n - 1 - i : i;
      const double in = x[k];
      const double y = b0 * in + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1;
      x1 = in;
      y2 = y1;
      y1 = y;
      x[k] = static_cast<float>(y);
    }
  }
}

}  // namespace

TimePitchCore::TimePitchCore() = default;
TimePitchCore::~TimePitchCore() = default;

int TimePitchCore::Init(int mode, int quality, int channels, float sample_rate,
                        float overlap, TimePitchReadCallback read) {
  if (initialised_) return -6;
  try {
    mode_ = mode;
    quality_ = quality;
    channels_ = std::clamp(channels, 1, 2);
    rate_ = sample_rate;
    rate_scale_ = sample_rate * 0.000022675736961451248;
    overlap_ = overlap;
    read_ = read;
    switch (quality) {
      case 300: switch_a_ = false; switch_b_ = true; switch_c_ = true; break;
      case 302: switch_a_ = true; switch_b_ = true; switch_c_ = false; break;
      case 303: switch_a_ = true; switch_b_ = false; switch_c_ = false; break;
      default:
        switch_a_ = false; switch_b_ = false; switch_c_ = true;
        cutoff_factor_ = 2.0;
        break;
    }
    Configure();
    const double ax[13] = {0.5, 0.7, 0.85, 0.9, 0.95, 1.0, 1.05,
                           1.15, 1.2, 1.33, 1.5, 1.75, 2.0};
    const double ay[13] = {1.1, 0.65, 0.33, 0.19, 0.15, 0.0, 0.15,
                           0.27, 0.32, 0.41, 0.49, 0.7, 0.71};
    std::copy(ax, ax + 13, align_x_.begin());
    std::copy(ay, ay + 13, align_y_.begin());
    std::minstd_rand rng(0x51A7);
    noise_.resize(8192);
    for (auto& b : noise_) b = static_cast<uint8_t>(rng() & 0xFF);
    semitones_.resize(160);
    for (int k = 0; k < 160; ++k) semitones_[k] = 13.75 * std::pow(2.0, k / 12.0);

    cache_.Init(channels_, rate_scale_, read);
    onsets_.Init(channels_, cache_.unit());
    const int n0 = band_[0].size;
    analysers_.resize(bands_);
    for (int j = 0; j < bands_; ++j) {
      const auto ov = single_band_ ? BandAnalyser::Overlap::kCrossfade
                                   : BandAnalyser::Overlap::kAdd;
      if (!analysers_[j].Init(band_[j].size, channels_, rate_, band_[j].lo_hz,
                              band_[j].hi_hz, ov, ramp_divisor_)) {
        return -108;
      }
      analysers_[j].set_spectrum_hook(
          [this](float* packed, int n) { FormantCorrect(packed, n); });
    }
    const int queue_len = 10 * n0 + 128;
    const int max_block = 4 * n0 + 64;
    auto alloc = [&](std::vector<std::vector<float>>& v, int len) {
      v.assign(channels_, std::vector<float>(len, 0.0f));
    };
    alloc(block_, max_block);
    alloc(frame_, n0 + 16);
    alloc(queue_, queue_len);
    alloc(pass_, max_block);
    alloc(scratch_, queue_len);
    alloc(load_in_, 2 * n0);
    pre_.assign(n0 + 16, 0.0f);
    frame_ptr_.resize(channels_);
    block_ptr_.resize(channels_);
    scratch_ptr_.resize(channels_);
    for (int c = 0; c < channels_; ++c) {
      frame_ptr_[c] = frame_[c].data();
      block_ptr_[c] = block_[c].data();
      scratch_ptr_[c] = scratch_[c].data();
    }
    lin_last_.assign(channels_, 0.0f);
    const int tag = quality == 300 ? 300 : 303;
    resampler_.Init(channels_, tag, max_block);
    load_resampler_.Init(channels_, 300, 2 * n0);
    env_.assign(n0 + 16, 0.0f);
    env2_.assign(n0 + 16, 0.0f);
    ratio_.assign(n0 + 16, 0.0f);
    if (mode_ == 206) {
      transcriber_ = std::make_unique<TranscriptionProcessor>();
      if (!transcriber_->Init(quality_, channels_, rate_, rate_scale_)) {
        return -108;
      }
    }
    PrepareHops();
  } catch (const std::bad_alloc&) {
    return -108;
  }
  initialised_ = true;
  ComputeAlignment();
  Reset(true);
  return 0;
}

void TimePitchCore::Configure() {
  const ModeConfig cfg = ConfigFor(mode_);
  bands_ = cfg.bands;
  single_band_ = mode_ == 200;
  const bool good = quality_ == 302 || quality_ == 303;
  w_ = good ? cfg.w_good : cfg.w_other;
  const double nyq = rate_ / 2.0;
  for (int j = 0; j < bands_; ++j) {
    Band& b = band_[j];
    b.size = ScaledSize(cfg.sizes[j], rate_scale_);
    b.lo_hz = j == 0 ? 0.0 : cfg.edges[j - 1] * rate_scale_;
    b.hi_hz = j == bands_ - 1 ? nyq : cfg.edges[j] * rate_scale_;
  }
}

void TimePitchCore::PrepareHops() {
  const int last = band_[bands_ - 1].size;
  v_ = static_cast<int>(std::floor(last / overlap_ + 0.5));
  block_len_ = (band_[0].size / last) * v_;
  for (int j = 0; j < bands_; ++j) {
    const int e = band_[j].size;
    int h;
    double g;
    if (switch_a_) {
      h = v_;
      g = single_band_ ? std::trunc(static_cast<double>(e) / v_) * 0.25
                       : static_cast<double>(v_) / e;
    } else {
      h = v_ * (e / last);
      g = single_band_ ? 1.5 : 1.0 / overlap_;
    }
    band_hop_[j] = h;
    band_gain_[j] = g;
    analysers_[j].SetHop(h, g * w_);
    band_[j].centre = analysers_[j].effective_centre();
  }
}

void TimePitchCore::ComputeAlignment() {
  const double p = std::max(kMinProduct, pitch_ * time_);
  double y;
  if (p <= align_x_[0]) {
    y = align_y_[0];
  } else if (p >= align_x_[12]) {
    y = align_y_[12];
  } else {
    int i = 0;
    while (i < 11 && p > align_x_[i + 1]) ++i;
    const double t = (p - align_x_[i]) / (align_x_[i + 1] - align_x_[i]);
    y = align_y_[i] + t * (align_y_[i + 1] - align_y_[i]);
  }
  int lowest = 0;
  for (int j = 0; j < bands_; ++j) {
    const int half0 = band_[0].size / 2, half = band_[j].size / 2;
    band_[j].align = bands_ == 1 ? 0
                     : p >= 1.0  ? static_cast<int>(y * (half0 - half))
                                 : static_cast<int>(y * (half - half0));
    lowest = j == 0 ? band_[j].align : std::min(lowest, band_[j].align);
  }
  for (int j = 0; j < bands_; ++j) band_[j].align -= lowest;
}

int TimePitchCore::PrerollWanted() const {
  const double p = std::max(kMinProduct, pitch_ * time_);
  const int n0 = band_[0].size;
  const int len = transcriber_ ? transcriber_->block_length() : block_len_;
  const int span = std::max(n0, transcriber_ ? transcriber_->window() : 0);
  const int prime = ((span + len - 1) / len) * len;
  const double wanted = span / 2.0 + prime / p + 8;
  return static_cast<int>(std::min<double>(wanted, cache_.capacity() / 2));
}

int TimePitchCore::SetProperty(int selector, double value) {
  if (!started_) return kTimePitchStarted;
  int result = kTimePitchOk;
  const bool one_band = bands_ == 1;
  switch (selector) {
    case 100: pitch_ = std::clamp(value, 0.1, 10.0); break;
    case 101: time_ = std::clamp(value, 0.1, 10.0); break;
    case 102: formant_ = std::clamp(value, 0.1, 10.0); break;
    case 103: {
      const bool on = value != 0.0;
      if (mode_ != 200 && on != band_switch_) {
        w_ = on ? w_ * 0.5 : w_ * 2.0;
        band_switch_ = on;
        for (auto& a : analysers_) a.set_band_switch(on);
        PrepareHops();
      }
      break;
    }
    case 104: cache_.SetGranularity(value); break;
    case 105:
    case 106: result = kTimePitchNotApplicable; break;
    case 107: constant_load_ = value != 0.0; break;
    case 108:
      pitch_correction_ = value != 0.0;
      result = one_band ? kTimePitchOk : kTimePitchNotApplicable;
      break;
    case kTimePitchPreroll:
      preroll_ = static_cast<int>(
          std::clamp(value, 0.0, static_cast<double>(cache_.capacity() / 2)));
      break;
    case 400:
      if (pitch_correction_ && one_band) {
        ref_pitch_ = std::clamp(value, 400.0, 500.0);
      } else {
        result = kTimePitchNotApplicable;
      }
      break;
    case 401:
      if (pitch_correction_ && one_band) {
        smoothing_ = static_cast<float>(std::clamp(value, 0.0, 20.0) *
                                        rate_ / 44100.0);
      } else {
        result = kTimePitchNotApplicable;
      }
      break;
    case 500:
      formant_follow_ = value != 0.0;
      result = one_band ? kTimePitchOk : kTimePitchNotApplicable;
      break;
    case 501:
      if (pitch_correction_ && one_band) {
        target_hz_ = static_cast<float>(value);
      } else {
        result = kTimePitchNotApplicable;
      }
      break;
    default: result = kTimePitchUnknownSelector; break;
  }
  ComputeAlignment();
  return result;
}

void TimePitchCore::Reset(bool clear) {
  for (int j = 0; j < bands_; ++j) {
    band_[j].period = -1.0;
    band_[j].read = band_[j].prev_read = 0;
    band_[j].ideal = 0.0;
    band_[j].have_read = false;
    band_[j].anchor = -1;
    band_[j].catching_up = false;
  }
  if (clear) {
    resampler_.Reset();
    load_resampler_.Reset();
  }
  ComputeAlignment();
  if (transcriber_) transcriber_->Reset();
  queue_fill_ = queue_read_ = 0;
  total_out_ = 0;
  for (auto& a : analysers_) a.Reset();
  if (clear) {
    carry_ = 0.0;
    started_ = true;
    preroll_ = 0;
  }
  lin_pos_ = 0.0;
  std::fill(lin_last_.begin(), lin_last_.end(), 0.0f);
  cache_.Reset();
  onsets_.Reset();
  const int len = transcriber_ ? transcriber_->block_length() : block_len_;
  const int span =
      std::max(band_[0].size, transcriber_ ? transcriber_->window() : 0);
  const int prime = ((span + len - 1) / len) * len;
  stretch_time_ = -prime;
  out_frames_ = 0;
  end_target_ = -1;
  first_output_block_ = true;
  last_onset_ = -1;
  onsets_used_ = 0;
  drained_ = false;
}

void TimePitchCore::ReadFrame(int n, int64_t centre, int64_t cut,
                              float* const* dst, void* user_data) {
  // Absolute cache positions; what lies before the first input frame reads
  // as silence (an anchored frame may reach there).
  const int64_t start = centre - n / 2;
  cache_.Read(start, n, dst, user_data);
  if (cut != OnsetDetector::kNone && cut < start + n) {
    // Content from an onset on belongs to later frames: fade it out just
    // before, so nothing of the attack is heard ahead of its time.
    const int fade = std::max(16, onsets_.segment() / 2);
    const int64_t stop = std::max<int64_t>(start, cut - 2);
    for (int c = 0; c < channels_; ++c) {
      float* d = dst[c];
      for (int64_t p = std::max(start, stop - fade); p < start + n; ++p) {
        const int i = static_cast<int>(p - start);
        if (p >= stop) {
          d[i] = 0.0f;
        } else {
          d[i] *= static_cast<float>(stop - p) / fade;
        }
      }
    }
  }
}

double TimePitchCore::RunHop(BandAnalyser& an, Band& b, int h, float gain,
                             double p, double hop_start, bool period_rule,
                             float* const* frame, float* const* out,
                             void* user_data) {
  const int e = an.size();
  const int64_t offset = preroll_;  // absolute = relative + offset
  // The frame's centre sits at output time hop_start + e/2; what is heard
  // of it lies around its effective centre, so that part is taken from its
  // ideal input position.
  const double out_centre = hop_start + e / 2.0;
  const double ideal = (hop_start + b.centre) / p - (b.centre - e / 2.0);
  int64_t centre;
  if (period_rule && b.have_read) {
    // The natural continuation, moved by whole dominant periods towards
    // the ideal position.
    double f = b.period > 0 ? b.period : 1.0;
    while (f > 300.0 * rate_scale_) f *= 0.5;
    f = std::max(1.0, std::round(f));
    const int64_t cont = b.read + h;
    const double diff = static_cast<double>(cont) - ideal;
    centre = cont - static_cast<int64_t>(f * std::trunc(diff / f));
  } else {
    centre = std::llround(ideal);
  }
  // Onsets ahead of this frame. The first one that the heard part of the
  // frame has reached anchors the frame so the attack is heard at its ideal
  // output time, with the phases of its rising bins reset; the following
  // frames stay anchored to it (analysis and synthesis advance together)
  // until it has left the frame, so every frame that still holds the attack
  // places it at the same time. An onset further ahead inside the frame is
  // cut off: it belongs to later frames.
  const double heard = (hop_start + b.centre) / p;
  const int64_t abs_heard = std::llround(heard) + offset;
  onsets_.ScanTo(abs_heard + 2 * e, cache_, user_data);
  bool onset = false;
  int64_t x = onsets_.NextAtOrAfter(last_onset_ + 1);
  // Anchoring holds the analysis at the onset; while it is still far from
  // its ideal position after earlier onsets (a dense run of attacks when
  // slowing down a lot) a new onset only resets phases, so the lag stays
  // bounded.
  const bool may_anchor =
      p <= 1.0 || !b.have_read || b.anchor >= 0 ||
      std::fabs(static_cast<double>(b.read) - b.ideal) < e / 2.0;
  while (x != OnsetDetector::kNone && x <= abs_heard) {
    onset = true;
    if (may_anchor) b.anchor = x;
    last_onset_ = x;
    x = onsets_.NextAtOrAfter(x + 1);
  }
  if (onset) ++onsets_used_;
  // A frame cannot start before the first input frame: a frame that would
  // is analysed where it can start, and its phases follow that position.
  centre = std::max<int64_t>(centre, e / 2 - offset);
  if (b.anchor >= 0) {
    const double xr = static_cast<double>(b.anchor - offset);
    const int64_t anchored = std::llround(out_centre - xr * (p - 1.0));
    if (b.anchor - anchored + offset >= -e / 2) {
      centre = anchored;
    } else {
      b.anchor = -1;
      b.catching_up = true;
    }
  }
  bool creeping = false;
  if (b.anchor < 0 && b.catching_up) {
    // After an attack held the analysis ahead of its ideal position (when
    // slowing down), it returns by creeping forward (a 32nd of a hop) until
    // the ideal position meets it. Jumping back would read the attack a
    // second time and play it twice. Frequencies then come from the shape
    // of each peak, not from the tiny hop.
    const int64_t slowest = b.read + std::max(1, h / 32);
    if (centre < slowest) {
      centre = slowest;
      creeping = true;
    } else {
      b.catching_up = false;
    }
  }
  ReadFrame(e, centre + offset, x, frame, user_data);
  const double hop =
      b.have_read && !creeping ? static_cast<double>(centre - b.read) : 0.0;
  an.set_noise(creeping ? noise_.data() : nullptr);
  const double period = an.Analyse(frame, hop, onset,
                                   out_centre - static_cast<double>(centre));
  an.Synthesise(h, gain, out);
  b.prev_read = b.read;
  b.read = centre;
  b.ideal = ideal;
  b.have_read = true;
  return period;
}

int TimePitchCore::RunBlock(void* user_data) {
  busy_ = true;
  const double p = std::max(kMinProduct, pitch_ * time_);
  const int len = transcriber_ ? transcriber_->block_length() : block_len_;
  for (int c = 0; c < channels_; ++c) {
    std::fill(block_[c].begin(), block_[c].begin() + len, 0.0f);
  }
  if (transcriber_) {
    transcriber_->RunBlock(*this, p, stretch_time_, block_ptr_.data(),
                           user_data);
  } else {
    for (int j = 0; j < bands_; ++j) {
      Band& b = band_[j];
      BandAnalyser& an = analysers_[j];
      const int h = band_hop_[j];
      const int hops = len / h;
      for (int k = 0; k < hops; ++k) {
        float* outs[2] = {block_[0].data() + k * h,
                          channels_ > 1 ? block_[1].data() + k * h : nullptr};
        const double period =
            RunHop(an, b, h, static_cast<float>(band_gain_[j] * w_), p,
                   stretch_time_ + k * h, single_band_, frame_ptr_.data(),
                   outs, user_data);
        if (switch_b_) {
          b.period = PreAnalyse(j, frame_ptr_.data());
        } else if (single_band_) {
          b.period = period;
        }
      }
    }
  }
  stretch_time_ += len;
  total_out_ += static_cast<uint32_t>(len);
  if (started_) started_ = false;
  busy_ = false;
  return len;
}

}  // namespace qv3

namespace qv3 {

double TimePitchCore::PreAnalyse(int j, const float* const* frame) {
  // Period estimate by autocorrelation on a shortened frame: the band frame
  // shrunk by linear interpolation (switch C) and by whatever more keeps the
  // work small, then the lag of the strongest normalised correlation.
  const int e = band_[j].size;
  const int last = band_[bands_ - 1].size;
  double d = switch_c_ ? std::max(1.0, 2.0 * (e / last - 1) + 1.0) : 1.0;
  while (e / d > 1024) d *= 2.0;
  const int m = static_cast<int>(e / d);
  for (int i = 0; i < m; ++i) {
    const double x = i * d;
    const int k = std::min(e - 2, static_cast<int>(x));
    const double f = x - k;
    float v = 0.0f;
    for (int c = 0; c < channels_; ++c) {
      v += static_cast<float>(frame[c][k] + f * (frame[c][k + 1] - frame[c][k]));
    }
    pre_[i] = v;
  }
  const int min_lag = std::max(2, static_cast<int>(20 * rate_scale_ / d));
  const int max_lag = std::min(m / 2, static_cast<int>(600 * rate_scale_ / d));
  double e0 = 0;
  for (int i = 0; i < m; ++i) e0 += pre_[i] * pre_[i];
  if (e0 <= 1e-12 || max_lag <= min_lag) return band_[j].period;
  double best = 0.0;
  int best_lag = 0;
  for (int lag = min_lag; lag <= max_lag; ++lag) {
    double r = 0;
    for (int i = 0; i + lag < m; ++i) r += pre_[i] * pre_[i + lag];
    r /= e0;
    if (r > best) {
      best = r;
      best_lag = lag;
    }
  }
  if (best < 0.3 || best_lag == 0) return band_[j].period;
  const double est = best_lag * d;
  const double prev = band_[j].period;
  return prev > 0 ? 0.5 * (prev + est) : est;
}

void TimePitchCore::FormantCorrect(float* packed, int n) {
  if (std::fabs(formant_ - 1.0) <= 0.001) return;
  const int half = n / 2;
  const double s = n * 10.7666015625 / rate_scale_;
  for (int k = 0; k < half; ++k) {
    const float re = k == 0 ? packed[0] : packed[2 * k];
    const float im = k == 0 ? 0.0f : packed[2 * k + 1];
    env_[k] = std::sqrt(re * re + im * im);
  }
  LowPassTwice(env_, half, s, std::min(2000.0, std::max(10.0, s / 2 - 10)),
               0.25);
  const double inv = 1.0 / formant_;
  for (int k = 0; k < half; ++k) {
    const double x = k * inv;
    const int i = static_cast<int>(x);
    double shifted = 0.0;
    if (i + 1 < half) {
      shifted = env_[i] + (x - i) * (env_[i + 1] - env_[i]);
    } else if (i < half) {
      shifted = env_[i];
    }
    ratio_[k] = env_[k] > 0.0f ? static_cast<float>(shifted / env_[k]) : 1.0f;
  }
  LowPassTwice(ratio_, half, s, std::clamp(1000.0, 10.0, s / 2 - 10), 1.0);
  const float g = static_cast<float>(std::sqrt(inv));
  packed[0] *= std::max(0.0f, ratio_[0]) * g;
  packed[1] *= std::max(0.0f, ratio_[half - 1]) * g;
  for (int k = 1; k < half; ++k) {
    const float r = std::max(0.0f, ratio_[k]) * g;
    packed[2 * k] *= r;
    packed[2 * k + 1] *= r;
  }
}

void TimePitchCore::PitchCorrect(double period) {
  const double detected = period > 1.0 ? rate_ / period : 0.0;
  double ratio = 1.0;
  if (detected > 0.0) {
    double target;
    if (target_hz_ > 0.0f && target_hz_ <= rate_ / 2) {
      target = target_hz_;
    } else {
      const double scale = ref_pitch_ * 0.0022727272727272726;
      target = semitones_[0] * scale;
      for (double f : semitones_) {
        if (std::fabs(f * scale - detected) < std::fabs(target - detected)) {
          target = f * scale;
        }
      }
    }
    ratio = target / detected;
  }
  const double s = smoothing_;
  pitch_ = std::clamp((ratio + pitch_ * s) / (s + 1.0), 0.1, 10.0);
  if (formant_follow_) formant_ = std::clamp(1.0 / pitch_, 0.1, 10.0);
}

int TimePitchCore::Resample(int len) {
  const int cap = static_cast<int>(queue_[0].size());
  if (constant_load_ || pitch_ == 1.0) {
    const int m = std::min(len, cap);
    for (int c = 0; c < channels_; ++c) {
      std::memcpy(queue_[c].data(), block_[c].data(), sizeof(float) * m);
    }
    return m;
  }
  if (single_band_) {
    // Linear interpolation, continuous across blocks: position lin_pos_ is
    // relative to this block (from -1, the previous block's last sample).
    const double step = pitch_;
    int k = 0;
    double pos = lin_pos_;
    for (; pos <= len - 1 && k < cap; pos += step, ++k) {
      const int i = static_cast<int>(std::floor(pos));
      const float f = static_cast<float>(pos - i);
      for (int c = 0; c < channels_; ++c) {
        const float* x = block_[c].data();
        const float a = i < 0 ? lin_last_[c] : x[i];
        const float b = x[std::min(i + 1, len - 1)];
        queue_[c][k] = a + f * (b - a);
      }
    }
    lin_pos_ = pos - len;
    carry_ = lin_pos_;
    for (int c = 0; c < channels_; ++c) lin_last_[c] = block_[c][len - 1];
    return k;
  }
  resampler_.SetStep(pitch_);
  const float* in[2] = {block_[0].data(),
                        channels_ > 1 ? block_[1].data() : nullptr};
  float* out[2] = {queue_[0].data(), channels_ > 1 ? queue_[1].data() : nullptr};
  return resampler_.Process(in, len, out, cap);
}

int64_t TimePitchCore::EndTarget() const {
  // Queue frames due for the whole input: input x time factor, and on the
  // constant-load path (which resamples by the pitch factor after the
  // queue) input x time factor x pitch factor.
  const double scale = constant_load_ ? time_ * pitch_ : time_;
  return std::max<int64_t>(
      0, std::llround((cache_.end_position() - preroll_) * scale));
}

bool TimePitchCore::FillQueue(void* user_data) {
  queue_read_ = queue_fill_ = 0;
  for (int guard = 0; guard < 1 << 20; ++guard) {
    if (end_target_ < 0 && cache_.ended()) {
      end_target_ = EndTarget();
    }
    if (end_target_ >= 0 && out_frames_ >= end_target_) return false;
    const double block_start = stretch_time_;
    const int len = RunBlock(user_data);
    if (block_start < 0) continue;  // priming: output before the start
    if (first_output_block_) {
      // Crossfade from the input itself into the processed output.
      first_output_block_ = false;
      float* pass[2] = {pass_[0].data(),
                        channels_ > 1 ? pass_[1].data() : nullptr};
      cache_.Read(preroll_, len, pass, user_data);
      for (int c = 0; c < channels_; ++c) {
        for (int k = 0; k < len; ++k) {
          const float a = static_cast<float>(k) / len;
          block_[c][k] = (1.0f - a) * pass_[c][k] + a * block_[c][k];
        }
      }
    }
    if (pitch_correction_ && bands_ == 1) PitchCorrect(band_[0].period);
    int produced = Resample(len);
    if (end_target_ < 0 && cache_.ended()) {
      end_target_ = EndTarget();
    }
    if (end_target_ >= 0 && out_frames_ + produced > end_target_) {
      produced = static_cast<int>(std::max<int64_t>(0, end_target_ - out_frames_));
    }
    out_frames_ += produced;
    queue_fill_ = produced;
    if (produced > 0) return true;
  }
  return false;
}

int TimePitchCore::PullQueue(float* const* out, int offset, int n,
                             void* user_data) {
  int written = 0;
  while (written < n) {
    if (queue_read_ >= queue_fill_) {
      if (drained_ || !FillQueue(user_data)) {
        drained_ = true;
        break;
      }
    }
    const int take = std::min(n - written, queue_fill_ - queue_read_);
    for (int c = 0; c < channels_; ++c) {
      std::memcpy(out[c] + offset + written, queue_[c].data() + queue_read_,
                  sizeof(float) * take);
    }
    queue_read_ += take;
    written += take;
  }
  return written;
}

int TimePitchCore::ProcessConstantLoad(float** out, int n, void* user_data) {
  pitch_ = std::clamp(pitch_, 0.5, 2.0);
  const double pf = pitch_;
  resampler_factor_ = 1.0 / pf;
  load_resampler_.SetStep(pf);
  const int chunk_max = static_cast<int>(load_in_[0].size());
  float* in[2] = {load_in_[0].data(),
                  channels_ > 1 ? load_in_[1].data() : nullptr};
  int written = 0;
  while (written < n) {
    const int want = std::clamp(
        static_cast<int>(std::ceil((n - written) * pf)) + 8, 1, chunk_max);
    const int got = PullQueue(in, 0, want, user_data);
    if (got == 0) break;
    float* o[2] = {out[0] + written, channels_ > 1 ? out[1] + written : nullptr};
    written += load_resampler_.Process(in, got, o, n - written);
  }
  return written > 0 ? n : 0;
}

int TimePitchCore::Process(float** out, int n, void* user_data) {
  if (n <= 0 || out == nullptr) return -1;
  for (int c = 0; c < channels_; ++c) {
    if (out[c] == nullptr) return -1;
    std::memset(out[c], 0, sizeof(float) * n);
  }
  if (constant_load_) return ProcessConstantLoad(out, n, user_data);
  const int written = PullQueue(out, 0, n, user_data);
  return written > 0 ? n : 0;
}

}  // namespace qv3
