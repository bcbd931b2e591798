#include "editing/ui/chart_ctrl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <array>
#include <cmath>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/recording_ui.h"

namespace qv3 {
namespace {

void App() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "editing_ui_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

// A view of 400 x 200 pixels: plot 6 .. 394 wide, rows 48 .. 167.
class ChartCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_.resize(400, 200);
    plot_ = view_.PlotRect();
    top_ = plot_.top();
    bottom_ = plot_.top() + plot_.height();
    LoadSong(std::vector<int16_t>(20000, 0), 1, 10.0);
  }

  void LoadSong(std::vector<int16_t> values, int channels, double seconds) {
    PeakSet peaks;
    peaks.value_count = static_cast<int32_t>(values.size());
    peaks.left = values;
    if (channels == 2) peaks.right = values;
    view_.SetPeaks(std::move(peaks), channels);
    view_.SetTotalLength(seconds);
  }

  QImage Render() {
    QImage image;
    view_.Render(&image);
    return image;
  }

  static LoopValues At(double position, const std::string& name = "") {
    LoopValues v;
    v.name = name;
    v.position = position;
    v.tempo = 10000;
    v.repeat_count = -1;
    return v;
  }

  struct AppFirst {
    AppFirst() { App(); }
  } app_first_;
  ScopedRecordingUi ui_;
  CChartCtrl view_;
  QRect plot_;
  int top_ = 0;
  int bottom_ = 0;
};

TEST_F(ChartCtrlTest, GeometryMapsMillisecondsToColumns) {
  EXPECT_EQ(plot_, QRect(6, 48, 388, 120));
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 0.0);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 10000.0);
  EXPECT_EQ(view_.SecondsToPixel(0.0), 6);
  EXPECT_EQ(view_.SecondsToPixel(5.0), 6 + 194);
  EXPECT_EQ(view_.SecondsToPixel(10.0), 6 + 388);
  // seconds x 1000 + 0.5 decides the axis value: 2.0004 s is 2000 ms.
  EXPECT_EQ(view_.SecondsToPixel(2.0004), view_.SecondsToPixel(2.0));
  EXPECT_NEAR(view_.PixelToSeconds(6 + 194), 5.0, 1e-9);
  EXPECT_DOUBLE_EQ(view_.PixelToSeconds(0), 0.0);     // clamped
  EXPECT_DOUBLE_EQ(view_.PixelToSeconds(399), 10.0);  // clamped
  EXPECT_NEAR(view_.ViewCentreSeconds(), (202 - 6) * 10.0 / 388, 1e-9);
}

TEST_F(ChartCtrlTest, SelectionMergesNotBlueAndHasGreenEdges) {
  view_.SetSelection(2.0, 4.0);
  const QImage image = Render();
  const int xs = view_.SecondsToPixel(2.0);
  const int xe = view_.SecondsToPixel(4.0);
  const int zero_row = top_ + static_cast<int>(std::lround(32767.0 * (plot_.height() - 1) / 65535.0));
  // Black | ~(0, 0, 255) is yellow; the waveform (0, 160, 255) turns white.
  EXPECT_EQ(image.pixel(xs + 5, top_ + 10), Rgb(255, 255, 0));
  EXPECT_EQ(image.pixel(xs + 5, zero_row), Rgb(255, 255, 255));
  EXPECT_EQ(image.pixel(xs, top_ + 10), Rgb(0, 255, 0));
  EXPECT_EQ(image.pixel(xe, top_ + 10), Rgb(0, 255, 0));
  EXPECT_EQ(image.pixel(xe, bottom_ - 1), Rgb(0, 255, 0));
  // The top row of the plot and the columns beyond the edges stay untouched.
  EXPECT_EQ(image.pixel(xs + 5, top_), Rgb(0, 0, 0));
  EXPECT_EQ(image.pixel(xs, top_), Rgb(0, 0, 0));
  EXPECT_EQ(image.pixel(xe + 1, top_ + 10), Rgb(0, 0, 0));
  EXPECT_EQ(image.pixel(xs - 1, top_ + 10), Rgb(0, 0, 0));
  // A reversed selection paints the same.
  view_.SetSelection(4.0, 2.0);
  EXPECT_EQ(Render(), image);
  // Half a selection paints nothing.
  view_.SetSelection(2.0, -1.0);
  EXPECT_EQ(Render().pixel(xs + 5, top_ + 10), Rgb(0, 0, 0));
}

