// Reads a WAV stream front to back without seeking, so it works on a pipe.
// A data chunk whose length is 0 or 0xFFFFFFFF (written before the length was
// known) runs to the end of the stream; so does the data of an RF64 stream.
#ifndef QV3_TOOLS_QV3_AACENC_WAV_STREAM_H_
#define QV3_TOOLS_QV3_AACENC_WAV_STREAM_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qv3::aacenc {

struct WavFormat {
  int sample_rate = 0;
  int channels = 0;
  int bits_per_sample = 0;
  bool is_float = false;
  int block_align = 0;            // bytes per frame
  bool length_known = false;      // false: read to the end of the stream
  uint64_t data_bytes = 0;        // when length_known
};

class WavStreamReader {
 public:
  explicit WavStreamReader(std::FILE* in) : in_(in) {}

  // Reads up to the start of the sample data. On failure returns false with
  // a one-line reason. Accepts integer PCM of 8, 16, 24 or 32 bits and float
  // of 32 or 64 bits (also in the extensible layout), 1 or 2 channels.
  bool ReadHeader(std::string* error);
  const WavFormat& format() const { return format_; }

  // Reads up to max_frames frames as interleaved floats in -1..1 and returns
  // how many; 0 at the end of the data. A partial frame at the end is dropped.
  size_t ReadFrames(float* out, size_t max_frames);

 private:
  bool ReadExact(void* buffer, size_t size);
  bool Skip(uint64_t size);

  std::FILE* in_;
  WavFormat format_;
  uint64_t remaining_ = 0;  // data bytes left when the length is known
  std::vector<uint8_t> raw_;
};

}  // namespace qv3::aacenc

#endif  // QV3_TOOLS_QV3_AACENC_WAV_STREAM_H_
