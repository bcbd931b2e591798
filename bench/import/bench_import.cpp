// Opens a generated 10-minute 44.1 kHz stereo MP3 and WAV the way the Open
// command does (working WAV + peak scan, with a host whose player is a float
// decoding stream) and times Debian's ffmpeg decoding the same MP3 and cp
// copying the same WAV in the same run. Best of three runs each.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "audiolib/audiolib.h"
#include "editing/import_source.h"
#include "editing/import_test_support.h"
#include "editing/import_peaks.h"
#include "editing/peak_scan.h"
#include "platform/process.h"
#include "platform/recording_ui.h"

namespace {

using Clock = std::chrono::steady_clock;

double BestOf(int runs, const std::function<bool()>& step) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (!step()) {
      std::fprintf(stderr, "bench_import: a run failed\n");
      std::exit(1);
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

int main(int argc, char** argv) {
  using namespace qv3;
  const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
  const int seconds = static_cast<int>(minutes * 60);
  char tmpl[] = "/tmp/bench_import.XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;
  const std::string mp3 = dir + "/song.mp3";
  const std::string wav = dir + "/song.wav";
  // Music-like input: two sines and some noise, so the encoder works.
  const std::string source = "sine=frequency=220:sample_rate=44100:duration=" + std::to_string(seconds);
  std::printf("Generating %d s of 44.1 kHz stereo audio...\n", seconds);
  if (!import_test::MakeMedia(mp3, {"-f", "lavfi", "-i", source, "-f", "lavfi", "-i",
                                    "anoisesrc=a=0.05:r=44100:d=" + std::to_string(seconds),
                                    "-filter_complex", "amix=inputs=2", "-ac", "2", "-c:a",
                                    "libmp3lame", "-b:a", "192k"}) ||
      !import_test::MakeMedia(wav, {"-i", mp3, "-c:a", "pcm_s16le"})) {
    std::fprintf(stderr, "bench_import: ffmpeg could not make the inputs\n");
    return 1;
  }
  if (!AudioInit(0, 44100, 0)) return 1;

  ScopedRecordingUi ui;
  import_test::FakeHost host;
  SourceImporter importer(&host, nullptr);
  ImportSettings settings;
  settings.temp_folder = dir + "/Temp";
  settings.project_folder = dir + "/Project";
  std::filesystem::create_directories(settings.temp_folder);
  std::filesystem::create_directories(settings.project_folder);
  importer.set_settings(settings);

  auto open = [&](const std::string& path) {
    host.ClosePlayerSource();
    const bool ok = importer.OpenSource(path, true, true) == OpenOutcome::kOpened;
    return ok && host.peaks.value_count > 0;
  };
  const std::string out = dir + "/out.wav";
  const std::string copy = dir + "/copy.wav";
  const double ffmpeg_mp3 = BestOf(3, [&] {
    return Shell("ffmpeg -nostdin -v error -y -i " + ShellQuote(mp3) + " " + ShellQuote(out));
  });
  const double ours_mp3 = BestOf(3, [&] { return open(mp3); });
  const double ms_mp3 = host.song_length;
  const double cp_wav = BestOf(3, [&] { return Shell("cp " + ShellQuote(wav) + " " + ShellQuote(copy)); });
  const double ours_wav = BestOf(3, [&] { return open(wav); });
  const double ms_wav = host.song_length;
  // The shares of the WAV open: the copy, the scan of the working WAV, and
  // for comparison the same scan through a float decoding stream.
  const double copy_only = BestOf(3, [&] {
    std::error_code ec;
    std::filesystem::copy_file(wav, copy, std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
  });
  const double scan_only = BestOf(3, [&] {
    PeakSet peaks;
    bool readable = false;
    return ScanWorkingWavPeaks(wav, &peaks, &readable);
  });
  const double stream_scan = BestOf(3, [&] {
    StreamHandle h = StreamCreateFile(wav.c_str(), 0, 0, kSampleFloat | kStreamDecode);
    PeakSet peaks;
    const bool ok = h && ScanChannelPeaks(h, &peaks);
    StreamFree(h);
    return ok;
  });
  host.ClosePlayerSource();
  host.files.Reset();
  AudioFree();

  std::printf("\n%-44s %10s %10s %8s %8s\n", "case (best of 3)", "ours s", "peer s", "ratio",
              "target");
  std::printf("%-44s %10.3f %10.3f %8.2f %8s\n", "MP3 open (decode+scan) vs ffmpeg -i x.mp3 x.wav",
              ours_mp3, ffmpeg_mp3, ours_mp3 / ffmpeg_mp3, "<= 1.30");
  std::printf("%-44s %10.3f %10.3f %8.2f %8s\n", "WAV open (copy+scan) vs cp", ours_wav, cp_wav,
              ours_wav / cp_wav, "<= 3.00");
  std::printf("%-44s %10.3f\n", "  the copy alone", copy_only);
  std::printf("%-44s %10.3f\n", "  the peak scan of the working WAV alone", scan_only);
  std::printf("%-44s %10.3f\n", "  (the same scan through a decoding stream)", stream_scan);
  std::printf("\nsong lengths: MP3 %.2f s, WAV %.2f s; WAV size %.1f MB\n", ms_mp3, ms_wav,
              std::filesystem::file_size(wav) / 1048576.0);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
