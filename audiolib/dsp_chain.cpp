#include "audiolib/dsp_chain.h"

#include <algorithm>
#include <cmath>
#include <complex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "audiolib/sample_convert.h"

namespace qv3::audio_internal {
namespace {

// A peaking band at or above Nyquist is unstable (16 kHz at 22 050 or
// 32 000 Hz): such bands pass the signal unchanged.
constexpr double kBypassRatio = 0.45;

float Clamp(float v, float lo, float hi) {
  if (!(v == v)) return lo;
  return std::min(hi, std::max(lo, v));
}

}  // namespace

ParamEq::ParamEq() = default;

void ParamEq::SetParameters(const ParamEqParameters& p) {
  center_.store(p.center, std::memory_order_relaxed);
  bandwidth_.store(Clamp(p.bandwidth, 1.0f, 36.0f), std::memory_order_relaxed);
  gain_.store(Clamp(p.gain, -15.0f, 15.0f), std::memory_order_relaxed);
  version_.fetch_add(1, std::memory_order_release);
}

ParamEqParameters ParamEq::GetParameters() const {
  return {center_.load(std::memory_order_relaxed), bandwidth_.load(std::memory_order_relaxed),
          gain_.load(std::memory_order_relaxed)};
}

ParamEq::Coefs ParamEq::Design(const ParamEqParameters& p, uint32_t rate) {
  Coefs c;
  if (rate == 0 || !(p.center > 0.0f) || p.center >= kBypassRatio * rate || p.gain == 0.0f) return c;
  const double a = std::pow(10.0, p.gain / 40.0);
  const double w0 = 2.0 * M_PI * p.center / rate;
  const double octaves = p.bandwidth / 12.0;
  const double sw = std::sin(w0);
  const double alpha = sw * std::sinh(std::log(2.0) / 2.0 * octaves * w0 / sw);
  const double a0 = 1.0 + alpha / a;
  c.b0 = static_cast<float>((1.0 + alpha * a) / a0);
  c.b1 = static_cast<float>((-2.0 * std::cos(w0)) / a0);
  c.b2 = static_cast<float>((1.0 - alpha * a) / a0);
  c.a1 = c.b1;
  c.a2 = static_cast<float>((1.0 - alpha / a) / a0);
  c.bypass = false;
  return c;
}

double ParamEq::ResponseDb(const ParamEqParameters& p, uint32_t rate, double freq) {
  Coefs c = Design(p, rate);
  if (c.bypass) return 0.0;
  const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * freq / rate);
  std::complex<double> num = double(c.b0) + double(c.b1) * z + double(c.b2) * z * z;
  std::complex<double> den = 1.0 + double(c.a1) * z + double(c.a2) * z * z;
  return 20.0 * std::log10(std::abs(num / den));
}

void ParamEq::Reset() {
  std::fill(std::begin(z1_), std::end(z1_), 0.0f);
  std::fill(std::begin(z2_), std::end(z2_), 0.0f);
}

bool ParamEq::Prepare(uint32_t rate) {
  uint32_t v = version_.load(std::memory_order_acquire);
  if (v != seen_version_ || rate != seen_rate_) {
    bool was_bypass = coefs_.bypass;
    coefs_ = Design(GetParameters(), rate);
    if (was_bypass && !coefs_.bypass) Reset();
    seen_version_ = v;
    seen_rate_ = rate;
  }
  return !coefs_.bypass;
}

void ParamEq::ProcessCascade(ParamEq* const* bands, int count, float* data, uint32_t frames,
                             uint32_t channels, uint32_t rate) {
  constexpr int kMax = 16;
  ParamEq* active[kMax];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (bands[i]->Prepare(rate)) {
      if (n == kMax || channels != 2) {
        bands[i]->Process(data, frames, channels, rate);
      } else {
        active[n++] = bands[i];
      }
    }
  }
  if (n == 0) return;
