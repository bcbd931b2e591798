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
#include "editing/ui/open_source_dialog.h"
#include "engine/audio_setup.h"
#include "platform/app_settings.h"
#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

bool IsProjectPath(const std::string& path) { return PathExtension(path) == "qvp"; }

}  // namespace

// ------------------------------------------------------------------ start-up

void CQuaverly3Dlg::OnStartup() {
  show();
  pedal_.Connect([this](int wparam, int button) {
    if (const int id = pedal_commands_.CommandFor(wparam, button, player_->IsPlayingOrStalled())) {
      OnExternalCommand(id);
    }
  });
  if (!start_file_.empty()) {
    const std::string path = std::move(start_file_);
    start_file_.clear();
    OpenPath(path);
  }
}

// --------------------------------------------------------------- opening

bool CQuaverly3Dlg::OpenPath(const std::string& path) {
  const bool ok = importer_.OpenMediaOrProject(path);
  if (!ok && !player_->IsOpen()) ResetForNoSong();
  SyncView();
  document_.UpdateTitle();
  UpdateCommandStates();
  return ok;
}

// ------------------------------------------------------------ import host

void CQuaverly3Dlg::EnableMainWindow(bool enable) {
  setEnabled(enable);
  busy_ = !enable;
  if (enable) {
    SyncView();
    UpdateCommandStates();
  }
}

void CQuaverly3Dlg::BringToForeground() {
  raise();
  activateWindow();
}

void CQuaverly3Dlg::SetSongProperties(const SongProperties& properties) {
  StreamFacts& facts = document_.state().stream;
  facts.sample_rate = properties.sample_rate;
  facts.channels = properties.channels;
  facts.bytes_per_sample = properties.bytes_per_sample;
  facts.file_size = properties.file_size;
  facts.bit_rate = properties.bit_rate;
}

void CQuaverly3Dlg::SetSongPaths(const std::string& source_path, const std::string& audio_copy_path,
                                 const std::string& project_path) {
  DocumentState& state = document_.state();
  state.source_path = source_path;
  state.audio_path = audio_copy_path;
  state.project_path = project_path;
  state.audio_open = true;
  state.current_loop = -1;
  document_.markers().Clear();
  document_.loops().Clear();
}

void CQuaverly3Dlg::SetSongLength(double seconds) {
  document_.SetSongLength(seconds);
  chart_->SetTotalLength(seconds);
}

bool CQuaverly3Dlg::WriteProjectState(const std::string& state_path) {
  return document_.WriteProjectFile(state_path);
}

void CQuaverly3Dlg::SetSavedState(int saved, bool rewrite) {
  document_.SetSavedState(saved, rewrite);
}

bool CQuaverly3Dlg::AskSaveChanges() {
  if (!document_.AskSaveChanges()) return false;
  // Whatever the answer was, the old song's changes are settled now.
  if (player_->IsOpen()) document_.SetSavedState(1, false);
  return true;
}

bool CQuaverly3Dlg::OpenProject(const std::string& path) {
  const bool ok = document_.ReadProjectFile(path, false);
  if (ok) files_.set_project_path(document_.state().project_path);
  return ok;
}

void CQuaverly3Dlg::ShowNoSong() {
  ResetForNoSong();
  document_.SetSavedState(1, false);
  UpdateCommandStates();
}

void CQuaverly3Dlg::NotifyPad(int) {
  // The notation pad hears about opened songs once it exists.
}

void CQuaverly3Dlg::RefreshTitle() { document_.UpdateTitle(); }

void CQuaverly3Dlg::ClosePlayerSource() {
  loop_delay_.Cancel();
  // The finder reads the working file of the song that is going away.
  if (nf_session_.is_open()) CloseNoteFinder();
  player_->CloseSource();
  document_.state().audio_open = false;
}

int CQuaverly3Dlg::OpenPlayerSource(const std::string& wav_path) {
  const int opened = player_->OpenSource(wav_path, player_->processing_quality(),
                                         player_->processing_mode(), true);
  return opened == kPlayerOpenOk ? 0 : opened;
}

int64_t CQuaverly3Dlg::PlayerLengthBytes() { return player_->LengthBytes(); }

double CQuaverly3Dlg::PlayerLengthSeconds() { return player_->LengthSeconds(); }

StreamHandle CQuaverly3Dlg::PlayerDecodeStream() { return player_->decode_stream(); }

void CQuaverly3Dlg::ClearWaveform() { chart_->ClearSeries(); }

void CQuaverly3Dlg::SetPositionSlider(int64_t max, int64_t page) {
  const QSignalBlocker block(position_slider_);
  position_slider_->setRange(0, static_cast<int>(std::max<int64_t>(0, max)));
  position_slider_->setPageStep(static_cast<int>(std::max<int64_t>(1, page)));
  position_slider_->setValue(0);
}

void CQuaverly3Dlg::LoadPeaks(const PeakSet& peaks) {
  chart_->ResetDocument();
  PeakSet copy = peaks;
  chart_->SetPeaks(std::move(copy), document_.state().stream.channels);
  chart_->SetTotalLength(player_->LengthSeconds());
}

void CQuaverly3Dlg::ShowWholeSong() {
  const double length = player_->LengthSeconds();
  {
    const QSignalBlocker block(zoom_slider_);
    zoom_slider_->setRange(1, ZoomSliderMax(length, true));
  }
  SetZoomSpan(-1);
  // A new song starts at its beginning with no loop pass pending.
  tracker_.Reset();
  after_stop_ = false;
  position_moved_ = false;
  ShowPosition(0.0);
}

void CQuaverly3Dlg::ResetControls() {
  DocumentState& state = document_.state();
  state.master.Reset();
  AttachEqualizer();
  state.master.eq_preset = NoPresetName();
  SetPitchTempoSliders(0, kNormalTempo);
  RefreshTempoPitch(true);
  ApplyVocalReduction(0);
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
  QtSourceChooser chooser(this);
  importer_.OpenCommand(&chooser);
  if (!player_->IsOpen()) ResetForNoSong();
  SyncView();
  document_.UpdateTitle();
  UpdateCommandStates();
}

void CQuaverly3Dlg::OpenRecent(int index) {
  const std::string path = recent_.Entry(index);
  if (path.empty()) return;
  if (!AskSaveChanges()) return;
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
  // The importer asks to save and opens it (its own checks pass by now).
  importer_.Drop({path});
  if (!player_->IsOpen()) ResetForNoSong();
  SyncView();
  document_.UpdateTitle();
  UpdateCommandStates();
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
  return importer_.OpenSource(audio_path, false, false) == OpenOutcome::kOpened;
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
