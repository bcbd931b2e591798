#include "editing/wav_writer.h"

#include <algorithm>
#include <cmath>

namespace qv3 {
namespace {

// Data beyond this would not fit the 32-bit length fields.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kWavHeaderBytes - 8);

void PutU16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void PutU32(unsigned char* p, uint32_t v) {
  PutU16(p, v & 0xFFFF);
  PutU16(p + 2, v >> 16);
}

}  // namespace

WavWriter::~WavWriter() {
  if (file_ && owns_file_) std::fclose(file_);
}

bool WavWriter::Fail() {
  failed_ = true;
  return false;
}

bool WavWriter::Open(const std::string& path, int channels, int sample_rate, int stream_bits) {
  if (file_ && owns_file_) std::fclose(file_);
  file_ = nullptr;
  owns_file_ = true;
  if (channels <= 0 || channels > 0xFFFF || sample_rate <= 0) return Fail();
  file_ = std::fopen(path.c_str(), "wb");
  return Start(channels, sample_rate, stream_bits);
}

bool WavWriter::OpenStream(FILE* stream, int channels, int sample_rate, int stream_bits) {
  if (file_ && owns_file_) std::fclose(file_);
  file_ = stream;
  owns_file_ = false;
  return Start(channels, sample_rate, stream_bits);
}

bool WavWriter::Start(int channels, int sample_rate, int stream_bits) {
  failed_ = false;
  data_bytes_ = 0;
  channels_ = channels;
  bits_ = stream_bits == 8 ? 8 : 16;
  if (!file_ || channels <= 0 || channels > 0xFFFF || sample_rate <= 0) return Fail();

  static const unsigned char kLead[20] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A',
                                          'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0};
  unsigned char format[16];
  const uint32_t align = static_cast<uint32_t>(block_align());
  PutU16(format, 1);
  PutU16(format + 2, static_cast<uint32_t>(channels));
  PutU32(format + 4, static_cast<uint32_t>(sample_rate));
  PutU32(format + 8, static_cast<uint32_t>(sample_rate) * align);
  PutU16(format + 12, align);
  PutU16(format + 14, static_cast<uint32_t>(bits_));
  static const unsigned char kData[8] = {'d', 'a', 't', 'a', 0, 0, 0, 0};
  return WriteRaw(kLead, sizeof kLead) && WriteRaw(format, sizeof format) &&
         WriteRaw(kData, sizeof kData);
}

bool WavWriter::WriteRaw(const void* data, size_t bytes) {
  if (!file_ || failed_) return Fail();
  if (bytes && std::fwrite(data, 1, bytes, file_) != bytes) return Fail();
  return true;
}

bool WavWriter::Write(const void* data, size_t bytes) {
  if (data_bytes_ + bytes > kMaxDataBytes) return Fail();
  if (!WriteRaw(data, bytes)) return false;
  data_bytes_ += bytes;
  return true;
}

bool WavWriter::WriteFloat(const float* samples, size_t count) {
  constexpr size_t kBlock = 4096;
  unsigned char out[kBlock * 2];
  while (count > 0) {
    const size_t n = std::min(count, kBlock);
    for (size_t i = 0; i < n; ++i) {
      const double v = samples[i];
      if (bits_ == 8) {
        const double s = std::clamp(std::nearbyint(v * 128.0), -128.0, 127.0);
        out[i] = static_cast<unsigned char>(static_cast<int>(s) + 128);
      } else {
        const double s = std::clamp(std::nearbyint(v * 32768.0), -32768.0, 32767.0);
        PutU16(out + 2 * i, static_cast<uint32_t>(static_cast<int32_t>(s)) & 0xFFFF);
      }
    }
    if (!Write(out, n * (bits_ / 8))) return false;
    samples += n;
    count -= n;
  }
  return true;
}

bool WavWriter::WriteU32At(long offset, uint32_t value) {
  unsigned char b[4];
  PutU32(b, value);
  return std::fseek(file_, offset, SEEK_SET) == 0 && std::fwrite(b, 1, 4, file_) == 4 &&
         std::fflush(file_) == 0;
}

bool WavWriter::Finish() {
  if (!file_) return false;
  bool ok = !failed_ && std::fflush(file_) == 0;
  if (owns_file_) {
    long length = ok ? std::ftell(file_) : -1;
    ok = ok && length >= kWavHeaderBytes &&
         WriteU32At(4, static_cast<uint32_t>(length - 8)) &&
         WriteU32At(40, static_cast<uint32_t>(length - kWavHeaderBytes));
    if (std::ferror(file_)) ok = false;
    if (std::fclose(file_) != 0) ok = false;
  } else if (std::ferror(file_)) {
    ok = false;
  }
  file_ = nullptr;
  if (!ok) failed_ = true;
  return ok;
}

}  // namespace qv3
