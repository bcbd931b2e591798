// Benchmarks of the audio library layer, each beside a peer measured in the
// same run:
//  1. decoding a 10-minute 44.1 kHz stereo MP3 and AAC (M4A) to float, as a
//     real-time multiple, against `ffmpeg -i FILE -f f32le -y /dev/null`;
//  2. the mixer's cost per 512-frame period for one 16-bit stereo stream
//     with a running volume slide, a vocal-reduction DSP and nine
//     equaliser bands, in ns per frame.
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audiolib/audiolib.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kSeconds = 600.0;

double Elapsed(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// CPU time of this thread: the mixer figure should not count time the
// machine gave to other processes.
double ThreadCpu() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

bool Run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

double DecodeOurs(const std::string& path, uint32_t flags, uint64_t* frames) {
  const auto t0 = Clock::now();
  qv3::StreamHandle h = qv3::StreamCreateFile(path.c_str(), 0, 0, flags | qv3::kStreamDecode | qv3::kSampleFloat);
  if (!h) {
    std::fprintf(stderr, "cannot open %s: error %d\n", path.c_str(), qv3::ErrorGetCode());
    return -1;
  }
  std::vector<float> buf(44100 * 2);
  *frames = 0;
  for (;;) {
    uint32_t n = qv3::ChannelGetData(h, buf.data(), static_cast<uint32_t>(buf.size() * 4) | qv3::kDataFloat);
    if (n == qv3::kDataError) break;
    *frames += n / 8;
  }
  qv3::StreamFree(h);
  return Elapsed(t0);
}

double DecodeFfmpeg(const std::string& path) {
  const auto t0 = Clock::now();
  if (!Run("ffmpeg -nostdin -v error -threads 1 -i '" + path + "' -f f32le -y /dev/null")) return -1;
  return Elapsed(t0);
}

int16_t Saturate(int v) { return static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v)); }

// The vocal-reduction formula on 16-bit stereo, as the equaliser window uses it.
void VocalReduction(qv3::DspHandle, qv3::StreamHandle, void* buffer, uint32_t length, void* user) {
  const int a = *static_cast<int*>(user);
  auto* s = static_cast<int16_t*>(buffer);
  for (uint32_t i = 0; i + 1 < length / 2; i += 2) {
    const int16_t out = Saturate(((256 - a) * s[i] - a * s[i + 1]) >> 9);
    s[i] = s[i + 1] = out;
  }
}

void BenchMixer() {
  qv3::AudioInitManual(44100, 0);
  qv3::StreamHandle h = qv3::StreamCreatePush(44100, 2, 0);
  const uint32_t periods = 4000, period = 512;
  std::vector<int16_t> data(static_cast<size_t>(periods) * period * 2);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
  qv3::StreamPutData(h, data.data(), static_cast<uint32_t>(data.size() * 2));
  static int level = 128;
  qv3::ChannelSetDSP(h, VocalReduction, &level, 2);
  const float centres[9] = {16000, 8000, 4000, 2000, 1000, 500, 250, 125, 80};
  for (int b = 0; b < 9; ++b) {
    qv3::FxHandle fx = qv3::ChannelSetFX(h, qv3::kFxParamEq, 0);
    qv3::ParamEqParameters p{centres[b], 12.0f, static_cast<float>(b % 2 ? 6 : -6)};
    qv3::FXSetParameters(fx, &p);
  }
  qv3::ChannelPlay(h, false);
  qv3::ChannelSlideAttribute(h, qv3::kAttribVol, 0.2f, 1000000);  // runs through the whole measurement
  std::vector<float> out(period * 2);
  qv3::AudioAdvanceManual(period * 10, nullptr);  // warm up
  const auto t0 = Clock::now();
  const double c0 = ThreadCpu();
  for (uint32_t i = 0; i < periods - 20; ++i) qv3::AudioAdvanceManual(period, out.data());
  const double secs = ThreadCpu() - c0;
  const double wall = Elapsed(t0);
  const double frames = static_cast<double>(periods - 20) * period;
  const bool sliding = qv3::ChannelIsSliding(h, qv3::kAttribVol);
  qv3::AudioFree();
  std::printf("\nMixer pass, 512-frame periods: 16-bit stereo push stream, volume slide%s, vocal-reduction DSP,\n"
              "nine parametric-EQ bands (12 semitones, +-6 dB)\n",
              sliding ? " (running)" : " (ENDED EARLY)");
  std::printf("  %.1f ns per stereo frame (thread CPU time; %.1f ns wall), %.2f us per period, %.0fx real time "
              "on one core (target: < 40 ns)\n",
              secs / frames * 1e9, wall / frames * 1e9, secs / (periods - 20) * 1e6, frames / 44100.0 / secs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--mixer-only") {
    BenchMixer();
    return 0;
  }
  char tmpl[] = "/tmp/qv3_bench_audiolib_XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;
  const std::string wav = dir + "/song.wav";
  std::printf("Generating 10 minutes of 44.1 kHz stereo (tones and noise) and encoding it with ffmpeg...\n");
  std::fflush(stdout);
  const std::string src =
      "ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=0.3*sin(2*PI*(220+40*sin(0.5*t))*t)+0.1*random(0)-0.05|"
      "0.3*sin(2*PI*330*t)+0.1*random(1)-0.05:s=44100:d=600' ";
  if (!Run(src + "-c:a pcm_s16le -y '" + wav + "'") ||
      !Run("ffmpeg -nostdin -v error -i '" + wav + "' -c:a libmp3lame -b:a 192k -y '" + dir + "/song.mp3'") ||
      !Run("ffmpeg -nostdin -v error -i '" + wav + "' -c:a aac -b:a 192k -y '" + dir + "/song.m4a'")) {
    std::fprintf(stderr, "ffmpeg failed\n");
    return 1;
  }
  std::printf("\nDecoding 10 min to 32-bit float (best of 3)\n");
  std::printf("  %-6s %12s %12s %14s %14s %10s\n", "file", "ours [s]", "ffmpeg [s]", "ours [x RT]", "ffmpeg [x RT]",
              "time ratio");
  struct Item {
    const char* name;
    uint32_t flags;
  } items[] = {{"mp3", qv3::kStreamPrescan}, {"m4a", 0}};
  for (const auto& it : items) {
    const std::string path = dir + "/song." + it.name;
    double ours = 1e9, theirs = 1e9;
    uint64_t frames = 0;
    for (int r = 0; r < 3; ++r) {
      ours = std::min(ours, DecodeOurs(path, it.flags, &frames));
      theirs = std::min(theirs, DecodeFfmpeg(path));
    }
    std::printf("  %-6s %12.3f %12.3f %14.1f %14.1f %9.2fx  (%llu frames; target: ratio <= 1.2)\n", it.name, ours,
                theirs, kSeconds / ours, kSeconds / theirs, ours / theirs, static_cast<unsigned long long>(frames));
  }
  BenchMixer();
  std::filesystem::remove_all(dir);
  return 0;
}