TEST_F(ChartCtrlTest, MarkerTriangleAndNameAboveThePlot) {
  ASSERT_TRUE(view_.Markers().Add("Verse", 5.0));
  const QImage image = Render();
  const int x = view_.SecondsToPixel(5.0);
  EXPECT_EQ(image.pixel(x, top_ - 23), Rgb(0, 0, 255));
  EXPECT_EQ(image.pixel(x, top_ - 27), Rgb(0, 0, 255));
  EXPECT_EQ(image.pixel(x - 3, top_ - 29), Rgb(0, 0, 255));
  EXPECT_NE(image.pixel(x + 7, top_ - 27), Rgb(0, 0, 255));
  EXPECT_NE(image.pixel(x, top_ - 20), Rgb(0, 0, 255));
  int blue_text = 0;
  for (int y = top_ - 44; y < top_ - 30; ++y)
    for (int xx = x - 4; xx < x + 30; ++xx) {
      const QColor c(image.pixel(xx, y));
      blue_text += c.blue() > c.red() + 100 && c.blue() > c.green() + 100;  // antialiased blue text
    }
  EXPECT_GT(blue_text, 10);
  // A marker on the plot's left edge is not strictly inside: not drawn.
  view_.Markers().Clear();
  ASSERT_TRUE(view_.Markers().Add("Start", 0.0));
  const QImage edge = Render();
  EXPECT_NE(edge.pixel(6, top_ - 25), Rgb(0, 0, 255));
}

TEST_F(ChartCtrlTest, LoopEdgesGreenAndRedWithTheBandUnderNotXor) {
  ASSERT_EQ(view_.Loops().SetLoopStart(At(2.0, "Chorus")), 0);
  ASSERT_EQ(view_.Loops().SetLoopEnd(At(6.0)), 0);
  ASSERT_EQ(view_.Loops().count(), 1);
  const QImage image = Render();
  const int xs = view_.SecondsToPixel(2.0);
  const int xe = view_.SecondsToPixel(6.0);
  EXPECT_EQ(image.pixel(xs, top_), Rgb(0, 98, 0));
  EXPECT_EQ(image.pixel(xs, top_ + 10), Rgb(0, 98, 0));
  EXPECT_EQ(image.pixel(xs, bottom_ - 1), Rgb(0, 98, 0));
  EXPECT_EQ(image.pixel(xe, top_ + 10), Rgb(255, 0, 0));
  EXPECT_EQ(image.pixel(xs, top_ - 3), Rgb(0, 98, 0));  // handle triangle
  EXPECT_EQ(image.pixel(xe, top_ - 3), Rgb(255, 0, 0));
  // ~((220, 220, 220) ^ black) = (35, 35, 35); the row above the plot is not banded.
  EXPECT_EQ(image.pixel(xs + 1, top_), Rgb(35, 35, 35));
  EXPECT_EQ(image.pixel(xe - 1, bottom_ - 1), Rgb(35, 35, 35));
  EXPECT_EQ(image.pixel(xe + 1, top_ + 10), Rgb(0, 0, 0));
  // The name sits on the label colour beside the start.
  int label = 0, text = 0;
  for (int y = top_ - 21; y < top_ - 8; ++y)
    for (int x = xs - 4; x < xs + 40; ++x) {
      label += image.pixel(x, y) == Rgb(186, 210, 237);
      text += qGray(image.pixel(x, y)) < 80;
    }
  EXPECT_GT(label, 50);
  EXPECT_GT(text, 10);
}

TEST_F(ChartCtrlTest, LoopBeingCreatedIsYellowWithoutBand) {
  ASSERT_EQ(view_.Loops().SetLoopStart(At(7.0)), 0);
  ASSERT_EQ(view_.Loops().count(), 0);
  const QImage image = Render();
  const int x = view_.SecondsToPixel(7.0);
  EXPECT_EQ(image.pixel(x, top_ + 10), Rgb(239, 219, 27));
  EXPECT_EQ(image.pixel(x, top_ - 3), Rgb(239, 219, 27));
  EXPECT_EQ(image.pixel(x + 3, top_ + 10), Rgb(0, 0, 0));
}

TEST_F(ChartCtrlTest, PlayPositionFloatsAndPagesInFloatMode) {
  view_.SetPlayPosition(3.0);
  QImage image = Render();
  const int x = view_.SecondsToPixel(3.0);
  EXPECT_EQ(image.pixel(x, top_ + 1), Rgb(255, 255, 255));
  EXPECT_EQ(image.pixel(x, bottom_ - 2), Rgb(255, 255, 255));
  EXPECT_EQ(image.pixel(x, top_), Rgb(0, 0, 0));
  EXPECT_EQ(image.pixel(x, bottom_ - 1), Rgb(0, 0, 0));

  view_.SetZoomSpan(2.0);
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 2000.0);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 4000.0);
  view_.SetPlayPosition(4.5);  // leaves the view: the next page
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 4000.0);
  view_.SetPlayPosition(9.5);  // the last page stays inside the song
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 8000.0);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 10000.0);
  image = Render();
  EXPECT_EQ(image.pixel(view_.SecondsToPixel(9.5), top_ + 10), Rgb(255, 255, 255));
}

