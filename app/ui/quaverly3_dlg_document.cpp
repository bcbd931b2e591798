// Opening songs and projects (Open, recent files, drop, the start file),
// saving, closing, the help pages and dialogs, and the document host.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QSignalBlocker>
#include <QSlider>
#include <QUrl>
#include <filesystem>

#include "app/main_window_commands.h"
#include "app/ui/about_dlg.h"
#include "app/ui/default_file_locations_dlg.h"
#include "app/ui/hyperlink.h"
#include "app/ui/quaverly3_dlg.h"
#include "app/ui/skin.h"
#include "editing/path_names.h"
#include "editing/peak_scan.h"
#include "engine/audio_setup.h"
#include "platform/app_settings.h"
#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

bool IsProjectPath(const std::string& path) { return PathExtension(path) == "qvp"; }

// Re-enables the window and clears the status text on every way out.
class OpeningScope {
 public:
  explicit OpeningScope(QWidget* window, bool* busy) : window_(window), busy_(busy) {
    *busy_ = true;
    window_->setEnabled(false);
  }
  ~OpeningScope() {
    window_->setEnabled(true);
    *busy_ = false;
    Ui().SetStatusText("");
  }

 private:
  QWidget* window_;
  bool* busy_;
};

}  // namespace

// ------------------------------------------------------------------ start-up

void CQuaverly3Dlg::OnStartup() {
  show();
  // The foot pedal connects here once its part exists.
  if (!start_file_.empty()) {
    const std::string path = std::move(start_file_);
    start_file_.clear();
    OpenPath(path);
  }
}

// --------------------------------------------------------------- opening

bool CQuaverly3Dlg::OpenPath(const std::string& path) {
  bool ok = false;
  if (IsProjectPath(path)) {
    ok = document_.ReadProjectFile(path, false);
    if (ok) files_.set_project_path(document_.state().project_path);
  } else {
    ok = OpenSource(path, true, true);
  }
  if (ok) {
    recent_.Add(path);
  } else {
    files_.Reset();
    if (!player_->IsOpen()) ResetForNoSong();
  }
  SyncView();
  document_.UpdateTitle();
  UpdateCommandStates();
  return ok;
}

