#include "editing/ui/chart_ctrl.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "platform/ui_services.h"

namespace qv3 {

CChartCtrl::CChartCtrl(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont f = font();
  f.setPixelSize(11);
  setFont(f);
  scroll_bar_ = new QScrollBar(Qt::Horizontal, this);
  scroll_bar_->setRange(0, 0);
  connect(scroll_bar_, &QScrollBar::valueChanged, this, &CChartCtrl::OnScrollBar);
  resize(640, 240);
}

CChartCtrl::~CChartCtrl() = default;

// ---------------------------------------------------------------- song data

void CChartCtrl::SetPeaks(PeakSet peaks, int channels) {
  const int32_t count = peaks.value_count;
  channels_ = channels;
  left_.Assign(std::move(peaks.left), count);
  if (channels == 2) {
    right_.Assign(std::move(peaks.right), count);
  } else {
    right_.Clear();
  }
  zoom_span_ = -1.0;
  ApplyAxis(0.0, count / 2, false);
  update();
}

void CChartCtrl::ClearSeries() {
  left_.Clear();
  right_.Clear();
  channels_ = 0;
  SyncScrollBar();
  update();
}

void CChartCtrl::SetTotalLength(double seconds) {
  total_length_ = std::max(0.0, seconds);
  markers_.set_song_length(total_length_);
  loops_.set_song_length(total_length_);
  SyncScrollBar();
  update();
}

double CChartCtrl::SongMilliseconds() const { return static_cast<double>(left_.Milliseconds()); }

void CChartCtrl::ResetDocument() {
  markers_.Clear();
  loops_.Clear();
  master_.Reset();
  selected_kind_ = -1;
  selected_index_ = -1;
  selection_start_ = selection_end_ = -1.0;
  update();
}

// ------------------------------------------------------ axis, zoom, scroll

void CChartCtrl::ApplyAxis(double min_ms, double max_ms, bool clamp_to_song) {
  double span = max_ms - min_ms;
  if (!(span > 0.0) || !std::isfinite(span) || !std::isfinite(min_ms)) {
    min_ms = 0.0;
    span = std::max(1.0, SongMilliseconds());
  }
  if (clamp_to_song) {
    const double song = SongMilliseconds();
    if (span >= song) {
      min_ms = 0.0;
    } else {
      min_ms = std::clamp(min_ms, 0.0, song - span);
    }
  }
  axis_min_ = min_ms;
  axis_max_ = min_ms + span;
  SyncScrollBar();
  update();
}

void CChartCtrl::SetAxisRange(double min_ms, double max_ms) { ApplyAxis(min_ms, max_ms, false); }

void CChartCtrl::SetZoomSpan(double seconds) {
  const double song = SongMilliseconds();
  if (!(seconds > 0.0) || seconds * 1000.0 >= song) {
    zoom_span_ = -1.0;
    ApplyAxis(0.0, std::max(1.0, song), false);
    if (follow_mode_ == ChartFollowMode::kFixed) SetPlayPosition(play_position_);
    return;
  }
  zoom_span_ = seconds;
  const double span = seconds * 1000.0;
  const double pos = play_position_ * 1000.0;
  if (follow_mode_ == ChartFollowMode::kFixed) {
    ApplyAxis(pos - span / 2.0, pos + span / 2.0, false);
  } else {
    double min = axis_min_;
    if (pos < min || pos >= min + span) min = std::floor(pos / span) * span;
    ApplyAxis(min, min + span, true);
  }
}

void CChartCtrl::ScrollBy(double fraction) {
  const double d = (axis_max_ - axis_min_) * fraction;
  ApplyAxis(axis_min_ + d, axis_max_ + d, true);
}

void CChartCtrl::SetFollowMode(ChartFollowMode mode) {
  follow_mode_ = mode;
  if (mode == ChartFollowMode::kFixed) {
    SetPlayPosition(play_position_);
  } else {
    ApplyAxis(axis_min_, axis_max_, true);
  }
}

void CChartCtrl::SetPlayPosition(double seconds) {
  if (!std::isfinite(seconds)) return;
  play_position_ = seconds;
  const double span = axis_max_ - axis_min_;
  const double pos = seconds * 1000.0;
  if (follow_mode_ == ChartFollowMode::kFixed) {
    if (HasSong()) ApplyAxis(pos - span / 2.0, pos + span / 2.0, false);
  } else if (HasSong() && span < SongMilliseconds() && (pos < axis_min_ || pos >= axis_max_)) {
    const double min = std::floor(pos / span) * span;
    ApplyAxis(min, min + span, true);
  }
  update();
}

void CChartCtrl::SyncScrollBar() {
  if (scroll_bar_ == nullptr) return;
  syncing_scroll_bar_ = true;
  const double span = axis_max_ - axis_min_;
  const double song = SongMilliseconds();
  const int max = HasSong() ? static_cast<int>(std::max(0.0, song - span)) : 0;
  scroll_bar_->setRange(0, max);
  scroll_bar_->setPageStep(static_cast<int>(std::min(span, 1e9)));
  scroll_bar_->setSingleStep(std::max(1, static_cast<int>(span / 10.0)));
  scroll_bar_->setValue(static_cast<int>(std::clamp(axis_min_, 0.0, static_cast<double>(max))));
  syncing_scroll_bar_ = false;
}

void CChartCtrl::OnScrollBar(int value) {
  if (syncing_scroll_bar_) return;
  const double span = axis_max_ - axis_min_;
  ApplyAxis(value, value + span, true);
}

// ------------------------------------------------------------- selection

void CChartCtrl::SetSelection(double start, double end) {
  selection_start_ = start;
  selection_end_ = end;
  update();
}

bool CChartCtrl::SetSelectedItem(int kind, int index) {
  if (kind != kItemMarker && kind != kItemLoop) {
    kind = -1;
    index = -1;
  }
  if (kind == selected_kind_ && index == selected_index_) return false;
  selected_kind_ = kind;
  selected_index_ = index;
  update();
  return true;
}

bool CChartCtrl::SelectItemAt(QPoint point) {
  const ChartHit hit = HitTest(point);
  switch (hit.kind) {
    case ChartHit::kMarker:
      return SetSelectedItem(kItemMarker, hit.index);
    case ChartHit::kLoopStart:
    case ChartHit::kLoopEnd:
      return SetSelectedItem(kItemLoop, hit.index);
    default:
      return SetSelectedItem(-1, -1);
  }
}

// -------------------------------------------------------------- geometry

QRect CChartCtrl::PlotRect() const {
  const int w = std::max(1, width() - 2 * kSideMargin);
  const int h = std::max(1, height() - kTopStripHeight - kTimeStripHeight - kScrollBarHeight);
  return QRect(kSideMargin, kTopStripHeight, w, h);
}

double CChartCtrl::PixelToAxis(int x) const {
  const QRect plot = PlotRect();
  return axis_min_ + (x - plot.left()) * (axis_max_ - axis_min_) / plot.width();
}

int CChartCtrl::AxisToPixel(double value) const {
  const QRect plot = PlotRect();
  const double x = plot.left() + std::floor((value - axis_min_) * plot.width() / (axis_max_ - axis_min_));
  // Far off-screen items stay far off-screen without overflowing.
  return static_cast<int>(std::clamp(x, -1.0e6, 1.0e6));
}

int CChartCtrl::SecondsToPixel(double seconds) const {
  return AxisToPixel(std::floor(seconds * 1000.0 + 0.5));
}

double CChartCtrl::PixelToSeconds(int x) const {
  return std::clamp(PixelToAxis(x) / 1000.0, 0.0, total_length_);
}

double CChartCtrl::ViewCentreSeconds() const { return PixelToSeconds(width() / 2 + 2); }

ChartHit CChartCtrl::HitTest(QPoint point) const {
  const QRect plot = PlotRect();
  const int top = plot.top();
  const int left = plot.left();
  const int right = plot.left() + plot.width();
  const int bottom = plot.top() + plot.height();
  const QFontMetrics fm(font());
  ChartHit hit;
  hit.seconds = PixelToSeconds(point.x());

  // Markers: the triangle and the name above it (topmost drawn first).
  for (int i = markers_.count() - 1; i >= 0; --i) {
    const MarkerRecord m = markers_.At(i);
    const int x = SecondsToPixel(m.position);
    if (x <= left || x >= right) continue;
    const QRect handle(x - 4, top - 44, 9, 22);
    const QRect label(x - 4, top - 44, fm.horizontalAdvance(QString::fromStdString(m.name)), 14);
    if (handle.contains(point) || label.contains(point)) {
      hit.kind = ChartHit::kMarker;
      hit.index = i;
      return hit;
    }
  }
  // Loop handles: each edge's triangle, and the name beside the start.
  for (int i = loops_.count() - 1; i >= 0; --i) {
    const LoopRecord& loop = loops_.Loop(i);
    const int xs = SecondsToPixel(loop.start);
    const int xe = SecondsToPixel(loop.end);
    const QRect end_handle(xe - 4, top - 7, 9, 8);
    if (xe >= left && xe < right && end_handle.contains(point)) {
      hit.kind = ChartHit::kLoopEnd;
      hit.index = i;
      return hit;
    }
    const QRect start_handle(xs - 4, top - 7, 9, 8);
    const QRect label(xs - 4, top - 21, fm.horizontalAdvance(QString::fromStdString(loop.name)), 14);
    if (xs >= left && xs < right && (start_handle.contains(point) || label.contains(point))) {
      hit.kind = ChartHit::kLoopStart;
      hit.index = i;
      return hit;
    }
  }
  if (point.x() < left || point.x() >= right) return hit;
  if (point.y() >= 0 && point.y() < top) {
    hit.kind = ChartHit::kTopStrip;
  } else if (point.y() >= top && point.y() < bottom) {
    hit.kind = ChartHit::kWaveArea;
  } else if (point.y() >= bottom && point.y() < bottom + kTimeStripHeight) {
    hit.kind = ChartHit::kTimeStrip;
  }
  return hit;
}

std::vector<std::string> CChartCtrl::LoopDetailsLines(int loop_index) const {
  const LoopRecord& loop = loops_.Loop(loop_index);
  std::vector<std::string> lines;
  lines.push_back(loop.name + " - details:");
  lines.push_back("");
  lines.push_back(StringPrintf("      Pitch: %.2f", loop.pitch / 100.0));
  lines.push_back(StringPrintf("      Tempo: %.2f", loop.tempo / 100.0));
  lines.push_back(loop.repeat_count == -1 ? std::string("      Count: infinite")
                                          : StringPrintf("      Count: %d", loop.repeat_count));
  lines.push_back(StringPrintf("      Delay: %d", loop.delay));
  lines.push_back("");
  return lines;
}

// ---------------------------------------------------------------- events

void CChartCtrl::Send(int code, QPoint position) {
  if (owner_ != nullptr) owner_->OnChartNotify(code, position.x(), position.y());
  emit Notify(code, position);
}

void CChartCtrl::paintEvent(QPaintEvent*) {
  Render(&back_buffer_);
  QPainter painter(this);
  painter.drawImage(0, 0, back_buffer_);
}

void CChartCtrl::resizeEvent(QResizeEvent*) {
  const QRect plot = PlotRect();
  scroll_bar_->setGeometry(plot.left(), height() - kScrollBarHeight, plot.width(), kScrollBarHeight);
  if (follow_mode_ == ChartFollowMode::kFixed && HasSong()) SetPlayPosition(play_position_);
}

void CChartCtrl::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton) Send(kChartLeftButtonDown, pos);
  if (event->button() == Qt::RightButton) Send(kChartRightButtonDown, pos);
}

void CChartCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Send(kChartLeftButtonUp, event->position().toPoint());
}

void CChartCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Send(kChartLeftDoubleClick, event->position().toPoint());
}

void CChartCtrl::mouseMoveEvent(QMouseEvent* event) { Send(kChartPointerMoved, event->position().toPoint()); }

void CChartCtrl::wheelEvent(QWheelEvent* event) {
  if (!HasSong()) return;
  const int steps = event->angleDelta().y() / 120;
  if (steps != 0) ScrollBy(-0.1 * steps);
  event->accept();
}

}  // namespace qv3
