// bench_engine: figures of the playback engine on a generated song.
//
//  1. Start latency: Play -> first block queued in the output, median and
//     worst of 50 starts, performance and transcribe mode, tempo 100 % and
//     50 % (target: median under 30 ms).
//  2. Render-ahead speed of the worker in real-time multiples (output
//     seconds per CPU second of the process, best of three, so other load on
//     the machine does not count), beside the same processor pulled directly
//     through the same read callback with no engine around it (the peer; the
//     engine should be within 10 % of it).
//  3. CPU load of the output path at tempo 100 % once the worker has
//     finished: mixer, 16-bit stream, volume and the 50 ms timer, as a
//     percentage of one core (target under 1 %).
//
// Runs on the null output device, which consumes audio in real time.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sndfile.h>

#include "engine/audio_player.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// A stereo "song": two detuned tones with a slow tremolo and clicks, so the
// processor has partials and onsets to work on.
bool WriteSong(const std::string& path, double seconds) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const int64_t frames = int64_t(seconds * 44100);
  std::vector<float> block(8192);
  for (int64_t done = 0; done < frames;) {
    int64_t n = std::min<int64_t>(4096, frames - done);
    for (int64_t i = 0; i < n; ++i) {
      double t = double(done + i) / 44100;
      double trem = 0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t);
      double click = (done + i) % 22050 < 64 ? 0.3 : 0.0;
      block[size_t(2 * i)] = float(trem * 0.3 * std::sin(2 * M_PI * 220 * t) + click);
      block[size_t(2 * i + 1)] = float(trem * 0.3 * std::sin(2 * M_PI * 331 * t) + click);
    }
    sf_writef_float(f, block.data(), n);
    done += n;
  }
  sf_close(f);
  return true;
}

class NullOwner : public qv3::PlayerOwner {
 public:
  void OnPlayerNotify(int, int64_t) override { ++count; }
  std::atomic<int> count{0};
};

