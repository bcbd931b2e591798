#include "bench/stretch/signals.h"

#include <sndfile.h>

#include <cmath>
#include <random>

namespace qv3::bench {

Planar MusicLike(double seconds, int rate) {
  const int n = static_cast<int>(seconds * rate);
  Planar p(2, std::vector<float>(n, 0.0f));
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  const double beat = 0.5;  // seconds
  const double roots[4] = {110.0, 87.31, 130.81, 98.0};
  const double melody[8] = {659.25, 587.33, 523.25, 587.33,
                            659.25, 783.99, 698.46, 659.25};
  double mel_phase = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    const int b = static_cast<int>(t / beat);
    const double tb = t - b * beat;
    const double root = roots[(b / 4) % 4];
    float l = 0, r = 0;
    // Bass: a few harmonics, decaying per beat.
    double bass = 0;
    for (int h = 1; h <= 5; ++h) bass += std::sin(2 * M_PI * root * h * t) / h;
    bass *= 0.18 * std::exp(-tb * 3.0);
    // Plucked chord on every beat: root x 2, major third, fifth.
    double chord = 0;
    for (double ratio : {2.0, 2.52, 3.0}) {
      for (int h = 1; h <= 4; ++h) {
        chord += std::sin(2 * M_PI * root * ratio * h * t + h) / (h * h);
      }
    }
    chord *= 0.08 * std::exp(-tb * 5.0);
    // Melody with vibrato, two notes per beat.
    const double note = melody[static_cast<int>(t / (beat / 2)) % 8];
    mel_phase += 2 * M_PI * note *
                 std::pow(2.0, 0.3 / 12 * std::sin(2 * M_PI * 5.5 * t)) / rate;
    const double tn = t - std::floor(t / (beat / 2)) * (beat / 2);
    const double mel = 0.1 * std::min(1.0, tn * 50) *
                       (std::sin(mel_phase) + 0.3 * std::sin(2 * mel_phase));
    // Kick on beats, hi-hat on off-beats.
    const double kick = 0.5 * std::exp(-tb * 30) *
                        std::sin(2 * M_PI * (50 + 100 * std::exp(-tb * 40)) * tb);
    const double toff = std::fmod(t + beat / 2, beat);
    const double hat = 0.12 * std::exp(-toff * 80) * u(rng);
    l = static_cast<float>(bass + 0.8 * chord + 0.4 * mel + kick + 0.6 * hat);
    r = static_cast<float>(bass + 0.5 * chord + 0.9 * mel + kick + 0.3 * hat);
    p[0][i] = l;
    p[1][i] = r;
  }
  return p;
}

Planar Tone(double hz, double seconds, int rate, int channels) {
  const int n = static_cast<int>(seconds * rate);
  Planar p(channels, std::vector<float>(n));
  for (int c = 0; c < channels; ++c) {
    for (int i = 0; i < n; ++i) {
      p[c][i] = static_cast<float>(0.4 * std::sin(2 * M_PI * hz * i / rate));
    }
  }
  return p;
}

Planar Chord(const std::vector<double>& hz, double seconds, int rate) {
  const int n = static_cast<int>(seconds * rate);
  Planar p(2, std::vector<float>(n, 0.0f));
  for (int i = 0; i < n; ++i) {
    double v = 0;
    for (double f : hz) v += std::sin(2 * M_PI * f * i / rate);
    p[0][i] = p[1][i] = static_cast<float>(0.25 * v);
  }
  return p;
}

Planar ClickTrain(double seconds, double first, double period, int rate) {
  const int n = static_cast<int>(seconds * rate);
  Planar p(2, std::vector<float>(n, 0.0f));
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (double t = first; t < seconds; t += period) {
    const int at = static_cast<int>(t * rate);
    for (int i = 0; i < 64 && at + i < n; ++i) {
      const float v = static_cast<float>(0.8 * std::exp(-i / 12.0)) * u(rng);
      p[0][at + i] = p[1][at + i] = v;
    }
  }
  return p;
}

bool WriteWav(const std::string& path, const Planar& p, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = static_cast<int>(p.size());
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  const size_t n = p[0].size();
  std::vector<float> x(n * p.size());
  for (size_t i = 0; i < n; ++i) {
    for (size_t c = 0; c < p.size(); ++c) x[i * p.size() + c] = p[c][i];
  }
  sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const bool ok = sf_writef_float(f, x.data(), n) == static_cast<sf_count_t>(n);
  sf_close(f);
  return ok;
}

bool ReadWav(const std::string& path, Planar* p, int* rate) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return false;
  std::vector<float> x(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_float(f, x.data(), info.frames);
  sf_close(f);
  p->assign(info.channels, std::vector<float>(info.frames));
  for (sf_count_t i = 0; i < info.frames; ++i) {
    for (int c = 0; c < info.channels; ++c) {
      (*p)[c][i] = x[static_cast<size_t>(i) * info.channels + c];
    }
  }
  *rate = info.samplerate;
  return true;
}

}  // namespace qv3::bench