TEST_F(ChartCtrlTest, PlayPositionStaysCentredInFixedMode) {
  view_.SetZoomSpan(2.0);
  view_.SetFollowMode(ChartFollowMode::kFixed);
  view_.SetPlayPosition(5.25);
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 4250.0);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 6250.0);
  const int centre = plot_.left() + plot_.width() / 2;
  QImage image = Render();
  EXPECT_EQ(image.pixel(centre, top_ + 10), Rgb(255, 255, 255));
  EXPECT_EQ(view_.SecondsToPixel(5.25), centre);
  // Near the start the view scrolls past 0 rather than moving the line.
  view_.SetPlayPosition(0.2);
  EXPECT_DOUBLE_EQ(view_.AxisMin(), -800.0);
  image = Render();
  EXPECT_EQ(image.pixel(centre, top_ + 10), Rgb(255, 255, 255));
  EXPECT_EQ(image.pixel(view_.SecondsToPixel(0.0) - 3, top_ + 10), Rgb(0, 0, 0));
}

TEST_F(ChartCtrlTest, ScrollByMovesBothEndsWithinTheSong) {
  view_.SetZoomSpan(2.0);
  view_.SetPlayPosition(5.0);
  ASSERT_DOUBLE_EQ(view_.AxisMin(), 4000.0);
  view_.ScrollBy(0.01);
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 4020.0);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 6020.0);
  view_.ScrollBy(-10.0);
  EXPECT_DOUBLE_EQ(view_.AxisMin(), 0.0);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 2000.0);
  view_.SetZoomSpan(-1);
  EXPECT_DOUBLE_EQ(view_.AxisMax(), 10000.0);
}

TEST_F(ChartCtrlTest, HitTestFindsItemsAndStrips) {
  ASSERT_TRUE(view_.Markers().Add("M", 5.0));
  ASSERT_EQ(view_.Loops().SetLoopStart(At(2.0, "Riff")), 0);
  ASSERT_EQ(view_.Loops().SetLoopEnd(At(4.0)), 0);
  const int xm = view_.SecondsToPixel(5.0);
  const int xs = view_.SecondsToPixel(2.0);
  const int xe = view_.SecondsToPixel(4.0);

  ChartHit hit = view_.HitTest(QPoint(xm + 2, top_ - 26));
  EXPECT_EQ(hit.kind, ChartHit::kMarker);
  EXPECT_EQ(hit.index, 0);
  EXPECT_EQ(view_.HitTest(QPoint(xm + 1, top_ - 40)).kind, ChartHit::kMarker);  // its name
  hit = view_.HitTest(QPoint(xs - 2, top_ - 3));
  EXPECT_EQ(hit.kind, ChartHit::kLoopStart);
  EXPECT_EQ(hit.index, 0);
  EXPECT_EQ(view_.HitTest(QPoint(xs + 6, top_ - 15)).kind, ChartHit::kLoopStart);  // its name
  hit = view_.HitTest(QPoint(xe + 3, top_ - 1));
  EXPECT_EQ(hit.kind, ChartHit::kLoopEnd);
  EXPECT_EQ(hit.index, 0);

  hit = view_.HitTest(QPoint(view_.SecondsToPixel(8.0), 10));
  EXPECT_EQ(hit.kind, ChartHit::kTopStrip);
  EXPECT_NEAR(hit.seconds, 8.0, 0.03);
  EXPECT_EQ(view_.HitTest(QPoint(xs + 10, top_ + 50)).kind, ChartHit::kWaveArea);
  EXPECT_EQ(view_.HitTest(QPoint(xs, top_ + 50)).kind, ChartHit::kWaveArea);  // lines are not handles
  EXPECT_EQ(view_.HitTest(QPoint(xs + 10, bottom_ + 4)).kind, ChartHit::kTimeStrip);
  EXPECT_EQ(view_.HitTest(QPoint(2, top_ + 50)).kind, ChartHit::kNone);
  EXPECT_EQ(view_.HitTest(QPoint(xs + 10, 199)).kind, ChartHit::kNone);  // scroll bar

  // The pointer-moved rule picks the item under the pointer.
  EXPECT_TRUE(view_.SelectItemAt(QPoint(xe, top_ - 2)));
  EXPECT_EQ(view_.SelectedKind(), kItemLoop);
  EXPECT_EQ(view_.SelectedIndex(), 0);
  EXPECT_FALSE(view_.SelectItemAt(QPoint(xs, top_ - 2)));  // the same loop
  EXPECT_TRUE(view_.SelectItemAt(QPoint(xm, top_ - 25)));
  EXPECT_EQ(view_.SelectedKind(), kItemMarker);
  EXPECT_TRUE(view_.SelectItemAt(QPoint(xs + 10, top_ + 50)));
  EXPECT_EQ(view_.SelectedKind(), -1);
  EXPECT_EQ(view_.SelectedIndex(), -1);
}