// Pulls the whole song through a processor directly: the peer of the worker.
double ProcessorAloneSeconds(const std::string& path, int mode, double tempo, double* out_seconds) {
  qv3::PlayerStream s;
  s.decode_stream = qv3::StreamCreateFile(path.c_str(), 0, 0, qv3::kPlayerDecodeFlags);
  qv3::ChannelGetInfo(s.decode_stream, &s.channel_info);
  std::vector<float> read(size_t(2) * qv3::kPlayerBlockFrames);
  s.read_buffer = read.data();
  qv3::TimePitchProcessor* proc = qv3::TimePitchCreate(mode, qv3::kTimePitchQuality, 2, 44100.0f,
                                                       qv3::PlayerSourceRead, &s);
  qv3::TimePitchSetProperty(qv3::kTimePitchPitchFactor, 1.0, proc);
  qv3::TimePitchSetProperty(qv3::kTimePitchTimeFactor, 100.0 / tempo, proc);
  float** bufs = qv3::AllocPlanarBuffers(2, qv3::kPlayerBlockFrames);
  int64_t frames = 0;
  double cpu0 = ProcessCpuSeconds();
  for (;;) {
    int n = qv3::TimePitchProcess(bufs, qv3::kPlayerBlockFrames, proc);
    if (n <= 0) break;
    frames += n;
  }
  double secs = ProcessCpuSeconds() - cpu0;
  qv3::FreePlanarBuffers(bufs, 2);
  qv3::TimePitchDestroy(proc);
  qv3::StreamFree(s.decode_stream);
  *out_seconds = double(frames) / 44100;
  return secs;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// CPU milliseconds of the processor's first 16384-frame block after a
// clearing reset (median of 11): the part of the start latency that is the
// processor's own work.
double FirstBlockCpuMs(const std::string& path, int mode, double tempo) {
  qv3::PlayerStream s;
  s.decode_stream = qv3::StreamCreateFile(path.c_str(), 0, 0, qv3::kPlayerDecodeFlags);
  qv3::ChannelGetInfo(s.decode_stream, &s.channel_info);
  std::vector<float> read(size_t(2) * qv3::kPlayerBlockFrames);
  s.read_buffer = read.data();
  qv3::TimePitchProcessor* proc = qv3::TimePitchCreate(mode, qv3::kTimePitchQuality, 2, 44100.0f,
                                                       qv3::PlayerSourceRead, &s);
  float** bufs = qv3::AllocPlanarBuffers(2, qv3::kPlayerBlockFrames);
  std::vector<double> ms;
  for (int i = 0; i < 11; ++i) {
    qv3::TimePitchReset(true, proc);
    qv3::TimePitchSetProperty(qv3::kTimePitchPitchFactor, 1.0, proc);
    qv3::TimePitchSetProperty(qv3::kTimePitchTimeFactor, 100.0 / tempo, proc);
    qv3::ChannelSetPosition(s.decode_stream, uint64_t(i) * 2 * 44100 * 8, qv3::kPosByte);
    double t0 = ThreadCpuSeconds();
    qv3::TimePitchProcess(bufs, qv3::kPlayerBlockFrames, proc);
    ms.push_back((ThreadCpuSeconds() - t0) * 1000.0);
  }
  qv3::FreePlanarBuffers(bufs, 2);
  qv3::TimePitchDestroy(proc);
  qv3::StreamFree(s.decode_stream);
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

const char* ModeName(int mode) { return mode == qv3::kTimePitchModeTranscribe ? "transcribe" : "performance"; }

}  // namespace

int main() {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("bench_engine." + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string song = (dir / "song.wav").string();
  const std::string short_song = (dir / "short.wav").string();
  if (!WriteSong(song, 60.0) || !WriteSong(short_song, 20.0)) {
    std::fprintf(stderr, "bench_engine: cannot write the test songs in %s\n", dir.c_str());
    return 1;
  }
  if (!qv3::AudioInit(0, 44100, 0)) {
    std::fprintf(stderr, "bench_engine: the null output device did not start\n");
    return 1;
  }

  std::printf("bench_engine: 60 s generated stereo song, 44.1 kHz, null output device\n\n");
  std::printf("1. Start latency, Play -> first block queued (50 starts each; target median < 30 ms)\n");
  std::printf("   %-12s %7s %12s %12s %16s %22s\n", "mode", "tempo", "median ms", "worst ms",
              "Play() median ms", "processor 1st block CPU ms");
  for (int mode : {qv3::kTimePitchModePerformance, qv3::kTimePitchModeTranscribe}) {
    for (double tempo : {100.0, 50.0}) {
      NullOwner owner;
      qv3::AudioPlayer player(&owner);
      if (player.OpenSource(song, qv3::kTimePitchQuality, mode, false) != 0) {
        std::fprintf(stderr, "bench_engine: open failed\n");
        return 1;
      }
      player.SetTempo(tempo);
      std::vector<double> ms, play_ms;
      for (int i = 0; i < 50; ++i) {
        int64_t pos = int64_t(i % 25) * 2 * 44100 * 8;  // a different place each time
        auto t0 = Clock::now();
        player.Play(pos);
        play_ms.push_back(Ms(Clock::now() - t0));
        while (qv3::ChannelGetLength(player.output_stream(), qv3::kPosByte) == 0) {
          std::this_thread::yield();
        }
        ms.push_back(Ms(Clock::now() - t0));
        player.Stop();
      }
      std::sort(ms.begin(), ms.end());
      std::sort(play_ms.begin(), play_ms.end());
      std::printf("   %-12s %6.0f%% %12.2f %12.2f %16.2f %22.2f\n", ModeName(mode), tempo,
                  ms[ms.size() / 2], ms.back(), play_ms[play_ms.size() / 2],
                  FirstBlockCpuMs(song, mode, tempo));
    }
  }

  std::printf("\n2. Render-ahead speed (output seconds per CPU second; peer: the processor alone)\n");
  std::printf("   %-12s %7s %12s %14s %10s\n", "mode", "tempo", "engine x RT", "processor x RT",
              "ratio");
  for (int mode : {qv3::kTimePitchModePerformance, qv3::kTimePitchModeTranscribe}) {
    for (double tempo : {100.0, 50.0}) {
      double best_engine = 0, best_alone = 0;
      for (int rep = 0; rep < 3; ++rep) {
        double alone_out = 0;
        double alone = ProcessorAloneSeconds(song, mode, tempo, &alone_out);
        best_alone = std::max(best_alone, alone_out / alone);
        NullOwner owner;
        qv3::AudioPlayer player(&owner);
        player.OpenSource(song, qv3::kTimePitchQuality, mode, false);
        player.SetTempo(tempo);
        player.set_render_ahead_seconds(1e6);  // measure the worker, not the bound
        double cpu0 = ProcessCpuSeconds();
        player.Play(0);
        while (player.last_worker_result() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        double cpu = ProcessCpuSeconds() - cpu0;
        double engine_out = double(player.samples_pushed()) / 2 / 44100;
        best_engine = std::max(best_engine, engine_out / cpu);
        player.Stop();
      }
      std::printf("   %-12s %6.0f%% %12.1f %14.1f %10.2f\n", ModeName(mode), tempo, best_engine,
                  best_alone, best_engine / best_alone);
    }
  }

  std::printf("\n3. Output path CPU at tempo 100 %% after the worker finished (target < 1 %% of a core)\n");
  {
    NullOwner owner;
    qv3::AudioPlayer player(&owner);
    player.OpenSource(short_song, qv3::kTimePitchQuality, qv3::kTimePitchModePerformance, false);
    player.SetVolume(0.8f);
    player.Play(0);
    while (player.last_worker_result() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double window = 5.0;
    double cpu0 = ProcessCpuSeconds();
    auto t0 = Clock::now();
    int ticks0 = owner.count;
    std::this_thread::sleep_for(std::chrono::duration<double>(window));
    double cpu = ProcessCpuSeconds() - cpu0;
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("   playing: %s, %.1f s measured, %d notifications, CPU %.3f s = %.2f %% of one core\n",
                player.IsPlaying() ? "yes" : "no", wall, owner.count - ticks0, cpu,
                100.0 * cpu / wall);
    player.Stop();
  }
  qv3::AudioFree();
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
