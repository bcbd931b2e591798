// bench_waveform: how fast the peak scan reads a 10-minute 44.1 kHz stereo
// WAV compared with a plain read of the same file through the same decoder,
// and how long a full repaint of the waveform view takes for a 60-minute
// stereo song at 1920 pixels, whole and at a 1-second zoom, compared with
// drawing every point of the series as one polyline.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "editing/peak_scan.h"
#include "editing/ui/chart_ctrl.h"
#include "platform/ui_services.h"
#ifdef QV3_BENCH_AUDIOLIB
#include "audiolib/audiolib.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Status texts are not the subject here.
class QuietUi : public qv3::UiServices {
 public:
  void ShowMessage(const std::string& t, const std::string&, qv3::MsgIcon) override { std::fprintf(stderr, "%s\n", t.c_str()); }
  qv3::Answer Ask(const std::string&, const std::string&, qv3::AskButtons, qv3::Answer d, qv3::MsgIcon) override { return d; }
  std::string OpenFileName(const qv3::FileDialogRequest&) override { return {}; }
  std::string SaveFileName(const qv3::FileDialogRequest&) override { return {}; }
  std::string BrowseFolder(const std::string&, const std::string&) override { return {}; }
  void SetStatusText(const std::string&) override { ++texts; }
  void Beep() override {}
  void ProcessPendingEvents() override {}
  int texts = 0;
};

// 16-bit stereo music-like test signal: two tones with a slow envelope.
bool WriteTestWav(const std::string& path, int seconds) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  std::vector<short> block(2 * 44100);
  for (int s = 0; s < seconds; ++s) {
    for (int k = 0; k < 44100; ++k) {
      const double t = s + k / 44100.0;
      const double env = 0.5 + 0.4 * std::sin(2 * M_PI * t / 7.0);
      block[2 * k] = static_cast<short>(20000 * env * std::sin(2 * M_PI * 220 * t));
      block[2 * k + 1] = static_cast<short>(20000 * env * std::sin(2 * M_PI * 331 * t + 1));
    }
    sf_writef_short(f, block.data(), 44100);
  }
  sf_close(f);
  return true;
}

// The same file through libsndfile, for when the audio library is absent.
class SndfileSource : public qv3::PeakSource {
 public:
  explicit SndfileSource(const std::string& path) { file_ = sf_open(path.c_str(), SFM_READ, &info_); }
  ~SndfileSource() override {
    if (file_ != nullptr) sf_close(file_);
  }
  void Rewind() override { sf_seek(file_, 0, SEEK_SET); }
  int64_t Read(float* buffer, int64_t max_floats) override {
    return sf_readf_float(file_, buffer, max_floats / info_.channels) * info_.channels;
  }
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
};

struct ScanFigures {
  double plain = 0, scan = 0;
  int32_t values = 0;
};

