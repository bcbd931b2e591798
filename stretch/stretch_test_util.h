// Test helpers for the time/pitch processor: generated signals, a runner
// that pulls a whole rendering through the public interface, and signal
// measurements (level, frequency, onset times).
#ifndef QV3_STRETCH_STRETCH_TEST_UTIL_H_
#define QV3_STRETCH_STRETCH_TEST_UTIL_H_

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "stretch/time_pitch_processor.h"

namespace qv3::testing {

using Planar = std::vector<std::vector<float>>;

inline Planar Sine(double hz, double amp, int frames, double rate,
                   int channels = 1, double phase_r = 0.0) {
  Planar p(channels, std::vector<float>(frames));
  for (int c = 0; c < channels; ++c) {
    for (int i = 0; i < frames; ++i) {
      p[c][i] = static_cast<float>(
          amp * std::sin(2 * M_PI * hz * i / rate + (c ? phase_r : 0.0)));
    }
  }
  return p;
}

inline void Add(Planar& a, const Planar& b) {
  for (size_t c = 0; c < a.size(); ++c) {
    for (size_t i = 0; i < a[c].size() && i < b[c].size(); ++i) a[c][i] += b[c][i];
  }
}

// Short decaying broadband clicks every `period` frames from `first`.
inline Planar Clicks(int frames, int first, int period, int channels = 1,
                     double amp = 0.8) {
  Planar p(channels, std::vector<float>(frames, 0.0f));
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int at = first; at < frames; at += period) {
    for (int i = 0; i < 64 && at + i < frames; ++i) {
      const float v = static_cast<float>(amp * std::exp(-i / 12.0)) * u(rng);
      for (int c = 0; c < channels; ++c) p[c][at + i] = v;
    }
  }
  return p;
}

inline Planar Noise(int frames, int channels, double amp, unsigned seed = 1) {
  Planar p(channels, std::vector<float>(frames));
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (auto& ch : p) {
    for (float& v : ch) v = static_cast<float>(amp) * u(rng);
  }
  return p;
}

struct Feed {
  const Planar* input = nullptr;
  int64_t pos = 0;
  int largest_request = 0;
  int calls = 0;
  int after_end_calls = 0;
  bool ended = false;
};

inline int FeedRead(float** buffers, int frames, void* user) {
  auto* f = static_cast<Feed*>(user);
  ++f->calls;
  if (f->ended) ++f->after_end_calls;
  f->largest_request = std::max(f->largest_request, frames);
  const int64_t total = static_cast<int64_t>((*f->input)[0].size());
  if (f->pos >= total) {
    f->ended = true;
    return -1;
  }
  const int n = static_cast<int>(std::min<int64_t>(frames, total - f->pos));
  for (size_t c = 0; c < f->input->size(); ++c) {
    std::copy((*f->input)[c].begin() + f->pos,
              (*f->input)[c].begin() + f->pos + n, buffers[c]);
  }
  f->pos += n;
  return n;
}

struct RunResult {
  Planar out;
  Feed feed;
  int max_read = 0;
  int final_result = 0;
  bool ok = false;
};

// Renders `in` through a processor; pulls blocks of `block` frames until
// process returns 0 or less (or max_frames is reached).
inline RunResult Render(const Planar& in, double rate, double time_factor,
                     double pitch_factor, int mode = 200, int block = 16384,
                     int64_t max_frames = -1) {
  RunResult r;
  const int channels = static_cast<int>(in.size());
  r.feed.input = &in;
  TimePitchProcessor* tp = TimePitchCreate(mode, 303, channels,
                                           static_cast<float>(rate), FeedRead,
                                           &r.feed);
  if (tp == nullptr) return r;
  TimePitchSetProperty(kTimePitchPitchFactor, pitch_factor, tp);
  TimePitchSetProperty(kTimePitchTimeFactor, time_factor, tp);
  r.max_read = TimePitchMaxReadFrames(tp);
  if (max_frames < 0) {
    max_frames = static_cast<int64_t>(in[0].size() * time_factor) + 4 * block;
  }
  float** buf = AllocPlanarBuffers(channels, block);
  r.out.assign(channels, {});
  int64_t total = 0;
  while (total < max_frames) {
    const int got = TimePitchProcess(buf, block, tp);
    r.final_result = got;
    if (got <= 0) break;
    for (int c = 0; c < channels; ++c) {
      r.out[c].insert(r.out[c].end(), buf[c], buf[c] + got);
    }
    total += got;
  }
  FreePlanarBuffers(buf, channels);
  TimePitchDestroy(tp);
  r.ok = true;
  return r;
}

inline double Rms(const std::vector<float>& x, int64_t from, int64_t to) {
  from = std::max<int64_t>(0, from);
  to = std::min<int64_t>(static_cast<int64_t>(x.size()), to);
  if (to <= from) return 0.0;
  double s = 0;
  for (int64_t i = from; i < to; ++i) s += static_cast<double>(x[i]) * x[i];
  return std::sqrt(s / static_cast<double>(to - from));
}

inline double Db(double ratio) { return 20.0 * std::log10(std::max(ratio, 1e-12)); }

// Hann-windowed DFT of x[from .. from + len) at frequency hz.
inline std::complex<double> Probe(const std::vector<float>& x, int64_t from,
                                  int len, double hz, double rate) {
  std::complex<double> s = 0;
  const std::complex<double> step = std::polar(1.0, -2 * M_PI * hz / rate);
  std::complex<double> rot = std::polar(1.0, -2 * M_PI * hz * static_cast<double>(from) / rate);
  const std::complex<double> wstep = std::polar(1.0, 2 * M_PI / len);
  std::complex<double> wrot = 1.0;
  for (int i = 0; i < len; ++i) {
    const double w = 0.5 - 0.5 * wrot.real();
    s += w * static_cast<double>(x[from + i]) * rot;
    rot *= step;
    wrot *= wstep;
  }
  return s * (4.0 / len);  // amplitude of a sine at hz
}

// Frequency of the dominant sine near `guess`: coarse peak search, then the
// phase advance between two windows `gap` frames apart.
inline double MeasureFrequency(const std::vector<float>& x, int64_t from,
                               double guess, double rate) {
  const int len = 8192;
  const int gap = 2048;
  from = std::clamp<int64_t>(from, 0, static_cast<int64_t>(x.size()) - len - gap);
  if (from < 0) return 0.0;
  double best = guess, best_mag = 0;
  for (double f = guess * 0.97; f <= guess * 1.03; f += guess * 0.001) {
    const double m = std::abs(Probe(x, from, len, f, rate));
    if (m > best_mag) {
      best_mag = m;
      best = f;
    }
  }
  const auto a = Probe(x, from, len, best, rate);
  const auto b = Probe(x, from + gap, len, best, rate);
  const double d = std::arg(b / a);
  return best + d * rate / (2 * M_PI * gap);
}

inline double Cents(double f, double ref) { return 1200.0 * std::log2(f / ref); }

// Positions where the short-term energy jumps (first sample above
// `threshold` after at least `quiet` frames below it).
inline std::vector<int64_t> OnsetTimes(const std::vector<float>& x,
                                       double threshold, int quiet) {
  std::vector<int64_t> t;
  int64_t last_loud = -quiet - 1;
  for (int64_t i = 0; i < static_cast<int64_t>(x.size()); ++i) {
    if (std::fabs(x[i]) > threshold) {
      if (i - last_loud > quiet) t.push_back(i);
      last_loud = i;
    }
  }
  return t;
}

}  // namespace qv3::testing

#endif  // QV3_STRETCH_STRETCH_TEST_UTIL_H_
