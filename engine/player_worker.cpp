// AudioPlayer's transport: play, the render worker and its ending, the 50 ms
// timer, pause, stop, positions, pitch and tempo.
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/audio_player.h"

namespace qv3 {
namespace {

// The worker renders ahead at a lowered priority so it never starves the
// user interface or the audio library's threads. Linux nice values are per
// thread; an unprivileged thread can lower its own priority.
void LowerThisThreadPriority() {
  pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  errno = 0;
  int nice_now = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (nice_now == -1 && errno != 0) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(19, nice_now + 5));
}

constexpr auto kEndingFade = std::chrono::milliseconds(100);
constexpr uint32_t kEndingFadeMs = 100;
constexpr auto kQueuePoll = std::chrono::milliseconds(20);

}  // namespace

void AudioPlayer::SetProcessing(int quality, int mode) {
  processing_quality_ = quality;
  processing_mode_ = mode;
}

int AudioPlayer::SetPitch(double semitones) {
  if (!(semitones >= -24.0 && semitones <= 24.0)) return 0;
  pitch_factor_ = TimePitchPitchFactor(semitones);
  return 1;
}

int AudioPlayer::SetTempo(double percent) {
  if (!(percent >= 10.0 && percent <= 400.0)) return 0;
  time_factor_ = 1.0 / (percent / 100.0);
  return 1;
}

void AudioPlayer::StopWorker() {
  if (!worker_running_.load()) return;
  stop_event_.Set();
  done_event_.Wait();
  stop_event_.Reset();
  done_event_.Reset();
  if (worker_.joinable()) worker_.join();
  worker_running_.store(0);
}

bool AudioPlayer::BuildProcessor() {
  PlayerStream& s = *stream_;
  if (s.processor) ops_.destroy(s.processor);
  s.processor = ops_.create(processing_mode_, processing_quality_,
                            static_cast<int>(s.channel_info.chans),
                            static_cast<float>(s.channel_info.freq), PlayerSourceRead, &s);
  return s.processor != nullptr;
}

int AudioPlayer::Play(int64_t position) {
  if (!Open()) return 0;
  PlayerStream& s = *stream_;
  // Play from 0 while already playing is ignored unless a restart is asked for.
  if (!restart_requested_.load() && position == 0 &&
      ChannelIsActive(s.output_stream) == kActivePlaying) {
    return 0;
  }
  StopWorker();
  worker_running_.store(1);
  stop_event_.Reset();
  done_event_.Reset();

  ops_.reset(true, s.processor);
  if (recreate_processor_.exchange(0)) BuildProcessor();  // a failure ends the worker at once

  const int64_t frame_bytes = int64_t{s.channel_info.chans} * 4;
  int64_t length = static_cast<int64_t>(ChannelGetLength(s.decode_stream, kPosByte));
  if (length < 0) length = 0;
  position = std::clamp<int64_t>(position, 0, length);

  int64_t preroll = 0;
  if (s.processor) {
    ops_.set_property(kTimePitchPitchFactor, pitch_factor_, s.processor);
    ops_.set_property(kTimePitchTimeFactor, time_factor_, s.processor);
    // Frames before the start prime the processor's analysis, so the first
    // block comes out at full level instead of fading in.
    if (ops_.preroll_frames) {
      preroll = std::min<int64_t>(ops_.preroll_frames(s.processor), position / frame_bytes);
      if (preroll > 0) ops_.set_property(kTimePitchPreroll, static_cast<double>(preroll), s.processor);
    }
  }
  play_time_factor_ = time_factor_;

  ChannelStop(s.output_stream);
  start_position_ = position;
  ChannelStop(s.decode_stream);
  ChannelSetPosition(s.decode_stream, static_cast<uint64_t>(position - preroll * frame_bytes),
                     kPosByte);

  s.samples_pushed.store(0);
  // Progress counts source frames from here to the end. Source bytes are
  // float bytes (channels x 4 per frame), whatever the file's resolution.
  s.remaining_count = std::max<int64_t>(1, (length - position) / frame_bytes);
  worker_result_.store(0);
  worker_ = std::thread([this] { WorkerMain(); });

  ChannelPlay(s.output_stream, false);

  SetTimerHold(true);
  timer_.Kill();
  timer_.Start(kPlayerTimerPeriod, [this] { TimerTick(); });
  SetTimerHold(false);
  return 1;
}

bool AudioPlayer::WaitForQueueRoom(uint32_t bytes) {
  const PlayerStream& s = *stream_;
  const double bytes_per_second = static_cast<double>(s.channel_info.freq) * s.channel_info.chans * 2.0;
  const uint64_t limit = std::max<uint64_t>(
      uint64_t{bytes}, static_cast<uint64_t>(render_ahead_seconds_.load() * bytes_per_second));
  for (;;) {
    uint32_t queued = ChannelGetData(s.output_stream, nullptr, kDataAvailable);
    if (queued == kDataError || uint64_t{queued} + bytes <= limit) return true;
    if (stop_event_.WaitFor(kQueuePoll)) return false;
  }
}

