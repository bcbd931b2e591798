// The painting of CChartCtrl: series, axis labels and the overlays, in the
// order the view stacks them.
#include <algorithm>
#include <cmath>
#include <map>

#include <QPainter>

#include "editing/ui/chart_ctrl.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

const QColor kStripColour(240, 240, 240);
const QColor kPlotColour(0, 0, 0);
const QColor kZeroLineColour(48, 48, 48);
const QColor kTickColour(96, 96, 96);
const QColor kLeftSeriesColour(0, 160, 255);
const QColor kRightSeriesColour(255, 170, 60);

const QColor kSelectionFill(0, 0, 255);
const QColor kSelectionEdge(0, 255, 0);
const QColor kMarkerColour(0, 0, 255);
const QColor kLoopStartColour(0, 98, 0);
const QColor kLoopEndColour(255, 0, 0);
const QColor kLoopPendingColour(239, 219, 27);
const QColor kLoopLabelBackground(186, 210, 237);
const QColor kLoopBandColour(220, 220, 220);
const QColor kPlayPositionColour(255, 255, 255);

// Text with its cell's top-left corner at (x, y).
void DrawTextAt(QPainter& p, int x, int y, const QString& text) {
  p.drawText(QPoint(x, y + p.fontMetrics().ascent()), text);
}

// A one-pixel column from y0 up to (not including) y1, under the painter's
// composition mode.
void VerticalLine(QPainter& p, int x, int y0, int y1, const QColor& colour) {
  if (y1 > y0) p.fillRect(QRect(x, y0, 1, y1 - y0), colour);
}

// The handle of markers and loop edges: a filled triangle, 9 pixels wide at
// its base (base_y) and pointing down to (x, base_y + 7). Drawn once per
// colour through the same polygon rasteriser and then copied, which is the
// same pixels (integer offsets) at a twentieth of the cost.
void Triangle(QPainter& p, int x, int base_y, const QColor& colour) {
  static std::map<QRgb, QImage> sprites;  // GUI thread only
  auto it = sprites.find(colour.rgb());
  if (it == sprites.end()) {
    QImage sprite(11, 10, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter s(&sprite);
    s.setPen(QPen(colour, 0));
    s.setBrush(colour);
    const QPoint points[3] = {QPoint(5, 8), QPoint(1, 1), QPoint(9, 1)};
    s.drawPolygon(points, 3);
    s.end();
    it = sprites.emplace(colour.rgb(), sprite).first;
  }
  p.drawImage(x - 5, base_y - 1, it->second);
}

QString TimeLabel(double ms, double interval_ms) {
  const bool negative = ms < 0;
  const int64_t t = static_cast<int64_t>(std::llround(std::fabs(ms)));
  const int64_t minutes = t / 60000;
  const int64_t seconds = (t / 1000) % 60;
  std::string s = interval_ms < 1000.0
                      ? StringPrintf("%s%lld:%02lld.%03lld", negative ? "-" : "", static_cast<long long>(minutes),
                                     static_cast<long long>(seconds), static_cast<long long>(t % 1000))
                      : StringPrintf("%s%lld:%02lld", negative ? "-" : "", static_cast<long long>(minutes),
                                     static_cast<long long>(seconds));
  return QString::fromStdString(s);
}

}  // namespace

void ApplyNotXorPen(QImage* image, const std::vector<QRect>& rects, QColor colour) {
  // ~(colour ^ dest) = dest ^ ~colour on the colour bits; alpha stays opaque.
  const QRgb mask = ~colour.rgb() & 0x00ffffffu;
  const QRect bounds = image->rect();
  for (const QRect& r : rects) {
    const QRect c = r.intersected(bounds);
    for (int y = c.top(); y <= c.bottom(); ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(image->scanLine(y));
      for (int x = c.left(); x <= c.right(); ++x) row[x] ^= mask;
    }
  }
}

int CChartCtrl::ValueToY(const QRect& plot, int value) const {
  return plot.top() + static_cast<int>(std::lround((32767.0 - value) * (plot.height() - 1) / 65535.0));
}

