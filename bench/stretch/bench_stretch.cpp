// bench_stretch: speed and quality of qv3-render against rubberband (R2 and
// R3 engines) and soundstretch, all run as whole processes on the same
// generated files; CPU time is taken from the children's resource usage, so
// other load on the machine does not distort it. Also our FFT against FFTW
// and what the cheap sine/arctangent of the band analyser cost.
#include <fftw3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/stretch/signals.h"
#include "stretch/band_analyser.h"
#include "stretch/fft.h"
#include "stretch/time_pitch_processor.h"

namespace qv3::bench {
namespace {

constexpr int kRate = 44100;

double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

std::string Fmt(const char* f, double v) {
  char b[64];
  std::snprintf(b, sizeof b, f, v);
  return b;
}

// Runs argv as a child; returns its CPU seconds (user + system), or -1.
double RunCpu(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  if (pid < 0 || wait4(pid, &status, 0, &ru) < 0) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + ru.ru_stime.tv_sec +
         ru.ru_stime.tv_usec * 1e-6;
}

struct Engine {
  std::string name;
  std::function<std::vector<std::string>(double tempo, double semis,
                                         const std::string& in,
                                         const std::string& out)>
      args;
};

std::vector<Engine> Engines() {
  auto num = [](double v) { return Fmt("%.6g", v); };
  return {
      {"qv3 performance",
       [=](double t, double s, const std::string& in, const std::string& out) {
         return std::vector<std::string>{QV3_RENDER_PATH, "--tempo", num(t),
                                         "--pitch", num(s), in, out};
       }},
      {"qv3 transcribe",
       [=](double t, double s, const std::string& in, const std::string& out) {
         return std::vector<std::string>{QV3_RENDER_PATH, "--mode", "transcribe",
                                         "--tempo", num(t), "--pitch", num(s),
                                         in, out};
       }},
      {"rubberband R2",
       [=](double t, double s, const std::string& in, const std::string& out) {
         return std::vector<std::string>{"rubberband", "-q", "-T", num(t / 100),
                                         "-p", num(s), in, out};
       }},
      {"rubberband R3",
       [=](double t, double s, const std::string& in, const std::string& out) {
         return std::vector<std::string>{"rubberband", "-q", "--fine", "-T",
                                         num(t / 100), "-p", num(s), in, out};
       }},
      {"soundstretch",
       [=](double t, double s, const std::string& in, const std::string& out) {
         return std::vector<std::string>{"soundstretch", in, out,
                                         "-tempo=" + num(t - 100),
                                         "-pitch=" + num(s)};
       }},
  };
}

struct Setting {
  double tempo, semis;
};
const Setting kSettings[] = {{50, 0}, {75, 0}, {150, 0}, {100, 7}, {100, -5}};

// ---- measurements on outputs ----

std::complex<double> Probe(const std::vector<float>& x, size_t from, int len,
                           double hz) {
  std::complex<double> s = 0;
  const std::complex<double> step = std::polar(1.0, -2 * M_PI * hz / kRate);
  std::complex<double> rot = std::polar(1.0, -2 * M_PI * hz * from / kRate);
  for (int i = 0; i < len; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / len);
    s += w * x[from + i] * rot;
    rot *= step;
  }
  return s * (4.0 / len);
}

double Frequency(const std::vector<float>& x, size_t from, double guess) {
  const int len = 16384;
  if (x.size() < from + len + 4096) return 0;
  double best = guess, mag = 0;
  for (double f = guess * 0.97; f <= guess * 1.03; f += guess * 0.0005) {
    const double m = std::abs(Probe(x, from, len, f));
    if (m > mag) {
      mag = m;
      best = f;
    }
  }
  const int gap = 4096;
  const double d = std::arg(Probe(x, from + gap, len, best) / Probe(x, from, len, best));
  return best + d * kRate / (2 * M_PI * gap);
}

double Rms(const std::vector<float>& x, long from, long to) {
  from = std::max(0L, from);
  to = std::min(static_cast<long>(x.size()), to);
  double s = 0;
  for (long i = from; i < to; ++i) s += static_cast<double>(x[i]) * x[i];
  return to > from ? std::sqrt(s / (to - from)) : 0.0;
}

double Db(double r) { return 20 * std::log10(std::max(r, 1e-9)); }

struct Quality {
  double tone_cents = NAN;   // steady tone pitch error
  double chord_cents = NAN;  // worst partial of a chord
  long duration_err = 0;     // frames off round(in x 100 / tempo)
  double onset_ms = NAN;     // worst click onset error
  double pre_echo_db = NAN;  // energy 20 .. 1 ms before a click, vs click
  double floor_db = NAN;     // chord: energy off the partials
};

// Energy of the output that does not belong to the chord's partials (more
// than 6 bins of a 16384-point transform, 16 Hz, away from all of them),
// relative to the energy on them: modulation, phasiness and artefacts.
double OffPartialFloor(const std::vector<float>& x, size_t from,
                       const std::vector<double>& hz) {
  const int len = 16384;
  if (x.size() < from + len) return NAN;
  Fft f;
  f.Init(len);
  std::vector<float> b(len + 16);
  for (int i = 0; i < len; ++i) {
    // Blackman-Harris: side lobes below -92 dB, so the window itself adds
    // no floor of its own.
    const double t = 2 * M_PI * i / len;
    const double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) -
                     0.01168 * std::cos(3 * t);
    b[i] = x[from + i] * static_cast<float>(w);
  }
  f.Forward(b.data());
  double on = 0, off = 0;
  for (int k = 1; k < len / 2; ++k) {
    const double p = static_cast<double>(b[2 * k]) * b[2 * k] +
                     static_cast<double>(b[2 * k + 1]) * b[2 * k + 1];
    bool near = false;
    for (double h : hz) near = near || std::fabs(k - h * len / kRate) <= 6.0;
    (near ? on : off) += p;
  }
  return 10 * std::log10(std::max(off, 1e-20) / std::max(on, 1e-20));
}

