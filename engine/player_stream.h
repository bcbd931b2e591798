// The per-source record of the playback engine: the decoding stream on the
// song, the time/pitch processor that pulls from it, the 16-bit push stream
// the worker fills, and the buffers between them (all allocated at open, so
// the worker allocates nothing). Closing the source clears the record.
#ifndef QV3_ENGINE_PLAYER_STREAM_H_
#define QV3_ENGINE_PLAYER_STREAM_H_

#include <atomic>
#include <cstdint>

#include "audiolib/audiolib.h"
#include "stretch/time_pitch_processor.h"

namespace qv3 {

// Frames per block for reading, processing and output.
inline constexpr int kPlayerBlockFrames = 16384;
// Processed float samples are scaled by this (not 32767) into 16 bits.
inline constexpr double kPcm16Scale = 21400.0;

struct PlayerStream {
  StreamHandle decode_stream = 0;         // the song, decode only, float samples
  TimePitchProcessor* processor = nullptr;
  StreamHandle output_stream = 0;         // push stream, 16-bit, source rate and channels
  float* read_buffer = nullptr;           // interleaved, channels x kPlayerBlockFrames
  float** processed_buffers = nullptr;    // planar, one kPlayerBlockFrames array per channel
  int16_t* output_buffer = nullptr;       // interleaved, channels x kPlayerBlockFrames
  // Frames x channels queued since this play began (written by the worker).
  std::atomic<uint64_t> samples_pushed{0};
  int64_t remaining_count = 0;            // progress denominator of this play, >= 1
  ChannelInfo channel_info{};             // of the decode stream

  // Back to the closed state (every handle and pointer cleared; frees nothing).
  void Clear() {
    decode_stream = 0;
    processor = nullptr;
    output_stream = 0;
    read_buffer = nullptr;
    processed_buffers = nullptr;
    output_buffer = nullptr;
    samples_pushed.store(0);
    remaining_count = 0;
    channel_info = ChannelInfo{};
  }
};

// The processor's source read callback (user data: the PlayerStream). Reads
// the next `frames` frames of the decode stream as floats and de-interleaves
// them into `buffers`. A request larger than the read buffer is served in
// parts of at most kPlayerBlockFrames, so the buffer is never overrun.
// Returns the bytes delivered (positive), 0 when nothing was left, -1 when
// the stream had already ended or failed.
int PlayerSourceRead(float** buffers, int frames, void* user_data);

// Converts `frames` planar frames into interleaved 16-bit samples at the
// 21400 scale, truncating toward zero. Values beyond the 16-bit range are
// saturated and NaN becomes 0 (a plain cast would be undefined there).
void ConvertToPcm16(float* const* planar, int channels, int frames, int16_t* out);

// One sample of ConvertToPcm16.
inline int16_t ScaleToPcm16(float sample) {
  double v = static_cast<double>(sample) * kPcm16Scale;
  if (!(v == v)) return 0;
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  return static_cast<int16_t>(v);  // truncates toward zero
}

}  // namespace qv3

#endif  // QV3_ENGINE_PLAYER_STREAM_H_
