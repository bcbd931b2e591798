#include "tools/qv3-render/render.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/equalizer_bands.h"
#include "app/equalizer_presets.h"
#include "app/vocal_reduction.h"
#include "audiolib/audiolib.h"
#include "document/project_file.h"
#include "editing/export_dialogs.h"
#include "editing/export_render.h"
#include "platform/app_settings.h"
#include "platform/ui_services.h"
#include "stretch/time_pitch_processor.h"

namespace qv3 {
namespace {

const char kUsage[] =
    "usage: qv3-render [--mode performance|transcribe] [--tempo PERCENT] "
    "[--pitch SEMITONES] [--volume 0..100] [--vocal-reduction 0..256] [--eq-preset NAME] "
    "[--bitrate KBPS] [--aac-encoder PROGRAM] INPUT OUTPUT | --project FILE.qvp "
    "[--scope song|loops|loop:N] [options] OUTPUT";

bool ParseNumber(const std::string& text, double* value) {
  const char* b = text.data();
  const char* e = b + text.size();
  auto [ptr, ec] = std::from_chars(b, e, *value);
  return ec == std::errc() && ptr == e && std::isfinite(*value);
}

bool ParseInt(const std::string& text, int lo, int hi, int* value) {
  const char* b = text.data();
  const char* e = b + text.size();
  auto [ptr, ec] = std::from_chars(b, e, *value);
  return ec == std::errc() && ptr == e && *value >= lo && *value <= hi;
}

// Collects what the export would show in message boxes: the first message
// becomes the one-line error; status texts are dropped.
class CollectingUi : public UiServices {
 public:
  void ShowMessage(const std::string& text, const std::string&, MsgIcon) override {
    if (!first.empty()) return;
    for (char c : text) {
      if (c == '\n' || c == '\t') {
        if (!first.empty() && first.back() != ' ') first += ' ';
      } else {
        first += c;
      }
    }
  }
  Answer Ask(const std::string&, const std::string&, AskButtons, Answer d, MsgIcon) override {
    return d;
  }
  std::string OpenFileName(const FileDialogRequest&) override { return {}; }
  std::string SaveFileName(const FileDialogRequest&) override { return {}; }
  std::string BrowseFolder(const std::string&, const std::string&) override { return {}; }
  void SetStatusText(const std::string&) override {}
  void Beep() override {}
  void ProcessPendingEvents() override {}
  std::string first;
};

class ScopedUi {
 public:
  explicit ScopedUi(UiServices* ui) { InstallUi(ui); }
  ~ScopedUi() { InstallUi(nullptr); }
};

// qv3-aacenc beside this program when it is there, else looked up in PATH.
std::string DefaultAacEncoder() {
  std::vector<char> self(4096);
  const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (n > 0) {
    std::string path(self.data(), static_cast<size_t>(n));
    path = path.substr(0, path.rfind('/') + 1) + "qv3-aacenc";
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return "qv3-aacenc";
}

bool FindPreset(const std::string& name, EqGains* gains) {
  for (const auto& list : {LoadEqPresets(ConfigFilePath()), StarterEqPresets()}) {
    for (const EqPreset& p : list) {
      if (p.name == name) {
        *gains = p.gains;
        return true;
      }
    }
  }
  return false;
}

bool ReadText(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

}  // namespace

bool ParseRenderArgs(int argc, char** argv, RenderOptions* o,
                     std::string* error) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--mode") {
      if (!value(&v) || (v != "performance" && v != "transcribe")) {
        *error = "--mode must be performance or transcribe";
        return false;
      }
      o->transcribe = v == "transcribe";
      o->mode_set = true;
    } else if (a == "--tempo") {
      if (!value(&v) || !ParseNumber(v, &o->tempo) || o->tempo < 10.0 ||
          o->tempo > 400.0) {
        *error = "--tempo must be a per cent from 10 to 400";
        return false;
      }
      o->tempo_set = true;
    } else if (a == "--pitch") {
      if (!value(&v) || !ParseNumber(v, &o->pitch) || o->pitch < -24.0 ||
          o->pitch > 24.0) {
        *error = "--pitch must be semitones from -24 to 24";
        return false;
      }
      o->pitch_set = true;
    } else if (a == "--project") {
      if (!value(&o->project)) {
        *error = "--project needs a project file";
        return false;
      }
    } else if (a == "--scope") {
      if (!value(&v)) v.clear();
      if (v == "song") {
        o->scope = kExportScopeSong;
      } else if (v == "loops") {
        o->scope = kExportScopeAllLoops;
      } else if (v.rfind("loop:", 0) == 0 && ParseInt(v.substr(5), 0, 299, &o->scope)) {
      } else {
        *error = "--scope must be song, loops or loop:N (N from 0, in the project's list order)";
        return false;
      }
    } else if (a == "--volume") {
      if (!value(&v) || !ParseInt(v, 0, 100, &o->volume)) {
        *error = "--volume must be a slider position from 0 to 100";
        return false;
      }
    } else if (a == "--vocal-reduction") {
      if (!value(&v) || !ParseInt(v, 0, 256, &o->vocal_reduction)) {
        *error = "--vocal-reduction must be a level from 0 to 256";
        return false;
      }
    } else if (a == "--eq-preset") {
      if (!value(&o->eq_preset)) {
        *error = "--eq-preset needs a preset name";
        return false;
      }
    } else if (a == "--bitrate") {
      if (!value(&v) || !ParseInt(v, 8, 320, &o->bitrate)) {
        *error = "--bitrate must be kbps from 8 to 320";
        return false;
      }
    } else if (a == "--aac-encoder") {
      if (!value(&o->aac_encoder)) {
        *error = "--aac-encoder needs a program";
        return false;
      }
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      *error = "unknown option " + a + "; " + kUsage;
      return false;
    } else {
      files.push_back(a);
    }
  }
  const size_t wanted = o->project.empty() ? 2 : 1;
  if (files.size() != wanted) {
    *error = kUsage;
    return false;
  }
  if (o->project.empty() && o->scope != kExportScopeSong) {
    *error = "--scope loops and loop:N need --project";
    return false;
  }
  o->input = o->project.empty() ? files[0] : std::string();
  o->output = files.back();
  return true;
}

