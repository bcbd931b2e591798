// Loops and markers: made from the play position or the waveform view,
// jumped between, dragged, edited and deleted.
#include <QCursor>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <chrono>
#include <cstdlib>

#include "app/main_window_commands.h"
#include "app/ui/edit_loop_dlg.h"
#include "app/ui/edit_marker_dlg.h"
#include "app/ui/quaverly3_dlg.h"
#include "document/loop_edit.h"
#include "notefinder/ui/note_finder_dlg.h"
#include "platform/ui_services.h"

namespace qv3 {

void CQuaverly3Dlg::SyncView() {
  chart_->Markers() = document_.markers();
  chart_->Loops() = document_.loops();
  chart_->Master() = document_.state().master;
  chart_->update();
}

// ------------------------------------------------------- making, jumping

void CQuaverly3Dlg::SetLoopPoint(bool start, double seconds) {
  const LoopValues values = NewLoopPoint(seconds, pitch_slider_->value(), tempo_slider_->value());
  LoopList& loops = document_.loops();
  const int index = start ? loops.SetLoopStart(values) : loops.SetLoopEnd(values);
  if (index < 0) return;
  if (index < loops.count()) document_.state().current_loop = index;
  SyncView();
  document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::AddMarkerAt(double seconds) {
  if (!document_.markers().Add("", seconds)) return;
  SyncView();
  document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::JumpBack() {
  if (!player_->IsOpen()) return;
  const double pos = CurrentPosition();
  if (jump_back_presses_.Press(std::chrono::steady_clock::now())) {
    JumpTo(PreviousLoopTarget(document_.loops(), pos));
  } else {
    JumpTo(JumpBackTarget(document_.loops(), pos));
  }
}

void CQuaverly3Dlg::JumpTo(double seconds) {
  if (!player_->IsOpen()) return;
  if (seconds < 0.0) {
    Ui().Beep();
    return;
  }
  Seek(seconds);
}

// ------------------------------------------------------ editing, deleting

void CQuaverly3Dlg::EditLoop(int index) {
  LoopList& loops = document_.loops();
  if (index < 0 || index >= loops.count()) {
    Ui().Beep();
    return;
  }
  const LoopEditFields initial = LoopEditInitial(loops, index);
  CEditLoopDlg dialog(initial, document_.state().song_length, this);
  if (RunDialog(&dialog) != QDialog::Accepted) return;
  StoreLoopEdit(loops, index, dialog.Fields());
  document_.state().current_loop = index;
  const LoopRecord& loop = loops.Loop(index);
  SetPitchTempoSliders(loop.pitch, loop.tempo);
  RefreshTempoPitch(true);
  SyncView();
  document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::DeleteLoop(int index) {
  LoopList& loops = document_.loops();
  if (index < 0 || index >= loops.count()) {
    Ui().Beep();
    return;
  }
  loops.DeleteLoop(index);
  document_.state().current_loop = -1;
  chart_->SetSelectedItem(-1, -1);
  SyncView();
  document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::EditMarker(int index) {
  MarkerList& markers = document_.markers();
  if (index < 0 || index >= markers.count()) return;
  const MarkerRecord m = markers.At(index);
  CEditMarkerDlg dialog(m.name, m.position, document_.state().song_length, this);
  if (RunDialog(&dialog) != QDialog::Accepted) return;
  ApplyMarkerEdit(markers, index, dialog.Name(), dialog.Position());
  SyncView();
  document_.SetSavedState(0, true);
}

void CQuaverly3Dlg::DeleteItem() {
  const int kind = chart_->SelectedKind();
  const int index = chart_->SelectedIndex();
  if (kind == kItemLoop) {
    DeleteLoop(index);
  } else if (kind == kItemMarker && index >= 0 && index < document_.markers().count()) {
    document_.markers().Delete(index);
    chart_->SetSelectedItem(-1, -1);
    SyncView();
    document_.SetSavedState(0, true);
  }
}

void CQuaverly3Dlg::EditItem() {
  const int kind = chart_->SelectedKind();
  const int index = chart_->SelectedIndex();
  if (kind == kItemLoop) {
    EditLoop(index);
  } else if (kind == kItemMarker) {
    EditMarker(index);
  }
}

// ------------------------------------------------- waveform notifications

void CQuaverly3Dlg::OnChartNotify(int code, int x, int y) {
  if (!player_->IsOpen() || busy_) return;
  const QPoint point(x, y);
  if (nf_session_.is_open() && (code == kChartLeftButtonDown || code == kChartLeftDoubleClick) &&
      chart_->PlotRect().contains(point)) {
    // While the Note Finder is open a click in the wave moves its start.
    double seconds = 0.0;
    if (nf_session_.Click(&nf_->finder(), chart_->PixelToAxis(x), document_.state().song_length,
                          &seconds)) {
      Seek(seconds);
    }
    return;
  }
  switch (code) {
    case kChartLeftButtonDown: OnChartLeftDown(point); break;
    case kChartLeftButtonUp: OnChartLeftUp(point); break;
    case kChartRightButtonDown: OnChartRightDown(point); break;
    case kChartPointerMoved: OnChartMove(point); break;
    default: break;  // 3026: no action
  }
}

void CQuaverly3Dlg::OnChartLeftDown(QPoint point) {
  const ChartHit hit = chart_->HitTest(point);
  switch (hit.kind) {
    case ChartHit::kMarker:
      drag_kind_ = kItemMarker;
      drag_index_ = hit.index;
      drag_moved_ = false;
      break;
    case ChartHit::kLoopStart:
    case ChartHit::kLoopEnd:
      drag_kind_ = kItemLoop;
      drag_index_ = hit.index;
      drag_loop_end_ = hit.kind == ChartHit::kLoopEnd;
      drag_moved_ = false;
      document_.state().current_loop = hit.index;
      break;
    case ChartHit::kTopStrip:
      AddMarkerAt(hit.seconds);
      break;
    case ChartHit::kWaveArea:
      wave_press_ = true;
      press_point_ = point;
      press_seconds_ = hit.seconds;
      press_max_distance_ = 0;
      break;
    case ChartHit::kTimeStrip:
      Seek(hit.seconds);
      document_.state().current_loop = document_.loops().LoopContaining(hit.seconds);
      break;
    case ChartHit::kNone:
      break;
  }
}

void CQuaverly3Dlg::OnChartMove(QPoint point) {
  const QRect plot = chart_->PlotRect();
  if (drag_kind_ >= 0) {
    const double t = chart_->PixelToSeconds(point.x());
    if (drag_kind_ == kItemMarker) {
      const MarkerRecord m = document_.markers().At(drag_index_);
      document_.markers().Set(drag_index_, m.name, t);
      drag_moved_ = true;
    } else if (document_.loops().MoveLoopEnd(
                   drag_index_, drag_loop_end_ ? LoopPoint::kEnd : LoopPoint::kStart, t)) {
      drag_moved_ = true;
    }
    SyncView();
    return;
  }
  if (wave_press_) {
    const bool playing = player_->IsPlayingOrStalled();
    if (!playing && point.x() < plot.left()) {
      chart_->ScrollBy(-0.01);
    } else if (!playing && point.x() > plot.right()) {
      chart_->ScrollBy(0.01);
    }
    if (point.x() >= plot.left() && point.x() <= plot.right()) {
      press_max_distance_ = std::max(press_max_distance_, std::abs(point.x() - press_point_.x()));
      if (press_max_distance_ > 2) {
        const double t = chart_->PixelToSeconds(point.x());
        chart_->SetSelection(std::min(press_seconds_, t), std::max(press_seconds_, t));
      }
    }
    return;
  }
  // Hovering: the item under the pointer is the selected item.
  const ChartHit hit = chart_->HitTest(point);
  int kind = -1;
  if (hit.kind == ChartHit::kMarker) kind = kItemMarker;
  if (hit.kind == ChartHit::kLoopStart || hit.kind == ChartHit::kLoopEnd) kind = kItemLoop;
  chart_->SetSelectedItem(kind, kind < 0 ? -1 : hit.index);
}

void CQuaverly3Dlg::OnChartLeftUp(QPoint point) {
  if (drag_kind_ >= 0) {
    drag_kind_ = -1;
    if (drag_moved_) document_.SetSavedState(0, true);
    drag_moved_ = false;
    return;
  }
  if (!wave_press_) return;
  wave_press_ = false;
  const QRect plot = chart_->PlotRect();
  const bool inside = plot.contains(point);
  if (inside && press_max_distance_ <= 2) {
    // A click: a loop starts here.
    chart_->ClearSelection();
    SetLoopPoint(true, chart_->PixelToSeconds(point.x()));
  }
}

void CQuaverly3Dlg::OnChartRightDown(QPoint point) {
  const ChartHit hit = chart_->HitTest(point);
  if (hit.kind == ChartHit::kMarker || hit.kind == ChartHit::kLoopStart ||
      hit.kind == ChartHit::kLoopEnd) {
    const bool loop = hit.kind != ChartHit::kMarker;
    chart_->SetSelectedItem(loop ? kItemLoop : kItemMarker, hit.index);
    if (loop) document_.state().current_loop = hit.index;
    QMenu* menu = BuildItemMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (dialog_hook_) {
      dialog_hook_(menu);
      delete menu;
    } else {
      menu->popup(chart_->mapToGlobal(point));
    }
    return;
  }
  if (hit.kind == ChartHit::kWaveArea) SetLoopPoint(false, hit.seconds);
}

// ------------------------------------------------------------ note finder

void CQuaverly3Dlg::OpenNoteFinder() {
  if (!player_->IsOpen() || nf_session_.is_open()) return;
  buttons_[cmd::kNoteFinderShow]->hide();
  buttons_[cmd::kNoteFinderHide]->show();
  if (player_->IsPlayingOrStalled()) player_->PauseToggle();
  nf_session_.Open(&nf_->finder(), static_cast<int>(player_->SampleRate()), SliderSeconds(),
                   files_.CurrentNames().audio);
  nf_->show();
}

void CQuaverly3Dlg::CloseNoteFinder() {
  if (nf_session_.is_open()) nf_session_.Close(&nf_->finder());
  nf_->hide();
  buttons_[cmd::kNoteFinderHide]->hide();
  buttons_[cmd::kNoteFinderShow]->show();
}

}  // namespace qv3