void CChartCtrl::Render(QImage* image) const {
  if (image->size() != size() || image->format() != QImage::Format_RGB32) {
    *image = QImage(size(), QImage::Format_RGB32);
  }
  if (image->isNull()) return;  // a view of no size
  const QRect plot = PlotRect();
  const bool envelope = HasSong() && EnvelopeMode(plot);
  {
    QPainter p(image);
    p.setFont(font());
    PaintBackground(p, plot);
    PaintAxisLabels(p, plot);
    if (HasSong() && !envelope) {
      PaintPolyline(p, plot, left_, kLeftSeriesColour);
      if (channels_ == 2) PaintPolyline(p, plot, right_, kRightSeriesColour);
    }
  }
  if (envelope) {
    PaintEnvelope(image, plot, left_, kLeftSeriesColour);
    if (channels_ == 2) PaintEnvelope(image, plot, right_, kRightSeriesColour);
  }
  std::vector<QRect> bands;
  {
    QPainter p(image);
    p.setFont(font());
    PaintSelection(p, plot);
    PaintMarkers(p, plot);
    PaintLoops(p, plot, &bands);
  }
  // A band covers only its own loop's columns between the edges, and loops
  // never share columns, so painting the bands after all edges gives the
  // pixels of painting each right after its edges.
  ApplyNotXorPen(image, bands, kLoopBandColour);
  {
    QPainter p(image);
    p.setFont(font());
    PaintPendingLoop(p, plot);
    PaintPlayPosition(p, plot);
    PaintLoopDetails(p, plot);
  }
}

void CChartCtrl::PaintBackground(QPainter& p, const QRect& plot) const {
  p.fillRect(QRect(QPoint(0, 0), size()), kStripColour);
  p.fillRect(plot, kPlotColour);
  p.fillRect(QRect(plot.left(), ValueToY(plot, 0), plot.width(), 1), kZeroLineColour);
}

void CChartCtrl::PaintAxisLabels(QPainter& p, const QRect& plot) const {
  if (!HasSong()) return;
  static const double kIntervals[] = {1,     2,     5,     10,     20,     50,     100,    200,    500,
                                      1000,  2000,  5000,  10000,  15000,  30000,  60000,  120000, 300000,
                                      600000, 1200000, 1800000, 3600000, 7200000};
  const double ms_per_px = (axis_max_ - axis_min_) / plot.width();
  const int label_width = p.fontMetrics().horizontalAdvance(QStringLiteral("00:00.000")) + 16;
  double interval = kIntervals[std::size(kIntervals) - 1];
  for (double candidate : kIntervals) {
    if (candidate / ms_per_px >= label_width) {
      interval = candidate;
      break;
    }
  }
  const int bottom = plot.top() + plot.height();
  p.save();
  p.setClipRect(QRect(0, bottom, width(), kTimeStripHeight));
  p.setPen(kTickColour);
  const double first = std::ceil(axis_min_ / interval) * interval;
  for (double t = first; t <= axis_max_; t += interval) {
    const int x = AxisToPixel(t);
    VerticalLine(p, x, bottom, bottom + 3, kTickColour);
    const QString text = TimeLabel(t, interval);
    const int w = p.fontMetrics().horizontalAdvance(text);
    DrawTextAt(p, std::clamp(x - w / 2, 0, std::max(0, width() - w)), bottom + 3, text);
  }
  p.restore();
}

bool CChartCtrl::EnvelopeMode(const QRect& plot) const {
  return (axis_max_ - axis_min_) / plot.width() > kEnvelopeThreshold;
}

void CChartCtrl::PaintEnvelope(QImage* image, const QRect& plot, const PeakEnvelope& series, QColor colour) const {
  const double span = axis_max_ - axis_min_;
  const double ms_per_px = span / plot.width();
  // First millisecond of column c, consistent with AxisToPixel's rounding.
  auto column_of = [&](int64_t m) { return static_cast<int64_t>(std::floor((m - axis_min_) * plot.width() / span)); };
  auto first_of = [&](int64_t c) {
    int64_t m = static_cast<int64_t>(std::ceil(axis_min_ + c * ms_per_px));
    while (column_of(m - 1) >= c) --m;
    while (column_of(m) < c) ++m;
    return m;
  };
  const QRgb rgb = colour.rgb();
  uchar* const bits = image->bits();
  const qsizetype stride = image->bytesPerLine();
  // A view smaller than its strips has a plot reaching outside the image.
  const int y_min = std::max(plot.top(), 0);
  const int y_max = std::min(plot.top() + plot.height() - 1, image->height() - 1);
  bool have_previous = false;
  int prev_top = 0, prev_bottom = 0;
  int64_t a = first_of(0);
  for (int c = 0; c < plot.width(); ++c) {
    const int64_t b = first_of(c + 1);
    const int64_t first = a;
    a = b;
    int lo, hi;
    if (!series.Range(first, b, &lo, &hi)) {
      have_previous = false;
      continue;
    }
    // The column's lowest to highest value, stretched to meet the previous
    // column as the zig-zag through the pairs would.
    int y_top = ValueToY(plot, hi);
    int y_bottom = ValueToY(plot, lo);
    if (have_previous) {
      y_top = std::min(y_top, prev_bottom);
      y_bottom = std::max(y_bottom, prev_top);
    }
    prev_top = y_top;
    prev_bottom = y_bottom;
    have_previous = true;
    const int x = plot.left() + c;
    if (x < 0 || x >= image->width()) continue;
    uchar* row = bits + std::max(y_top, y_min) * stride + x * 4;
    for (int y = std::max(y_top, y_min); y <= std::min(y_bottom, y_max); ++y, row += stride) {
      *reinterpret_cast<QRgb*>(row) = rgb;
    }
  }
}