bool CQuaverly3Dlg::OpenSource(const std::string& path, bool write_state, bool reset_controls) {
  OpeningScope scope(this, &busy_);
  if (!IsNonEmptyRegularFile(path)) {
    MessageBoxCaption("File Not Found", MsgIcon::kError,
                      "The Source file was not found:\n\n\t%s\n\nSorry, can't continue.",
                      path.c_str());
    return false;
  }
  loop_delay_.Cancel();
  player_->CloseSource();
  document_.state().audio_open = false;
  Ui().SetStatusText("Opening...");
  chart_->ClearSeries();
  for (int i = 0; i < 10; ++i) Ui().ProcessPendingEvents();

  const SnapshotNames names = files_.Begin(DefaultLocation("Temp"));

  if (!IsAudioFile(path) && !IsVideoFile(path)) {
    MessageBoxF("Can't open the file:\n\n\t%s\n\nMore Details:\n\nThe file you are trying to open "
                "is is an unknown file type.\n\nSorry, can't continue.",
                path.c_str());
    return false;
  }
  if (!IsWavFile(path)) {
    // Decoding other formats and extracting the audio of videos belong to
    // the import part of the program.
    MessageBoxF("Can't open the file:\n\n\t%s\n\nMore Details:\n\nUnsupported File "
                "Format\n\nSorry, can't continue.",
                path.c_str());
    return false;
  }
  int bitrate = 0;
  double seconds = 0.0;
  int error = 0;
  const ChannelInfo* info = AudioFileStats(path, &bitrate, &seconds, &error);
  if (info == nullptr) {
    if (error == kErrorFileForm) {
      MessageBoxF("Can't open the file:\n\n\t%s\n\nMore Details:\n\nUnsupported File "
                  "Format\n\nSorry, can't continue.",
                  path.c_str());
    } else {
      MessageBoxF("Unable to get the Audio File Stats from:\n\n\t%s\n\nSorry, can't continue.",
                  path.c_str());
    }
    return false;
  }
  StreamFacts facts;
  facts.sample_rate = static_cast<int32_t>(info->freq);
  facts.channels = static_cast<int32_t>(info->chans);
  facts.bytes_per_sample = info->origres != 0 ? static_cast<int32_t>(info->origres / 8) : 2;
  facts.file_size = FileSize(path);
  facts.bit_rate = seconds > 0.0 ? static_cast<int32_t>(facts.file_size / (seconds * 125.0) + 0.5) : 0;

  std::error_code ec;
  std::filesystem::copy_file(path, names.audio, std::filesystem::copy_options::overwrite_existing,
                             ec);
  if (ec) {
    MessageBoxF("Can't create the output file:\n\n   %s", names.audio.c_str());
    return false;
  }

  Ui().SetStatusText(kScanningPeaksText);
  const int opened = player_->OpenSource(names.audio, player_->processing_quality(),
                                         player_->processing_mode(), true);
  if (opened != kPlayerOpenOk) {
    MessageBoxF("Can't open the file:\n\n\t%s\n\nMore Details:\n\nUnsupported File "
                "Format\n\nSorry, can't continue.",
                path.c_str());
    return false;
  }
  const double length = player_->LengthSeconds();
  const std::string project_folder = ProjectFolder();
  files_.set_source_path(path);
  files_.set_audio_copy_path(AudioCopyPath(path, project_folder));
  files_.set_project_path(DefaultProjectPath(project_folder));

  DocumentState& state = document_.state();
  state.source_path = path;
  state.audio_path = files_.audio_copy_path();
  state.project_path = files_.project_path();
  state.stream = facts;
  state.audio_open = true;
  state.current_loop = -1;
  document_.markers().Clear();
  document_.loops().Clear();
  document_.SetSongLength(length);

  {
    const QSignalBlocker block(position_slider_);
    position_slider_->setRange(0, static_cast<int>(player_->LengthBytes() / 100));
    position_slider_->setPageStep(std::max<int>(1, static_cast<int>(player_->SecondsToBytes(1.0) / 100)));
    position_slider_->setValue(0);
  }

  PeakSet peaks;
  if (!ScanChannelPeaks(player_->decode_stream(), &peaks)) {
    MessageBoxCaption(kScanPeaksFailedCaption, MsgIcon::kError, "%s", kScanPeaksFailedText);
    player_->CloseSource();
    state.audio_open = false;
    return false;
  }
  chart_->ResetDocument();
  chart_->SetPeaks(std::move(peaks), facts.channels);
  chart_->SetTotalLength(length);
  {
    const QSignalBlocker block(zoom_slider_);
    zoom_slider_->setRange(1, ZoomSliderMax(length, true));
  }
  SetZoomSpan(-1);

  if (reset_controls) {
    state.master.Reset();
    AttachEqualizer();
    state.master.eq_preset = NoPresetName();
    SetPitchTempoSliders(0, kNormalTempo);
    RefreshTempoPitch(true);
    ApplyVocalReduction(0);
  }
  tracker_.Reset();
  after_stop_ = false;
  position_moved_ = false;
  ShowPosition(0.0);
  SyncView();
  document_.UpdateTitle();
  if (write_state) document_.WriteProjectFile(names.state);
  document_.SetSavedState(1, false);
  UpdateCommandStates();
  return true;
}

void CQuaverly3Dlg::ResetForNoSong() {
  DocumentState& state = document_.state();
  const PlaybackMode mode = state.mode;
  state = DocumentState();
  state.mode = mode;
  document_.markers().Clear();
  document_.loops().Clear();
  document_.SetSongLength(0.0);
  chart_->ClearSeries();
  chart_->ResetDocument();
  chart_->SetTotalLength(0.0);
  {
    const QSignalBlocker block(position_slider_);
    position_slider_->setRange(0, kEmptyPositionMax);
    position_slider_->setPageStep(kPositionPage);
    position_slider_->setValue(0);
  }
  {
    const QSignalBlocker block(zoom_slider_);
    zoom_slider_->setRange(1, 10);
    zoom_slider_->setValue(1);
  }
  zoom_span_ = -1;
  zoom_->setText("Zoom: All");
  position_->setText(QString::fromStdString(PositionReadout(0, 0, false)));
  document_.UpdateTitle();
}