#if defined(__SSE2__)
  // Left and right share one SSE register per state: half the instructions
  // of two scalar cascades. Denormals flushed while the block runs.
  const unsigned int saved_csr = _mm_getcsr();
  _mm_setcsr(saved_csr | 0x8040);
  __m128 b0[kMax], b1[kMax], b2[kMax], a1[kMax], a2[kMax], z1[kMax], z2[kMax];
  for (int k = 0; k < n; ++k) {
    const Coefs& c = active[k]->coefs_;
    b0[k] = _mm_set1_ps(c.b0), b1[k] = _mm_set1_ps(c.b1), b2[k] = _mm_set1_ps(c.b2);
    a1[k] = _mm_set1_ps(c.a1), a2[k] = _mm_set1_ps(c.a2);
    z1[k] = _mm_setr_ps(active[k]->z1_[0], active[k]->z1_[1], 0.0f, 0.0f);
    z2[k] = _mm_setr_ps(active[k]->z2_[0], active[k]->z2_[1], 0.0f, 0.0f);
  }
  for (uint32_t i = 0; i < frames; ++i) {
    double* frame = reinterpret_cast<double*>(data + 2 * i);
    __m128 x = _mm_castpd_ps(_mm_load_sd(frame));
    for (int k = 0; k < n; ++k) {
      const __m128 y = _mm_add_ps(_mm_mul_ps(b0[k], x), z1[k]);
      z1[k] = _mm_add_ps(_mm_sub_ps(_mm_mul_ps(b1[k], x), _mm_mul_ps(a1[k], y)), z2[k]);
      z2[k] = _mm_sub_ps(_mm_mul_ps(b2[k], x), _mm_mul_ps(a2[k], y));
      x = y;
    }
    _mm_store_sd(frame, _mm_castps_pd(x));
  }
  _mm_setcsr(saved_csr);
  auto tidy = [](float z) { return (!(std::fabs(z) < 1e6f) || std::fabs(z) < 1e-20f) ? 0.0f : z; };
  for (int k = 0; k < n; ++k) {
    alignas(16) float v1[4], v2[4];
    _mm_store_ps(v1, z1[k]);
    _mm_store_ps(v2, z2[k]);
    active[k]->z1_[0] = tidy(v1[0]), active[k]->z1_[1] = tidy(v1[1]);
    active[k]->z2_[0] = tidy(v2[0]), active[k]->z2_[1] = tidy(v2[1]);
  }
#else
  float b0[kMax], b1[kMax], b2[kMax], a1[kMax], a2[kMax];
  float zl1[kMax], zl2[kMax], zr1[kMax], zr2[kMax];
  for (int k = 0; k < n; ++k) {
    const Coefs& c = active[k]->coefs_;
    b0[k] = c.b0, b1[k] = c.b1, b2[k] = c.b2, a1[k] = c.a1, a2[k] = c.a2;
    zl1[k] = active[k]->z1_[0], zl2[k] = active[k]->z2_[0];
    zr1[k] = active[k]->z1_[1], zr2[k] = active[k]->z2_[1];
  }
  for (uint32_t i = 0; i < frames; ++i) {
    float l = data[2 * i], r = data[2 * i + 1];
    for (int k = 0; k < n; ++k) {
      const float yl = b0[k] * l + zl1[k];
      const float yr = b0[k] * r + zr1[k];
      zl1[k] = b1[k] * l - a1[k] * yl + zl2[k];
      zr1[k] = b1[k] * r - a1[k] * yr + zr2[k];
      zl2[k] = b2[k] * l - a2[k] * yl;
      zr2[k] = b2[k] * r - a2[k] * yr;
      l = yl;
      r = yr;
    }
    data[2 * i] = l;
    data[2 * i + 1] = r;
  }
  auto tidy = [](float z) { return (!(std::fabs(z) < 1e6f) || std::fabs(z) < 1e-20f) ? 0.0f : z; };
  for (int k = 0; k < n; ++k) {
    active[k]->z1_[0] = tidy(zl1[k]), active[k]->z2_[0] = tidy(zl2[k]);
    active[k]->z1_[1] = tidy(zr1[k]), active[k]->z2_[1] = tidy(zr2[k]);
  }
#endif
}

