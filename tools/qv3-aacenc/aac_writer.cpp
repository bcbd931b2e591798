#include "tools/qv3-aacenc/aac_writer.h"

#include <array>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace qv3::aacenc {

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

int AacSampleRate(int input_rate) {
  static constexpr std::array<int, 13> kRates = {7350,  8000,  11025, 12000, 16000, 22050, 24000,
                                                 32000, 44100, 48000, 64000, 88200, 96000};
  for (int rate : kRates) {
    if (rate >= input_rate) return rate;
  }
  return kRates.back();
}

AacWriter::~AacWriter() {
  if (format_ != nullptr) {
    if (file_open_) avio_closep(&format_->pb);
    avformat_free_context(format_);
  }
  avcodec_free_context(&codec_);
  swr_free(&swr_);
  if (fifo_ != nullptr) av_audio_fifo_free(fifo_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
}

int AacWriter::encoder_rate() const { return codec_ != nullptr ? codec_->sample_rate : 0; }

bool AacWriter::Open(const AacWriterSettings& s, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (codec == nullptr) {
    *error = "FFmpeg has no AAC encoder";
    return false;
  }
  // faac's -w always means MP4; ".m4a" gets the iTunes flavour of it.
  const char* muxer = !s.mp4 ? "adts" : (EndsWithNoCase(s.path, ".m4a") ? "ipod" : "mp4");
  int rc = avformat_alloc_output_context2(&format_, nullptr, muxer, s.path.c_str());
  if (rc < 0 || format_ == nullptr) {
    *error = "cannot set up the " + std::string(muxer) + " output: " + AvError(rc);
    return false;
  }
  codec_ = avcodec_alloc_context3(codec);
  if (codec_ == nullptr) {
    *error = "out of memory";
    return false;
  }
  codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec_->sample_rate = AacSampleRate(s.input_rate);
  av_channel_layout_default(&codec_->ch_layout, s.channels);
  codec_->bit_rate = s.bit_rate;
  codec_->cutoff = s.cutoff_hz;
  codec_->profile = FF_PROFILE_AAC_LOW;
  codec_->time_base = AVRational{1, codec_->sample_rate};
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  rc = avcodec_open2(codec_, codec, nullptr);
  if (rc < 0) {
    *error = "cannot open the AAC encoder: " + AvError(rc);
    return false;
  }
  stream_ = avformat_new_stream(format_, nullptr);
  if (stream_ == nullptr) {
    *error = "out of memory";
    return false;
  }
  stream_->time_base = codec_->time_base;
  rc = avcodec_parameters_from_context(stream_->codecpar, codec_);
  if (rc < 0) {
    *error = "cannot set the stream parameters: " + AvError(rc);
    return false;
  }

  AVChannelLayout layout;
  av_channel_layout_default(&layout, s.channels);
  rc = swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_FLTP, codec_->sample_rate, &layout,
                           AV_SAMPLE_FMT_FLT, s.input_rate, 0, nullptr);
  av_channel_layout_uninit(&layout);
  if (rc < 0 || swr_init(swr_) < 0) {
    *error = "cannot set up the sample conversion";
    return false;
  }
  fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, s.channels, codec_->frame_size * 4);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (fifo_ == nullptr || frame_ == nullptr || packet_ == nullptr) {
    *error = "out of memory";
    return false;
  }

  rc = avio_open(&format_->pb, s.path.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    *error = "cannot create '" + s.path + "': " + AvError(rc);
    return false;
  }
  file_open_ = true;
  rc = avformat_write_header(format_, nullptr);
  if (rc < 0) {
    *error = "cannot write the file header: " + AvError(rc);
    return false;
  }
  header_written_ = true;
  return true;
}

bool AacWriter::Write(const float* interleaved, int frames, std::string* error) {
  const int capacity = swr_get_out_samples(swr_, frames);
  std::vector<std::vector<float>> planes(codec_->ch_layout.nb_channels,
                                         std::vector<float>(std::max(capacity, 1)));
  std::vector<uint8_t*> out_ptrs;
  for (auto& plane : planes) out_ptrs.push_back(reinterpret_cast<uint8_t*>(plane.data()));
  const uint8_t* in_ptr = reinterpret_cast<const uint8_t*>(interleaved);
  const int converted = swr_convert(swr_, out_ptrs.data(), capacity, interleaved ? &in_ptr : nullptr,
                                    interleaved ? frames : 0);
  if (converted < 0) {
    *error = "sample conversion failed";
    return false;
  }
  if (converted > 0 &&
      av_audio_fifo_write(fifo_, reinterpret_cast<void**>(out_ptrs.data()), converted) < converted) {
    *error = "out of memory";
    return false;
  }
  return EncodeFromFifo(false, error);
}

bool AacWriter::EncodeFromFifo(bool flush, std::string* error) {
  const int frame_size = codec_->frame_size;
  while (av_audio_fifo_size(fifo_) >= frame_size || (flush && av_audio_fifo_size(fifo_) > 0)) {
    const int n = std::min(frame_size, av_audio_fifo_size(fifo_));
    av_frame_unref(frame_);
    frame_->nb_samples = n;
    frame_->format = codec_->sample_fmt;
    frame_->sample_rate = codec_->sample_rate;
    av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout);
    int rc = av_frame_get_buffer(frame_, 0);
    if (rc < 0) {
      *error = "out of memory";
      return false;
    }
    av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), n);
    frame_->pts = next_pts_;
    next_pts_ += n;
    rc = avcodec_send_frame(codec_, frame_);
    if (rc < 0) {
      *error = "encoding failed: " + AvError(rc);
      return false;
    }
    if (!Drain(error)) return false;
  }
  return true;
}

bool AacWriter::Drain(std::string* error) {
  for (;;) {
    int rc = avcodec_receive_packet(codec_, packet_);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      *error = "encoding failed: " + AvError(rc);
      return false;
    }
    av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    rc = av_interleaved_write_frame(format_, packet_);
    if (rc < 0) {
      *error = "cannot write the output: " + AvError(rc);
      return false;
    }
  }
}

bool AacWriter::Finish(std::string* error) {
  if (!Write(nullptr, 0, error)) return false;  // the resampler's tail
  if (!EncodeFromFifo(true, error)) return false;
  int rc = avcodec_send_frame(codec_, nullptr);
  if (rc < 0 && rc != AVERROR_EOF) {
    *error = "encoding failed: " + AvError(rc);
    return false;
  }
  if (!Drain(error)) return false;
  rc = av_write_trailer(format_);
  if (rc < 0) {
    *error = "cannot finish the output: " + AvError(rc);
    return false;
  }
  rc = avio_closep(&format_->pb);
  file_open_ = false;
  if (rc < 0) {
    *error = "cannot close the output: " + AvError(rc);
    return false;
  }
  return true;
}

}  // namespace qv3::aacenc