void CQuaverly3Dlg::OpenCommand() {
  if (!document_.AskSaveChanges()) return;
  if (player_->IsOpen()) document_.SetSavedState(1, false);
  FileDialogRequest request;
  request.title = "Select Source File...";
  request.filters = {
      {"All Openable Files (Audio, Video & Project Files)",
       "*.wav;*.mp3;*.aac;*.mp4;*.m4a;*.mp1;*.aif;*.wma;*.ogg;*.cda;*.avi;*.mp4;*.m4v;*.mpg;*.mov;"
       "*.flv;*.wmv;*.rm;*.qvp"},
      {"Audio Files (wav, mp3, aac, mp4, m4a, mp1, aif, wma, ogg, cda)",
       "*.wav;*.mp3;*.aac;*.mp4;*.m4a;*.mp1;*.aif;*.wma;*.ogg;*.cda"},
      {"Video Files (avi, mp4, m4v, mpg, mov, flv, wmv, rm)",
       "*.avi;*.mp4;*.m4v;*.mpg;*.mov;*.flv;*.wmv;*.rm"},
      {"Project Files (qvp)", "*.qvp"},
  };
  request.initial_folder = first_open_ ? DefaultLocation("Audio") : last_open_folder_;
  const std::string chosen = Ui().OpenFileName(request);
  if (chosen.empty()) return;
  first_open_ = false;
  const size_t slash = chosen.rfind('/');
  if (slash != std::string::npos) last_open_folder_ = chosen.substr(0, slash);
  OpenPath(chosen);
}

void CQuaverly3Dlg::OpenRecent(int index) {
  const std::string path = recent_.Entry(index);
  if (path.empty()) return;
  if (!document_.AskSaveChanges()) return;
  if (player_->IsOpen()) document_.SetSavedState(1, false);
  OpenPath(path);
}

void CQuaverly3Dlg::DropFiles(const std::vector<std::string>& paths) {
  raise();
  activateWindow();
  // The file is checked before anything else happens, so a refused drop
  // neither asks to save nor touches the open document.
  if (paths.size() != 1) {
    MessageBoxF("Please Drag & Drop only one file at a time, thanks.");
    return;
  }
  const std::string path = MakeAbsolute(paths[0]);
  const std::string ext = PathExtension(path);
  if (ext == kUnknownName) {
    MessageBoxF("A file extension was not found for the file dropped.");
    return;
  }
  if (!IsAudioFile(path) && !IsVideoFile(path) && !IsProjectPath(path)) {
    MessageBoxF("Can't open the file that was dropped - unsupported file extension \"%s\".",
                ext.c_str());
    return;
  }
  if (!document_.AskSaveChanges()) return;
  if (player_->IsOpen()) document_.SetSavedState(1, false);
  OpenPath(path);
}

void CQuaverly3Dlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CQuaverly3Dlg::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    paths.push_back(url.isLocalFile() ? url.toLocalFile().toStdString()
                                      : url.toString().toStdString());
  }
  event->acceptProposedAction();
  // After the drop has finished, so message boxes do not run inside it.
  QMetaObject::invokeMethod(this, [this, paths] { DropFiles(paths); }, Qt::QueuedConnection);
}

// ------------------------------------------------------ saving, closing

void CQuaverly3Dlg::SaveCommand(bool save_as) {
  if (!player_->IsOpen()) return;
  document_.SaveProject(save_as);
}

bool CQuaverly3Dlg::ConfirmClose() {
  loop_delay_.Cancel();
  if (!document_.AskSaveChanges()) return false;
  // The pad is told that the program ends (2004) once its link exists.
  return true;
}

