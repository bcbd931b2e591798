#include "editing/import_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "editing/import_decode.h"
#include "editing/import_peaks.h"
#include "editing/path_names.h"
#include "editing/peak_scan.h"
#include "engine/audio_setup.h"
#include "platform/app_settings.h"
#include "platform/paths.h"

namespace qv3 {
namespace {

// Rounds of event processing after "Opening..." is shown.
constexpr int kOpeningDrainRounds = 10;

std::string& OpenDialogFolder() {
  static std::string folder;
  return folder;
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Copies a WAV source into the working WAV, replacing it; shows why not.
// copy_file_range lets the kernel move the bytes (or share them on file
// systems that can), as cp does.
bool CopyWav(const std::string& source, const std::string& destination) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) {
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    MessageBoxF(kCopyFailedFormat, destination.c_str());
    return false;
  }
  bool ok = true;
  bool kernel_copy = true;
  std::vector<char> buffer;
  for (;;) {
    ssize_t n;
    if (kernel_copy) {
      n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        kernel_copy = false;
        continue;
      }
    } else {
      buffer.resize(1 << 20);
      n = ::read(in, buffer.data(), buffer.size());
      for (ssize_t done = 0; n > 0 && done < n;) {
        const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
          n = -1;
          break;
        }
        done += w;
      }
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
  }
  if (::close(out) != 0) ok = false;
  ::close(in);
  if (!ok) {
    ::unlink(destination.c_str());
    MessageBoxF(kDecodeDiskFullFormat, destination.c_str());
  }
  return ok;
}

}  // namespace

std::vector<FileFilter> OpenSourceFilters() {
  return {
      {"All Openable Files (Audio, Video & Project Files)",
       "*.wav;*.mp3;*.aac;*.mp4;*.m4a;*.mp1;*.aif;*.wma;*.ogg;*.cda;*.flac;*.opus;*.aiff;*.aifc;"
       "*.avi;*.mp4;*.m4v;*.mpg;*.mov;*.flv;*.wmv;*.rm;*.qvp"},
      {"Audio Files (wav, mp3, aac, mp4, m4a, mp1, aif, wma, ogg, cda, flac, opus, aiff)",
       "*.wav;*.mp3;*.aac;*.mp4;*.m4a;*.mp1;*.aif;*.wma;*.ogg;*.cda;*.flac;*.opus;*.aiff;*.aifc"},
      {"Video Files (avi, mp4, m4v, mpg, mov, flv, wmv, rm)",
       "*.avi;*.mp4;*.m4v;*.mpg;*.mov;*.flv;*.wmv;*.rm"},
      {"Project Files (qvp)", "*.qvp"},
  };
}

ImportSettings ConfiguredImportSettings() {
  ImportSettings s;
  s.temp_folder = DefaultLocation("Temp");
  s.project_folder = DefaultLocation("Project");
  s.ffmpeg = AppToolPaths().ffmpeg_exe;
  s.ffmpeg_options = AppToolPaths().ffmpeg_audio;
  return s;
}

SourceImporter::SourceImporter(ImportHost* host, ProgressViewFactory* views)
    : host_(host), views_(views) {}

void SourceImporter::set_open_dialog_folder(const std::string& folder) {
  OpenDialogFolder() = folder;
}

OpenOutcome SourceImporter::Fail(OpenOutcome outcome) {
  if (outcome == OpenOutcome::kFailed) {
    // The previous song is gone: no half-made song may stay behind.
    host_->Files().Reset();
    host_->ShowNoSong();
  }
  host_->EnableMainWindow(true);
  Ui().SetStatusText("");
  return outcome;
}

OpenOutcome SourceImporter::OpenSource(const std::string& path, bool write_initial_state,
                                       bool reset_controls) {
  if (!fixed_settings_) settings_ = ConfiguredImportSettings();
  // 1. Only a regular file with content is a source.
  host_->EnableMainWindow(false);
  if (!IsNonEmptyRegularFile(path)) {
    MessageBoxCaption(kSourceNotFoundCaption, MsgIcon::kExclamation, kSourceNotFoundFormat,
                      path.c_str());
    return Fail(OpenOutcome::kNotFound);
  }

  // 2. The previous song goes.
  host_->ClosePlayerSource();
  Ui().SetStatusText(kOpeningText);
  host_->ClearWaveform();
  for (int i = 0; i < kOpeningDrainRounds; ++i) Ui().ProcessPendingEvents();

  // 3. A fresh history; snapshot 0 is the working WAV.
  const SnapshotNames names = host_->Files().Begin(settings_.temp_folder);

  // 4. By class.
  SongProperties props;
  const bool is_audio = IsAudioFile(path);
  const bool is_video = !is_audio && IsVideoFile(path);
  bool copy_wav = false;
  if (is_audio) {
    int bitrate = 0;
    int error = 0;
    const ChannelInfo* info = AudioFileStats(path, &bitrate, nullptr, &error);
    if (!info) {
      if (error == kErrorFileForm) {
        MessageBoxF(kUnsupportedFormatFormat, path.c_str());
      } else if (error == kErrorProtected) {
        MessageBoxF(kDrmFormat, path.c_str());
      } else {
        MessageBoxF(kStatsFailedFormat, path.c_str());
      }
      return Fail(OpenOutcome::kFailed);
    }
    if (info->chans < 1 || info->chans > 2) {
      MessageBoxF(kChannelCountFormat, path.c_str(), static_cast<int>(info->chans));
      return Fail(OpenOutcome::kFailed);
    }
    copy_wav = IsWavFile(path) && IsCopyablePcmWav(path);
    props.sample_rate = static_cast<int32_t>(info->freq);
    props.channels = static_cast<int32_t>(info->chans);
    props.bit_rate = bitrate;
    // The working WAV's sample size: a copied WAV keeps its own, everything
    // decoded becomes 16-bit.
    props.bytes_per_sample = copy_wav && info->origres == 8 ? 1 : 2;
  } else if (is_video) {
    props.sample_rate = 44100;
    props.bytes_per_sample = 2;
    props.channels = 2;
  } else {
    MessageBoxF(kUnknownTypeFormat, path.c_str());
    return Fail(OpenOutcome::kFailed);
  }

  // 5. The working WAV.
  props.file_size = FileSize(path);
  host_->SetSongProperties(props);
  bool made;
  if (copy_wav) {
    made = CopyWav(path, names.audio);
  } else if (is_audio) {
    made = DecodeToWav(path, names.audio);
  } else {
    made = ExtractVideoAudio(path, names.audio);
  }
  if (!made) return Fail(OpenOutcome::kFailed);

  // 6. Player, paths, sliders, peaks, view.
  return ShowNewSong(path, names.audio, names.state, write_initial_state, reset_controls)
             ? OpenOutcome::kOpened
             : Fail(OpenOutcome::kFailed);
}

