// MPEG audio through libmpg123: gapless (LAME/Xing delay and padding
// trimmed), exact length by scanning the frames, and sample-exact seeking
// with decoder warm-up frames (FFmpeg 5.1 cannot seek MP3 to the sample).
#include <mpg123.h>

#include <mutex>

#include "audiolib/audiolib.h"
#include "audiolib/decoder.h"

namespace qv3::audio_internal {
namespace {

// Frames decoded and thrown away before a seek target, so the layer-3 bit
// reservoir and the synthesis filter are settled.
constexpr long kPreFrames = 10;

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
  });
}

class Mpg123Decoder : public Decoder {
 public:
  explicit Mpg123Decoder(mpg123_handle* mh) : mh_(mh) {}
  ~Mpg123Decoder() override {
    mpg123_close(mh_);
    mpg123_delete(mh_);
  }

  bool Init(bool prescan) {
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK) return false;
    if (rate <= 0 || channels <= 0 || channels > 2) return false;
    info_.rate = static_cast<uint32_t>(rate);
    info_.channels = static_cast<uint32_t>(channels);
    info_.origres = 0;
    info_.ctype = kCtypeStreamMp3;
    // The scan reads only frame headers; it makes the length and the seek
    // index exact. Without it the LAME/Xing header gives the length.
    if (prescan) mpg123_scan(mh_);
    off_t len = mpg123_length(mh_);
    info_.length_frames = len >= 0 ? static_cast<int64_t>(len) : -1;
    info_.length_exact = prescan && len >= 0;
    return true;
  }

  int64_t Read(float* out, int64_t frames) override {
    const size_t frame_bytes = sizeof(float) * info_.channels;
    size_t want = static_cast<size_t>(frames) * frame_bytes;
    size_t got_total = 0;
    auto* dst = reinterpret_cast<unsigned char*>(out);
    while (got_total < want) {
      size_t done = 0;
      int rc = mpg123_read(mh_, dst + got_total, want - got_total, &done);
      got_total += done;
      if (rc == MPG123_NEW_FORMAT || rc == MPG123_OK) {
        if (done == 0 && rc == MPG123_OK) break;
        continue;
      }
      if (rc == MPG123_DONE) {
        ended_ = true;
        break;
      }
      if (rc == MPG123_NEED_MORE) continue;
      if (got_total == 0) return -1;
      break;
    }
    // Decoders hand out whole frames; a torn frame would swap channels.
    int64_t n = static_cast<int64_t>(got_total / frame_bytes);
    pos_ += n;
    if (ended_ && !info_.length_exact) {
      info_.length_frames = pos_;
      info_.length_exact = true;
    }
    return n;
  }

  bool Seek(int64_t frame) override {
    if (frame < 0) return false;
    if (info_.length_exact && frame > info_.length_frames) return false;
    off_t r = mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET);
    if (r < 0) return false;
    pos_ = r;
    ended_ = false;
    return r == frame;
  }

  uint64_t BytesRead() const override {
    off_t p = mpg123_tell_stream(mh_);
    return p > 0 ? static_cast<uint64_t>(p) : 0;
  }

 private:
  mpg123_handle* mh_;
  int64_t pos_ = 0;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path, bool prescan, int* error) {
  InitOnce();
  int err = MPG123_OK;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) {
    *error = kErrorMem;
    return nullptr;
  }
  mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0);
  mpg123_param(mh, MPG123_PREFRAMES, kPreFrames, 0.0);
  mpg123_param(mh, MPG123_RESYNC_LIMIT, 2048, 0.0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) {
    mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  auto dec = std::make_unique<Mpg123Decoder>(mh);
  if (mpg123_open(mh, path.c_str()) != MPG123_OK || !dec->Init(prescan)) {
    *error = kErrorFileForm;
    return nullptr;
  }
  return dec;
}

}  // namespace qv3::audio_internal
