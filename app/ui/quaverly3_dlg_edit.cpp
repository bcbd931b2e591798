// The edit commands' host: stopping for an edit, reloading the edited
// working WAV into the engine and the view, the sliders, and the Insert
// Silence and Change Volume dialogs.
#include <QDialog>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "app/main_window_rules.h"
#include "app/ui/quaverly3_dlg.h"
#include "editing/import_peaks.h"
#include "editing/peak_scan.h"
#include "editing/ui/change_volume_dialog.h"
#include "editing/ui/insert_silence_dialog.h"
#include "platform/ui_services.h"

namespace qv3 {

void CQuaverly3Dlg::StopForEdit() {
  if (!IsPlaying()) return;
  // Stop would rewind the slider; the edit works at the place the user
  // reached, so it stays there.
  const double position = CurrentPosition();
  Stop();
  SetPlayPosition(position);
}

bool CQuaverly3Dlg::ReloadAudio(const std::string& audio_path) {
  loop_delay_.Cancel();
  const double position = CurrentPosition();
  player_->CloseSource();
  DocumentState& state = document_.state();
  state.audio_open = false;
  const int opened = player_->OpenSource(audio_path, player_->processing_quality(),
                                         player_->processing_mode(), true);
  if (opened != kPlayerOpenOk) return false;

  PeakSet peaks;
  bool readable = false;
  bool scanned = ScanWorkingWavPeaks(audio_path, &peaks, &readable);
  if (!readable) scanned = ScanChannelPeaks(player_->decode_stream(), &peaks);
  if (!scanned) {
    MessageBoxCaption(kScanPeaksFailedCaption, MsgIcon::kError, "%s", kScanPeaksFailedText);
    player_->CloseSource();
    return false;
  }
  ChannelInfo info{};
  if (ChannelGetInfo(player_->decode_stream(), &info)) {
    state.stream.sample_rate = static_cast<int32_t>(info.freq);
    state.stream.channels = static_cast<int32_t>(info.chans);
  }
  state.audio_open = true;
  const double length = player_->LengthSeconds();
  document_.SetSongLength(length);
  chart_->SetPeaks(std::move(peaks), state.stream.channels);
  chart_->SetTotalLength(length);
  {
    const QSignalBlocker block(position_slider_);
    position_slider_->setRange(0, static_cast<int>(player_->LengthBytes() / 100));
    position_slider_->setPageStep(
        std::max<int>(1, static_cast<int>(player_->SecondsToBytes(1.0) / 100)));
  }
  tracker_.Reset();
  ShowPosition(std::clamp(position, 0.0, length));
  return true;
}

double CQuaverly3Dlg::SongLength() { return player_->IsOpen() ? player_->LengthSeconds() : 0.0; }

bool CQuaverly3Dlg::GetSelection(double* start, double* end) {
  const double a = chart_->SelectionStart();
  const double b = chart_->SelectionEnd();
  if (a < 0.0 || b < 0.0) return false;
  *start = std::min(a, b);
  *end = std::max(a, b);
  return true;
}

void CQuaverly3Dlg::ClearSelection() {
  chart_->ClearSelection();
  chart_->update();
}

double CQuaverly3Dlg::ViewCentre() {
  return std::clamp(chart_->ViewCentreSeconds(), 0.0, document_.state().song_length);
}

double CQuaverly3Dlg::ZoomSpan() { return zoom_span_ <= 0 ? -1.0 : zoom_span_; }

void CQuaverly3Dlg::RestoreView(double zoom_span, double centre) {
  if (zoom_span <= 0.0) {
    SetZoomSpan(-1);
    return;
  }
  SetZoomSpan(std::max(1, static_cast<int>(std::lround(zoom_span))));
  const double half_ms = zoom_span * 500.0;
  chart_->SetAxisRange(centre * 1000.0 - half_ms, centre * 1000.0 + half_ms);
}

void CQuaverly3Dlg::SuspendRedraw(bool suspend) {
  chart_->setUpdatesEnabled(!suspend);
  if (!suspend) chart_->update();
}

void CQuaverly3Dlg::ItemsChanged() { SyncView(); }

double CQuaverly3Dlg::PlayPosition() { return SliderSeconds(); }

void CQuaverly3Dlg::SetPlayPosition(double seconds) {
  if (!player_->IsOpen()) return;
  {
    const QSignalBlocker block(position_slider_);
    position_slider_->setRange(0, static_cast<int>(player_->LengthBytes() / 100));
  }
  Seek(seconds);
  ShowPosition(std::clamp(seconds, 0.0, document_.state().song_length));
}

void CQuaverly3Dlg::SetZoomSliderRange(double song_length, double position) {
  const int max = ZoomSliderMax(song_length, player_->IsOpen());
  {
    const QSignalBlocker block(zoom_slider_);
    zoom_slider_->setRange(1, max);
    zoom_slider_->setValue(std::clamp(static_cast<int>(std::lround(position)), 1, max));
  }
  zoom_->setText(QString::fromStdString(ZoomSliderReadout(zoom_slider_->value(), max)));
}

void CQuaverly3Dlg::ApplyLoopTempoPitch(int32_t pitch, int32_t tempo) {
  SetPitchTempoSliders(pitch, tempo);
  RefreshTempoPitch(true);
}

bool CQuaverly3Dlg::AskInsertSilence(double* seconds, InsertPoint* where) {
  CInsertSilenceDlg dialog(this);
  if (RunDialog(&dialog) != QDialog::Accepted) return false;
  *seconds = dialog.seconds();
  *where = dialog.where();
  return true;
}

bool CQuaverly3Dlg::AskChangeVolume(double* percent) {
  CChangeVolumeDlg dialog(this);
  if (RunDialog(&dialog) != QDialog::Accepted) return false;
  *percent = dialog.percent();
  return true;
}

void CQuaverly3Dlg::NotifyPadStateLoaded(const std::string&) {
  // The notation pad reloads its pages here once it exists.
}

void CQuaverly3Dlg::RunEditCommand(int id) {
  if (!player_->IsOpen()) return;
  edits_.RunCommand(id);
  SyncView();
  document_.UpdateTitle();
  UpdateCommandStates();
}

}  // namespace qv3
