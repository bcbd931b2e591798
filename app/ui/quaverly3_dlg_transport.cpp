// Play, pause, stop, seek, the position slider, the engine's notifications
// and the loop repeat logic with its pause between repetitions.
#include <QApplication>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "app/ui/quaverly3_dlg.h"
#include "app/ui/skin.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"

namespace qv3 {

// ------------------------------------------------------------ notifications

void CQuaverly3Dlg::OnPlayerNotify(int code, int64_t value) {
  // Engine threads: hand the message to the GUI thread. The token tells a
  // late call that the window has gone.
  std::weak_ptr<CQuaverly3Dlg*> alive = alive_;
  PostToMainThread([alive, code, value] {
    if (auto window = alive.lock()) (*window)->HandlePlayerNotify(code, value);
  });
}


void CQuaverly3Dlg::HandlePlayerNotify(int code, int64_t value) {
  switch (code) {
    case kPlayerNotifyTick:
      OnPositionTick();
      break;
    case kPlayerNotifyOpened:
      ShowPosition(player_->PositionSeconds());
      break;
    case kPlayerNotifyState:
      OnOutputState(static_cast<int>(value));
      break;
    case kPlayerNotifyProgress:
      OnStatusText(StringPrintf("Processing... %d%%", static_cast<int>(value)));
      break;
    default:
      break;
  }
}

void CQuaverly3Dlg::OnStatusText(const std::string& text) {
  status_->setText(QString::fromStdString(text));
}

int CQuaverly3Dlg::last_loop_index() const {
  return after_stop_ ? kAfterStop : tracker_.remembered();
}

double CQuaverly3Dlg::CurrentPosition() const {
  if (!player_->IsOpen()) return 0.0;
  if (position_moved_ || player_->IsStopped()) return SliderSeconds();
  return player_->PositionSeconds();
}

void CQuaverly3Dlg::OnPositionTick() {
  if (!player_->IsOpen()) return;
  // Ticks queued before a Stop, or arriving during the pause between
  // repetitions, must not move the loop logic.
  if (loop_delay_.running() || (after_stop_ && player_->IsStopped())) return;
  const double length = document_.state().song_length;
  const double pos = std::clamp(player_->PositionSeconds(), 0.0, length);
  after_stop_ = false;
  const LoopTickAction action =
      tracker_.OnPosition(document_.loops(), pos, player_->LastOutputState() == kOutputStopped,
                          current_pitch_, current_tempo_);
  switch (action.kind) {
    case LoopTickAction::Kind::kJumpBack:
      if (action.delay_seconds > 0) {
        RunLoopDelay(action.delay_seconds);
        // Stop, close or another song during the pause: no repetition.
        if (!player_->IsOpen() || player_->IsStopped() || closing_confirmed_ ||
            close_after_delay_) {
          if (close_after_delay_) QTimer::singleShot(0, this, [this] { close(); });
          return;
        }
      }
      PlayFrom(action.jump_to);
      return;
    case LoopTickAction::Kind::kRunOn: {
      // Leaving a finished loop: what applies after it takes over.
      const LoopSettings s = document_.loops().SettingsAt(pos, document_.state().master);
      if (s.pitch != current_pitch_ || s.tempo != current_tempo_) {
        SetPitchTempoSliders(s.pitch, s.tempo);
        RefreshTempoPitch(true);
        RestartAtCurrentPosition();
      }
      break;
    }
    case LoopTickAction::Kind::kEndPlayback:
      EndOfSong();
      return;
    case LoopTickAction::Kind::kTakeOverSettings:
      SetPitchTempoSliders(action.pitch, action.tempo);
      RefreshTempoPitch(true);
      RestartAtCurrentPosition();
      break;
    case LoopTickAction::Kind::kNone:
      break;
  }
  if (!dragging_ && !position_moved_) ShowPosition(pos);
  if (wave_press_ && chart_->FollowMode() == ChartFollowMode::kFixed &&
      chart_->SelectionEnd() >= 0.0) {
    // The view scrolls under a still pointer: the selection follows it.
    OnChartMove(chart_->mapFromGlobal(QCursor::pos()));
  }
}

void CQuaverly3Dlg::OnOutputState(int state) {
  if (state != kOutputStopped || !player_->IsOpen()) return;
  if (tracker_.OnSongEnd(document_.loops())) {
    // A loop that ends with the song repeats too.
    OnPositionTick();
    if (!player_->IsStopped()) return;
  }
  EndOfSong();
}

void CQuaverly3Dlg::EndOfSong() {
  player_->Stop();
  document_.loops().ResetAllPasses();
  tracker_.Reset();
  position_moved_ = false;
  ShowPosition(0.0);
  OnStatusText("Idle");
  if (repeat_play_) Play();
}

// ---------------------------------------------------------------- transport

void CQuaverly3Dlg::Play() {
  if (!player_->IsOpen()) return;
  RefreshTempoPitch(true);
  if (position_moved_) {
    position_moved_ = false;
    PlayFrom(SliderSeconds());
  } else if (player_->IsStopped()) {
    tracker_.Reset();
    after_stop_ = false;
    player_->Play(0);
  } else if (player_->IsPaused()) {
    player_->PauseToggle();
  }
}

void CQuaverly3Dlg::Pause() {
  if (!player_->IsOpen()) return;
  if (position_moved_) {
    position_moved_ = false;
    RefreshTempoPitch(true);
    PlayFrom(SliderSeconds());
  } else if (player_->IsPlayingOrStalled() || player_->IsPaused()) {
    player_->PauseToggle();
  }
}

void CQuaverly3Dlg::Stop() {
  loop_delay_.Cancel();
  if (!player_->IsOpen()) return;
  player_->Stop();
  document_.loops().ResetAllPasses();
  tracker_.Reset();
  after_stop_ = true;
  position_moved_ = false;
  ShowPosition(0.0);
  OnStatusText("Idle");
}

void CQuaverly3Dlg::PlayFrom(double seconds) {
  tracker_.Reset();
  after_stop_ = false;
  position_moved_ = false;
  player_->set_restart_requested(true);
  player_->Play(player_->SecondsToBytes(std::max(0.0, seconds)));
  player_->set_restart_requested(false);
}

void CQuaverly3Dlg::RestartAtCurrentPosition() {
  if (player_->IsPlayingOrStalled()) PlayFrom(player_->PositionSeconds());
}

void CQuaverly3Dlg::Seek(double seconds) {
  if (!player_->IsOpen()) return;
  seconds = std::clamp(seconds, 0.0, document_.state().song_length);
  chart_->SetPlayPosition(seconds - 0.0001);
  {
    const QSignalBlocker block(position_slider_);
    position_slider_->setValue(static_cast<int>(player_->SecondsToBytes(seconds) / 100));
  }
  const LoopSettings s = document_.loops().SettingsAt(seconds, document_.state().master);
  SetPitchTempoSliders(s.pitch, s.tempo);
  RefreshTempoPitch(true);
  if (player_->IsPlayingOrStalled()) {
    PlayFrom(seconds);
  } else {
    position_moved_ = true;
    position_->setText(QString::fromStdString(
        PositionReadout(seconds, document_.state().song_length, true)));
  }
}

void CQuaverly3Dlg::ShowPosition(double seconds) {
  const bool open = player_->IsOpen();
  position_->setText(
      QString::fromStdString(PositionReadout(seconds, document_.state().song_length, open)));
  if (!open) return;
  // The view repaints as a whole: only when the cursor lands on another
  // pixel (or the view must scroll), not on every tick.
  const double span_seconds = (chart_->AxisMax() - chart_->AxisMin()) / 1000.0;
  const double pixels_per_second =
      span_seconds > 0.0 ? chart_->PlotRect().width() / span_seconds : 1e9;
  if (std::abs(seconds - chart_->PlayPosition()) * pixels_per_second >= 1.0 || seconds == 0.0) {
    chart_->SetPlayPosition(seconds);
  }
  const QSignalBlocker block(position_slider_);
  position_slider_->setValue(static_cast<int>(player_->SecondsToBytes(seconds) / 100));
}

double CQuaverly3Dlg::SliderSeconds() const {
  if (!player_->IsOpen()) return 0.0;
  return player_->BytesToSeconds(static_cast<int64_t>(position_slider_->value()) * 100);
}

void CQuaverly3Dlg::OnPositionSliderMoved(int) {
  if (!player_->IsOpen()) return;
  dragging_ = true;
  const double t = SliderSeconds();
  position_->setText(
      QString::fromStdString(PositionReadout(t, document_.state().song_length, true)));
  const LoopSettings s = document_.loops().SettingsAt(t, document_.state().master);
  SetPitchTempoSliders(s.pitch, s.tempo);
}

void CQuaverly3Dlg::OnPositionSliderReleased() {
  dragging_ = false;
  if (!player_->IsOpen()) return;
  const double t = SliderSeconds();
  if (player_->IsPlayingOrStalled()) {
    RefreshTempoPitch(true);
    PlayFrom(t);
  } else {
    position_moved_ = true;
    chart_->SetPlayPosition(t);
    position_->setText(
        QString::fromStdString(PositionReadout(t, document_.state().song_length, true)));
  }
}

// ------------------------------------------------- pause between repetitions

void CQuaverly3Dlg::RunLoopDelay(int seconds) {
  SetTimerHold(true);
  busy_ = true;
  if (player_->IsPlayingOrStalled()) player_->PauseToggle();
  qApp->installEventFilter(this);
  OnStatusText(StringPrintf("Pausing %d second%s before the repeat (Space continues)...", seconds,
                            seconds == 1 ? "" : "s"));
  loop_delay_.Run(seconds);
  qApp->removeEventFilter(this);
  busy_ = false;
  OnStatusText("");
  SetTimerHold(false);
}

}  // namespace qv3
