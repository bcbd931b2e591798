// Test helpers of import: media files made by Debian's ffmpeg, a host whose
// "player" is a real float decoding stream of the audio library, and a
// progress view that pumps the main-thread queue. Tests only.
#ifndef QV3_EDITING_IMPORT_TEST_SUPPORT_H_
#define QV3_EDITING_IMPORT_TEST_SUPPORT_H_

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audiolib/audiolib.h"
#include "editing/import_host.h"
#include "editing/import_source.h"
#include "editing/import_video.h"
#include "platform/main_thread.h"
#include "platform/process.h"

namespace qv3::import_test {

// Runs ffmpeg quietly with `args` (each one word) writing `path`; true when
// the file exists afterwards.
inline bool MakeMedia(const std::string& path, const std::vector<std::string>& args) {
  std::string cmd = "ffmpeg -nostdin -v error -y";
  for (const std::string& a : args) cmd += " " + ShellQuote(a);
  cmd += " " + ShellQuote(path) + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0 && std::filesystem::exists(path);
}

// A stereo 440 Hz sine (amplitude 1/8) of `seconds` at `rate`, as lavfi input
// arguments.
inline std::vector<std::string> SineInput(double seconds, int rate = 44100) {
  return {"-f", "lavfi", "-i",
          "sine=frequency=440:sample_rate=" + std::to_string(rate) +
              ":duration=" + std::to_string(seconds),
          "-ac", "2"};
}

inline std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Files directly inside `folder`.
inline std::vector<std::string> FolderFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(e.path().filename().string());
  }
  return names;
}

class FakeHost : public ImportHost {
 public:
  ~FakeHost() override { ClosePlayerSource(); }

  void EnableMainWindow(bool enable) override {
    enabled = enable;
    calls.push_back(enable ? "enable" : "disable");
  }
  void BringToForeground() override { calls.push_back("foreground"); }
  SongFileSet& Files() override { return files; }
  void SetSongProperties(const SongProperties& p) override { props = p; }
  void SetSongPaths(const std::string& s, const std::string& a, const std::string& p) override {
    source_path = s;
    audio_copy_path = a;
    project_path = p;
  }
  void SetSongLength(double seconds) override { song_length = seconds; }
  bool WriteProjectState(const std::string& path) override {
    state_written = path;
    return true;
  }
  void SetSavedState(int saved, bool rewrite) override {
    calls.push_back("saved " + std::to_string(saved) + (rewrite ? " rewrite" : ""));
  }
  bool AskSaveChanges() override {
    calls.push_back("ask");
    return ask_answer;
  }
  bool OpenProject(const std::string& path) override {
    calls.push_back("project " + path);
    return project_ok;
  }
  void ShowNoSong() override { calls.push_back("no song"); }
  void AddRecentFile(const std::string& path) override { recent.push_back(path); }
  void NotifyPad(int code) override { pad_codes.push_back(code); }
  void RefreshTitle() override { calls.push_back("title"); }
  void ClosePlayerSource() override {
    if (stream) StreamFree(stream);
    stream = 0;
  }
  int OpenPlayerSource(const std::string& wav) override {
    if (stream) return -2;
    stream = StreamCreateFile(wav.c_str(), 0, 0, kSampleFloat | kStreamDecode);
    if (!stream) return -3;
    ChannelInfo info{};
    ChannelGetInfo(stream, &info);
    if (info.chans < 1 || info.chans > 2) {
      ClosePlayerSource();
      return -4;
    }
    return 0;
  }
  int64_t PlayerLengthBytes() override {
    return stream ? static_cast<int64_t>(ChannelGetLength(stream, kPosByte)) : 0;
  }
  double PlayerLengthSeconds() override {
    return stream ? ChannelBytes2Seconds(stream, ChannelGetLength(stream, kPosByte)) : 0.0;
  }
  StreamHandle PlayerDecodeStream() override { return stream; }
  void ClearWaveform() override { calls.push_back("clear wave"); }
  void SetPositionSlider(int64_t max, int64_t page) override {
    slider_max = max;
    slider_page = page;
  }
  void LoadPeaks(const PeakSet& p) override { peaks = p; }
  void ShowWholeSong() override { calls.push_back("zoom all"); }
  void ResetControls() override { calls.push_back("reset controls"); }

  bool Contains(const std::string& call) const {
    for (const auto& c : calls) {
      if (c == call) return true;
    }
    return false;
  }

  SongFileSet files;
  StreamHandle stream = 0;
  bool enabled = true;
  bool ask_answer = true;
  bool project_ok = true;
  SongProperties props;
  std::string source_path, audio_copy_path, project_path, state_written;
  double song_length = 0;
  int64_t slider_max = 0, slider_page = 0;
  PeakSet peaks;
  std::vector<std::string> calls;
  std::vector<std::string> recent;
  std::vector<int> pad_codes;
};

// Drives the pipe messages through the built-in main-thread queue.
class FakeProgressView : public ImportProgressView {
 public:
  void Prepare(const ImportProgressTexts& t) override { prepared = t; }
  void ShowProgress(const ImportProgressTexts& t) override {
    shown = t;
    visible = true;
  }
  void SetProgress(int value) override { progress.push_back(value); }
  void SetTimeLine(const std::string& text) override { time_lines.push_back(text); }
  void Pump() override {
    RunPendingMainThreadCalls();
    ++pumps;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  bool CancelRequested() override { return cancel_when && cancel_when(*this); }
  void Close(bool ok) override {
    closed = true;
    closed_ok = ok;
  }

  ImportProgressTexts prepared, shown;
  bool visible = false, closed = false, closed_ok = false;
  std::vector<int> progress;
  std::vector<std::string> time_lines;
  int pumps = 0;
  std::function<bool(FakeProgressView&)> cancel_when;
};

class FakeViewFactory : public ProgressViewFactory {
 public:
  std::unique_ptr<ImportProgressView> MakeProgressView() override {
    auto v = std::make_unique<FakeProgressView>();
    last = v.get();
    if (cancel_when) v->cancel_when = cancel_when;
    return v;
  }
  FakeProgressView* last = nullptr;  // valid only during the import
  std::function<bool(FakeProgressView&)> cancel_when;
};

}  // namespace qv3::import_test

#endif  // QV3_EDITING_IMPORT_TEST_SUPPORT_H_
