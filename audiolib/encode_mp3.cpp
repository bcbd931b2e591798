#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "audiolib/encode.h"

namespace qv3 {
namespace {

// MPEG-1, MPEG-2 and MPEG-2.5 layer III: the rates LAME writes without
// resampling and the constant bit rates of each.
const int kMpeg1Rates[] = {32000, 44100, 48000};
const int kMpeg2Rates[] = {16000, 22050, 24000};
const int kMpeg25Rates[] = {8000, 11025, 12000};
const int kMpeg1Kbps[] = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};
const int kMpeg2Kbps[] = {160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};
const int kMpeg25Kbps[] = {64, 56, 48, 40, 32, 24, 16, 8};

template <size_t N>
bool Contains(const int (&list)[N], int value) {
  return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

}  // namespace

struct Mp3Encoder::Lame {
  lame_global_flags* flags = nullptr;
  ~Lame() {
    if (flags) lame_close(flags);
  }
};

std::string RateWithComma(int sample_rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", sample_rate / 1000.0);
  std::string s = text;
  // Whatever the locale wrote as the decimal point becomes a comma.
  for (char& c : s) {
    if (c == '.' || c == ',') c = ',';
  }
  return s;
}

std::vector<Mp3Format> Mp3Formats(int sample_rate, int channels) {
  std::vector<Mp3Format> formats;
  if (channels < 1 || channels > 2) return formats;
  std::vector<int> kbps;
  if (Contains(kMpeg1Rates, sample_rate)) {
    kbps.assign(std::begin(kMpeg1Kbps), std::end(kMpeg1Kbps));
  } else if (Contains(kMpeg2Rates, sample_rate)) {
    kbps.assign(std::begin(kMpeg2Kbps), std::end(kMpeg2Kbps));
  } else if (Contains(kMpeg25Rates, sample_rate)) {
    kbps.assign(std::begin(kMpeg25Kbps), std::end(kMpeg25Kbps));
  }
  for (int k : kbps) {
    Mp3Format f;
    f.sample_rate = sample_rate;
    f.channels = channels;
    f.kbps = k;
    f.description = std::to_string(k) + " kBit/s, " + RateWithComma(sample_rate) + " Hz, " +
                    (channels == 2 ? "Stereo" : "Mono");
    formats.push_back(f);
  }
  return formats;
}

Mp3Encoder::Mp3Encoder() = default;

Mp3Encoder::~Mp3Encoder() {
  if (file_) std::fclose(file_);
}

bool Mp3Encoder::Start(const std::string& path, const Mp3Format& format) {
  error_ = 0;
  failed_ = false;
  const auto offered = Mp3Formats(format.sample_rate, format.channels);
  if (std::none_of(offered.begin(), offered.end(),
                   [&](const Mp3Format& f) { return f.kbps == format.kbps; })) {
    error_ = 37;
    return false;
  }
  lame_ = std::make_unique<Lame>();
  lame_->flags = lame_init();
  if (!lame_->flags) {
    error_ = 1;
    return false;
  }
  lame_global_flags* g = lame_->flags;
  lame_set_in_samplerate(g, format.sample_rate);
  lame_set_out_samplerate(g, format.sample_rate);
  lame_set_num_channels(g, format.channels);
  lame_set_mode(g, format.channels == 2 ? JOINT_STEREO : MONO);
  lame_set_VBR(g, vbr_off);
  lame_set_brate(g, format.kbps);
  lame_set_bWriteVbrTag(g, 1);
  if (lame_init_params(g) < 0) {
    error_ = 37;
    return false;
  }
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error_ = 2;
    return false;
  }
  channels_ = format.channels;
  return true;
}

bool Mp3Encoder::Write(const float* interleaved, size_t frames) {
  if (!file_ || !lame_) return false;
  while (frames > 0) {
    const int n = static_cast<int>(std::min<size_t>(frames, 65536));
    out_.resize(static_cast<size_t>(n) * 5 / 4 + 7200);
    int bytes;
    if (channels_ == 2) {
      bytes = lame_encode_buffer_interleaved_ieee_float(lame_->flags, interleaved, n, out_.data(),
                                                        static_cast<int>(out_.size()));
    } else {
      bytes = lame_encode_buffer_ieee_float(lame_->flags, interleaved, interleaved, n, out_.data(),
                                            static_cast<int>(out_.size()));
    }
    if (bytes < 0) {
      failed_ = true;
      return false;
    }
    if (bytes > 0 && std::fwrite(out_.data(), 1, static_cast<size_t>(bytes), file_) !=
                         static_cast<size_t>(bytes)) {
      failed_ = true;
      return false;
    }
    interleaved += static_cast<size_t>(n) * channels_;
    frames -= static_cast<size_t>(n);
  }
  return !failed_;
}

bool Mp3Encoder::Stop() {
  if (!file_ || !lame_) return false;
  out_.resize(7200);
  const int bytes = lame_encode_flush(lame_->flags, out_.data(), static_cast<int>(out_.size()));
  if (bytes < 0 || (bytes > 0 && std::fwrite(out_.data(), 1, static_cast<size_t>(bytes), file_) !=
                                     static_cast<size_t>(bytes))) {
    failed_ = true;
  }
  // The info tag (frame count, encoder delay and padding) goes into the
  // first frame, which LAME reserved, so decoders trim to the exact length.
  std::vector<unsigned char> tag(2880);
  const size_t tag_bytes = lame_get_lametag_frame(lame_->flags, tag.data(), tag.size());
  if (!failed_ && tag_bytes > 0 && tag_bytes <= tag.size()) {
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(tag.data(), 1, tag_bytes, file_) != tag_bytes) {
      failed_ = true;
    }
  }
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  lame_.reset();
  return !failed_;
}

}  // namespace qv3
