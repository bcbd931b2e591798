// CChartCtrl: the main window's waveform view. One series per channel drawn
// from the peak pairs (per-pixel-column minimum/maximum once a column covers
// several milliseconds), a horizontal axis in milliseconds, zoom and
// scrolling, and over it the selection, markers, loops, the loop being
// created, the play position and the loop details box.
//
// The view holds the document's marker and loop lists and the master values.
// Mouse input is not acted on here: it is reported to the owner as the
// notification codes 3024 .. 3028 with the pointer position, and the owner
// asks HitTest what lies there.
//
// Everything is drawn into an off-screen QImage on Qt's raster engine (the
// selection and loop band rely on its raster operations) and then blitted.
#ifndef QV3_EDITING_UI_CHART_CTRL_H_
#define QV3_EDITING_UI_CHART_CTRL_H_

#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "document/loop_list.h"
#include "document/marker_list.h"
#include "document/master_values.h"
#include "editing/peak_scan.h"
#include "editing/ui/peak_envelope.h"

class QScrollBar;

namespace qv3 {

// Notifications to the owner (window message numbers of the main window).
inline constexpr int kChartLeftButtonDown = 3024;
inline constexpr int kChartLeftButtonUp = 3025;
inline constexpr int kChartLeftDoubleClick = 3026;
inline constexpr int kChartRightButtonDown = 3027;
inline constexpr int kChartPointerMoved = 3028;

class ChartCtrlOwner {
 public:
  virtual ~ChartCtrlOwner() = default;
  // x, y: the pointer in view coordinates.
  virtual void OnChartNotify(int code, int x, int y) = 0;
};

// The song-position indicator: Float draws the play position where it is and
// pages the view when it leaves it; Fixed keeps it in the middle and scrolls.
enum class ChartFollowMode { kFloat, kFixed };

// The kind of the selected item (the main window's "selected item").
inline constexpr int kItemMarker = 0;
inline constexpr int kItemLoop = 1;

struct ChartHit {
  enum Kind { kNone, kMarker, kLoopStart, kLoopEnd, kTopStrip, kWaveArea, kTimeStrip };
  Kind kind = kNone;
  int index = -1;        // marker or loop index for the item kinds
  double seconds = 0.0;  // time under the pointer, clamped to 0 .. song length
};

// The R2_NOTXORPEN raster operation, dest = ~(colour ^ dest), over each
// rectangle of an RGB32 image (clipped to it): the pixels of
// QPainter::RasterOp_NotSourceXorDestination, without its per-row cost.
void ApplyNotXorPen(QImage* image, const std::vector<QRect>& rects, QColor colour);

class CChartCtrl : public QWidget {
  Q_OBJECT

 public:
  // Layout of the view: a top strip for marker and loop handles and labels,
  // the plot, and a time strip with the axis labels and a scroll bar.
  static constexpr int kTopStripHeight = 48;
  static constexpr int kTimeStripHeight = 18;
  static constexpr int kScrollBarHeight = 14;
  static constexpr int kSideMargin = 6;
  // Columns covering more milliseconds than this are drawn as min/max.
  static constexpr double kEnvelopeThreshold = 2.0;

  explicit CChartCtrl(QWidget* parent = nullptr);
  ~CChartCtrl() override;

  void SetOwner(ChartCtrlOwner* owner) { owner_ = owner; }

  // ---- Song data ----
  // Takes the series from a scan: x = value index / 2 milliseconds; the right
  // series only when `channels` is 2. The axis is set to 0 .. value count / 2.
  void SetPeaks(PeakSet peaks, int channels);
  void ClearSeries();
  // The song length in seconds (also given to the marker and loop lists).
  void SetTotalLength(double seconds);
  double TotalLength() const { return total_length_; }
  bool HasSong() const { return !left_.Empty(); }

  // ---- Axis, zoom and scrolling (axis values in milliseconds) ----
  void SetAxisRange(double min_ms, double max_ms);
  double AxisMin() const { return axis_min_; }
  double AxisMax() const { return axis_max_; }
  // Seconds shown; zero or negative (or more than the song) shows everything.
  void SetZoomSpan(double seconds);
  double ZoomSpan() const { return zoom_span_; }
  // Moves both ends of the axis by (max - min) x fraction.
  void ScrollBy(double fraction);
  void SetFollowMode(ChartFollowMode mode);
  ChartFollowMode FollowMode() const { return follow_mode_; }
  // The play position (the waveform cursor), seconds; scrolls as the mode says.
  void SetPlayPosition(double seconds);
  double PlayPosition() const { return play_position_; }

  // ---- Selection (seconds; -1 = not set) ----
  void SetSelection(double start, double end);
  void ClearSelection() { SetSelection(-1.0, -1.0); }
  double SelectionStart() const { return selection_start_; }
  double SelectionEnd() const { return selection_end_; }

