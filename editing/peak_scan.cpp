#include "editing/peak_scan.h"

#include <algorithm>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Running maximum and minimum as `if (s > mx) mx = s`: a NaN sample never
// replaces them. _mm_max_ps(s, mx) / _mm_min_ps(s, mx) have exactly these
// semantics lane by lane (they return the second operand unless the
// comparison holds).
inline void Take(float s, float* mx, float* mn) {
  if (s > *mx) *mx = s;
  if (s < *mn) *mn = s;
}

// Maximum and minimum per channel of `frames` interleaved frames of 1 or 2
// channels starting at `first` (a frame boundary).
void BlockMaxMin(const float* first, int channels, int64_t frames, float* mx, float* mn) {
  for (int c = 0; c < channels; ++c) {
    mx[c] = -1.0f;
    mn[c] = 1.0f;
  }
  const int64_t count = frames * channels;
  int64_t i = 0;
#if defined(__SSE2__)
  if (count >= 8) {
    __m128 vmx = _mm_set1_ps(-1.0f), vmn = _mm_set1_ps(1.0f);
    for (; i + 4 <= count; i += 4) {
      const __m128 v = _mm_loadu_ps(first + i);
      vmx = _mm_max_ps(v, vmx);
      vmn = _mm_min_ps(v, vmn);
    }
    alignas(16) float lmx[4], lmn[4];
    _mm_store_ps(lmx, vmx);
    _mm_store_ps(lmn, vmn);
    // Lane j holds channel j % channels (4 is a whole number of frames).
    for (int j = 0; j < 4; ++j) {
      Take(lmx[j], &mx[j % channels], &mn[j % channels]);
      Take(lmn[j], &mx[j % channels], &mn[j % channels]);
    }
  }
#endif
  for (; i < count; ++i) Take(first[i], &mx[i % channels], &mn[i % channels]);
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
      // Stop at the data read: a short last read must not take samples
      // left in the buffer by the previous second. Channel c of frame k is
      // sample start + c + k x channels.
      float mx[2], mn[2];
      const int64_t whole = start < n ? std::min(frames_per_ms, (n - start) / channels) : 0;
      BlockMaxMin(buffer.get() + start, channels, whole, mx, mn);
      if (whole < frames_per_ms && start + whole * channels < n) {
        // A partial last frame (a read that ended inside a frame).
        Take(buffer[start + whole * channels], &mx[0], &mn[0]);
      }
      peaks->left[i] = ScaleToInt16(mx[0]);
      peaks->left[i + 1] = ScaleToInt16(mn[0]);
      if (channels == 2) {
        peaks->right[i] = ScaleToInt16(mx[1]);
        peaks->right[i + 1] = ScaleToInt16(mn[1]);
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