void ParamEq::Process(float* data, uint32_t frames, uint32_t channels, uint32_t rate) {
  if (!Prepare(rate)) return;
  const uint32_t ch_count = std::min<uint32_t>(channels, kMaxEqChannels);
  const float b0 = coefs_.b0, b1 = coefs_.b1, b2 = coefs_.b2, a1 = coefs_.a1, a2 = coefs_.a2;
  for (uint32_t ch = 0; ch < ch_count; ++ch) {
    float z1 = z1_[ch], z2 = z2_[ch];
    float* p = data + ch;
    for (uint32_t i = 0; i < frames; ++i, p += channels) {
      const float x = *p;
      const float y = b0 * x + z1;
      z1 = b1 * x - a1 * y + z2;
      z2 = b2 * x - a2 * y;
      *p = y;
    }
    // Keep denormals and runaway states out of the next block.
    if (!(std::fabs(z1) < 1e6f)) z1 = 0.0f;
    if (!(std::fabs(z2) < 1e6f)) z2 = 0.0f;
    if (std::fabs(z1) < 1e-20f) z1 = 0.0f;
    if (std::fabs(z2) < 1e-20f) z2 = 0.0f;
    z1_[ch] = z1;
    z2_[ch] = z2;
  }
}

std::shared_ptr<const Chain> ChainWith(const std::shared_ptr<const Chain>& old, ChainEntry entry) {
  auto chain = std::make_shared<Chain>();
  if (old) chain->entries = old->entries;
  // Descending priority; an equal priority goes after those already there.
  auto it = std::find_if(chain->entries.begin(), chain->entries.end(),
                         [&](const ChainEntry& e) { return e.priority < entry.priority; });
  chain->entries.insert(it, std::move(entry));
  return chain;
}

std::shared_ptr<const Chain> ChainWithout(const std::shared_ptr<const Chain>& old, AudioHandle handle,
                                          bool* found) {
  *found = false;
  auto chain = std::make_shared<Chain>();
  if (!old) return chain;
  for (const ChainEntry& e : old->entries) {
    if (e.handle == handle) {
      *found = true;
      continue;
    }
    chain->entries.push_back(e);
  }
  return chain;
}

bool RunChain(const Chain* chain, AudioHandle channel, void* buffer, uint32_t frames, uint32_t channels,
              bool is_float, uint32_t rate, float* scratch, float* float_out) {
  if (!chain || chain->entries.empty() || frames == 0) return false;
  const uint32_t samples = frames * channels;
  const uint32_t bytes = samples * (is_float ? 4u : 2u);
  const auto& entries = chain->entries;
  size_t i = 0;
  while (i < entries.size()) {
    const ChainEntry& e = entries[i];
    if (e.proc) {
      e.proc(e.handle, channel, buffer, bytes, e.user);
      ++i;
      continue;
    }
    // A run of consecutive effects shares one conversion of 16-bit data.
    size_t j = i;
    while (j < entries.size() && !entries[j].proc) ++j;
    const bool last_run = j == entries.size();
    float* data = is_float ? static_cast<float*>(buffer) : (last_run && float_out ? float_out : scratch);
    if (!is_float) Int16ToFloat(static_cast<const int16_t*>(buffer), data, samples);
    ParamEq* bands[32];
    int count = 0;
    for (size_t k = i; k < j; ++k) {
      if (count == 32) {
        ParamEq::ProcessCascade(bands, count, data, frames, channels, rate);
        count = 0;
      }
      bands[count++] = entries[k].eq.get();
    }
    ParamEq::ProcessCascade(bands, count, data, frames, channels, rate);
    if (!is_float) {
      if (last_run && float_out) {
        // What the 16-bit format can hold, without the rounding step.
        for (uint32_t k = 0; k < samples; ++k) {
          const float v = data[k];
          data[k] = !(v == v) ? 0.0f : (v > 32767.0f / 32768.0f ? 32767.0f / 32768.0f : (v < -1.0f ? -1.0f : v));
        }
        return true;
      }
      FloatToInt16(scratch, static_cast<int16_t*>(buffer), samples);
    }
    i = j;
  }
  return false;
}

}  // namespace qv3::audio_internal