void CChartCtrl::PaintPolyline(QPainter& p, const QRect& plot, const PeakEnvelope& series, QColor colour) const {
  p.save();
  p.setClipRect(plot);
  p.setPen(QPen(colour, 0));
  const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(std::floor(axis_min_)) - 1);
  const int64_t last = std::min<int64_t>(series.Milliseconds(), static_cast<int64_t>(std::ceil(axis_max_)) + 2);
  std::vector<QPoint> points;
  points.reserve(2 * std::max<int64_t>(0, last - first));
  for (int64_t m = first; m < last; ++m) {
    const int x = AxisToPixel(static_cast<double>(m));
    points.emplace_back(x, ValueToY(plot, series.MaxAt(m)));
    points.emplace_back(x, ValueToY(plot, series.MinAt(m)));
  }
  if (!points.empty()) p.drawPolyline(points.data(), static_cast<int>(points.size()));
  p.restore();
}

void CChartCtrl::PaintSelection(QPainter& p, const QRect& plot) const {
  if (selection_start_ == -1.0 || selection_end_ == -1.0) return;
  const int top = plot.top();
  const int bottom = plot.top() + plot.height();
  const int xs = SecondsToPixel(selection_start_);
  const int xe = SecondsToPixel(selection_end_);
  p.save();
  p.setClipRect(plot);
  p.setCompositionMode(QPainter::RasterOp_NotSourceOrDestination);  // dest | ~colour
  const int fill_left = std::max(std::min(xs, xe), plot.left());
  const int fill_right = std::min(std::max(xs, xe), plot.left() + plot.width());
  if (fill_right > fill_left) p.fillRect(QRect(fill_left, top + 1, fill_right - fill_left, bottom - top - 1), kSelectionFill);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  VerticalLine(p, xs, top + 1, bottom, kSelectionEdge);
  VerticalLine(p, xe, top + 1, bottom, kSelectionEdge);
  p.restore();
}

void CChartCtrl::PaintMarkers(QPainter& p, const QRect& plot) const {
  const int top = plot.top();
  const int right = plot.left() + plot.width();
  p.save();
  p.setClipRect(plot.adjusted(0, -45, 0, 0));
  for (int i = 0; i < markers_.count(); ++i) {
    const MarkerRecord m = markers_.At(i);
    const int x = SecondsToPixel(m.position);
    if (x <= plot.left() || x >= right) continue;
    Triangle(p, x, top - 30, kMarkerColour);  // (x, top - 23), (x -/+ 4, top - 30)
    p.setPen(kMarkerColour);
    DrawTextAt(p, x - 4, top - 44, QString::fromStdString(m.name));
  }
  p.restore();
}

void CChartCtrl::PaintLoopEdge(QPainter& p, const QRect& plot, int x, QColor colour, const std::string* name) const {
  const int top = plot.top();
  const int bottom = plot.top() + plot.height();
  VerticalLine(p, x, top, bottom, colour);
  Triangle(p, x, top - 7, colour);  // (x, top), (x -/+ 4, top - 7)
  if (name != nullptr) {
    const QString text = QString::fromStdString(*name);
    const QFontMetrics fm = p.fontMetrics();
    p.fillRect(QRect(x - 4, top - 21, fm.horizontalAdvance(text), fm.height()), kLoopLabelBackground);
    p.setPen(Qt::black);
    DrawTextAt(p, x - 4, top - 21, text);
  }
}

