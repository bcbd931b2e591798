// qv3-play FILE [--tempo P] [--pitch S] [--transcribe]
//
// Opens FILE in the playback engine, plays it from the start at tempo P per
// cent (10..400) and S semitones (-24..24), prints the position, the output
// state and the processing progress, and exits once the queued audio has
// played out (or on Ctrl+C). The engine's notifications reach the main
// thread the way they reach the main window: posted with PostToMainThread.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "engine/audio_player.h"
#include "engine/audio_setup.h"
#include "platform/main_thread.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) { g_interrupted = 1; }

const char* StateName(int state) {
  switch (state) {
    case qv3::kOutputStopped: return "stopped";
    case qv3::kOutputPlaying: return "playing";
    case qv3::kOutputStalled: return "stalled";
    case qv3::kOutputPaused: return "paused";
  }
  return "?";
}

// Hands every notification to the main thread, as the main window does.
class PlayOwner : public qv3::PlayerOwner {
 public:
  void OnPlayerNotify(int code, int64_t value) override {
    qv3::PostToMainThread([this, code, value] { Handle(code, value); });
  }
  void Handle(int code, int64_t value) {
    if (code == qv3::kPlayerNotifyState) {
      state = static_cast<int>(value);
      if (state != qv3::kOutputStopped) started = true;
      std::printf("state %s\n", StateName(state));
      if (started && state == qv3::kOutputStopped) finished = true;
    } else if (code == qv3::kPlayerNotifyProgress) {
      progress = static_cast<int>(value);
    } else if (code == qv3::kPlayerNotifyOpened) {
      std::printf("opened\n");
    }
  }
  int state = qv3::kOutputStopped;
  int progress = 0;
  bool started = false;
  bool finished = false;
};

int Usage() {
  std::fprintf(stderr,
               "usage: qv3-play FILE [--tempo P] [--pitch S] [--transcribe]\n"
               "  --tempo P      tempo in per cent, 10..400 (default 100)\n"
               "  --pitch S      pitch in semitones, -24..24 (default 0)\n"
               "  --transcribe   the transcribe processing mode (default performance)\n"
               "QV3_AUDIO_DEVICE=null plays on the null device (in real time, silently).\n");
  return 2;
}

bool ParseNumber(const char* text, double* out) {
  char* end = nullptr;
  *out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

std::string Clock(double seconds) {
  int whole = static_cast<int>(seconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d.%d", whole / 60, whole % 60,
                static_cast<int>((seconds - whole) * 10));
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
  double tempo = 100, pitch = 0;
  int mode = qv3::kTimePitchModePerformance;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "--tempo" || a == "--pitch") && i + 1 < argc) {
      if (!ParseNumber(argv[++i], a == "--tempo" ? &tempo : &pitch)) return Usage();
    } else if (a == "--transcribe") {
      mode = qv3::kTimePitchModeTranscribe;
    } else if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else {
      return Usage();
    }
  }
  if (file.empty()) return Usage();

  if (!qv3::AudioStartup()) return 1;
  PlayOwner owner;
  int rc = 0;
  {
    qv3::AudioPlayer player(&owner);
    if (player.SetTempo(tempo) == 0) {
      std::fprintf(stderr, "qv3-play: tempo %g is outside 10..400\n", tempo);
      return 2;
    }
    if (player.SetPitch(pitch) == 0) {
      std::fprintf(stderr, "qv3-play: pitch %g is outside -24..24\n", pitch);
      return 2;
    }
    int open = player.OpenSource(file, qv3::kTimePitchQuality, mode, true);
    if (open != qv3::kPlayerOpenOk) {
      const char* why = open == qv3::kPlayerCannotDecode ? "cannot decode it"
                        : open == qv3::kPlayerBadChannels ? "only mono and stereo files play"
                        : "the time/pitch processor could not be created";
      std::fprintf(stderr, "qv3-play: %s: %s (%d)\n", file.c_str(), why, open);
      qv3::AudioFree();
      return 1;
    }
    player.SetVolume(1.0f);
    std::printf("%s: %u Hz, %.2f s, tempo %g %%, pitch %g, %s mode\n", file.c_str(),
                player.SampleRate(), player.LengthSeconds(), tempo, pitch,
                mode == qv3::kTimePitchModeTranscribe ? "transcribe" : "performance");
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    player.Play(0);
    const double length = player.LengthSeconds();
    auto next_print = std::chrono::steady_clock::now();
    while (!owner.finished && !g_interrupted) {
      qv3::RunPendingMainThreadCalls();
      auto now = std::chrono::steady_clock::now();
      if (now >= next_print) {
        std::printf("position %s / %s  state %s  processing %d%%\n",
                    Clock(player.PositionSeconds()).c_str(), Clock(length).c_str(),
                    StateName(player.LastOutputState()), owner.progress);
        std::fflush(stdout);
        next_print += std::chrono::seconds(1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (g_interrupted) {
      std::printf("interrupted\n");
      rc = 130;
    }
    double heard = player.PositionSeconds();
    player.Stop();
    qv3::RunPendingMainThreadCalls();
    std::printf("position %s  done\n", Clock(heard).c_str());
    player.CloseSource();
  }
  qv3::RunPendingMainThreadCalls();
  qv3::AudioFree();
  return rc;
}
