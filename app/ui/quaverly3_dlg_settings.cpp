// Tempo, pitch, zoom, volume, channels and the processing mode.
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include "app/main_window_commands.h"
#include "app/ui/quaverly3_dlg.h"
#include "app/ui/eq_dialog.h"
#include "app/ui/skin.h"
#include "app/ui/vocal_reduction_dialog.h"
#include "platform/app_settings.h"
#include "stretch/time_pitch_processor.h"

namespace qv3 {

// ------------------------------------------------------------ tempo, pitch

void CQuaverly3Dlg::SetTempoSlider(int32_t tempo) {
  const QSignalBlocker block(tempo_slider_);
  tempo_slider_->setValue(tempo);
  tempo_->setText(QString::fromStdString(TempoReadout(tempo_slider_->value())));
}

void CQuaverly3Dlg::SetPitchSlider(int32_t pitch) {
  const QSignalBlocker block(pitch_slider_);
  pitch_slider_->setValue(pitch);
  pitch_->setText(QString::fromStdString(PitchReadout(pitch_slider_->value())));
}

void CQuaverly3Dlg::SetPitchTempoSliders(int32_t pitch, int32_t tempo) {
  SetPitchSlider(pitch);
  SetTempoSlider(tempo);
}

void CQuaverly3Dlg::RefreshTempoPitch(bool apply) {
  const int32_t tempo = tempo_slider_->value();
  const int32_t pitch = pitch_slider_->value();
  tempo_->setText(QString::fromStdString(TempoReadout(tempo)));
  pitch_->setText(QString::fromStdString(PitchReadout(pitch)));
  if (!apply) return;
  player_->SetPitch(pitch / 100.0);
  player_->SetTempo(tempo / 100.0);
  current_pitch_ = pitch;
  current_tempo_ = tempo;
}

void CQuaverly3Dlg::TempoPitchChanged() {
  const bool sliding = tempo_slider_->isSliderDown() || pitch_slider_->isSliderDown();
  RefreshTempoPitch(!sliding);
  if (sliding || !player_->IsOpen()) return;
  const double pos = CurrentPosition();
  document_.loops().SetSettingsAt(pos, pitch_slider_->value(), tempo_slider_->value(), 0, "",
                                  &document_.state().master);
  SyncView();
  document_.SetSavedState(0, true);
  RestartAtCurrentPosition();
}

void CQuaverly3Dlg::StepTempo(int step) {
  SetTempoSlider(SteppedValue(tempo_slider_->value(), step, kMinTempo, kMaxTempo));
  TempoPitchChanged();
}

void CQuaverly3Dlg::StepPitch(int step) {
  SetPitchSlider(SteppedValue(pitch_slider_->value(), step, kMinPitch, kMaxPitch));
  TempoPitchChanged();
}

void CQuaverly3Dlg::SetPitchDirection(bool up) {
  pitch_direction_up_ = up;
  ShowOneOf(up ? cmd::kPitchDirectionUp : cmd::kPitchDirectionDown);
  const int32_t pitch = pitch_slider_->value();
  const int32_t signed_pitch = PitchWithDirection(pitch, up);
  if (signed_pitch == pitch) return;
  SetPitchSlider(signed_pitch);
  TempoPitchChanged();
}

// -------------------------------------------------------------------- zoom

void CQuaverly3Dlg::SetZoomSpan(int seconds) {
  zoom_span_ = seconds;
  chart_->SetZoomSpan(seconds);
  const int max = zoom_slider_->maximum();
  {
    const QSignalBlocker block(zoom_slider_);
    zoom_slider_->setValue(seconds <= 0 ? max : std::min(seconds, max));
  }
  zoom_->setText(QString::fromStdString(ZoomSliderReadout(zoom_slider_->value(), max)));
  if (zoom_slider_->value() >= max) zoom_span_ = -1;
}

void CQuaverly3Dlg::OnZoomSlider(int value) {
  const int max = zoom_slider_->maximum();
  zoom_->setText(QString::fromStdString(ZoomSliderReadout(value, max)));
  zoom_span_ = value >= max ? -1 : value;
  chart_->SetZoomSpan(zoom_span_);
}

void CQuaverly3Dlg::ZoomInStep() {
  if (!player_->IsOpen()) return;
  const ZoomStep z = ZoomIn(zoom_span_, document_.state().song_length);
  zoom_span_ = z.span;
  chart_->SetZoomSpan(z.span);
  const QSignalBlocker block(zoom_slider_);
  zoom_slider_->setValue(z.span);
  zoom_->setText(QString::fromStdString(z.text));
}

void CQuaverly3Dlg::ZoomOutStep() {
  if (!player_->IsOpen()) return;
  const ZoomStep z = ZoomOut(zoom_span_, document_.state().song_length);
  zoom_span_ = z.span;
  chart_->SetZoomSpan(z.span);
  const QSignalBlocker block(zoom_slider_);
  zoom_slider_->setValue(z.span < 0 ? zoom_slider_->maximum() : z.span);
  zoom_->setText(QString::fromStdString(z.text));
}

// ------------------------------------------------------- volume, channels

void CQuaverly3Dlg::OnVolumeSlider(int value) {
  player_->SetVolume(value / 100.0f);
  volume_->setText(QString::fromStdString(VolumeReadout(value)));
}

void CQuaverly3Dlg::ToggleChannel(bool left) {
  if (left) {
    channels_.ToggleLeft();
  } else {
    channels_.ToggleRight();
  }
  ShowOneOf(channels_.left ? cmd::kLeftOn : cmd::kLeftOff);
  ShowOneOf(channels_.right ? cmd::kRightOn : cmd::kRightOff);
  player_->SetChannelSolo(channels_.right_only(), channels_.left_only());
}

// ------------------------------------------- equaliser, vocal reduction

void CQuaverly3Dlg::CreateToolWindows() {
  eq_dlg_ = std::make_unique<CQuaverlyEQDlg>(ConfigFilePath(), this);
  eq_dlg_->set_on_preset_chosen([this](const std::string& name) { OnEqPresetChosen(name); });
  vr_dlg_ = std::make_unique<CVocalReductionDlg>(this);
  vr_dlg_->SetPosition(kMaxVocalReduction);
  vr_dlg_->on_scroll = [this](int position, bool dragging) {
    const int level = kMaxVocalReduction - position;
    vocal_reduction_.SetLevel(level);
    document_.state().master.SetVocalReduction(level);
    if (!dragging && player_->IsOpen()) document_.SetSavedState(0, true);
  };
}

void CQuaverly3Dlg::ToggleToolWindow(QWidget* window) {
  if (window->isVisible()) {
    window->hide();
    return;
  }
  if (window == vr_dlg_.get()) vr_dlg_->PlaceBelow(buttons_[cmd::kVocalReduction]);
  window->show();
  window->raise();
}

void CQuaverly3Dlg::OnOutputStreamChanged(StreamHandle output) {
  output_stream_ = output;
  vocal_reduction_.SetChannel(output);
}

void CQuaverly3Dlg::AttachEqualizer() {
  if (output_stream_ != 0) eq_dlg_->controller().AttachEqualizer(output_stream_);
}

bool CQuaverly3Dlg::SelectEqPreset(const std::string& name) {
  return eq_dlg_->controller().FindPreset(name) >= 0;
}

std::string CQuaverly3Dlg::NoPresetName() { return eq_dlg_->controller().NoPresetName(); }

void CQuaverly3Dlg::ApplyVocalReduction(int32_t level) {
  document_.state().master.SetVocalReduction(level);
  vr_dlg_->SetPosition(kMaxVocalReduction - document_.state().master.vocal_reduction);
  vocal_reduction_.SetLevel(document_.state().master.vocal_reduction);
}

// -------------------------------------------------------------------- mode

void CQuaverly3Dlg::SwitchMode(PlaybackMode mode, bool mark_modified) {
  document_.state().mode = mode;
  const bool transcribe = mode == PlaybackMode::kTranscribe;
  ShowOneOf(transcribe ? cmd::kTranscribe : cmd::kPerformance);
  player_->SetProcessing(kTimePitchQuality,
                         transcribe ? kTimePitchModeTranscribe : kTimePitchModePerformance);
  player_->set_recreate_processor(true);
  RestartAtCurrentPosition();
  if (mark_modified && player_->IsOpen()) document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::ApplyPlaybackMode(PlaybackMode mode) { SwitchMode(mode, false); }

}  // namespace qv3
