// File decoders behind the decoding streams: every decoder delivers
// interleaved 32-bit float frames at the file's own rate, knows its position
// in frames and seeks to the exact frame.
#ifndef QV3_AUDIOLIB_DECODER_H_
#define QV3_AUDIOLIB_DECODER_H_

#include <cstdint>
#include <memory>
#include <string>

namespace qv3::audio_internal {

struct DecoderInfo {
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint32_t origres = 0;   // bits per source sample, 0 when the codec does not tell
  uint32_t ctype = 0;     // channel type reported by ChannelGetInfo
  // Frames in the file; -1 when unknown. When not exact it is an estimate
  // the decoder replaces by the true count once it reaches the end.
  int64_t length_frames = -1;
  bool length_exact = false;
  uint64_t file_size = 0;
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  const DecoderInfo& info() const { return info_; }
  // Reads up to `frames` frames; returns the count, 0 at the end, -1 on a
  // read error (treated as the end by callers).
  virtual int64_t Read(float* out, int64_t frames) = 0;
  // The next Read starts at `frame` exactly. false when it cannot get there
  // (beyond the end, or the file refuses).
  virtual bool Seek(int64_t frame) = 0;
  // Bytes of the file consumed so far (file position mode 0).
  virtual uint64_t BytesRead() const { return 0; }
  void set_file_size(uint64_t size) { info_.file_size = size; }

 protected:
  DecoderInfo info_;
};

// Opens `path` with the decoder that fits its content (not its name): WAV,
// AIFF and FLAC through libsndfile, MPEG audio through libmpg123, everything
// else (and the audio of video files) through FFmpeg. On failure returns
// null and sets *error: 2 missing/unreadable, 41 unsupported, 1000 DRM, 1 memory.
std::unique_ptr<Decoder> OpenDecoder(const std::string& path, bool prescan, int* error);

std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path, int* error);
std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path, bool prescan, int* error);
std::unique_ptr<Decoder> OpenFfmpegDecoder(const std::string& path, int* error);

// True when the ASF (WMA/WMV) header holds a content-encryption object.
bool AsfHeaderIsProtected(const std::string& path);

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_DECODER_H_
