// WAV, AIFF and FLAC through libsndfile: exact lengths and seeking.
#include <sndfile.h>

#include <cstdio>
#include <cstring>

#include "audiolib/audiolib.h"
#include "audiolib/decoder.h"

namespace qv3::audio_internal {
namespace {

uint32_t BitsOfSubtype(int subtype) {
  switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 32;
    case SF_FORMAT_DOUBLE: return 64;
    default: return 0;
  }
}

class SndfileDecoder : public Decoder {
 public:
  SndfileDecoder(SNDFILE* file, const SF_INFO& sf) : file_(file) {
    info_.rate = static_cast<uint32_t>(sf.samplerate);
    info_.channels = static_cast<uint32_t>(sf.channels);
    const int major = sf.format & SF_FORMAT_TYPEMASK;
    const int subtype = sf.format & SF_FORMAT_SUBMASK;
    info_.origres = BitsOfSubtype(subtype);
    if (major == SF_FORMAT_AIFF) {
      info_.ctype = kCtypeStreamAiff;
    } else if (major == SF_FORMAT_FLAC) {
      info_.ctype = kCtypeStreamFlac;
    } else {
      info_.ctype = (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE)
                        ? kCtypeStreamWavFloat
                        : kCtypeStreamWavPcm;
    }
    info_.length_frames = sf.frames;
    info_.length_exact = true;
  }
  ~SndfileDecoder() override { sf_close(file_); }

  int64_t Read(float* out, int64_t frames) override {
    sf_count_t n = sf_readf_float(file_, out, frames);
    if (n < 0) return -1;
    pos_ += n;
    return n;
  }

  bool Seek(int64_t frame) override {
    if (frame < 0 || frame > info_.length_frames) return false;
    if (sf_seek(file_, frame, SEEK_SET) < 0) return false;
    pos_ = frame;
    return true;
  }

  uint64_t BytesRead() const override {
    if (info_.length_frames <= 0) return 0;
    return static_cast<uint64_t>(static_cast<double>(pos_) / static_cast<double>(info_.length_frames) *
                                 static_cast<double>(info_.file_size));
  }

 private:
  SNDFILE* file_;
  int64_t pos_ = 0;
};

}  // namespace

// libsndfile also reads Ogg and MPEG files; those go to the other decoders,
// so only files that start like WAV, RF64, W64, AIFF or FLAC are handed to it.
bool LooksLikeSndfileFormat(const std::string& path) {
  unsigned char h[12] = {};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const size_t n = std::fread(h, 1, sizeof h, f);
  std::fclose(f);
  if (n < 12) return false;
  auto is = [&](size_t at, const char* tag) { return std::memcmp(h + at, tag, 4) == 0; };
  return ((is(0, "RIFF") || is(0, "RF64") || is(0, "BW64")) && is(8, "WAVE")) ||
         (is(0, "FORM") && (is(8, "AIFF") || is(8, "AIFC"))) || is(0, "fLaC") || is(0, "riff");
}

std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path, int* error) {
  if (!LooksLikeSndfileFormat(path)) {
    *error = kErrorFileForm;
    return nullptr;
  }
  SF_INFO sf{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
  if (!file) {
    *error = kErrorFileForm;
    return nullptr;
  }
  const int major = sf.format & SF_FORMAT_TYPEMASK;
  const bool ours = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF ||
                    major == SF_FORMAT_FLAC || major == SF_FORMAT_RF64 || major == SF_FORMAT_W64;
  if (!ours || sf.channels <= 0 || sf.samplerate <= 0 || sf.frames < 0) {
    sf_close(file);
    *error = kErrorFileForm;
    return nullptr;
  }
  // Integer files come out scaled to +-1.0; float WAV passes unchanged.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  return std::make_unique<SndfileDecoder>(file, sf);
}

}  // namespace qv3::audio_internal
