#include "tools/qv3-aacenc/wav_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv3::aacenc {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool WavStreamReader::ReadExact(void* buffer, size_t size) {
  return std::fread(buffer, 1, size, in_) == size;
}

bool WavStreamReader::Skip(uint64_t size) {
  uint8_t buffer[4096];
  while (size > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, sizeof buffer));
    if (!ReadExact(buffer, n)) return false;
    size -= n;
  }
  return true;
}

bool WavStreamReader::ReadHeader(std::string* error) {
  uint8_t riff[12];
  if (!ReadExact(riff, sizeof riff)) {
    *error = "input is not a WAV stream (too short)";
    return false;
  }
  const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
  if ((std::memcmp(riff, "RIFF", 4) != 0 && !rf64) || std::memcmp(riff + 8, "WAVE", 4) != 0) {
    *error = "input is not a WAV stream (no RIFF/WAVE header)";
    return false;
  }
  bool have_format = false;
  for (;;) {
    uint8_t chunk[8];
    if (!ReadExact(chunk, sizeof chunk)) {
      *error = have_format ? "WAV stream has no data chunk" : "WAV stream has no format chunk";
      return false;
    }
    const uint32_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || size > 1024) {
        *error = "WAV format chunk has a bad size";
        return false;
      }
      uint8_t fmt[1024];
      if (!ReadExact(fmt, size) || ((size & 1) && !Skip(1))) {
        *error = "WAV format chunk is cut short";
        return false;
      }
      uint16_t tag = Le16(fmt);
      format_.channels = Le16(fmt + 2);
      format_.sample_rate = static_cast<int>(std::min<uint32_t>(Le32(fmt + 4), 1u << 30));
      format_.block_align = Le16(fmt + 12);
      format_.bits_per_sample = Le16(fmt + 14);
      if (tag == kFormatExtensible && size >= 40) tag = Le16(fmt + 24);  // sub-format GUID
      if (tag == kFormatPcm) {
        format_.is_float = false;
        if (format_.bits_per_sample != 8 && format_.bits_per_sample != 16 &&
            format_.bits_per_sample != 24 && format_.bits_per_sample != 32) {
          *error = "unsupported PCM sample size of " + std::to_string(format_.bits_per_sample) + " bits";
          return false;
        }
      } else if (tag == kFormatFloat) {
        format_.is_float = true;
        if (format_.bits_per_sample != 32 && format_.bits_per_sample != 64) {
          *error = "unsupported float sample size of " + std::to_string(format_.bits_per_sample) + " bits";
          return false;
        }
      } else {
        *error = "unsupported WAV sample format " + std::to_string(tag) + " (PCM or float only)";
        return false;
      }
      if (format_.channels < 1 || format_.channels > 2) {
        *error = "unsupported channel count " + std::to_string(format_.channels) + " (1 or 2)";
        return false;
      }
      if (format_.sample_rate < 1000 || format_.sample_rate > 384000) {
        *error = "unsupported sample rate " + std::to_string(format_.sample_rate);
        return false;
      }
      // Trust the sample size, not the writer's block align.
      format_.block_align = format_.channels * format_.bits_per_sample / 8;
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) {
        *error = "WAV data chunk comes before the format chunk";
        return false;
      }
      format_.length_known = !rf64 && size != 0 && size != 0xFFFFFFFFu;
      format_.data_bytes = format_.length_known ? size : 0;
      remaining_ = format_.data_bytes;
      return true;
    } else {
      // Any other chunk (ds64, LIST, fact, ...) is skipped.
      if (size == 0xFFFFFFFFu || !Skip(uint64_t{size} + (size & 1))) {
        *error = "WAV stream ends inside a chunk before the data";
        return false;
      }
    }
  }
}

size_t WavStreamReader::ReadFrames(float* out, size_t max_frames) {
  const size_t frame_bytes = static_cast<size_t>(format_.block_align);
  size_t want = max_frames;
  if (format_.length_known) want = std::min<uint64_t>(want, remaining_ / frame_bytes);
  if (want == 0) return 0;
  raw_.resize(want * frame_bytes);
  size_t got_bytes = std::fread(raw_.data(), 1, raw_.size(), in_);
  size_t frames = got_bytes / frame_bytes;
  if (format_.length_known) remaining_ -= frames * frame_bytes;
  if (got_bytes % frame_bytes != 0) remaining_ = 0;  // the stream ended mid-frame
  const size_t samples = frames * format_.channels;
  const uint8_t* p = raw_.data();
  switch (format_.bits_per_sample | (format_.is_float ? 0x100 : 0)) {
    case 8:
      for (size_t i = 0; i < samples; ++i) out[i] = (p[i] - 128) / 128.0f;
      break;
    case 16:
      for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>(Le16(p + 2 * i)) / 32768.0f;
      break;
    case 24:
      for (size_t i = 0; i < samples; ++i) {
        const uint8_t* s = p + 3 * i;
        int32_t v = static_cast<int32_t>((uint32_t{s[0]} << 8) | (uint32_t{s[1]} << 16) | (uint32_t{s[2]} << 24));
        out[i] = static_cast<float>((v >> 8) / 8388608.0);
      }
      break;
    case 32:
      for (size_t i = 0; i < samples; ++i)
        out[i] = static_cast<float>(static_cast<int32_t>(Le32(p + 4 * i)) / 2147483648.0);
      break;
    case 0x100 | 32:
      for (size_t i = 0; i < samples; ++i) {
        uint32_t bits = Le32(p + 4 * i);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        out[i] = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
      }
      break;
    case 0x100 | 64:
      for (size_t i = 0; i < samples; ++i) {
        uint64_t bits = uint64_t{Le32(p + 8 * i)} | (uint64_t{Le32(p + 8 * i + 4)} << 32);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        out[i] = std::isfinite(v) ? static_cast<float>(std::clamp(v, -1.0, 1.0)) : 0.0f;
      }
      break;
    default:
      return 0;
  }
  return frames;
}

}  // namespace qv3::aacenc
