// bench_export [MINUTES]: export speed on a generated 44.1 kHz stereo song
// (default 10 minutes), each figure beside a peer measured in this run.
//   MP3 192 kbps: our export (decode, chain, LAME)  vs  lame -b 192 on the WAV
//   AAC ~192 kbps: our export to M4A (qv3-aacenc)   vs  ffmpeg -c:a aac -b:a 192k
//   Export Song at 75 %: real-time multiple          vs  the processor alone
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "editing/export_dialogs.h"
#include "editing/export_render.h"
#include "stretch/time_pitch_processor.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a) {
  return std::chrono::duration<double>(Clock::now() - a).count();
}

// CPU seconds of this process and its reaped children (the encoders), which
// a shared, loaded machine disturbs far less than wall time.
double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage ru{};
    getrusage(who, &ru);
    total += ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + ru.ru_stime.tv_sec +
             ru.ru_stime.tv_usec * 1e-6;
  }
  return total;
}

struct Timing {
  double wall = -1;
  double cpu = -1;
};

// Wall and CPU seconds of a child program; -1 when it fails.
Timing RunProgram(const std::vector<std::string>& argv) {
  std::fflush(stdout);  // the child must not write our buffered lines again
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return {Seconds(start), CpuSeconds() - cpu};
}

Timing ExportSeconds(const qv3::ExportSong& song, const std::string& out, int kbps) {
  qv3::FixedExportChoices choices(kbps);
  qv3::ExportTools tools;
#ifdef QV3_AACENC_PATH
  tools.aac_encoder = QV3_AACENC_PATH;
#endif
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  const auto r = qv3::ExportToFile(out, qv3::kExportScopeSong, song, &choices, tools, nullptr);
  if (r != qv3::ExportResult::kDone) return {};
  return {Seconds(start), CpuSeconds() - cpu};
}

struct Feed {
  const std::vector<float>* x;
  size_t pos = 0;
};

int ReadPlanar(float** b, int frames, void* user) {
  auto* f = static_cast<Feed*>(user);
  const size_t total = f->x->size() / 2;
  int n = 0;
  for (; n < frames && f->pos < total; ++n, ++f->pos) {
    b[0][n] = (*f->x)[2 * f->pos];
    b[1][n] = (*f->x)[2 * f->pos + 1];
  }
  return n;
}

// The processor alone at 75 % on the song held in memory: real-time multiple.
double ProcessorAlone(const std::string& wav, double seconds) {
  std::vector<float> x;
  {
    FILE* f = std::fopen(wav.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 44, SEEK_SET);
    std::vector<int16_t> s(1 << 16);
    size_t n;
    while ((n = std::fread(s.data(), 2, s.size(), f)) > 0) {
      for (size_t i = 0; i < n; ++i) x.push_back(s[i] / 32768.0f);
    }
    std::fclose(f);
  }
  Feed feed{&x};
  auto* tp = qv3::TimePitchCreate(qv3::kTimePitchModePerformance, qv3::kTimePitchQuality, 2,
                                  44100, ReadPlanar, &feed);
  qv3::TimePitchSetProperty(qv3::kTimePitchTimeFactor, qv3::TimePitchTimeFactor(75), tp);
  float** out = qv3::AllocPlanarBuffers(2, 44100);
  const double cpu = CpuSeconds();
  const int64_t want = static_cast<int64_t>(x.size() / 2 / 0.75);
  for (int64_t done = 0; done < want; done += 44100) {
    if (qv3::TimePitchProcess(out, 44100, tp) <= 0) break;
  }
  const double t = CpuSeconds() - cpu;
  qv3::FreePlanarBuffers(out, 2);
  qv3::TimePitchDestroy(tp);
  return seconds / 0.75 / t;
}

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
  const double seconds = minutes * 60;
  char tmpl[] = "/tmp/bench_export_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string wav = dir + "/song.wav";
  // Music-like content: a chord with vibrato over pink noise, 16-bit.
  const std::string sox = "sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth " +
                          std::to_string(seconds) +
                          " pinknoise sine 220 sine 277 sine 330 remix 1,2v0.3 3,4v0.3 "
                          "vol 0.5 2>/dev/null";
  if (std::system(sox.c_str()) != 0) {
    std::fprintf(stderr, "sox failed\n");
    return 1;
  }
  qv3::ExportSong song;
  song.audio_path = wav;
  song.volume_slider = 100;

  std::printf("bench_export: %.1f-minute 44.1 kHz stereo song (targets judged on CPU time)\n\n",
              minutes);
  std::printf("%-32s %8s %8s %8s %8s %7s %7s\n", "task", "ours s", "peer s", "ours cpu",
              "peer cpu", "ratio", "target");
  auto row = [](const char* name, Timing ours, Timing peer) {
    const double ratio = ours.cpu / peer.cpu;
    std::printf("%-32s %8.2f %8.2f %8.2f %8.2f %7.2f %7s  %s\n", name, ours.wall, peer.wall,
                ours.cpu, peer.cpu, ratio, "<=1.20", ratio <= 1.2 ? "met" : "NOT met");
  };
  row("MP3 192 kbps vs lame -b 192", ExportSeconds(song, dir + "/ours.mp3", 192),
      RunProgram({"lame", "--silent", "-b", "192", wav, dir + "/lame.mp3"}));
  row("AAC 194 kbps vs ffmpeg aac 192k", ExportSeconds(song, dir + "/ours.m4a", 194),
      RunProgram({"ffmpeg", "-v", "error", "-y", "-i", wav, "-c:a", "aac", "-b:a", "192k",
                  dir + "/ffmpeg.m4a"}));
#ifdef QV3_AACENC_PATH
  // The encoder program's own share: it alone on the same WAV, same row.
  row("  qv3-aacenc alone vs ffmpeg",
      RunProgram({"sh", "-c", std::string("'") + QV3_AACENC_PATH +
                                  "' -q 120 -c 20000 --mpeg-vers 4 -w -o '" + dir +
                                  "/alone.m4a' - < '" + wav + "'"}),
      RunProgram({"ffmpeg", "-v", "error", "-y", "-i", wav, "-c:a", "aac", "-b:a", "192k",
                  dir + "/ffmpeg2.m4a"}));
#endif

  qv3::ExportSong slow = song;
  slow.master_tempo = 7500;
  const Timing song75 = ExportSeconds(slow, dir + "/song75.wav", 0);
  const double export_rt = seconds / 0.75 / song75.cpu;
  const double alone_rt = ProcessorAlone(wav, seconds);
  std::printf("\n%-32s %8.1f x real time (%.2f s CPU, %.2f s wall)\n",
              "Export Song at 75 % (WAV)", export_rt, song75.cpu, song75.wall);
  std::printf("%-32s %8.1f x real time (CPU)\n", "processor alone at 75 %", alone_rt);
  std::printf("%-32s %8.2f (bound: <= 1.00)\n", "export / processor", export_rt / alone_rt);
  std::filesystem::remove_all(dir);
  return 0;
}
