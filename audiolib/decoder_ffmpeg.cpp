// Every other format through FFmpeg (libavformat, libavcodec,
// libswresample): AAC/M4A, Ogg Vorbis, Opus, WMA, AC-3, ALAC, the audio of
// video files... Frame positions come from the decoded frames' timestamps,
// with the first frame as 0; encoder priming that the container declares
// (MP4 edit lists, Opus pre-skip) is trimmed by libavcodec before that, so
// sequential reads and seeks agree to the sample.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audiolib/audiolib.h"
#include "audiolib/decoder.h"

namespace qv3::audio_internal {
namespace {

uint32_t CtypeOf(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_AAC: return kCtypeStreamAac;
    case AV_CODEC_ID_VORBIS: return kCtypeStreamOgg;
    case AV_CODEC_ID_OPUS: return kCtypeStreamOpus;
    case AV_CODEC_ID_FLAC: return kCtypeStreamFlac;
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2: return kCtypeStreamMp3;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMALOSSLESS: return kCtypeStreamWma;
    default: return kCtypeStream;
  }
}

class FfmpegDecoder : public Decoder {
 public:
  ~FfmpegDecoder() override {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
  }

  int Open(const std::string& path) {
    url_ = "file:" + path;  // a name such as "http:x.mp3" stays a local file
    if (!OpenInput(&format_)) return kErrorFileForm;
    if (avformat_find_stream_info(format_, nullptr) < 0) return kErrorFileForm;
    const AVCodec* codec = nullptr;
    stream_index_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_index_ < 0 || !codec) return kErrorFileForm;
    stream_ = format_->streams[stream_index_];
    // Only the audio stream is demuxed; video packets are dropped early.
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
      if (static_cast<int>(i) != stream_index_) format_->streams[i]->discard = AVDISCARD_ALL;
    }
    codec_ = avcodec_alloc_context3(codec);
    if (!codec_) return kErrorMem;
    if (avcodec_parameters_to_context(codec_, stream_->codecpar) < 0) return kErrorFileForm;
    codec_->pkt_timebase = stream_->time_base;
    if (avcodec_open2(codec_, codec, nullptr) < 0) return kErrorFileForm;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!frame_ || !packet_) return kErrorMem;

    // The first frame fixes the format (some codecs only tell then) and the
    // timestamp origin.
    if (!DecodeNext()) return kErrorFileForm;
    if (channels_ <= 0 || rate_ <= 0) return kErrorFileForm;
    origin_ = first_pts_samples_;
    info_.rate = static_cast<uint32_t>(rate_);
    info_.channels = static_cast<uint32_t>(channels_);
    info_.origres = static_cast<uint32_t>(std::max(0, stream_->codecpar->bits_per_raw_sample));
    if (info_.origres == 0 && av_get_exact_bits_per_sample(stream_->codecpar->codec_id) > 0)
      info_.origres = static_cast<uint32_t>(av_get_exact_bits_per_sample(stream_->codecpar->codec_id));
    info_.ctype = CtypeOf(stream_->codecpar->codec_id);
    EstimateLength();
    return kErrorOk;
  }

  int64_t Read(float* out, int64_t frames) override {
    // The container's exact length also cuts the encoder's end padding,
    // which libavcodec hands out with the last frame.
    if (info_.length_exact) frames = std::min(frames, std::max<int64_t>(0, info_.length_frames - pos_));
    int64_t done = 0;
    while (done < frames) {
      if (pending_pos_ >= pending_frames_) {
        if (!DecodeNext()) break;
        continue;
      }
      int64_t n = std::min(frames - done, pending_frames_ - pending_pos_);
      std::memcpy(out + done * channels_, pending_.data() + pending_pos_ * channels_,
                  sizeof(float) * static_cast<size_t>(n * channels_));
      pending_pos_ += n;
      done += n;
      pos_ += n;
    }
    if (done == 0 && eof_ && !info_.length_exact) {
      info_.length_frames = pos_;
      info_.length_exact = true;
    }
    return done;
  }

  bool Seek(int64_t target) override {
    if (target < 0) return false;
    if (info_.length_exact && target > info_.length_frames) return false;
    if (target == pos_) return true;
    // Lossy codecs need the frames before the target to rebuild their
    // overlap; start well before it and decode forward.
    int64_t preroll = std::max<int64_t>(rate_ / 10, 8192);
    for (int attempt = 0; attempt < 8; ++attempt) {
      int64_t start = target - preroll;
      if (start < 0) start = 0;
      if (!SeekBefore(start)) return false;
      if (pending_frames_ == 0 && eof_) return target == 0 ? true : false;
      if (resync_ && start > 0) {
        // Landed on a frame without a timestamp (an Ogg stream's last
        // page): its place is unknown, so start further back.
        preroll *= 4;
        continue;
      }
      int64_t first = pending_index_;
      if (first <= target) return SkipTo(target);
      if (start == 0) {
        // Even the stream's start decodes later than the target: the
        // origin moved (should not happen); accept what the file gives.
        return SkipTo(target);
      }
      preroll *= 4;
    }
    return false;
  }

  uint64_t BytesRead() const override {
    int64_t p = format_ && format_->pb ? avio_tell(format_->pb) : 0;
    return p > 0 ? static_cast<uint64_t>(p) : 0;
  }

 private:
  // Seeks the demuxer to a point at or before sample `start` and decodes
  // the first frame there.
  bool SeekBefore(int64_t start) {
    // FFmpeg's Ogg demuxer, once it has read pages near the end, lands
    // later seeks with its packet state off (frames differ from the
    // sequential decode); a fresh demuxer seeks right.
    if (std::strcmp(format_->iformat->name, "ogg") == 0 && !ReopenFormat()) return false;
    const AVRational tb = stream_->time_base;
    int64_t ts = av_rescale_q(start + origin_, AVRational{1, rate_}, tb);
    if (start == 0) {
      int64_t base = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
      ts = std::min(ts, base);
    }
    int rc = av_seek_frame(format_, stream_index_, ts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) rc = avformat_seek_file(format_, stream_index_, INT64_MIN, ts, ts, 0);
    if (rc < 0) {
      // Unseekable input: rewind by reopening the decoder at byte 0.
      if (avio_seek(format_->pb, 0, SEEK_SET) < 0) return false;
      avformat_flush(format_);
    }
    // A fresh decoder rather than a flushed one: some decoders (Vorbis)
    // keep state across a flush that makes the frames after a seek differ.
    if (!ReopenCodec()) avcodec_flush_buffers(codec_);
    resync_ = true;
    // From the very start, frames without timestamps count from 0.
    if (start == 0) next_index_ = 0;
    eof_ = false;
    sent_eof_ = false;
    pending_frames_ = pending_pos_ = 0;
    if (!DecodeNext()) {
      pending_index_ = info_.length_frames >= 0 ? info_.length_frames : 0;
    }
    return true;
  }

  // Only local files are read, and playlist-like demuxers that would open
  // further files or network addresses named inside the file are refused.
  bool OpenInput(AVFormatContext** ctx) {
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "protocol_whitelist", "file", 0);
    const int rc = avformat_open_input(ctx, url_.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (rc < 0) return false;
    static const char* const kRefused[] = {"hls", "concat", "dash", "imf", "sdp", "rtsp", "webm_dash_manifest",
                                           "image2", "tee", "mpl2", "ffmetadata"};
    for (const char* name : kRefused) {
      if (std::strcmp((*ctx)->iformat->name, name) == 0) {
        avformat_close_input(ctx);
        return false;
      }
    }
    return true;
  }

  bool ReopenFormat() {
    AVFormatContext* fresh = nullptr;
    if (!OpenInput(&fresh)) return false;
    if (avformat_find_stream_info(fresh, nullptr) < 0 ||
        static_cast<unsigned>(stream_index_) >= fresh->nb_streams) {
      avformat_close_input(&fresh);
      return false;
    }
    avformat_close_input(&format_);
    format_ = fresh;
    stream_ = format_->streams[stream_index_];
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
      if (static_cast<int>(i) != stream_index_) format_->streams[i]->discard = AVDISCARD_ALL;
    }
    return true;
  }

  bool ReopenCodec() {
    AVCodecContext* fresh = avcodec_alloc_context3(codec_->codec);
    if (!fresh) return false;
    if (avcodec_parameters_to_context(fresh, stream_->codecpar) < 0) {
      avcodec_free_context(&fresh);
      return false;
    }
    fresh->pkt_timebase = stream_->time_base;
    if (avcodec_open2(fresh, codec_->codec, nullptr) < 0) {
      avcodec_free_context(&fresh);
      return false;
    }
    avcodec_free_context(&codec_);
    codec_ = fresh;
    return true;
  }

  bool SkipTo(int64_t target) {
    for (;;) {
      int64_t end = pending_index_ + pending_frames_;
      if (target < end) {
        pending_pos_ = std::max<int64_t>(0, target - pending_index_);
        pos_ = target;
        return true;
      }
      if (!DecodeNext()) {
        // At the end: nothing pending, the position is the stream's end.
        pending_index_ = end;
        pending_frames_ = pending_pos_ = 0;
        pos_ = end;
        return target == pos_;
      }
    }
  }

  // Decodes the next frame into pending_; false at the end of the stream.
  bool DecodeNext() {
    pending_frames_ = pending_pos_ = 0;
    for (;;) {
      int rc = avcodec_receive_frame(codec_, frame_);
      if (rc == 0) {
        bool ok = TakeFrame();
        av_frame_unref(frame_);
        if (ok && pending_frames_ > 0) return true;
        continue;
      }
      if (rc == AVERROR_EOF) {
        eof_ = true;
        return false;
      }
      if (rc != AVERROR(EAGAIN)) {
        eof_ = true;
        return false;
      }
      if (sent_eof_) {
        eof_ = true;
        return false;
      }
      rc = av_read_frame(format_, packet_);
      if (rc < 0) {
        avcodec_send_packet(codec_, nullptr);
        sent_eof_ = true;
        continue;
      }
      if (packet_->stream_index == stream_index_) {
        // A corrupt packet is skipped; the decoder resynchronises.
        avcodec_send_packet(codec_, packet_);
      }
      av_packet_unref(packet_);
    }
  }

  bool TakeFrame() {
    const int ch = frame_->ch_layout.nb_channels;
    if (ch <= 0 || frame_->sample_rate <= 0 || frame_->nb_samples <= 0) return false;
    if (channels_ == 0) {
      channels_ = ch;
      rate_ = frame_->sample_rate;
    } else if (ch != channels_) {
      return false;  // a layout change mid-stream is not followed
    }
    if (!swr_ || frame_->format != swr_format_) {
      swr_free(&swr_);
      AVChannelLayout layout{};
      if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&layout, ch);
      else
        av_channel_layout_copy(&layout, &frame_->ch_layout);
      int rc = swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_FLT, rate_, &layout,
                                   static_cast<AVSampleFormat>(frame_->format), rate_, 0, nullptr);
      av_channel_layout_uninit(&layout);
      if (rc < 0 || swr_init(swr_) < 0) {
        swr_free(&swr_);
        return false;
      }
      swr_format_ = frame_->format;
    }
    pending_.resize(static_cast<size_t>(frame_->nb_samples) * ch);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pending_.data())};
    int n = swr_convert(swr_, out, frame_->nb_samples,
                        const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
    if (n <= 0) return false;
    // Position of this frame: from its timestamp when there is one, else
    // right after the previous frame.
    // Sequential frames continue the count (timestamps of a stream's last
    // pages may be computed backwards from a trimmed end); only the first
    // frame after a seek is placed by its timestamp.
    int64_t index = next_index_;
    int64_t pts = frame_->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE && (!have_first_ || resync_)) {
      resync_ = false;
      int64_t samples = av_rescale_q(pts, stream_->time_base, AVRational{1, rate_});
      if (!have_first_) first_pts_samples_ = samples;
      index = samples - origin_;
      if (!have_first_) index = 0;
      // Timestamps coarser than a sample (ASF counts milliseconds) are
      // snapped to the codec's fixed frame grid.
      const AVRational tb = stream_->time_base;
      const int64_t fs = codec_->frame_size > 0 ? codec_->frame_size : frame_->nb_samples;
      if (have_first_ && fs > 0 && static_cast<int64_t>(tb.num) * rate_ > static_cast<int64_t>(tb.den)) {
        const int64_t snapped = (index + fs / 2) / fs * fs;
        const int64_t tolerance = av_rescale(tb.num, rate_, tb.den) + 1;
        if (std::llabs(snapped - index) <= tolerance) index = snapped;
      }
    }
    have_first_ = true;
    pending_index_ = index;
    pending_frames_ = n;
    next_index_ = index + n;
    // Frames before the origin (priming the container did not trim) are
    // dropped so that frame 0 is the first audible sample.
    if (index < 0) {
      if (index + n <= 0) {
        pending_frames_ = 0;
        return false;
      }
      std::memmove(pending_.data(), pending_.data() + (-index) * ch,
                   sizeof(float) * static_cast<size_t>((n + index) * ch));
      pending_frames_ = n + index;
      pending_index_ = 0;
    }
    return true;
  }

  void EstimateLength() {
    int64_t frames = -1;
    if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0) {
      frames = av_rescale_q(stream_->duration, stream_->time_base, AVRational{1, rate_});
    } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
      frames = av_rescale_q(format_->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, rate_});
    }
    // Ogg Opus reports its duration with the pre-skip still counted.
    if (frames > 0 && stream_->codecpar->codec_id == AV_CODEC_ID_OPUS &&
        strcmp(format_->iformat->name, "ogg") == 0)
      frames = std::max<int64_t>(0, frames - stream_->codecpar->initial_padding);
    info_.length_frames = frames;
    // Containers that store sample counts (MP4 edit lists, Ogg granules)
    // tell it exactly; a duration estimated from the bitrate does not.
    info_.length_exact = frames >= 0 && format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE &&
                         strcmp(format_->iformat->name, "aac") != 0 && strcmp(format_->iformat->name, "asf") != 0;
  }

  std::string url_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  SwrContext* swr_ = nullptr;
  int swr_format_ = -1;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int stream_index_ = -1;
  int channels_ = 0;
  int rate_ = 0;
  bool have_first_ = false;
  bool resync_ = false;
  int64_t first_pts_samples_ = 0;
  int64_t origin_ = 0;
  int64_t next_index_ = 0;
  std::vector<float> pending_;
  int64_t pending_index_ = 0;   // frame index of pending_[0]
  int64_t pending_frames_ = 0;
  int64_t pending_pos_ = 0;
  int64_t pos_ = 0;
  bool eof_ = false;
  bool sent_eof_ = false;
};

}  // namespace

std::unique_ptr<Decoder> OpenFfmpegDecoder(const std::string& path, int* error) {
  av_log_set_level(AV_LOG_QUIET);
  auto dec = std::make_unique<FfmpegDecoder>();
  int rc = dec->Open(path);
  if (rc != kErrorOk) {
    *error = rc;
    return nullptr;
  }
  return dec;
}

}  // namespace qv3::audio_internal
