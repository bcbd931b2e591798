#include "notefinder/note_finder.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace qv3 {

int SecondsToFrames(double seconds, int rate) {
  const double frames = std::trunc(seconds * rate);
  if (!(frames > 0.0)) return 0;  // also NaN
  if (frames >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int>(frames);
}

NoteFinder::~NoteFinder() { FreeStream(); }

std::string NoteFinder::FormatSeconds(double seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7f", seconds);
  return buf;
}

std::string NoteFinder::FormatFrames(int frames) { return std::to_string(frames); }

void NoteFinder::SetSampleRate(int rate) {
  sample_rate_ = rate > 0 ? rate : kDefaultSampleRate;
  if (on_change_) on_change_();
}

void NoteFinder::SetStart(double seconds) {
  start_seconds_ = seconds;
  start_frame_.store(SecondsToFrames(seconds, sample_rate_), std::memory_order_relaxed);
  if (on_change_) on_change_();
  Restart();
}

void NoteFinder::SetDuration(double seconds) {
  duration_seconds_ = seconds;
  duration_frames_ = SecondsToFrames(seconds, sample_rate_);
  if (on_change_) on_change_();
  Restart();
}

void NoteFinder::SetDurationFrames(int frames) {
  duration_frames_ = frames > 0 ? frames : 0;
  duration_seconds_ = static_cast<double>(duration_frames_) / sample_rate_;
  if (on_change_) on_change_();
  Restart();
}

void NoteFinder::SetAutoRepeat(bool on) {
  auto_repeat_.store(on, std::memory_order_relaxed);
  if (on) {
    Restart();
    return;
  }
  if (stream_ == 0) return;
  ChannelPause(stream_);
  if (sync_ != 0) ChannelRemoveSync(stream_, sync_);
  sync_ = 0;
}

bool NoteFinder::OpenStream(const std::string& path) {
  FreeStream();
  const StreamHandle stream = StreamCreateFile(path.c_str(), 0, 0, 0);
  if (stream == 0) {
    (void)ErrorGetCode();  // the window opens silent, without a message
    return false;
  }
  ChannelInfo info{};
  if (!ChannelGetInfo(stream, &info) || info.chans == 0) {
    StreamFree(stream);
    return false;
  }
  stream_ = stream;
  info_ = info;
  const uint32_t sample_bytes = (info.flags & kSampleFloat) ? 4u : 2u;
  bytes_per_frame_ = sample_bytes * info.chans;
  if (on_change_) on_change_();
  Restart();
  ChannelPlay(stream_, false);
  return true;
}

void NoteFinder::FreeStream() {
  if (stream_ == 0) return;
  StreamFree(stream_);  // removes the sync with it
  stream_ = 0;
  sync_ = 0;
  bytes_per_frame_ = 0;
  info_ = ChannelInfo{};
}

void NoteFinder::Restart() {
  if (stream_ == 0) return;
  ChannelPause(stream_);
  if (sync_ != 0) ChannelRemoveSync(stream_, sync_);
  sync_ = 0;
  const uint64_t start = static_cast<uint64_t>(start_frame()) * bytes_per_frame_;
  const uint64_t end = (static_cast<uint64_t>(start_frame()) + static_cast<uint64_t>(duration_frames_)) *
                       bytes_per_frame_;
  ChannelSetPosition(stream_, start, kPosByte);
  sync_ = ChannelSetSync(stream_, kSyncPos | kSyncMixtime, end, &NoteFinder::EndOfSlice, this);
  ChannelPlay(stream_, false);
}

void NoteFinder::EndOfSlice(SyncHandle, StreamHandle channel, uint32_t, void* user) {
  auto* self = static_cast<NoteFinder*>(user);
  if (!self->auto_repeat_.load(std::memory_order_relaxed)) ChannelPause(channel);
  const uint64_t start = static_cast<uint64_t>(self->start_frame_.load(std::memory_order_relaxed)) *
                         self->bytes_per_frame_;
  ChannelSetPosition(channel, start, kPosByte);
}

void NoteFinderSession::Open(NoteFinder* finder, int engine_rate, double start_seconds,
                             const std::string& audio_path) {
  open_ = true;
  finder->SetSampleRate(engine_rate);
  finder->SetStart(start_seconds);
  finder->SetDuration(remembered_duration_);
  finder->OpenStream(audio_path);
}

void NoteFinderSession::Close(NoteFinder* finder) {
  remembered_duration_ = finder->duration_seconds();
  finder->FreeStream();
  open_ = false;
}

bool NoteFinderSession::Click(NoteFinder* finder, double ms, double song_length_seconds, double* seconds) {
  if (!open_) return false;
  const double at = ms / 1000.0;
  if (!(at >= 0.0 && at <= song_length_seconds)) return false;
  finder->SetStart(at);
  if (seconds) *seconds = at;
  return true;
}

}  // namespace qv3
