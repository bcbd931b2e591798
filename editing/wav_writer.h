// The one WAV writer of the system (import, export, CD ripping): a canonical
// 44-byte PCM header, the interleaved frames, and the two length fields
// patched when the file is finished. No other chunks are written.
//
//   0 "RIFF"  4 file length - 8   8 "WAVE"  12 "fmt "  16 16  20 format 1 (PCM)
//  22 channels  24 sample rate  28 bytes per second  32 block align
//  34 bits per sample  36 "data"  40 data length  44 frames
//
// The length fields hold 0 until Finish(). Every write is checked: a full disk
// makes Write() or Finish() return false, never a silently short file.
#ifndef QV3_EDITING_WAV_WRITER_H_
#define QV3_EDITING_WAV_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qv3 {

inline constexpr int kWavHeaderBytes = 44;

class WavWriter {
 public:
  WavWriter() = default;
  // Closes an unfinished file as it is (lengths still 0).
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates `path` and writes the header. `stream_bits` is the resolution the
  // decoded stream reports: 8 gives 8-bit samples (unsigned, 1 byte), anything
  // else 16-bit samples.
  bool Open(const std::string& path, int channels, int sample_rate, int stream_bits);
  // Writes the same header to a stream that cannot seek (an encoder's
  // standard input): the length fields stay 0, which readers of such streams
  // take as "until the end". The stream is flushed by Finish(), not closed.
  bool OpenStream(FILE* stream, int channels, int sample_rate, int stream_bits);
  // Appends PCM bytes already in the file's sample format.
  bool Write(const void* data, size_t bytes);
  // Appends float samples (full scale +-1.0, interleaved), converted with
  // rounding and clipping to the file's sample format.
  bool WriteFloat(const float* samples, size_t count);
  // Patches both length fields, flushes and closes; false if anything failed
  // since Open().
  bool Finish();

  bool is_open() const { return file_ != nullptr; }
  int bits_per_sample() const { return bits_; }
  int block_align() const { return channels_ * (bits_ / 8); }
  uint64_t data_bytes() const { return data_bytes_; }

 private:
  bool Start(int channels, int sample_rate, int stream_bits);
  bool WriteRaw(const void* data, size_t bytes);
  bool WriteU32At(long offset, uint32_t value);
  bool Fail();

  FILE* file_ = nullptr;
  bool owns_file_ = true;
  int channels_ = 0;
  int bits_ = 16;
  uint64_t data_bytes_ = 0;
  bool failed_ = false;
};

}  // namespace qv3

#endif  // QV3_EDITING_WAV_WRITER_H_
