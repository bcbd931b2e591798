// bench_mainwin: start-up, opening and playing figures of the main window.
// Runs under any Qt platform (QT_QPA_PLATFORM=offscreen without a display).
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ui/quaverly3_dlg.h"
#include "app/ui/skin.h"
#include "editing/wav_writer.h"
#include "engine/audio_setup.h"
#include "platform/recording_ui.h"
#include "platform/ui/qt_main_thread_poster.h"

namespace {

// Seconds since this process started (from /proc, 10 ms resolution).
double SecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string field;
  for (int i = 0; i < 22 && stat >> field; ++i) {
  }
  const double start = std::stod(field) / sysconf(_SC_CLK_TCK);
  std::ifstream up("/proc/uptime");
  double uptime = 0;
  up >> uptime;
  return uptime - start;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void WriteWav(const std::string& path, double seconds) {
  qv3::WavWriter w;
  w.Open(path, 2, 44100, 16);
  std::vector<float> buf(2 * 44100);
  const int total = static_cast<int>(seconds);
  for (int s = 0; s < total; ++s) {
    for (int i = 0; i < 44100; ++i) {
      const double t = s + i / 44100.0;
      const float v = static_cast<float>(0.3 * std::sin(2 * M_PI * 220 * t) *
                                         (0.5 + 0.5 * std::sin(2 * M_PI * 0.5 * t)));
      buf[2 * i] = v;
      buf[2 * i + 1] = -v;
    }
    w.WriteFloat(buf.data(), buf.size());
  }
  w.Finish();
}

// Waits until `widget` has been painted once.
class PaintWatch : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QV3_AUDIO_DEVICE", "null", 0);
  if (getenv("DISPLAY") == nullptr && getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  QApplication app(argc, argv);
  app.setStyleSheet(qv3::SkinStyleSheet());
  qv3::ScopedRecordingUi ui;
  qv3::ScopedQtMainThreadPoster poster;
  const auto tmp = std::filesystem::temp_directory_path() / ("bench_mainwin." + std::to_string(getpid()));
  std::filesystem::create_directories(tmp / "home/.config/Quaverly 3");
  setenv("HOME", (tmp / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (tmp / "home/.config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (tmp / "home/.cache").c_str(), 1);

  // 1. Start-up to the first paint with a short project open.
  // Making the input is not part of the figure.
  QElapsedTimer prep;
  prep.start();
  const std::string demo = (tmp / "demo.wav").string();
  WriteWav(demo, 20);
  const std::string project = (tmp / "demo.qvp").string();
  {
    std::ofstream p(project);
    p << "master_pitch 0\n\nmaster_tempo 10000\n\naudio_file_path \"" << demo << "\"\n\n"
      << "marker \"Verse\" 1.000000\nmarker \"Turn\" 12.500000\n\n"
      << "loop \"60\" 2.500000 5.000000 0 6000 0 \"\" 3 1\n"
      << "loop \"80\" 7.500000 10.000000 0 8000 0 \"\" 3 1\n"
      << "loop \"100\" 15.000000 17.500000 0 10000 0 \"\" 3 0\n\n";
  }
  const double prep_seconds = prep.nsecsElapsed() / 1e9;
  qv3::AudioStartup();
  double first_paint = 0;
  {
    PaintWatch watch;
    qv3::CQuaverly3Dlg window(project);
    window.chart()->installEventFilter(&watch);
    QElapsedTimer t;
    t.start();
    while (!(watch.painted && window.player().IsOpen()) && t.elapsed() < 10000) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    first_paint = SecondsSinceProcessStart() - prep_seconds;
    window.document().state().saved = 1;
  }
  double bare_paint = 0;
  {
    PaintWatch watch;
    QWidget bare;
    bare.installEventFilter(&watch);
    QElapsedTimer t;
    t.start();
    bare.show();
    while (!watch.painted && t.elapsed() < 5000) QApplication::processEvents();
    bare_paint = t.nsecsElapsed() / 1e9;
  }

  // 2. Opening a 10-minute WAV until the waveform is drawn, against reading it.
  const std::string long_wav = (tmp / "ten_minutes.wav").string();
  WriteWav(long_wav, 600);
  double read_seconds = 0;
  {
    std::vector<char> buf(1 << 20);
    QElapsedTimer t;
    t.start();
    std::ifstream in(long_wav, std::ios::binary);
    while (in.read(buf.data(), buf.size()) || in.gcount() > 0) {
    }
    read_seconds = t.nsecsElapsed() / 1e9;
  }
  qv3::CQuaverly3Dlg window("");
  window.show();
  QApplication::processEvents();
  QElapsedTimer open_timer;
  open_timer.start();
  window.OpenPath(long_wav);
  window.chart()->repaint();
  const double open_seconds = open_timer.nsecsElapsed() / 1e9;

  // 3. The GUI thread while playing at 50 %.
  window.OnCommand(1507);  // tempo 50 %
  window.Play();
  {
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
  }
  const double gui0 = ThreadCpuSeconds();
  const double proc0 = ProcessCpuSeconds();
  QElapsedTimer play;
  play.start();
  {
    // A real event loop, so the figure is the window's work, not polling.
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
  }
  const double wall = play.nsecsElapsed() / 1e9;
  const double gui_share = (ThreadCpuSeconds() - gui0) / wall;
  const double process_share = (ProcessCpuSeconds() - proc0) / wall;
  window.Stop();
  window.document().state().saved = 1;

  std::printf("%-52s %10s %10s %8s\n", "figure", "ours", "peer", "ratio");
  std::printf("%-52s %9.3fs %9.3fs %8.1f  (target < 1 s; peer: bare window paint)\n",
              "process start -> first paint, demo project open", first_paint, bare_paint,
              first_paint / bare_paint);
  std::printf("%-52s %9.3fs %9.3fs %8.1f  (peer: plain read of the file)\n",
              "open 10-minute WAV until its waveform is drawn", open_seconds, read_seconds,
              open_seconds / read_seconds);
  std::printf("%-52s %9.2f%% %9.2f%% %8.3f  (target < 5 %%; peer: whole process)\n",
              "GUI thread busy while playing at 50 % tempo", gui_share * 100, process_share * 100,
              gui_share / process_share);
  std::error_code ec;
  std::filesystem::remove_all(tmp, ec);
  return 0;
}
