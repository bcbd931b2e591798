// Sample format conversions shared by the decoding streams, push streams and
// the mixer. Float to 16-bit saturates and maps NaN to 0: an out-of-range
// float-to-int conversion is undefined behaviour.
#ifndef QV3_AUDIOLIB_SAMPLE_CONVERT_H_
#define QV3_AUDIOLIB_SAMPLE_CONVERT_H_

#include <cmath>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv3::audio_internal {

inline int16_t FloatToInt16(float v) {
  // NaN compares false with everything, so it falls through to 0.
  float s = v * 32768.0f;
  if (s >= 32767.0f) return 32767;
  if (s <= -32768.0f) return -32768;
  if (!(s == s)) return 0;
  return static_cast<int16_t>(std::lrintf(s));
}

inline float Int16ToFloat(int16_t v) { return static_cast<float>(v) * (1.0f / 32768.0f); }

inline void FloatToInt16(const float* in, int16_t* out, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  // Eight at a time: NaN masked to 0, clamped in float, rounded, packed.
  const __m128 scale = _mm_set1_ps(32768.0f);
  const __m128 hi = _mm_set1_ps(32767.0f);
  const __m128 lo = _mm_set1_ps(-32768.0f);
  for (; i + 8 <= n; i += 8) {
    __m128 a = _mm_mul_ps(_mm_loadu_ps(in + i), scale);
    __m128 b = _mm_mul_ps(_mm_loadu_ps(in + i + 4), scale);
    a = _mm_and_ps(a, _mm_cmpeq_ps(a, a));
    b = _mm_and_ps(b, _mm_cmpeq_ps(b, b));
    a = _mm_max_ps(_mm_min_ps(a, hi), lo);
    b = _mm_max_ps(_mm_min_ps(b, hi), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b)));
  }
#endif
  for (; i < n; ++i) out[i] = FloatToInt16(in[i]);
}

inline void Int16ToFloat(const int16_t* in, float* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = Int16ToFloat(in[i]);
}

// Float samples handed over to the library (push data) may carry NaN or
// infinities; they are replaced so that no filter state is poisoned.
inline float SanitizeSample(float v) {
  if (!(v == v)) return 0.0f;
  if (v > 64.0f) return 64.0f;
  if (v < -64.0f) return -64.0f;
  return v;
}

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_SAMPLE_CONVERT_H_