TEST_F(ChartCtrlTest, LoopDetailsLinesAndBox) {
  LoopValues v = At(2.0, "Solo");
  v.pitch = -250;
  v.tempo = 7550;
  v.repeat_count = -1;
  v.delay = 3;
  ASSERT_EQ(view_.Loops().SetLoopStart(v), 0);
  v.position = 4.0;
  ASSERT_EQ(view_.Loops().SetLoopEnd(v), 0);
  EXPECT_THAT(view_.LoopDetailsLines(0),
              ::testing::ElementsAre("Solo - details:", "", "      Pitch: -2.50", "      Tempo: 75.50",
                                     "      Count: infinite", "      Delay: 3", ""));
  view_.Loops().MutableLoop(0)->repeat_count = 2;
  EXPECT_EQ(view_.LoopDetailsLines(0)[4], "      Count: 2");

  const int xs = view_.SecondsToPixel(2.0);
  const QPoint blank_line(xs + 20, top_ - 21 + 13 + 4);  // inside the plot, in the band
  EXPECT_NE(Render().pixel(blank_line), Rgb(255, 255, 255));
  EXPECT_TRUE(view_.SetSelectedItem(kItemLoop, 0));
  EXPECT_FALSE(view_.SetSelectedItem(kItemLoop, 0));
  QImage image = Render();
  EXPECT_EQ(image.pixel(blank_line), Rgb(255, 255, 255));
  // Seven lines 13 pixels apart: the last blank line is still white.
  EXPECT_EQ(image.pixel(xs + 20, top_ - 21 + 6 * 13 + 4), Rgb(255, 255, 255));
  // The box is widened to 2 x floor(0.85 x 18) spaces, 18 being the
  // length of "      Tempo: 75.50".
  const int width = QFontMetrics(view_.font()).horizontalAdvance(QString(30, QLatin1Char(' ')));
  EXPECT_EQ(image.pixel(xs + width - 1, top_ - 21 + 13 + 4), Rgb(255, 255, 255));
  EXPECT_EQ(image.pixel(xs + width + 1, top_ - 21 + 13 + 4), Rgb(240, 240, 240));
  // A marker as the selected item shows no box.
  view_.SetSelectedItem(kItemMarker, 0);
  EXPECT_NE(Render().pixel(blank_line), Rgb(255, 255, 255));
}

TEST_F(ChartCtrlTest, EnvelopeAndPolylineBothShowASingleMillisecondSpike) {
  std::vector<int16_t> values(2 * 100000, 0);  // 100 s
  values[2 * 50000] = 32767;
  values[2 * 50000 + 1] = -32768;
  LoadSong(values, 2, 100.0);
  const int column = view_.SecondsToPixel(50.0);
  QImage image = Render();  // 257 ms per column: min/max envelope
  EXPECT_NE(image.pixel(column, top_ + 1), Rgb(0, 0, 0));
  EXPECT_NE(image.pixel(column, bottom_ - 2), Rgb(0, 0, 0));
  EXPECT_EQ(image.pixel(column + 3, top_ + 1), Rgb(0, 0, 0));
  view_.SetZoomSpan(1.0);
  view_.SetPlayPosition(49.9);  // pages to 49 .. 50 s
  view_.SetZoomSpan(0.1);       // 0.26 ms per column: connected line
  view_.SetPlayPosition(50.0);
  const int x = view_.SecondsToPixel(50.0);
  image = Render();
  EXPECT_NE(image.pixel(x, top_ + 1), Rgb(0, 0, 0));
  EXPECT_NE(image.pixel(x, bottom_ - 2), Rgb(0, 0, 0));
}

