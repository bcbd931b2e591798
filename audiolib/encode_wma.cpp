// WMA v2 through FFmpeg's encoder, muxed into ASF.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <string>
#include <vector>

#include "audiolib/encode.h"

namespace qv3 {
namespace {

// The rates a WMA writer traditionally offers, tried against the encoder.
const int kWmaCandidateRates[] = {320000, 256000, 192000, 160000, 128000, 96000,
                                  80000,  64000,  48000,  40000,  32000,  24000};

AVCodecContext* OpenCodec(int sample_rate, int channels, int bit_rate) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (!codec || channels < 1 || channels > 2) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  ctx->sample_rate = sample_rate;
  ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&ctx->ch_layout, channels);
  ctx->bit_rate = bit_rate;
  ctx->time_base = AVRational{1, sample_rate};
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

}  // namespace

std::vector<int> WmaEncodeGetRates(int sample_rate, int channels) {
  std::vector<int> rates;
  for (int rate : kWmaCandidateRates) {
    AVCodecContext* ctx = OpenCodec(sample_rate, channels, rate);
    if (!ctx) continue;
    // The encoder caps its block size: a rate it cannot reach is not offered.
    if (ctx->bit_rate == rate) rates.push_back(rate);
    avcodec_free_context(&ctx);
  }
  return rates;
}

struct WmaEncoder::Impl {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int channels = 0;
  int frame_size = 0;
  int filled = 0;  // frames in `frame`
  int64_t pts = 0;
  bool header_written = false;
  bool failed = false;

  ~Impl() {
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
    avcodec_free_context(&codec);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }

  // Sends `f` (nullptr drains) and writes every packet the encoder returns.
  bool Encode(AVFrame* f) {
    if (avcodec_send_frame(codec, f) < 0) return false;
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }

  bool FlushFrame() {
    if (filled == 0) return true;
    // The encoder takes whole frames only: the last one is padded with silence.
    for (int c = 0; c < channels; ++c) {
      float* dst = reinterpret_cast<float*>(frame->data[c]);
      std::fill(dst + filled, dst + frame_size, 0.0f);
    }
    frame->nb_samples = frame_size;
    frame->pts = pts;
    pts += frame_size;
    filled = 0;
    return Encode(frame);
  }
};

WmaEncoder::WmaEncoder() = default;
WmaEncoder::~WmaEncoder() = default;

bool WmaEncoder::Open(const std::string& path, int sample_rate, int channels, int bit_rate) {
  error_ = 0;
  impl_ = std::make_unique<Impl>();
  Impl& m = *impl_;
  m.codec = OpenCodec(sample_rate, channels, bit_rate);
  if (!m.codec) {
    error_ = 37;
    impl_.reset();
    return false;
  }
  if (avformat_alloc_output_context2(&m.format, nullptr, "asf", path.c_str()) < 0 || !m.format) {
    error_ = -1;
    impl_.reset();
    return false;
  }
  m.stream = avformat_new_stream(m.format, nullptr);
  m.frame = av_frame_alloc();
  m.packet = av_packet_alloc();
  if (!m.stream || !m.frame || !m.packet ||
      avcodec_parameters_from_context(m.stream->codecpar, m.codec) < 0) {
    error_ = 1;
    impl_.reset();
    return false;
  }
  m.stream->time_base = m.codec->time_base;
  if (avio_open(&m.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
    error_ = 2;
    impl_.reset();
    return false;
  }
  if (avformat_write_header(m.format, nullptr) < 0) {
    error_ = -1;
    impl_.reset();
    return false;
  }
  m.header_written = true;
  m.channels = channels;
  m.frame_size = m.codec->frame_size > 0 ? m.codec->frame_size : 2048;
  m.frame->format = AV_SAMPLE_FMT_FLTP;
  m.frame->sample_rate = sample_rate;
  av_channel_layout_copy(&m.frame->ch_layout, &m.codec->ch_layout);
  m.frame->nb_samples = m.frame_size;
  if (av_frame_get_buffer(m.frame, 0) < 0) {
    error_ = 1;
    impl_.reset();
    return false;
  }
  return true;
}

bool WmaEncoder::Write(const int16_t* interleaved, size_t frames) {
  if (!impl_) return false;
  Impl& m = *impl_;
  if (m.failed) return false;
  while (frames > 0) {
    if (m.filled == 0 && av_frame_make_writable(m.frame) < 0) {
      m.failed = true;
      return false;
    }
    const int n = static_cast<int>(std::min<size_t>(frames, m.frame_size - m.filled));
    for (int c = 0; c < m.channels; ++c) {
      float* dst = reinterpret_cast<float*>(m.frame->data[c]) + m.filled;
      for (int i = 0; i < n; ++i) dst[i] = interleaved[static_cast<size_t>(i) * m.channels + c] / 32768.0f;
    }
    m.filled += n;
    interleaved += static_cast<size_t>(n) * m.channels;
    frames -= static_cast<size_t>(n);
    if (m.filled == m.frame_size && !m.FlushFrame()) {
      m.failed = true;
      return false;
    }
  }
  return true;
}

bool WmaEncoder::Close() {
  if (!impl_) return false;
  Impl& m = *impl_;
  bool ok = !m.failed && m.FlushFrame() && m.Encode(nullptr);
  if (m.header_written && av_write_trailer(m.format) < 0) ok = false;
  if (m.format->pb) {
    avio_flush(m.format->pb);
    if (m.format->pb->error < 0) ok = false;
    if (avio_closep(&m.format->pb) < 0) ok = false;
  }
  impl_.reset();
  return ok;
}

}  // namespace qv3