// ------------------------------------------------------------ other windows

void CQuaverly3Dlg::OnExportDone() { OnStatusText("Export Complete."); }

void CQuaverly3Dlg::OnSnifferDownload(const std::string& path) {
  if (!document_.AskSaveChanges()) return;
  if (OpenPath(path)) Play();
}

void CQuaverly3Dlg::OnEqPresetChosen(const std::string& name) {
  document_.state().master.eq_preset = name;
  if (player_->IsOpen()) document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::OnDocumentChanged() {
  if (player_->IsOpen()) document_.SetSavedState(0, true);
}

// ------------------------------------------------------------------- help

void CQuaverly3Dlg::ShowHelpPage(int id) {
  if (id == cmd::kTrainingVideos) {
    OpenHyperlink(kTrainingVideosUrl);
    return;
  }
  if (id == cmd::kHelpDesk) {
    OpenHyperlink(kHelpDeskUrl);
    return;
  }
  // The guide travels inside the program and is copied to the per-user
  // folder, where the browser opens it.
  const std::string target = JoinPath(PerUserFolder(kAppTitle), kQuickStartGuideName);
  QFile source(":/qv3/qsg3.html");
  if (source.open(QIODevice::ReadOnly)) {
    const QByteArray page = source.readAll();
    QFile existing(QString::fromStdString(target));
    const bool same = existing.open(QIODevice::ReadOnly) && existing.readAll() == page;
    existing.close();
    if (!same) {
      QFile out(QString::fromStdString(target));
      if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) out.write(page);
    }
  }
  OpenHyperlink(target);
}

void CQuaverly3Dlg::ShowAbout() {
  CAboutDlg dialog(this);
  RunDialog(&dialog);
}

void CQuaverly3Dlg::ShowDefaultLocations() {
  CDefaultFileLocationsDlg dialog(ConfigFilePath(), this);
  RunDialog(&dialog);
}

// ----------------------------------------------------------- document host

bool CQuaverly3Dlg::OpenProjectAudio(const std::string& audio_path) {
  return OpenSource(audio_path, false, false);
}

bool CQuaverly3Dlg::IsPlaying() { return player_->IsOpen() && !player_->IsStopped(); }

void CQuaverly3Dlg::StopPlayback() { Stop(); }

std::string CQuaverly3Dlg::StatePathAtCurrentIndex() { return files_.NamesAtCurrentIndex().state; }

std::string CQuaverly3Dlg::RecordStateStep() { return files_.RecordStep(true, false).state; }

void CQuaverly3Dlg::CurrentNames(std::string* state_path, std::string* audio_path) {
  const SnapshotNames names = files_.CurrentNames();
  if (state_path != nullptr) *state_path = names.state;
  if (audio_path != nullptr) *audio_path = names.audio;
}

std::string CQuaverly3Dlg::ProjectFolder() { return DefaultLocation("Project"); }

void CQuaverly3Dlg::NotifyPadProjectOpened(const std::string&) {
  // The pad link (code 2005) arrives with the pad.
}

void CQuaverly3Dlg::AddRecentFile(const std::string& path) { recent_.Add(path); }

void CQuaverly3Dlg::ShowTitle(const std::string& title) {
  const QString text = QString::fromStdString(title);
  title_->setText(text);
  setWindowTitle(text);
}

// ---------------------------------------------------------------- read-outs

QString CQuaverly3Dlg::TitleText() const { return title_->text(); }
QString CQuaverly3Dlg::StatusText() const { return status_->text(); }
QString CQuaverly3Dlg::PositionText() const { return position_->text(); }
QString CQuaverly3Dlg::TempoText() const { return tempo_->text(); }
QString CQuaverly3Dlg::PitchText() const { return pitch_->text(); }
QString CQuaverly3Dlg::ZoomText() const { return zoom_->text(); }
QString CQuaverly3Dlg::VolumeText() const { return volume_->text(); }

}  // namespace qv3
