// Test fixtures: a plain 16-bit PCM WAV written byte by byte, independent of
// the code under test, so tests that read WAVs do not trust our own writer.
#ifndef QV3_PLATFORM_TESTING_WAV_FIXTURE_H_
#define QV3_PLATFORM_TESTING_WAV_FIXTURE_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qv3::testing_support {

// Writes interleaved 16-bit samples with the canonical 44-byte header.
inline bool WriteWav16(const std::string& path, const std::vector<int16_t>& samples, int rate,
                       int channels) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(static_cast<uint16_t>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<uint16_t>(channels * 2));
  u16(16);
  std::fwrite("data", 1, 4, f);
  u32(data);
  std::fwrite(samples.data(), 2, samples.size(), f);
  return std::fclose(f) == 0;
}

}  // namespace qv3::testing_support

#endif  // QV3_PLATFORM_TESTING_WAV_FIXTURE_H_