  // ---- Markers, loops, master values ----
  MarkerList& Markers() { return markers_; }
  const MarkerList& Markers() const { return markers_; }
  LoopList& Loops() { return loops_; }
  const LoopList& Loops() const { return loops_; }
  MasterValues& Master() { return master_; }
  const MasterValues& Master() const { return master_; }
  // The master setters: pitch and tempo outside their ranges are ignored;
  // the vocal-reduction copy is taken only below 256 (256 is the dialog's
  // "no reduction" end and leaves the stored level as it was).
  void SetMasterPitch(int32_t pitch) { master_.SetPitch(pitch); }
  void SetMasterTempo(int32_t tempo) { master_.SetTempo(tempo); }
  void SetMasterVocalReduction(int32_t level) {
    if (level < kMaxVocalReduction) master_.SetVocalReduction(level);
  }
  void SetMasterEqPreset(const std::string& name) { master_.eq_preset = name; }
  // The loop's settings at a position, or the master values (index -1).
  LoopSettings SettingsAt(double seconds) const { return loops_.SettingsAt(seconds, master_); }
  // The master values of a freshly opened song, and empty lists.
  void ResetDocument();

  // The item under the pointer (kind kItemMarker / kItemLoop, or -1); a loop
  // shows its details box. Returns whether it changed.
  bool SetSelectedItem(int kind, int index);
  // The pointer-moved rule: the marker or loop under `point` (or none)
  // becomes the selected item. Returns whether it changed.
  bool SelectItemAt(QPoint point);
  int SelectedKind() const { return selected_kind_; }
  int SelectedIndex() const { return selected_index_; }

  // ---- Geometry ----
  QRect PlotRect() const;
  // Axis value of a pixel column, and back.
  double PixelToAxis(int x) const;
  int AxisToPixel(double value) const;
  // Seconds to pixel through the axis at seconds x 1000 + 0.5.
  int SecondsToPixel(double seconds) const;
  // Seconds under a pixel column, clamped to 0 .. song length.
  double PixelToSeconds(int x) const;
  // The time at the horizontal centre (pixel width / 2 + 2), clamped.
  double ViewCentreSeconds() const;
  // What lies under a point: a marker, a loop handle (committed loops), the
  // top strip, the wave area, the time strip, or nothing.
  ChartHit HitTest(QPoint point) const;

  // The seven lines of a loop's details box.
  std::vector<std::string> LoopDetailsLines(int loop_index) const;

  // Draws the whole view into `image` (sized to the view, Format_RGB32).
  void Render(QImage* image) const;

 signals:
  // The same notifications as ChartCtrlOwner, for Qt-side owners.
  void Notify(int code, QPoint position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Send(int code, QPoint position);
  double SongMilliseconds() const;
  // Keeps the axis inside the song (Float) and the scroll bar in step.
  void ApplyAxis(double min_ms, double max_ms, bool clamp_to_song);
  void SyncScrollBar();
  void OnScrollBar(int value);

  // Painting steps (chart_painter.cpp).
  void PaintBackground(QPainter& p, const QRect& plot) const;
  void PaintAxisLabels(QPainter& p, const QRect& plot) const;
  // Many milliseconds per column: each column's min/max run, written
  // straight into the image (thousands of one-pixel lines through QPainter
  // cost more than everything else together).
  void PaintEnvelope(QImage* image, const QRect& plot, const PeakEnvelope& series, QColor colour) const;
  // Few milliseconds per column: the connected line through every pair.
  void PaintPolyline(QPainter& p, const QRect& plot, const PeakEnvelope& series, QColor colour) const;
  bool EnvelopeMode(const QRect& plot) const;
  void PaintSelection(QPainter& p, const QRect& plot) const;
  void PaintMarkers(QPainter& p, const QRect& plot) const;
  // The committed loops' edges and labels; their bands are returned and
  // painted afterwards by ApplyLoopBands.
  void PaintLoops(QPainter& p, const QRect& plot, std::vector<QRect>* bands) const;
  void PaintPendingLoop(QPainter& p, const QRect& plot) const;
  void PaintLoopEdge(QPainter& p, const QRect& plot, int x, QColor colour, const std::string* name) const;
  void PaintPlayPosition(QPainter& p, const QRect& plot) const;
  void PaintLoopDetails(QPainter& p, const QRect& plot) const;
  int ValueToY(const QRect& plot, int value) const;

  ChartCtrlOwner* owner_ = nullptr;
  QScrollBar* scroll_bar_ = nullptr;
  bool syncing_scroll_bar_ = false;
  QImage back_buffer_;

  PeakEnvelope left_;
  PeakEnvelope right_;
  int channels_ = 0;
  double total_length_ = 0.0;
  double axis_min_ = 0.0;
  double axis_max_ = 1000.0;
  double zoom_span_ = -1.0;
  ChartFollowMode follow_mode_ = ChartFollowMode::kFloat;
  double play_position_ = 0.0;
  double selection_start_ = -1.0;
  double selection_end_ = -1.0;

  MarkerList markers_;
  LoopList loops_;
  MasterValues master_;
  int selected_kind_ = -1;
  int selected_index_ = -1;
};

}  // namespace qv3

#endif  // QV3_EDITING_UI_CHART_CTRL_H_
