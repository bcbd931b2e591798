#include "editing/export_render.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "audiolib/audiolib.h"
#include "platform/ui_services.h"
#include "stretch/time_pitch_processor.h"

namespace qv3 {
namespace {

// The export stream: the decoding stream inside its tempo wrapper.
class ExportStream {
 public:
  ~ExportStream() {
    if (tempo_) {
      StreamFree(tempo_);  // frees the source with it
    } else if (source_) {
      StreamFree(source_);
    }
  }
  bool Open(const std::string& audio_path) {
    source_ = StreamCreateFile(audio_path.c_str(), 0, 0,
                               kStreamDecode | kSampleFloat | kStreamPrescan);
    if (!source_) {
      MessageBoxF("Can't open file: \"%s\"", audio_path.c_str());
      return false;
    }
    tempo_ = TempoCreate(source_, kStreamDecode | kSampleFloat | kFxFreeSource);
    if (!tempo_) {
      MessageBoxF("Can't create FX for: \"%s\"", audio_path.c_str());
      return false;
    }
    ChannelInfo info{};
    ChannelGetInfo(tempo_, &info);
    rate_ = static_cast<int>(info.freq);
    channels_ = static_cast<int>(info.chans);
    const uint64_t bytes = ChannelGetLength(tempo_, kPosByte);
    frames_ = bytes == kPositionError ? 0 : static_cast<int64_t>(bytes / FrameBytes());
    return rate_ > 0 && channels_ > 0;
  }
  bool Seek(int64_t frame) {
    return ChannelSetPosition(tempo_, static_cast<uint64_t>(frame) * FrameBytes(), kPosByte);
  }
  // Reads up to `frames` interleaved frames; the frames read, 0 at the end.
  int Read(float* interleaved, int frames) {
    int done = 0;
    while (done < frames) {
      const uint32_t want = static_cast<uint32_t>(frames - done) * FrameBytes();
      const uint32_t got = ChannelGetData(
          tempo_, interleaved + static_cast<size_t>(done) * channels_, want | kDataFloat);
      if (got == kDataError || got == 0) break;
      done += static_cast<int>(got / FrameBytes());
    }
    return done;
  }
  StreamHandle handle() const { return tempo_; }
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  int64_t frames() const { return frames_; }

 private:
  uint32_t FrameBytes() const { return static_cast<uint32_t>(channels_) * sizeof(float); }
  StreamHandle source_ = 0;
  StreamHandle tempo_ = 0;
  int rate_ = 0;
  int channels_ = 0;
  int64_t frames_ = 0;
};

// The processor's input: the stream from the section's start (or its
// pre-roll) up to the section's end frame and no further, so the next
// section finds the stream where it starts.
struct ProcessorFeed {
  ExportStream* stream = nullptr;
  int64_t remaining = 0;
  std::vector<float> interleaved;
};

int ReadFeed(float** buffers, int frames, void* user) {
  auto* feed = static_cast<ProcessorFeed*>(user);
  const int channels = feed->stream->channels();
  const int cap = static_cast<int>(feed->interleaved.size()) / channels;
  int done = 0;
  while (done < frames && feed->remaining > 0) {
    const int want =
        static_cast<int>(std::min<int64_t>({frames - done, cap, feed->remaining}));
    const int got = feed->stream->Read(feed->interleaved.data(), want);
    if (got <= 0) {
      feed->remaining = 0;
      break;
    }
    for (int i = 0; i < got; ++i) {
      for (int c = 0; c < channels; ++c) {
        buffers[c][done + i] = feed->interleaved[static_cast<size_t>(i) * channels + c];
      }
    }
    done += got;
    feed->remaining -= got;
  }
  return done;
}

class SectionRenderer {
 public:
  SectionRenderer(ExportStream* stream, ExportOutput* output, double volume, int mode,
                  double expected, const std::string& audio_path)
      : stream_(stream),
        output_(output),
        volume_(static_cast<float>(volume)),
        mode_(mode),
        expected_(expected),
        audio_path_(audio_path),
        block_(static_cast<size_t>(stream->rate()) * stream->channels()) {}

  // False when the output failed (already reported) or the processor could
  // not be made.
  bool Render(const ExportSection& s) {
    return s.straight() ? Straight(s) : Processed(s);
  }
  int64_t frames_written() const { return frames_written_; }

 private:
  bool Straight(const ExportSection& s) {
    if (!stream_->Seek(s.start_frame)) return true;  // beyond the end: nothing to read
    int64_t left = s.end_frame - s.start_frame;
    while (left > 0) {
      const int want = static_cast<int>(std::min<int64_t>(stream_->rate(), left));
      const int got = stream_->Read(block_.data(), want);
      if (got <= 0) break;
      if (!Emit(got)) return false;
      left -= got;
    }
    return true;
  }