Quality Measure(const Engine& e, const Setting& s, const std::string& dir) {
  Quality q;
  const double tf = 100.0 / s.tempo;
  const double pf = std::pow(2.0, s.semis / 12);
  auto render = [&](const Planar& in, const std::string& tag, Planar* out) {
    const std::string ip = dir + "/q_" + tag + ".wav";
    const std::string op = dir + "/q_" + tag + "_out.wav";
    WriteWav(ip, in, kRate);
    int rate = 0;
    if (RunCpu(e.args(s.tempo, s.semis, ip, op)) < 0) return false;
    return ReadWav(op, out, &rate);
  };
  Planar out;
  const auto tone = Tone(440, 4, kRate, 2);
  if (render(tone, "tone", &out)) {
    const long ideal = std::lround(tone[0].size() * tf);
    q.duration_err = static_cast<long>(out[0].size()) - ideal;
    const double f = Frequency(out[0], out[0].size() / 2 - 10000, 440 * pf);
    q.tone_cents = 1200 * std::log2(f / (440 * pf));
  }
  const std::vector<double> chord_hz = {261.63, 329.63, 392.0};
  if (render(Chord(chord_hz, 4, kRate), "chord", &out)) {
    double worst = 0;
    std::vector<double> shifted;
    for (double f : chord_hz) {
      const double got = Frequency(out[0], out[0].size() / 2 - 10000, f * pf);
      worst = std::max(worst, std::fabs(1200 * std::log2(got / (f * pf))));
      shifted.push_back(f * pf);
    }
    q.chord_cents = worst;
    q.floor_db = OffPartialFloor(out[0], out[0].size() / 2 - 8000, shifted);
  }
  const double period = 0.5, first = 0.3;
  if (render(ClickTrain(4, first, period, kRate), "clicks", &out)) {
    double worst = 0, pre = -200;
    for (double t = first; t + 0.05 < 4.0; t += period) {
      const long ideal = std::lround(t * kRate * tf);
      // Onset: first sample above a fifth of the click's peak near it.
      long at = -1;
      const long lo = std::max(0L, ideal - 4410), hi = std::min<long>(out[0].size(), ideal + 4410);
      float peak = 0;
      for (long i = lo; i < hi; ++i) peak = std::max(peak, std::fabs(out[0][i]));
      for (long i = lo; i < hi; ++i) {
        if (std::fabs(out[0][i]) > 0.2f * peak) {
          at = i;
          break;
        }
      }
      if (at < 0) continue;
      worst = std::max(worst, std::fabs(at - ideal) * 1000.0 / kRate);
      // Pre-echo: what is heard in the 20 ms before the attack (as found in
      // the output), against the first 10 ms of the attack.
      const double click = Rms(out[0], at, at + 441);
      const double before = Rms(out[0], at - 882, at - 44);
      pre = std::max(pre, Db(before / std::max(click, 1e-9)));
    }
    q.onset_ms = worst;
    q.pre_echo_db = pre;
  }
  return q;
}

