#include "editing/ui/chart_peaks.h"

#include "editing/peak_scan.h"
#include "platform/ui_services.h"

namespace qv3 {

bool ScanPeaksIntoView(CChartCtrl* view, StreamHandle channel, double song_length) {
  view->ClearSeries();
  ChannelInfo info{};
  const int channels = ChannelGetInfo(channel, &info) ? static_cast<int>(info.chans) : 0;
  const int rate = static_cast<int>(info.freq);
  AudiolibPeakSource source(channel);
  PeakSet peaks;
  if (!ScanPeaksOrReport(source, channels, rate, &peaks)) return false;
  view->SetPeaks(std::move(peaks), channels);
  view->SetTotalLength(song_length);
  Ui().SetStatusText("");
  return true;
}

}  // namespace qv3