ScanFigures MeasureScan(const std::string& path, int repeats) {
  ScanFigures best{1e9, 1e9, 0};
  std::vector<float> buffer(2 * 44100);
#ifdef QV3_BENCH_AUDIOLIB
  qv3::AudioInit(0, 44100, 0);
  const qv3::StreamHandle stream =
      qv3::StreamCreateFile(path.c_str(), 0, 0, qv3::kStreamDecode | qv3::kSampleFloat);
  if (stream == 0) {
    std::fprintf(stderr, "StreamCreateFile failed: %d\n", qv3::ErrorGetCode());
    std::exit(1);
  }
  qv3::AudiolibPeakSource source(stream);
  const char* via = "audiolib decode stream";
#else
  SndfileSource source(path);
  const char* via = "libsndfile (audiolib not built)";
#endif
  for (int r = 0; r < repeats; ++r) {
    source.Rewind();
    auto t0 = Clock::now();
    volatile float sink = 0;
    int64_t n;
    while ((n = source.Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0) sink = sink + buffer[n - 1];
    auto t1 = Clock::now();
    qv3::PeakSet peaks;
    if (!qv3::ScanPeaks(source, 2, 44100, &peaks)) std::exit(1);
    auto t2 = Clock::now();
    best.plain = std::min(best.plain, Seconds(t0, t1));
    best.scan = std::min(best.scan, Seconds(t1, t2));
    best.values = peaks.value_count;
  }
#ifdef QV3_BENCH_AUDIOLIB
  qv3::StreamFree(stream);
  qv3::AudioFree();
#endif
  std::printf("peak scan read through: %s\n", via);
  return best;
}

// A 60-minute stereo peak set with a music-like envelope.
qv3::PeakSet HourOfPeaks() {
  const int32_t ms = 60 * 60 * 1000;
  qv3::PeakSet p;
  p.value_count = 2 * ms;
  p.left.resize(p.value_count);
  p.right.resize(p.value_count);
  uint32_t rng = 12345;
  for (int32_t m = 0; m < ms; ++m) {
    rng = rng * 1664525u + 1013904223u;
    const double env = 0.3 + 0.25 * std::sin(m / 3000.0) + 0.2 * std::sin(m / 170.0);
    const int amp = static_cast<int>(32767 * env * (0.6 + 0.4 * ((rng >> 8) & 0xff) / 255.0));
    p.left[2 * m] = static_cast<int16_t>(amp);
    p.left[2 * m + 1] = static_cast<int16_t>(-amp * 9 / 10);
    p.right[2 * m] = static_cast<int16_t>(amp * 8 / 10);
    p.right[2 * m + 1] = static_cast<int16_t>(-amp);
  }
  return p;
}

double MeasureRepaint(qv3::CChartCtrl& view, int repeats) {
  QImage image;
  view.Render(&image);  // warm-up and allocation
  double best = 1e9;
  for (int r = 0; r < repeats; ++r) {
    auto t0 = Clock::now();
    view.Render(&image);
    best = std::min(best, Seconds(t0, Clock::now()));
  }
  return best * 1000.0;
}

// The peer: every point of both series as one connected polyline, the way a
// general chart component draws a line series.
double MeasureNaivePolyline(const qv3::PeakSet& p, QSize size, const QRect& plot) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  auto t0 = Clock::now();
  QPainter painter(&image);
  painter.setClipRect(plot);
  const double x_scale = static_cast<double>(plot.width()) / (p.value_count / 2);
  const double y_scale = (plot.height() - 1) / 65535.0;
  for (const std::vector<int16_t>* series : {&p.left, &p.right}) {
    std::vector<QPointF> points(p.value_count);
    for (int32_t i = 0; i < p.value_count; ++i)
      points[i] = QPointF(plot.left() + (i / 2) * x_scale, plot.top() + (32767 - (*series)[i]) * y_scale);
    painter.setPen(QPen(QColor(0, 160, 255), 0));
    painter.drawPolyline(points.data(), static_cast<int>(points.size()));
  }
  painter.end();
  return Seconds(t0, Clock::now()) * 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QuietUi ui;
  qv3::InstallUi(&ui);

  // "--repaint-only" skips the scan (for profiling the view).
  const bool repaint_only = argc > 1 && std::string(argv[1]) == "--repaint-only";
  // ---- Peak scan ----
  if (!repaint_only) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qv3_bench_waveform";
  std::filesystem::create_directories(dir);
  const std::string wav = (dir / "ten_minutes.wav").string();
  constexpr int kSongSeconds = 600;
  if (!WriteTestWav(wav, kSongSeconds)) return 1;
  const double mb = std::filesystem::file_size(wav) / 1e6;
  const ScanFigures s = MeasureScan(wav, 3);
  std::printf("\nPeak scan, 10-minute 44.1 kHz stereo WAV (%.1f MB), best of 3\n", mb);
  std::printf("%-28s %10s %14s %10s\n", "", "seconds", "x real time", "MB/s");
  std::printf("%-28s %10.3f %14.0f %10.0f\n", "plain float read (floor)", s.plain, kSongSeconds / s.plain, mb / s.plain);
  std::printf("%-28s %10.3f %14.0f %10.0f\n", "peak scan", s.scan, kSongSeconds / s.scan, mb / s.scan);
  std::printf("scan / plain read: %.2fx   (values: %d, target >= 1000x real time, <= 3x plain)\n", s.scan / s.plain,
              s.values);
  std::filesystem::remove_all(dir);
  }

  // ---- Repaint ----
  qv3::PeakSet hour = HourOfPeaks();
  qv3::CChartCtrl view;
  view.resize(1920 + 2 * qv3::CChartCtrl::kSideMargin, 320);
  view.SetPeaks(hour, 2);
  view.SetTotalLength(3600.0);
  const double bare = MeasureRepaint(view, 20);
  for (int i = 0; i < 100; ++i) view.Markers().Add("", i * 35.0 + 3);
  for (int i = 0; i < 300; ++i) {
    qv3::LoopValues v;
    v.position = i * 12.0 + 1;
    v.tempo = 10000;
    v.repeat_count = -1;
    view.Loops().SetLoopStart(v);
    v.position = i * 12.0 + 9;
    view.Loops().SetLoopEnd(v);
  }
  view.SetSelection(100.0, 200.0);
  view.SetPlayPosition(1800.0);
  const double whole = MeasureRepaint(view, 20);
  view.SetZoomSpan(1.0);
  view.SetPlayPosition(1800.5);
  const double zoomed = MeasureRepaint(view, 50);
  const double naive = MeasureNaivePolyline(hour, view.size(), view.PlotRect());

  std::printf("\nFull repaint of the view, 60-minute stereo song, plot 1920 px wide (best of runs)\n");
  std::printf("(100 markers, 300 loops, a selection and the play position drawn too)\n");
  std::printf("%-40s %10.2f ms   (target < 8 ms)\n", "whole song, min/max envelope", whole);
  std::printf("%-40s %10.2f ms\n", "whole song, waveform only", bare);
  std::printf("%-40s %10.2f ms   (target < 4 ms)\n", "1-second zoom, connected line", zoomed);
  std::printf("%-40s %10.2f ms   (%.0fx the envelope)\n", "peer: every point as one polyline", naive,
              naive / whole);
  return 0;
}
