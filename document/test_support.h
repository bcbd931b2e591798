// Helpers shared by the document tests: a scratch folder, a comma decimal
// locale, and a ProjectHost fake that records what the flows ask of it.
#ifndef QV3_DOCUMENT_TEST_SUPPORT_H_
#define QV3_DOCUMENT_TEST_SUPPORT_H_

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "document/project_host.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace qv3::testing {

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = SystemTempDir() + "/qv3-document-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::string data;
  ReadWholeFile(path, &data);
  return data;
}

inline void WriteFile(const std::string& path, const std::string& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

// Switches the C library to a locale whose decimal mark is a comma (as Qt
// does from a German environment) for the object's lifetime. When the
// system has no such locale one is compiled with localedef into a private
// folder named by LOCPATH. active() is false when neither works.
class CommaLocale {
 public:
  CommaLocale() {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
      static std::string dir = Build();
      if (!dir.empty()) {
        setenv("LOCPATH", dir.c_str(), 1);
        std::setlocale(LC_ALL, "de_DE.UTF-8");
      }
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    active_ = std::string(buf) == "1,5";
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  bool active() const { return active_; }

 private:
  static std::string Build() {
    std::string dir = SystemTempDir() + "/qv3-locale-" + std::to_string(getuid());
    MakeDirs(dir);
    std::string target = dir + "/de_DE.UTF-8";
    if (!IsDirectory(target)) {
      // Built aside and renamed into place: test processes may run at once.
      std::string work = dir + "/build-" + std::to_string(getpid());
      std::string cmd = "localedef -i de_DE -f UTF-8 '" + work + "' >/dev/null 2>&1";
      int rc = std::system(cmd.c_str());
      if (rc == 0 || IsDirectory(work)) std::rename(work.c_str(), target.c_str());
      std::error_code ec;
      std::filesystem::remove_all(work, ec);
      if (!IsDirectory(target)) return {};
    }
    return dir;
  }
  bool active_ = false;
};

// Records each call; answers come from its public fields.
class FakeHost : public ProjectHost {
 public:
  explicit FakeHost(DocumentState* state = nullptr) : state_(state) {}
  void set_state(DocumentState* state) { state_ = state; }

  bool OpenProjectAudio(const std::string& audio_path) override {
    opened_audio.push_back(audio_path);
    if (!open_succeeds) return false;
    // What import does: a fresh song resets the view's master values.
    state_->master.Reset();
    state_->song_length = song_length;
    state_->audio_open = true;
    state_->source_path = audio_path;
    state_->audio_path = audio_path;
    state_->project_path = project_folder + "/Untitled.qvp";
    return true;
  }
  bool IsPlaying() override { return playing; }
  void StopPlayback() override {
    ++stops;
    playing = false;
  }
  void ApplyPlaybackMode(PlaybackMode mode) override { modes.push_back(mode); }
  void SetPitchTempoSliders(int32_t pitch, int32_t tempo) override {
    slider_pitch = pitch;
    slider_tempo = tempo;
    ++slider_sets;
  }
  void AttachEqualizer() override { ++eq_attaches; }
  bool SelectEqPreset(const std::string& name) override {
    selected_presets.push_back(name);
    for (const std::string& p : presets) {
      if (p == name) return true;
    }
    return false;
  }
  std::string NoPresetName() override { return presets.empty() ? "PresetUnknown" : presets[0]; }
  void ApplyVocalReduction(int32_t level) override { vocal_reduction = level; }
  std::string StatePathAtCurrentIndex() override { return state_file; }
  std::string RecordStateStep() override {
    ++steps;
    return step_file;
  }
  void CurrentNames(std::string* state_path, std::string* audio_path) override {
    *state_path = state_file;
    *audio_path = working_audio;
  }
  std::string ProjectFolder() override { return project_folder; }
  void NotifyPadProjectOpened(const std::string& path) override { pad_notices.push_back(path); }
  void AddRecentFile(const std::string& path) override { recent.push_back(path); }
  void ShowTitle(const std::string& title) override { titles.push_back(title); }

  // Answers.
  bool open_succeeds = true;
  double song_length = 100.0;
  bool playing = false;
  std::vector<std::string> presets;
  std::string state_file;
  std::string step_file;
  std::string working_audio;
  std::string project_folder = "/projects";

  // Records.
  std::vector<std::string> opened_audio;
  int stops = 0;
  std::vector<PlaybackMode> modes;
  int32_t slider_pitch = -99999;
  int32_t slider_tempo = -99999;
  int slider_sets = 0;
  int eq_attaches = 0;
  std::vector<std::string> selected_presets;
  int32_t vocal_reduction = -1;
  int steps = 0;
  std::vector<std::string> pad_notices;
  std::vector<std::string> recent;
  std::vector<std::string> titles;

 private:
  DocumentState* state_;
};

}  // namespace qv3::testing

#endif  // QV3_DOCUMENT_TEST_SUPPORT_H_
