#include "editing/import_peaks.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdio>
#include <cstring>
#include <vector>

#include "editing/import_decode.h"
#include "platform/ui_services.h"

namespace qv3 {

namespace {

// Maximum and minimum per channel of `frames` interleaved frames of 1 or 2
// channels, into mx/mn (which hold -32768 / 32767 on entry). Eight lanes at a
// time: with two channels the even lanes are the left channel.
void MaxMin16(const int16_t* first, int channels, int64_t frames, int* mx, int* mn) {
  const int64_t count = frames * channels;
  int64_t i = 0;
#if defined(__SSE2__)
  if (count >= 16) {
    __m128i vmx = _mm_set1_epi16(-32768), vmn = _mm_set1_epi16(32767);
    for (; i + 8 <= count; i += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + i));
      vmx = _mm_max_epi16(vmx, v);
      vmn = _mm_min_epi16(vmn, v);
    }
    alignas(16) int16_t lmx[8], lmn[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lmx), vmx);
    _mm_store_si128(reinterpret_cast<__m128i*>(lmn), vmn);
    for (int j = 0; j < 8; ++j) {
      mx[j % channels] = std::max<int>(mx[j % channels], lmx[j]);
      mn[j % channels] = std::min<int>(mn[j % channels], lmn[j]);
    }
  }
#endif
  for (; i < count; ++i) {
    mx[i % channels] = std::max<int>(mx[i % channels], first[i]);
    mn[i % channels] = std::min<int>(mn[i % channels], first[i]);
  }
}

}  // namespace

bool ScanWorkingWavPeaks(const std::string& path, PeakSet* peaks, bool* readable) {
  peaks->left.clear();
  peaks->right.clear();
  peaks->value_count = 0;
  PcmWavLayout layout;
  *readable = false;
  if (!ReadPcmWavLayout(path, &layout)) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  *readable = true;
  const int channels = layout.channels;
  const int rate = layout.sample_rate;
  if ((channels != 1 && channels != 2) || rate < 1000 ||
      std::fseek(f, static_cast<long>(layout.data_offset), SEEK_SET) != 0) {
    std::fclose(f);
    return false;
  }
  // The same millisecond boundaries as ScanPeaks: one-second reads of
  // channels x rate samples, millisecond j of a read starting at sample
  // round-half-up(j x channels x rate / 1000) made even.
  const int sample_bytes = layout.bits / 8;
  const int64_t per_ms_x1000 = static_cast<int64_t>(channels) * rate;
  const int64_t width = per_ms_x1000 / 1000;
  const int64_t frames_per_ms = (width + channels - 1) / channels;
  const uint64_t frame_bytes = static_cast<uint64_t>(channels) * sample_bytes;
  std::vector<unsigned char> raw(static_cast<size_t>(per_ms_x1000) * sample_bytes);
  std::vector<int16_t> samples(sample_bytes == 2 ? static_cast<size_t>(per_ms_x1000) : 0);
  std::vector<int16_t> left, right;
  left.reserve(static_cast<size_t>(layout.data_bytes / frame_bytes * 2000 / rate + 2000));
  if (channels == 2) right.reserve(left.capacity());
  uint64_t remaining = layout.data_bytes;
  int64_t pair_counter = 0;
  int seconds = 0;
  while (remaining > 0) {
    const uint64_t want = std::min<uint64_t>(raw.size(), remaining) / frame_bytes * frame_bytes;
    const size_t got = want ? std::fread(raw.data(), 1, want, f) / frame_bytes * frame_bytes : 0;
    if (got == 0) break;
    remaining -= got;
    const int64_t n = static_cast<int64_t>(got) / sample_bytes;
    if (sample_bytes == 2) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      std::memcpy(samples.data(), raw.data(), got);
#else
      for (int64_t k = 0; k < n; ++k) {
        samples[k] = static_cast<int16_t>(raw[2 * k] | (raw[2 * k + 1] << 8));
      }
#endif
    }
    for (int64_t j = 0; j < 1000 && j * per_ms_x1000 < n * 1000; ++j) {
      const int64_t start = ((j * per_ms_x1000 + 500) / 1000) & ~int64_t{1};
      const int64_t whole = start < n ? std::min(frames_per_ms, (n - start) / channels) : 0;
      int mx[2] = {-32768, -32768};
      int mn[2] = {32767, 32767};
      if (sample_bytes == 2) {
        MaxMin16(samples.data() + start, channels, whole, mx, mn);
      } else {
        const unsigned char* p = raw.data() + start;
        for (int64_t k = 0; k < whole; ++k) {
          for (int c = 0; c < channels; ++c) {
            const int v = (*p++ - 128) * 256;
            if (v > mx[c]) mx[c] = v;
            if (v < mn[c]) mn[c] = v;
          }
        }
      }
      left.push_back(static_cast<int16_t>(mx[0]));
      left.push_back(static_cast<int16_t>(mn[0]));
      if (channels == 2) {
        right.push_back(static_cast<int16_t>(mx[1]));
        right.push_back(static_cast<int16_t>(mn[1]));
      }
      ++pair_counter;
      if (pair_counter % 1000 == 999) {
        ++seconds;
        Ui().SetStatusText(StringPrintf(kScanningPeaksFormat, seconds / 60, seconds % 60));
        Ui().ProcessPendingEvents();
      }
    }
  }
  std::fclose(f);
  peaks->value_count = static_cast<int32_t>(left.size());
  peaks->left = std::move(left);
  peaks->right = std::move(right);
  return true;
}

}  // namespace qv3