void CChartCtrl::PaintLoops(QPainter& p, const QRect& plot, std::vector<QRect>* bands) const {
  const int top = plot.top();
  const int bottom = plot.top() + plot.height();
  const int right = plot.left() + plot.width();
  // An edge's triangle reaches 4 pixels to each side.
  auto visible = [&](int x) { return x > plot.left() - 5 && x < right + 5; };
  // A start left of the plot may still show the end of its name.
  auto label_visible = [&](int x, const std::string& name) {
    return x <= plot.left() - 5 && x > plot.left() - 1000 &&
           x - 4 + p.fontMetrics().horizontalAdvance(QString::fromStdString(name)) > plot.left();
  };
  p.save();
  p.setClipRect(plot.adjusted(0, -34, 0, 0));
  for (int i = 0; i < loops_.count(); ++i) {
    const LoopRecord& loop = loops_.Loop(i);
    const bool has_start = loop.start >= 0.0;
    const bool has_end = loop.end >= 0.0;
    const int xs = SecondsToPixel(loop.start);
    const int xe = SecondsToPixel(loop.end);
    // Loops outside the plot are skipped, not clipped: laying out hundreds
    // of labels far off-screen costs more than the whole waveform.
    if (has_start && (visible(xs) || label_visible(xs, loop.name))) PaintLoopEdge(p, plot, xs, kLoopStartColour, &loop.name);
    if (has_end && visible(xe)) PaintLoopEdge(p, plot, xe, kLoopEndColour, nullptr);
    const int band_left = std::max(xs + 1, plot.left());
    const int band_right = std::min(xe, right);
    if (has_start && has_end && band_right > band_left) {
      bands->emplace_back(band_left, top, band_right - band_left, bottom - top);
    }
  }
  p.restore();
}

void CChartCtrl::PaintPendingLoop(QPainter& p, const QRect& plot) const {
  const int right = plot.left() + plot.width();
  auto visible = [&](int x) { return x > plot.left() - 5 && x < right + 5; };
  auto label_visible = [&](int x, const std::string& name) {
    return x <= plot.left() - 5 && x > plot.left() - 1000 &&
           x - 4 + p.fontMetrics().horizontalAdvance(QString::fromStdString(name)) > plot.left();
  };
  p.save();
  p.setClipRect(plot.adjusted(0, -34, 0, 0));
  // The loop being created, while only one of its edges is set.
  const LoopRecord& pending = loops_.pending();
  const bool has_start = pending.start >= 0.0;
  const bool has_end = pending.end >= 0.0;
  if (has_start != has_end) {
    const int x = SecondsToPixel(has_start ? pending.start : pending.end);
    if (visible(x) || (has_start && label_visible(x, pending.name)))
      PaintLoopEdge(p, plot, x, kLoopPendingColour, has_start ? &pending.name : nullptr);
  }
  p.restore();
}

void CChartCtrl::PaintPlayPosition(QPainter& p, const QRect& plot) const {
  if (!HasSong()) return;
  const int x = follow_mode_ == ChartFollowMode::kFixed ? plot.left() + plot.width() / 2
                                                         : SecondsToPixel(play_position_);
  p.save();
  p.setClipRect(plot);
  VerticalLine(p, x, plot.top() + 1, plot.top() + plot.height() - 1, kPlayPositionColour);
  p.restore();
}

void CChartCtrl::PaintLoopDetails(QPainter& p, const QRect& plot) const {
  if (selected_kind_ != kItemLoop || selected_index_ < 0 || selected_index_ >= loops_.count()) return;
  const std::vector<std::string> lines = LoopDetailsLines(selected_index_);
  size_t longest = 0;
  for (const std::string& line : lines) longest = std::max(longest, line.size());
  // A run of spaces painted first at every line widens the white box.
  const int n = static_cast<int>(std::floor(0.85 * static_cast<double>(longest)));
  const QString spaces(2 * n, QLatin1Char(' '));
  const QFontMetrics fm = p.fontMetrics();
  const int x = SecondsToPixel(loops_.Loop(selected_index_).start);
  p.setPen(Qt::black);
  for (size_t k = 0; k < lines.size(); ++k) {
    const int y = plot.top() - 21 + 13 * static_cast<int>(k);
    const QString text = QString::fromStdString(lines[k]);
    p.fillRect(QRect(x, y, fm.horizontalAdvance(spaces), fm.height()), Qt::white);
    p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), Qt::white);
    DrawTextAt(p, x, y, text);
  }
}

}  // namespace qv3
