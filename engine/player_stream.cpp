#include "engine/player_stream.h"

#include <algorithm>
#include <climits>

namespace qv3 {

int PlayerSourceRead(float** buffers, int frames, void* user_data) {
  auto* s = static_cast<PlayerStream*>(user_data);
  if (!s || !buffers || frames <= 0 || !s->read_buffer) return -1;
  const int ch = static_cast<int>(s->channel_info.chans);
  if (ch < 1 || ch > 2) return -1;
  const uint32_t frame_bytes = static_cast<uint32_t>(ch) * 4;

  int done = 0;
  int64_t delivered_bytes = 0;
  // The processor may ask for more than the read buffer holds: read in parts.
  while (done < frames) {
    int part = std::min(frames - done, kPlayerBlockFrames);
    uint32_t got = ChannelGetData(s->decode_stream, s->read_buffer,
                                  (static_cast<uint32_t>(part) * frame_bytes) | kDataFloat);
    if (got == kDataError) {
      if (delivered_bytes == 0) return -1;
      break;
    }
    int got_frames = std::min(static_cast<int>(got / frame_bytes), part);
    const float* in = s->read_buffer;
    if (ch == 1) {
      std::copy(in, in + got_frames, buffers[0] + done);
    } else {
      float* l = buffers[0] + done;
      float* r = buffers[1] + done;
      for (int i = 0; i < got_frames; ++i) {
        l[i] = in[2 * i];
        r[i] = in[2 * i + 1];
      }
    }
    done += got_frames;
    delivered_bytes += got;
    if (got_frames < part) break;  // the stream has no more for now
  }
  return static_cast<int>(std::min<int64_t>(delivered_bytes, INT_MAX));
}

void ConvertToPcm16(float* const* planar, int channels, int frames, int16_t* out) {
  if (channels == 1) {
    const float* m = planar[0];
    for (int i = 0; i < frames; ++i) out[i] = ScaleToPcm16(m[i]);
    return;
  }
  const float* l = planar[0];
  const float* r = planar[1];
  for (int i = 0; i < frames; ++i) {
    out[2 * i] = ScaleToPcm16(l[i]);
    out[2 * i + 1] = ScaleToPcm16(r[i]);
  }
}

}  // namespace qv3
