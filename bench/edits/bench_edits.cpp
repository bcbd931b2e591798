// bench_edits: each edit command on a 10-minute 44.1 kHz stereo 16-bit song,
// end to end through EditCommands: the kernel writing the new snapshot, the
// reload (a float decode stream opened on it) and the full peak rescan, plus
// undo and redo of an audio step. A light host stands in for the window.
// "edit s" is the total less the reload: kernel, snapshot step, loops and
// state file. The peer is sox doing the same whole-file pass (gain, fade, pad) on the
// same file, and a plain file copy as the floor of any whole-file rewrite.
//
// Targets: under 1.5 s per edit, under 0.5 s per undo/redo.
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audiolib/audiolib.h"
#include "editing/clipboard_marker.h"
#include "editing/edit_test_support.h"
#include "editing/peak_scan.h"
#include "platform/clipboard.h"
#include "platform/ui_services.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

constexpr int kRate = 44100;
constexpr int kSongSeconds = 600;

class QuietUi : public qv3::UiServices {
 public:
  void ShowMessage(const std::string& t, const std::string& c, qv3::MsgIcon) override {
    std::fprintf(stderr, "message [%s]: %s\n", c.c_str(), t.c_str());
    ++messages;
  }
  qv3::Answer Ask(const std::string&, const std::string&, qv3::AskButtons, qv3::Answer d,
                  qv3::MsgIcon) override {
    return d;
  }
  std::string OpenFileName(const qv3::FileDialogRequest&) override { return {}; }
  std::string SaveFileName(const qv3::FileDialogRequest&) override { return {}; }
  std::string BrowseFolder(const std::string&, const std::string&) override { return {}; }
  void SetStatusText(const std::string&) override {}
  void Beep() override {}
  void ProcessPendingEvents() override {}
  int messages = 0;
};

qv3::edit_testing::Pcm MakeMusic() {
  qv3::edit_testing::Pcm pcm{kRate, 2, {}};
  pcm.samples.resize(size_t(kRate) * kSongSeconds * 2);
  for (int64_t i = 0; i < int64_t(kRate) * kSongSeconds; ++i) {
    const double t = double(i) / kRate;
    const double env = 0.5 + 0.4 * std::sin(2 * M_PI * t / 7.0);
    pcm.samples[size_t(2 * i)] = short(20000 * env * std::sin(2 * M_PI * 220 * t));
    pcm.samples[size_t(2 * i + 1)] = short(15000 * env * std::sin(2 * M_PI * 331 * t));
  }
  return pcm;
}

double TimeCommand(const std::string& command) {
  const auto t = Clock::now();
  const int rc = std::system(command.c_str());
  const double s = Since(t);
  return rc == 0 ? s : -1.0;
}

}  // namespace