  bool Processed(const ExportSection& s) {
    const int channels = stream_->channels();
    ProcessorFeed feed;
    feed.stream = stream_;
    feed.interleaved.resize(static_cast<size_t>(16384) * channels);
    TimePitchProcessor* tp = TimePitchCreate(mode_, kTimePitchQuality, channels,
                                             static_cast<float>(stream_->rate()), ReadFeed, &feed);
    if (!tp) {
      MessageBoxF("Can't create FX for: \"%s\"", audio_path_.c_str());
      return false;
    }
    TimePitchSetProperty(kTimePitchPitchFactor, TimePitchPitchFactor(s.pitch / 100.0), tp);
    TimePitchSetProperty(kTimePitchTimeFactor, TimePitchTimeFactor(s.tempo / 100.0), tp);
    // Frames before the start prime the analysis so the section starts at
    // full level; they produce no output.
    const int64_t preroll =
        std::min<int64_t>(TimePitchPrerollFrames(tp), s.start_frame);
    if (preroll > 0) TimePitchSetProperty(kTimePitchPreroll, static_cast<double>(preroll), tp);
    stream_->Seek(s.start_frame - preroll);
    feed.remaining = preroll + (s.end_frame - s.start_frame);

    float** planar = AllocPlanarBuffers(channels, stream_->rate());
    int64_t left = ExportOutputFrames(s);
    bool ok = true;
    while (left > 0) {
      const int want = static_cast<int>(std::min<int64_t>(stream_->rate(), left));
      const int got = TimePitchProcess(planar, want, tp);
      if (got <= 0) {
        // The held audio ran out early: the section is filled with silence.
        for (int c = 0; c < channels; ++c) std::memset(planar[c], 0, sizeof(float) * want);
      }
      for (int i = 0; i < want; ++i) {
        for (int c = 0; c < channels; ++c) {
          block_[static_cast<size_t>(i) * channels + c] = planar[c][i];
        }
      }
      if (!Emit(want)) {
        ok = false;
        break;
      }
      left -= want;
    }
    FreePlanarBuffers(planar, channels);
    TimePitchDestroy(tp);
    return ok;
  }

  bool Emit(int frames) {
    const size_t count = static_cast<size_t>(frames) * stream_->channels();
    for (size_t i = 0; i < count; ++i) block_[i] *= volume_;
    if (!output_->Write(block_.data(), static_cast<size_t>(frames))) return false;
    frames_written_ += frames;
    const double written = static_cast<double>(frames_written_) * stream_->channels();
    const double percent = expected_ > 0.0 ? written / expected_ * 100.0 : 100.0;
    Ui().SetStatusText(StringPrintf(kExportProgressFormat, percent));
    Ui().ProcessPendingEvents();
    return true;
  }

  ExportStream* stream_;
  ExportOutput* output_;
  float volume_;
  int mode_;
  double expected_;
  const std::string& audio_path_;
  std::vector<float> block_;
  int64_t frames_written_ = 0;
};

}  // namespace

ExportResult ExportToFile(const std::string& path, int scope, const ExportSong& song,
                          ExportDialogs* dialogs, const ExportTools& tools,
                          const std::function<void()>& complete, ExportStats* stats) {
  ExportStream stream;
  if (!stream.Open(song.audio_path)) return ExportResult::kFailed;
  const std::vector<ExportSection> sections =
      PlanExportSections(song, scope, stream.rate(), stream.frames());
  const double expected = ExportExpectedSamples(sections, stream.channels());
  if (song.attach_effects) song.attach_effects(stream.handle());
  const double volume =
      song.volume_factor >= 0.0 ? song.volume_factor : ExportVolumeFactor(song.volume_slider);

  std::unique_ptr<ExportOutput> output;
  switch (OpenExportOutput(path, stream.rate(), stream.channels(), dialogs, tools, &output)) {
    case ExportOpenOutcome::kCancelled:
      return ExportResult::kCancelled;
    case ExportOpenOutcome::kFailed:
      return ExportResult::kFailed;
    case ExportOpenOutcome::kOpened:
      break;
  }
  SectionRenderer renderer(&stream, output.get(), volume, song.processor_mode, expected,
                           song.audio_path);
  for (const ExportSection& s : sections) {
    if (!renderer.Render(s)) {
      output->Abandon();
      return ExportResult::kFailed;
    }
  }
  if (!output->Close()) return ExportResult::kFailed;
  if (stats) {
    stats->sample_rate = stream.rate();
    stats->channels = stream.channels();
    stats->frames_written = renderer.frames_written();
    stats->expected_samples = expected;
  }
  if (complete) complete();
  return ExportResult::kDone;
}

}  // namespace qv3
