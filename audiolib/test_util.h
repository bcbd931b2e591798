// Helpers for the audiolib tests: generated signals, WAV files and files
// encoded by Debian's ffmpeg, cached in the build tree between test runs.
#ifndef QV3_AUDIOLIB_TEST_UTIL_H_
#define QV3_AUDIOLIB_TEST_UTIL_H_

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audiolib/audiolib.h"
#include "platform/testing/wav_fixture.h"

namespace qv3::audiolib_test {

inline std::string TestDataDir() {
  const char* bin = std::getenv("QV3_BIN_DIR");
  std::filesystem::path dir = bin ? std::filesystem::path(bin) / ".." / "audiolib_testdata"
                                  : std::filesystem::temp_directory_path() / "qv3_audiolib_testdata";
  std::filesystem::create_directories(dir);
  return dir.string();
}

// Interleaved linear chirp from f0 to f1 Hz at -6 dBFS, different phase per
// channel so a channel swap shows.
inline std::vector<float> Chirp(uint32_t rate, uint32_t chans, double seconds, double f0 = 100.0,
                                double f1 = 8000.0) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  std::vector<float> out(frames * chans);
  const double k = (f1 - f0) / seconds;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double ph = 2.0 * M_PI * (f0 * t + 0.5 * k * t * t);
    for (uint32_t c = 0; c < chans; ++c) out[i * chans + c] = static_cast<float>(0.5 * std::sin(ph + c * 1.3));
  }
  return out;
}

inline std::vector<int16_t> ToInt16(const std::vector<float>& in) {
  std::vector<int16_t> out(in.size());
  for (size_t i = 0; i < in.size(); ++i) out[i] = static_cast<int16_t>(std::lrint(in[i] * 32767.0));
  return out;
}

using ::qv3::testing_support::WriteWav16;

// The chirp source WAV for a rate (2.5 s stereo 16-bit), cached.
inline std::string ChirpWav(uint32_t rate) {
  const std::string path = TestDataDir() + "/chirp_" + std::to_string(rate) + ".wav";
  if (!std::filesystem::exists(path)) {
    const std::string tmp = path + ".tmp" + std::to_string(getpid());
    WriteWav16(tmp, ToInt16(Chirp(rate, 2, 2.5)), rate, 2);
    std::filesystem::rename(tmp, path);
  }
  return path;
}

// Encodes the chirp with ffmpeg into `ext` using `codec_args`; cached.
// Returns "" when ffmpeg is missing or fails.
inline std::string Encoded(const std::string& ext, const std::string& codec_args, uint32_t rate = 44100) {
  const std::string src = ChirpWav(rate);
  const std::string path = TestDataDir() + "/chirp_" + std::to_string(rate) + "." + ext;
  if (std::filesystem::exists(path)) return path;
  const std::string tmp = TestDataDir() + "/tmp" + std::to_string(getpid()) + "_" + ext + "." + ext;
  const std::string cmd = "ffmpeg -nostdin -v error -y -i '" + src + "' " + codec_args + " '" + tmp + "' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return "";
  std::filesystem::rename(tmp, path);
  return path;
}

// Decodes a whole file to interleaved floats.
inline std::vector<float> DecodeAll(const std::string& path, uint32_t flags, ChannelInfo* info = nullptr) {
  std::vector<float> out;
  StreamHandle h = StreamCreateFile(path.c_str(), 0, 0, flags | kStreamDecode);
  if (!h) return out;
  if (info) ChannelGetInfo(h, info);
  std::vector<float> buf(16384);
  for (;;) {
    uint32_t n = ChannelGetData(h, buf.data(), static_cast<uint32_t>(buf.size() * 4) | kDataFloat);
    if (n == kDataError) break;
    out.insert(out.end(), buf.begin(), buf.begin() + n / 4);
  }
  StreamFree(h);
  return out;
}

// Lag (in frames) of `x` against `ref` on channel 0, searched in +-range.
inline int BestLag(const std::vector<float>& ref, const std::vector<float>& x, uint32_t chans, int range) {
  int best = 0;
  double best_v = -1e300;
  const size_t frames = std::min(ref.size(), x.size()) / chans;
  for (int lag = -range; lag <= range; ++lag) {
    double s = 0;
    for (size_t k = frames / 4; k < frames / 2; k += 3) {
      const long j = static_cast<long>(k) + lag;
      if (j < 0 || static_cast<size_t>(j) >= frames) continue;
      s += static_cast<double>(ref[k * chans]) * x[static_cast<size_t>(j) * chans];
    }
    if (s > best_v) {
      best_v = s;
      best = lag;
    }
  }
  return best;
}

// Signal-to-error ratio in dB of x against ref (aligned), over the middle.
inline double SnrDb(const std::vector<float>& ref, const std::vector<float>& x, int lag) {
  double sig = 0, err = 0;
  const size_t n = std::min(ref.size(), x.size());
  for (size_t i = n / 10; i < n * 9 / 10; ++i) {
    const long j = static_cast<long>(i) + lag * 2;
    if (j < 0 || static_cast<size_t>(j) >= x.size()) continue;
    const double d = ref[i] - x[static_cast<size_t>(j)];
    sig += ref[i] * static_cast<double>(ref[i]);
    err += d * d;
  }
  return err == 0 ? 200.0 : 10.0 * std::log10(sig / err);
}

}  // namespace qv3::audiolib_test

#endif  // QV3_AUDIOLIB_TEST_UTIL_H_
