// qv3_chart_screenshot: shows the waveform view with a real song, a few
// markers, loops, a loop being created, a selection and the loop details box,
// and saves what the window shows as a PNG. For reviewing the drawing by eye:
//   qv3_chart_screenshot song.wav out.png [width height [zoom_seconds]]
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QPixmap>

#include "audiolib/audiolib.h"
#include "editing/peak_scan.h"
#include "editing/ui/chart_ctrl.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s song out.png [width height [zoom_seconds]]\n", argv[0]);
    return 2;
  }
  const int width = argc > 4 ? std::atoi(argv[3]) : 1200;
  const int height = argc > 4 ? std::atoi(argv[4]) : 320;
  const double zoom = argc > 5 ? std::atof(argv[5]) : -1.0;

  qv3::AudioInit(0, 44100, 0);
  const qv3::StreamHandle stream = qv3::StreamCreateFile(argv[1], 0, 0, qv3::kStreamDecode | qv3::kSampleFloat);
  if (stream == 0) {
    std::fprintf(stderr, "cannot open %s (error %d)\n", argv[1], qv3::ErrorGetCode());
    return 1;
  }
  qv3::ChannelInfo info{};
  qv3::ChannelGetInfo(stream, &info);
  qv3::PeakSet peaks;
  if (!qv3::ScanChannelPeaks(stream, &peaks)) {
    std::fprintf(stderr, "Failed to Scan the Audio Peaks.\n");
    return 1;
  }
  const double length = qv3::ChannelBytes2Seconds(stream, qv3::ChannelGetLength(stream, qv3::kPosByte));
  qv3::StreamFree(stream);

  qv3::CChartCtrl view;
  view.setWindowTitle("Quaverly 3 waveform view");
  view.resize(width, height);
  view.SetPeaks(std::move(peaks), static_cast<int>(info.chans));
  view.SetTotalLength(length);

  // Markers, loops and a selection spread over the song.
  auto at = [&](double fraction) { return fraction * length; };
  view.Markers().Add("Intro", at(0.02));
  view.Markers().Add("", at(0.48));
  view.Markers().Add("Bridge", at(0.71));
  qv3::LoopValues v;
  v.tempo = 7500;
  v.pitch = -200;
  v.repeat_count = -1;
  v.delay = 2;
  v.name = "Verse riff";
  v.position = at(0.10);
  view.Loops().SetLoopStart(v);
  v.position = at(0.24);
  view.Loops().SetLoopEnd(v);
  v.name = "";
  v.tempo = 10000;
  v.pitch = 0;
  v.repeat_count = 3;
  v.delay = 0;
  v.position = at(0.55);
  view.Loops().SetLoopStart(v);
  v.position = at(0.66);
  view.Loops().SetLoopEnd(v);
  v.position = at(0.86);  // a loop being created: start only
  view.Loops().SetLoopStart(v);
  view.SetSelection(at(0.30), at(0.40));
  view.SetSelectedItem(qv3::kItemLoop, 0);
  if (zoom > 0) view.SetZoomSpan(zoom);
  view.SetPlayPosition(at(0.15));

  view.show();
  app.processEvents();
  const QPixmap shot = view.grab();
  if (!shot.save(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %d channels, %u Hz, %.2f s -> %s\n", argv[1], info.chans, info.freq, length, argv[2]);
  qv3::AudioFree();
  return 0;
}