void AudioPlayer::WorkerMain() {
  last_posted_percent_.store(-1);
  progress_percent_.store(0);
  PlayerStream& s = *stream_;
  const int ch = static_cast<int>(s.channel_info.chans);
  const double expected_frames = static_cast<double>(s.remaining_count) * play_time_factor_;

  while (!stop_event_.IsSet()) {
    int count = s.processor ? ops_.process(s.processed_buffers, kPlayerBlockFrames, s.processor)
                            : 0;
    if (stop_event_.IsSet()) break;
    if (count <= 0) {
      progress_percent_.store(100);
      last_posted_percent_.store(100);
      Notify(kPlayerNotifyProgress, 100);
      EndingSequence(false);
      worker_result_.store(kWorkerReachedEnd);
      done_event_.Set();
      return;
    }
    count = std::min(count, kPlayerBlockFrames);
    uint64_t pushed = s.samples_pushed.load() + uint64_t(ch) * uint64_t(count);
    s.samples_pushed.store(pushed);
    ConvertToPcm16(s.processed_buffers, ch, count, s.output_buffer);
    if (stop_event_.IsSet()) break;
    const uint32_t bytes = static_cast<uint32_t>(ch * count * 2);
    if (!WaitForQueueRoom(bytes)) break;
    StreamPutData(s.output_stream, s.output_buffer, bytes);
    // The first block is what the user waits for after pressing Play; it
    // renders at normal priority. Rendering ahead after it runs lowered.
    if (pushed == uint64_t(ch) * uint64_t(count)) LowerThisThreadPriority();

    // 0..99 while rendering (normalised to output frames of this play);
    // exactly 100 is posted only at the end.
    double frames_out = static_cast<double>(pushed) / ch;
    int percent = static_cast<int>(std::min(99.0, frames_out * 100.0 / expected_frames));
    progress_percent_.store(percent);
    if (percent != last_posted_percent_.load()) {
      last_posted_percent_.store(percent);
      Notify(kPlayerNotifyProgress, percent);
    }
  }
  EndingSequence(true);
  worker_result_.store(kWorkerStopped);
  done_event_.Set();
}

void AudioPlayer::EndingSequence(bool stopping) {
  const StreamHandle out = stream_->output_stream;
  // The fade acts on what is audible now. When stopping that is what the
  // user hears end; at a natural end the queue may run for many seconds
  // more, so fading there would dip the song mid-way: only mark the end.
  if (stopping) {
    ChannelSlideAttribute(out, kAttribVol, 0.0f, kEndingFadeMs);
    std::this_thread::sleep_for(kEndingFade);
    // The slide runs in the mixer's time: when output lags the wall clock,
    // wait (bounded) until the fade has been heard, so Stop never cuts it.
    for (int i = 0; i < 40 && ChannelIsSliding(out, kAttribVol); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  StreamPutData(out, nullptr, kStreamEnd);
  if (stopping) ChannelSlideAttribute(out, kAttribVol, volume_.load(), kEndingFadeMs);
}

void AudioPlayer::TimerTick() {
  if (TimerHold()) return;
  Notify(kPlayerNotifyTick, 0);
  StreamHandle out = stream_->output_stream;
  if (out && !restart_requested_.load()) {
    int state = static_cast<int>(ChannelIsActive(out));
    if (state != last_output_state_.load()) {
      last_output_state_.store(state);
      Notify(kPlayerNotifyState, state);
    }
  }
}

int AudioPlayer::PauseToggle() {
  if (!Open()) return 0;
  StreamHandle out = stream_->output_stream;
  if (ChannelIsActive(out) == kActivePlaying) {
    SetTimerHold(true);
    ChannelPause(out);
  } else {
    SetTimerHold(false);
    ChannelPlay(out, false);
  }
  return 1;
}

void AudioPlayer::StopPlayback() {
  PlayerStream& s = *stream_;
  SetTimerHold(true);
  timer_.Kill();
  StopWorker();
  if (s.decode_stream) ChannelSetPosition(s.decode_stream, 0, kPosByte);
  if (s.output_stream) ChannelStop(s.output_stream);
  start_position_ = 0;
  SetTimerHold(false);
}

int AudioPlayer::Stop() {
  if (!Open()) return 0;
  StopPlayback();
  return 1;
}

int64_t AudioPlayer::Position() const {
  if (!Open()) return 0;
  uint64_t out = ChannelGetPosition(stream_->output_stream, kPosByte);
  if (out == kPositionError) out = 0;
  // 16-bit output bytes x 2 = float bytes; divided by the time factor maps
  // output time back to source time. The pitch factor does not enter.
  return static_cast<int64_t>(static_cast<double>(out) * 2.0 / play_time_factor_ +
                              static_cast<double>(start_position_));
}

double AudioPlayer::PositionSeconds() const {
  if (!Open()) return 0.0;
  return BytesToSeconds(Position());
}

}  // namespace qv3