// ---- FFT ----

void CompareFft() {
  // Alternating trials, best of each: the machine may be shared, and the
  // best trial is the one least disturbed.
  const int n = 4096, reps = 2000, trials = 15;
  std::vector<float> x(n + 16);
  for (int i = 0; i < n; ++i) x[i] = std::sin(i * 0.1f) + 0.001f * i;
  Fft f;
  f.Init(n);
  float* in = fftwf_alloc_real(n);
  fftwf_complex* mid = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan fw = fftwf_plan_dft_r2c_1d(n, in, mid, FFTW_MEASURE);
  fftwf_plan bw = fftwf_plan_dft_c2r_1d(n, mid, in, FFTW_MEASURE);
  for (int i = 0; i < n; ++i) in[i] = std::sin(i * 0.1f);
  double ours = 1e9, theirs = 1e9;
  for (int t = 0; t < trials; ++t) {
    double t0 = CpuNow();
    for (int r = 0; r < reps; ++r) {
      f.Forward(x.data());
      f.Inverse(x.data());
      x[0] *= 1.0f / n;
    }
    ours = std::min(ours, CpuNow() - t0);
    t0 = CpuNow();
    for (int r = 0; r < reps; ++r) {
      fftwf_execute(fw);
      fftwf_execute(bw);
      in[0] *= 1.0f / n;
    }
    theirs = std::min(theirs, CpuNow() - t0);
  }
  fftwf_destroy_plan(fw);
  fftwf_destroy_plan(bw);
  fftwf_free(in);
  fftwf_free(mid);
  std::printf("\nFFT, 4096 real points, forward + inverse (best of %d trials):\n", trials);
  std::printf("  ours %.2f us, FFTW %.2f us, ratio ours/FFTW %.2f (target <= 2)\n",
              ours / reps * 1e6, theirs / reps * 1e6, ours / theirs);
}

// ---- the cheap sine/arctangent ----

void CheapTrigCost() {
  std::printf("\nCost of the cheap sine/arctangent (in-process, chord 261/330/392 Hz):\n");
  std::printf("  %-18s %-9s %-12s %-12s\n", "mode / tempo", "trig",
              "pitch cents", "floor dB");
  for (int mode : {200, 206}) {
    for (double tempo : {50.0, 75.0}) {
      for (bool exact : {false, true}) {
        SetExactTrigForMeasurement(exact);
        const std::vector<double> hz = {261.63, 329.63, 392.0};
        Planar in = Chord(hz, 4, kRate);
        struct Feed {
          const Planar* p;
          size_t pos = 0;
        } feed{&in};
        auto read = [](float** b, int n, void* u) -> int {
          auto* f = static_cast<Feed*>(u);
          if (f->pos >= (*f->p)[0].size()) return -1;
          const int m = static_cast<int>(std::min<size_t>(n, (*f->p)[0].size() - f->pos));
          for (size_t c = 0; c < f->p->size(); ++c) {
            std::copy((*f->p)[c].begin() + f->pos, (*f->p)[c].begin() + f->pos + m, b[c]);
          }
          f->pos += m;
          return m;
        };
        TimePitchProcessor* h = TimePitchCreate(mode, 303, 2, kRate, read, &feed);
        TimePitchSetProperty(101, 100.0 / tempo, h);
        float** buf = AllocPlanarBuffers(2, kRate);
        std::vector<float> out;
        while (TimePitchProcess(buf, kRate, h) > 0) out.insert(out.end(), buf[0], buf[0] + kRate);
        FreePlanarBuffers(buf, 2);
        TimePitchDestroy(h);
        double worst = 0;
        for (double f : hz) {
          const double got = Frequency(out, out.size() / 2 - 10000, f);
          worst = std::max(worst, std::fabs(1200 * std::log2(got / f)));
        }
        const double fl = OffPartialFloor(out, out.size() / 2 - 8000, hz);
        std::printf("  %3d / %3.0f %%        %-9s %-12.2f %-12.1f\n", mode, tempo,
                    exact ? "exact" : "cheap", worst, fl);
      }
    }
  }
  SetExactTrigForMeasurement(false);
}

}  // namespace
}  // namespace qv3::bench

