// bench_eq: CPU cost of the nine-band equaliser and vocal reduction on 44.1 kHz
// stereo 16-bit audio as playback runs them (effects of the output push
// stream, mixed by the audio library on its manual clock), beside sox doing
// the same work (nine one-octave "equalizer" effects and a "remix" that takes
// (L - R) / 2) in the same run. Costs are what the effects add to a run
// without them, in nanoseconds per frame and as a share of one core in real
// time; the target is below 0.5 %.
//
//   bench_eq [seconds=60] [repeats=5]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/equalizer_bands.h"
#include "app/vocal_reduction.h"
#include "audiolib/audiolib.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kPeriod = 4096;
// Every band active (a band at 0 dB is skipped by the library).
constexpr qv3::EqGains kGains = {4, -3, 5, -2, 3, -4, 2, -3, 6};

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// A mix with a shared centre and different sides, at about -12 dBFS.
std::vector<int16_t> MakeSignal(size_t frames) {
  std::vector<int16_t> v(frames * 2);
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0.0, 0.02);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double centre = 0.12 * std::sin(2 * M_PI * 220.0 * t) + 0.05 * std::sin(2 * M_PI * 3100.0 * t);
    const double left = 0.08 * std::sin(2 * M_PI * 97.0 * t);
    const double right = 0.06 * std::sin(2 * M_PI * 1250.0 * t);
    v[2 * i] = static_cast<int16_t>(std::lrint((centre + left + noise(rng)) * 32767.0));
    v[2 * i + 1] = static_cast<int16_t>(std::lrint((centre + right + noise(rng)) * 32767.0));
  }
  return v;
}

// Seconds of thread CPU time to mix the signal through one output stream.
double RunOurs(const std::vector<int16_t>& signal, bool eq, bool vr) {
  if (!qv3::AudioInitManual(kRate, 0)) {
    std::fprintf(stderr, "AudioInitManual failed (%d)\n", qv3::ErrorGetCode());
    std::exit(1);
  }
  const qv3::StreamHandle h = qv3::StreamCreatePush(kRate, 2, 0);
  qv3::EqualizerEffects effects;
  if (eq) effects.Add(h, kGains);
  qv3::VocalReduction reduction;
  reduction.SetChannel(h);
  if (vr) reduction.SetLevel(128);
  qv3::StreamPutData(h, signal.data(), static_cast<uint32_t>(signal.size() * 2));
  qv3::ChannelPlay(h, false);
  std::vector<float> out(kPeriod * 2);
  const size_t frames = signal.size() / 2;
  const double t0 = ThreadCpuSeconds();
  for (size_t done = 0; done < frames; done += kPeriod) {
    qv3::AudioAdvanceManual(static_cast<uint32_t>(std::min<size_t>(kPeriod, frames - done)), out.data());
  }
  const double t = ThreadCpuSeconds() - t0;
  reduction.SetChannel(0);
  qv3::AudioFree();
  return t;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& s) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  const uint32_t data = static_cast<uint32_t>(s.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(2);
  u32(kRate);
  u32(kRate * 4);
  u16(4);
  u16(16);
  std::fwrite("data", 1, 4, f);
  u32(data);
  std::fwrite(s.data(), 2, s.size(), f);
  return std::fclose(f) == 0;
}

// User + system CPU seconds of a child process; negative when it failed.
double RunChild(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage ru{};
  if (wait4(pid, &status, 0, &ru) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec * 1e-6;
}

std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

void Row(const char* name, double ns_per_frame) {
  std::printf("  %-44s %9.2f ns/frame  %7.3f %% of one core\n", name, ns_per_frame,
              ns_per_frame * kRate / 1e9 * 100.0);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const size_t frames = static_cast<size_t>(seconds * kRate);
  const std::vector<int16_t> signal = MakeSignal(frames);
  std::printf("bench_eq: %.0f s of 44.1 kHz stereo 16-bit (%zu frames), best of %d\n", seconds, frames,
              repeats);

  double base = 1e30, eq = 1e30, vr = 1e30, both = 1e30;
  for (int r = 0; r < repeats; ++r) {
    base = std::min(base, RunOurs(signal, false, false));
    eq = std::min(eq, RunOurs(signal, true, false));
    vr = std::min(vr, RunOurs(signal, false, true));
    both = std::min(both, RunOurs(signal, true, true));
  }
  // The vocal-reduction formula alone, on the same data.
  std::vector<int16_t> work = signal;
  std::atomic<int> level{128};
  double kernel = 1e30;
  for (int r = 0; r < repeats; ++r) {
    work = signal;
    const double t0 = ThreadCpuSeconds();
    qv3::VocalReduceInt16(work.data(), frames, level);
    kernel = std::min(kernel, ThreadCpuSeconds() - t0);
  }
  const double per = 1e9 / static_cast<double>(frames);
  std::printf("\nours (output push stream through the library's mixer):\n");
  Row("mixer alone (no effects)", base * per);
  Row("+ nine bands: added cost", (eq - base) * per);
  Row("+ vocal reduction: added cost", (vr - base) * per);
  Row("+ nine bands + vocal reduction: added cost", (both - base) * per);
  Row("vocal-reduction formula alone", kernel * per);

  // sox: the same effects on a file, minus a plain sox copy of that file.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("qv3_bench_eq." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
  double sox_copy = 1e30, sox_fx = 1e30;
  bool sox_ok = WriteWav(in, signal);
  std::vector<std::string> fx = {"sox", "-D", "-V1", in, out, "remix", "1v0.5,2v-0.5", "1v0.5,2v-0.5"};
  for (int band = 0; band < qv3::kEqBandCount; ++band) {
    fx.insert(fx.end(), {"equalizer", Num(qv3::EqBandCentres()[band]), "1o", Num(kGains[band])});
  }
  for (int r = 0; r < repeats && sox_ok; ++r) {
    const double c = RunChild({"sox", "-D", "-V1", in, out});
    const double e = RunChild(fx);
    sox_ok = c >= 0 && e >= 0;
    sox_copy = std::min(sox_copy, c);
    sox_fx = std::min(sox_fx, e);
  }
  std::filesystem::remove_all(dir);
  const double ours = (both - base) * per;
  if (sox_ok) {
    std::printf("\nsox (same run, same signal, CPU time of the process):\n");
    Row("copy (no effects)", sox_copy * per);
    Row("nine equalizer + remix: added cost", (sox_fx - sox_copy) * per);
    std::printf("\n  ratio ours / sox (added cost): %.2f\n", ours / ((sox_fx - sox_copy) * per));
  } else {
    std::printf("\nsox: not available or failed; no peer figure\n");
  }
  const double share = ours * kRate / 1e9 * 100.0;
  std::printf("  target: nine bands + vocal reduction below 0.5 %% of one core: %.3f %% -> %s\n", share,
              share < 0.5 ? "met" : "NOT met");
  return 0;
}
