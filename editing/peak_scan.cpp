#include "editing/peak_scan.h"

#include <algorithm>
#include <memory>

#include "platform/ui_services.h"

namespace qv3 {
namespace {

constexpr int kPairsPerRead = 1000;  // one read is one second of audio
constexpr int32_t kGrowth = 1000;    // the arrays grow by this many values

int16_t ScaleToInt16(float sample) {
  double v = static_cast<double>(sample) * 32768.0;
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  return static_cast<int16_t>(v);  // truncates toward zero
}

// Maximum and minimum of samples first, first + stride, ... (`count` of them).
void MaxMin(const float* first, int stride, int64_t count, float* max_out, float* min_out) {
  float mx = -1.0f;
  float mn = 1.0f;
  for (int64_t k = 0; k < count; ++k) {
    const float s = first[k * stride];
    // Written so that a NaN sample never replaces the running values.
    if (s > mx) mx = s;
    if (s < mn) mn = s;
  }
  *max_out = mx;
  *min_out = mn;
}

}  // namespace

bool ScanPeaks(PeakSource& source, int channels, int rate, PeakSet* peaks) {
  peaks->left.clear();
  peaks->right.clear();
  peaks->value_count = 0;
  if (channels != 1 && channels != 2) return false;
  if (rate < 1000) return false;

  // Interleaved samples per millisecond are channels x rate / 1000, usually
  // fractional (44.1 for 44.1 kHz mono). Millisecond j starts at
  // round-half-up(j x that), computed in integers: summing the fractional
  // step in floating point drifts, which gave a 501st, empty millisecond at
  // the end of a half-second read.
  const int64_t per_ms_x1000 = static_cast<int64_t>(channels) * rate;
  const int64_t width = per_ms_x1000 / 1000;
  const int64_t frames_per_ms = (width + channels - 1) / channels;
  const int64_t read_floats = per_ms_x1000;  // one second

  std::unique_ptr<float[]> buffer(new float[read_floats]);
  int32_t room = kGrowth;
  peaks->left.resize(room);
  if (channels == 2) peaks->right.resize(room);

  int32_t i = 0;
  int64_t pair_counter = 0;
  int seconds = 0;
  source.Rewind();
  for (;;) {
    const int64_t n = source.Read(buffer.get(), read_floats);
    if (n <= 0) break;
    for (int64_t j = 0; j < kPairsPerRead && j * per_ms_x1000 < n * 1000; ++j) {
      const int64_t start = ((j * per_ms_x1000 + 500) / 1000) & ~int64_t{1};
      for (int c = 0; c < channels; ++c) {
        const int64_t first = start + c;
        // Stop at the data read: a short last read must not take samples
        // left in the buffer by the previous second.
        const int64_t available = first < n ? (n - first + channels - 1) / channels : 0;
        float mx, mn;
        MaxMin(buffer.get() + first, channels, std::min(frames_per_ms, available), &mx, &mn);
        std::vector<int16_t>& out = c == 0 ? peaks->left : peaks->right;
        out[i] = ScaleToInt16(mx);
        out[i + 1] = ScaleToInt16(mn);
      }
      i += 2;
      if (i >= room) {
        // The arrays' room grows in 1000-value steps; std::vector keeps the
        // reallocations themselves geometric.
        room += kGrowth;
        peaks->left.resize(room);
        if (channels == 2) peaks->right.resize(room);
      }
      ++pair_counter;
      if (pair_counter % 1000 == 999) {
        ++seconds;
        Ui().SetStatusText(StringPrintf(kScanningPeaksFormat, seconds / 60, seconds % 60));
        Ui().ProcessPendingEvents();
      }
    }
  }
  source.Rewind();
  peaks->left.resize(i);
  if (channels == 2) peaks->right.resize(i);
  peaks->value_count = i;
  return true;
}

bool ScanPeaksOrReport(PeakSource& source, int channels, int rate, PeakSet* peaks) {
  if (ScanPeaks(source, channels, rate, peaks)) return true;
  MessageBoxCaption(kScanPeaksFailedCaption, MsgIcon::kError, "%s", kScanPeaksFailedText);
  return false;
}

}  // namespace qv3