bool Render(const RenderOptions& o, std::string* error) {
  ExportSong song;
  int vr_level = 0;
  std::string preset = o.eq_preset;
  bool transcribe = o.transcribe;
  if (!o.project.empty()) {
    std::string text;
    if (!ReadText(o.project, &text)) {
      *error = "cannot read " + o.project;
      return false;
    }
    const ParsedProject parsed = ParseProjectText(text);
    if (!parsed.audio_path) {
      *error = o.project + " names no audio file";
      return false;
    }
    song.audio_path = ResolveProjectAudioPath(o.project, *parsed.audio_path);
    for (const auto& loop : parsed.loops) {
      song.loops.push_back({loop.name, loop.start, loop.end, loop.pitch, loop.tempo});
    }
    song.master_pitch = parsed.master_pitch.value_or(0);
    song.master_tempo = parsed.master_tempo.value_or(kExportNormalTempo);
    vr_level = parsed.master_vr.value_or(0);
    if (preset.empty() && parsed.master_eq) {
      EqGains unused{};
      if (FindPreset(*parsed.master_eq, &unused)) preset = *parsed.master_eq;
    }
    if (!o.mode_set && parsed.mode) transcribe = *parsed.mode == PlaybackMode::kTranscribe;
    if (o.scope >= static_cast<int>(song.loops.size())) {
      *error = o.project + " has " + std::to_string(song.loops.size()) + " loops";
      return false;
    }
  } else {
    song.audio_path = o.input;
  }
  if (o.project.empty() || o.tempo_set) song.master_tempo = static_cast<int32_t>(std::lround(o.tempo * 100));
  if (o.project.empty() || o.pitch_set) song.master_pitch = static_cast<int32_t>(std::lround(o.pitch * 100));
  if (o.vocal_reduction >= 0) vr_level = o.vocal_reduction;
  song.processor_mode = transcribe ? kTimePitchModeTranscribe : kTimePitchModePerformance;
  if (o.volume >= 0) {
    song.volume_slider = o.volume;
  } else {
    song.volume_factor = 1.0;
  }

  // The processor takes mono and stereo at 8000 .. 96000 Hz; say so up front.
  const StreamHandle probe =
      StreamCreateFile(song.audio_path.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  if (!probe) {
    *error = "cannot read " + song.audio_path + " (error " + std::to_string(ErrorGetCode()) + ")";
    return false;
  }
  ChannelInfo info{};
  ChannelGetInfo(probe, &info);
  StreamFree(probe);
  if (info.chans < 1 || info.chans > 2) {
    *error = song.audio_path + " has " + std::to_string(info.chans) +
             " channels; only mono and stereo are supported";
    return false;
  }
  if (info.freq < 8000 || info.freq > 96000) {
    *error = song.audio_path + " has a sample rate of " + std::to_string(info.freq) +
             " Hz; 8000 to 96000 Hz are supported";
    return false;
  }

  EqGains gains{};
  if (!preset.empty() && !FindPreset(preset, &gains)) {
    *error = "no EQ preset named \"" + preset + "\"";
    return false;
  }
  VocalReduction vocal_reduction;  // outlives the export stream
  vocal_reduction.SetLevel(vr_level);
  EqualizerEffects equalizer;
  song.attach_effects = [&](StreamHandle stream) {
    vocal_reduction.InstallOn(stream);
    if (!preset.empty()) equalizer.Add(stream, gains);
  };

  ExportTools tools;
  tools.aac_encoder = o.aac_encoder.empty() ? DefaultAacEncoder() : o.aac_encoder;
  FixedExportChoices choices(o.bitrate);
  CollectingUi ui;
  ScopedUi scoped(&ui);
  const ExportResult result = ExportToFile(o.output, o.scope, song, &choices, tools, nullptr);
  if (result == ExportResult::kDone) return true;
  *error = ui.first.empty() ? "export failed" : ui.first;
  return false;
}

}  // namespace qv3