TEST(ChartRasterOpTest, NotXorPenMatchesQPainterRasterOp) {
  App();
  QImage ours(64, 8, QImage::Format_RGB32);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 64; ++x) ours.setPixel(x, y, qRgb((x * 37 + y) & 255, (x * 11 * y) & 255, (255 - x * 3) & 255));
  QImage theirs = ours;
  const std::vector<QRect> rects = {QRect(3, 1, 20, 5), QRect(40, -2, 30, 20)};
  ApplyNotXorPen(&ours, rects, QColor(220, 220, 220));
  {
    QPainter p(&theirs);
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    for (const QRect& r : rects) p.fillRect(r, QColor(220, 220, 220));
  }
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(qRed(ours.pixel(3, 1)), 255 - (112 ^ 220));  // red was 3 x 37 + 1
  EXPECT_EQ(qRed(ours.pixel(2, 1)), (2 * 37 + 1) & 255);  // outside the rectangles
}

TEST_F(ChartCtrlTest, TinyViewsRenderWithoutTouchingOutsideTheImage) {
  ASSERT_EQ(view_.Loops().SetLoopStart(At(2.0, "A")), 0);
  ASSERT_EQ(view_.Loops().SetLoopEnd(At(6.0)), 0);
  view_.SetSelection(1.0, 3.0);
  view_.SetSelectedItem(kItemLoop, 0);
  for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(10, 10), QSize(100, 50), QSize(30, 300)}) {
    view_.resize(size);
    QImage image;
    view_.Render(&image);
    EXPECT_EQ(image.size(), size);
  }
}

class RecordingOwner : public ChartCtrlOwner {
 public:
  void OnChartNotify(int code, int x, int y) override { calls.push_back({code, x, y}); }
  std::vector<std::array<int, 3>> calls;
};

TEST_F(ChartCtrlTest, MouseInputIsReportedToTheOwner) {
  RecordingOwner owner;
  view_.SetOwner(&owner);
  std::vector<int> signalled;
  QObject::connect(&view_, &CChartCtrl::Notify, [&](int code, QPoint) { signalled.push_back(code); });
  auto send = [&](QEvent::Type type, Qt::MouseButton button, QPoint at) {
    QMouseEvent event(type, QPointF(at), QPointF(view_.mapToGlobal(at)), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
    QApplication::sendEvent(&view_, &event);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(100, 80));
  send(QEvent::MouseMove, Qt::NoButton, QPoint(110, 81));
  send(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(110, 81));
  send(QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(110, 81));
  send(QEvent::MouseButtonPress, Qt::RightButton, QPoint(120, 90));
  ASSERT_EQ(owner.calls.size(), 5u);
  EXPECT_EQ(owner.calls[0], (std::array<int, 3>{3024, 100, 80}));
  EXPECT_EQ(owner.calls[1], (std::array<int, 3>{3028, 110, 81}));
  EXPECT_EQ(owner.calls[2], (std::array<int, 3>{3025, 110, 81}));
  EXPECT_EQ(owner.calls[3], (std::array<int, 3>{3026, 110, 81}));
  EXPECT_EQ(owner.calls[4], (std::array<int, 3>{3027, 120, 90}));
  EXPECT_THAT(signalled, ::testing::ElementsAre(3024, 3028, 3025, 3026, 3027));
}

TEST_F(ChartCtrlTest, NewSongResetsMasterValuesAndLists) {
  view_.Master().SetPitch(300);
  view_.Master().SetTempo(8000);
  view_.Master().eq_preset = "Rock";
  ASSERT_TRUE(view_.Markers().Add("", 1.0));
  view_.SetSelection(1.0, 2.0);
  view_.ResetDocument();
  EXPECT_EQ(view_.Master().pitch, 0);
  EXPECT_EQ(view_.Master().tempo, 10000);
  EXPECT_EQ(view_.Master().eq_preset, "");
  EXPECT_EQ(view_.Markers().count(), 0);
  EXPECT_EQ(view_.SelectionStart(), -1.0);
  view_.SetMasterPitch(2401);  // out of range: ignored
  view_.SetMasterPitch(-2400);
  view_.SetMasterTempo(999);
  view_.SetMasterVocalReduction(100);
  view_.SetMasterVocalReduction(256);  // not below 256: ignored
  view_.SetMasterEqPreset("Live");
  EXPECT_EQ(view_.Master().pitch, -2400);
  EXPECT_EQ(view_.Master().tempo, 10000);
  EXPECT_EQ(view_.Master().vocal_reduction, 100);
  const LoopSettings outside = view_.SettingsAt(3.0);
  EXPECT_EQ(outside.index, -1);
  EXPECT_EQ(outside.pitch, -2400);
  EXPECT_EQ(outside.tag, "Live");
  // The lists take the song length from the view.
  view_.SetTotalLength(42.0);
  EXPECT_EQ(view_.Markers().song_length(), 42.0);
  EXPECT_EQ(view_.Loops().song_length(), 42.0);
}

}  // namespace
}  // namespace qv3