bool SourceImporter::ExtractVideoAudio(const std::string& path, const std::string& working_wav) {
  if (!views_) return false;
  std::unique_ptr<ImportProgressView> view = views_->MakeProgressView();
  if (!view) return false;
  VideoExtraction::Settings settings;
  settings.ffmpeg = settings_.ffmpeg;
  settings.options = settings_.ffmpeg_options;
  settings.temp_folder = settings_.temp_folder;
  return ExtractAudioFromVideo(view.get(), path, working_wav, settings);
}

bool SourceImporter::ShowNewSong(const std::string& path, const std::string& working_wav,
                                 const std::string& state_path, bool write_initial_state,
                                 bool reset_controls) {
  const std::string audio_copy = AudioCopyPath(path, settings_.project_folder);
  Ui().SetStatusText(kScanningPeaksText);
  const int rc = host_->OpenPlayerSource(working_wav);
  if (rc != 0) {
    MessageBoxF(kPlayerOpenFailedFormat, path.c_str(), rc);
    return false;
  }
  const int64_t length = host_->PlayerLengthBytes();
  const std::string project_path = DefaultProjectPath(settings_.project_folder);
  SongFileSet& files = host_->Files();
  files.set_source_path(path);
  files.set_audio_copy_path(audio_copy);
  files.set_project_path(project_path);
  host_->SetSongPaths(path, audio_copy, project_path);

  const StreamHandle stream = host_->PlayerDecodeStream();
  ChannelInfo info{};
  ChannelGetInfo(stream, &info);
  // One second of the float decoding stream, in the slider's hundreds of bytes.
  const int64_t second_bytes = static_cast<int64_t>(info.freq) * info.chans * 4;
  host_->SetPositionSlider(length / 100, second_bytes / 100);
  host_->SetSongLength(host_->PlayerLengthSeconds());

  PeakSet peaks;
  bool readable = false;
  bool scanned = ScanWorkingWavPeaks(working_wav, &peaks, &readable);
  if (!readable) scanned = ScanChannelPeaks(stream, &peaks);
  if (!scanned) {
    MessageBoxCaption(kScanPeaksFailedCaption, MsgIcon::kError, "%s", kScanPeaksFailedText);
    host_->ClosePlayerSource();
    return false;
  }
  host_->LoadPeaks(peaks);
  host_->ShowWholeSong();
  if (reset_controls) host_->ResetControls();
  host_->RefreshTitle();
  if (write_initial_state) host_->WriteProjectState(state_path);
  host_->SetSavedState(1, false);
  Ui().SetStatusText("");
  host_->EnableMainWindow(true);
  return true;
}

bool SourceImporter::OpenMediaOrProject(const std::string& path) {
  if (PathExtension(path) == kProjectExtension) {
    // The project loader tells the pad itself, with the project's pages.
    const bool ok = host_->OpenProject(path);
    if (ok) host_->AddRecentFile(path);
    return ok;
  }
  const bool ok = OpenSource(path, true, true) == OpenOutcome::kOpened;
  if (ok) host_->AddRecentFile(path);
  host_->NotifyPad(kPadNotifyOpened);
  return ok;
}

bool SourceImporter::Drop(const std::vector<std::string>& paths) {
  host_->BringToForeground();
  if (!host_->AskSaveChanges()) return false;
  if (paths.size() != 1) {
    MessageBoxF("%s", kDropOneFileText);
    return false;
  }
  const std::string path = MakeAbsolute(paths[0]);
  const std::string name = PathFileName(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    MessageBoxF("%s", kDropNoExtensionText);
    return false;
  }
  if (!IsAudioFile(path) && !IsVideoFile(path) && PathExtension(path) != kProjectExtension) {
    MessageBoxF(kDropUnsupportedFormat, name.substr(dot + 1).c_str());
    return false;
  }
  return OpenMediaOrProject(path);
}

bool SourceImporter::OpenCommand(SourceChooser* chooser) {
  if (!host_->AskSaveChanges()) return false;
  FileDialogRequest request;
  request.title = kOpenDialogTitle;
  request.filters = OpenSourceFilters();
  request.filter_index = 0;
  std::string& folder = OpenDialogFolder();
  if (folder.empty()) folder = DefaultLocation("Audio");
  request.initial_folder = folder;
  const std::string path = chooser ? chooser->ChooseSource(request) : std::string();
  if (path.empty()) return false;
  folder = ParentFolder(path);
  const bool ok = OpenMediaOrProject(path);
  host_->RefreshTitle();
  return ok;
}

}  // namespace qv3