int main(int argc, char** argv) {
  using namespace qv3::bench;
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  const bool fft_only = argc > 1 && std::string(argv[1]) == "--fft";
  if (fft_only) {
    CompareFft();
    return 0;
  }
  if (argc > 1 && std::string(argv[1]) == "--trig") {
    CheapTrigCost();
    return 0;
  }
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("bench_stretch_" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(dir);
  const double seconds = quick ? 10.0 : 60.0;
  const std::string music = dir + "/music.wav";
  WriteWav(music, MusicLike(seconds, kRate), kRate);
  const auto engines = Engines();

  std::printf("Speed: %.0f s of 44.1 kHz stereo music-like audio, CPU seconds of the whole process\n", seconds);
  std::printf("(x RT = seconds of input per CPU second)\n\n");
  std::printf("%-16s", "setting");
  for (const auto& e : engines) std::printf(" | %-20s", e.name.c_str());
  std::printf("\n");
  std::map<std::string, std::vector<double>> cpu;
  for (const auto& s : kSettings) {
    char label[64];
    std::snprintf(label, sizeof label, "tempo %3.0f%% %+2.0f st", s.tempo, s.semis);
    std::printf("%-16s", label);
    for (const auto& e : engines) {
      const double t = RunCpu(e.args(s.tempo, s.semis, music, dir + "/out.wav"));
      cpu[e.name].push_back(t);
      if (t < 0) {
        std::printf(" | %-20s", "failed");
      } else {
        std::printf(" | %6.2f s %6.1fx RT  ", t, seconds / t);
      }
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  std::printf("\nRatios (peer CPU / our CPU; above 1 means we are faster):\n");
  for (size_t i = 0; i < std::size(kSettings); ++i) {
    const auto& s = kSettings[i];
    const double perf = cpu["qv3 performance"][i], tr = cpu["qv3 transcribe"][i];
    std::printf("  tempo %3.0f%% %+2.0f st: performance vs R2 %.2f (target >= 5), vs soundstretch %.2f;"
                " transcribe vs R3 %.2f (target >= 2)\n",
                s.tempo, s.semis, cpu["rubberband R2"][i] / perf,
                cpu["soundstretch"][i] / perf, cpu["rubberband R3"][i] / tr);
  }

  std::printf("\nQuality on generated signals (tone 440 Hz, chord C-E-G, clicks every 0.5 s):\n");
  std::printf("%-16s %-16s %8s %8s %8s %8s %9s %9s\n", "setting", "engine", "tone ct",
              "chord ct", "dur err", "onset ms", "pre-echo", "floor dB");
  for (const auto& s : kSettings) {
    for (const auto& e : engines) {
      const Quality q = Measure(e, s, dir);
      char label[64];
      std::snprintf(label, sizeof label, "tempo %3.0f%% %+2.0f st", s.tempo, s.semis);
      std::printf("%-16s %-16s %8.2f %8.2f %8ld %8.2f %9.1f %9.1f\n", label, e.name.c_str(),
                  q.tone_cents, q.chord_cents, q.duration_err, q.onset_ms, q.pre_echo_db,
                  q.floor_db);
    }
  }
  CheapTrigCost();
  CompareFft();
  std::filesystem::remove_all(dir);
  return 0;
}