int main() {
  using namespace qv3;
  QuietUi ui;
  InstallUi(&ui);
  MemoryClipboard clipboard;
  InstallClipboard(&clipboard);
  AudioInitManual(44100, 0);

  char tmpl[] = "/tmp/qv3-bench-edits-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;

  edit_testing::SongWindow w;
  double reload_seconds = 0.0;
  PeakSet peaks;
  w.reload_hook = [&](const std::string& path) {
    const auto t = Clock::now();
    const StreamHandle s = StreamCreateFile(path.c_str(), 0, 0, kSampleFloat | kStreamDecode);
    if (!s) return false;
    const bool ok = ScanChannelPeaks(s, &peaks);
    const uint64_t bytes = ChannelGetLength(s, kPosByte);
    w.song_length = ChannelBytes2Seconds(s, bytes);
    StreamFree(s);
    w.open_audio = path;
    reload_seconds = Since(t);
    return ok;
  };

  std::printf("bench_edits: 10-minute 44.1 kHz stereo 16-bit song in %s\n", dir.c_str());
  const auto gen = Clock::now();
  if (!w.Open(dir, MakeMusic())) {
    std::fprintf(stderr, "cannot open the song\n");
    return 1;
  }
  const std::string original = dir + "/original.wav";
  std::filesystem::copy_file(w.files.CurrentNames().audio, original);
  std::printf("song written and first scan: %.2f s (peaks %d values)\n\n", Since(gen),
              peaks.value_count);

  struct Row {
    const char* name;
    double total;
    double reload;
  };
  std::vector<Row> rows;
  auto run = [&](const char* name, auto&& setup, auto&& command) {
    setup();
    reload_seconds = 0.0;
    const auto t = Clock::now();
    const bool ok = command();
    const double total = Since(t);
    if (!ok) std::fprintf(stderr, "%s failed\n", name);
    rows.push_back({name, total, reload_seconds});
  };
  auto select = [&](double a, double b) {
    return [&w, a, b] {
      w.sel_start = a;
      w.sel_end = b;
    };
  };
  auto at = [&](double p) { return [&w, p] { w.position = p; }; };

  run("Copy (10 s)", select(60, 70), [&] { return w.commands.Copy() == 1; });
  run("Paste (10 s at 120 s)", at(120), [&] { return w.commands.Paste(); });
  run("Delete (10 s)", select(60, 70), [&] { return w.commands.Delete(); });
  run("Cut (10 s)", select(200, 210), [&] { return w.commands.Cut(); });
  w.silence_seconds = 10.0;
  w.silence_where = InsertPoint::kCurrentPosition;
  run("Insert Silence (10 s at 30 s)", at(30), [&] { return w.commands.InsertSilence(); });
  run("Silence (10 s)", select(100, 110), [&] { return w.commands.SilenceSection(); });
  w.volume_percent = 50.0;
  run("Change Volume 50 % (580 s)", select(10, 590), [&] { return w.commands.ChangeVolume(); });
  run("Fade In (30 s)", select(0, 30), [&] { return w.commands.FadeIn(); });
  run("Fade Out (30 s)", select(570, 600), [&] { return w.commands.FadeOut(); });
  run("Undo (audio step)", [] {}, [&] { return w.commands.Undo(true) == 1; });
  run("Redo (audio step)", [] {}, [&] { return w.commands.Redo(true) == 1; });

  std::printf("%-32s %10s %12s %12s %8s\n", "command", "total s", "edit s", "reload+scan", "target");
  double worst_edit = 0.0;
  double worst_undo = 0.0;
  for (const Row& r : rows) {
    const bool undo = r.name[0] == 'U' || r.name[0] == 'R';
    const double target = undo ? 0.5 : 1.5;
    const double kernel = r.total - r.reload;
    std::printf("%-32s %10.3f %12.3f %12.3f %8s\n", r.name, r.total, kernel, r.reload,
                r.total < target ? "met" : "MISSED");
    if (undo) {
      worst_undo = std::max(worst_undo, r.total);
    } else {
      worst_edit = std::max(worst_edit, r.total);
    }
  }

  // Peers on the same original file.
  const std::string out = dir + "/peer.wav";
  const double cp = TimeCommand("cp '" + original + "' '" + out + "'");
  const double sox_vol = TimeCommand("sox '" + original + "' '" + out + "' vol 0.5 2>/dev/null");
  const double sox_fade = TimeCommand("sox '" + original + "' '" + out + "' fade t 30 2>/dev/null");
  const double sox_pad = TimeCommand("sox '" + original + "' '" + out + "' pad 10@30 2>/dev/null");
  std::printf("\npeers on the same song: cp %.3f s, sox vol %.3f s, sox fade %.3f s, sox pad %.3f s\n",
              cp, sox_vol, sox_fade, sox_pad);
  auto find = [&](const char* prefix) {
    for (const Row& r : rows)
      if (std::string(r.name).rfind(prefix, 0) == 0) return r;
    return Row{prefix, 0, 0};
  };
  const Row vol = find("Change Volume");
  const Row fade = find("Fade In");
  const Row pad = find("Insert Silence");
  if (sox_vol > 0)
    std::printf("kernel / sox: change volume %.2f, fade in %.2f, insert silence %.2f\n",
                (vol.total - vol.reload) / sox_vol, (fade.total - fade.reload) / sox_fade,
                (pad.total - pad.reload) / sox_pad);
  std::printf("worst edit %.3f s (target 1.5 s: %s), worst undo/redo %.3f s (target 0.5 s: %s)\n",
              worst_edit, worst_edit < 1.5 ? "met" : "MISSED", worst_undo,
              worst_undo < 0.5 ? "met" : "MISSED");
  std::printf("messages shown: %d\n", ui.messages);

  w.files.Reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  AudioFree();
  InstallClipboard(nullptr);
  return 0;
}
