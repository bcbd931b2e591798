// The playback engine: opens the one song the main window plays and plays
// it through the time/pitch processor at the chosen tempo and pitch.
//
// The chain: a decoding stream on the song (float samples, never plays
// itself) -> the processor, pulling source frames through PlayerSourceRead ->
// the worker thread, which converts each 16384-frame block to 16 bits and
// queues it in a push stream the audio library plays at its own pace. The
// worker renders ahead of what is heard, so positions are read from the
// output stream and every change of tempo, pitch, mode or position is a new
// Play from a source position.
//
// Threads: every operation runs on the main thread. The worker (one at a
// time, lowered priority) and the 50 ms timer only post notifications to the
// owner. The worker is always joined, never abandoned: Play, Stop, close and
// destruction set the stop event and wait for its done event. Fields the
// other threads read are atomics; the processor, decode stream and buffers
// belong to the worker from Play's start of the worker until the next join
// and to the main thread otherwise.
//
// Source positions are byte offsets of the float decode stream (a frame is
// channels x 4 bytes).
#ifndef QV3_ENGINE_AUDIO_PLAYER_H_
#define QV3_ENGINE_AUDIO_PLAYER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "audiolib/audiolib.h"
#include "engine/player_event.h"
#include "engine/player_owner.h"
#include "engine/player_stream.h"
#include "engine/player_timer.h"
#include "engine/processor_ops.h"

namespace qv3 {

// Open source results.
inline constexpr int kPlayerOpenOk = 0;
inline constexpr int kPlayerAlreadyOpen = -2;
inline constexpr int kPlayerCannotDecode = -3;
inline constexpr int kPlayerBadChannels = -4;
inline constexpr int kPlayerNoProcessor = -5;

// Worker results.
inline constexpr int kWorkerReachedEnd = 1000;
inline constexpr int kWorkerStopped = 1001;

// Decoding flags of open: MP3 files are prescanned so seeking is exact.
inline constexpr uint32_t kPlayerDecodeFlags = kSampleFloat | kStreamDecode;
inline constexpr uint32_t kPlayerDecodeFlagsMp3 = kSampleFloat | kStreamDecode | kStreamPrescan;

// How far the worker may render ahead of what is heard. Without a bound a
// slow tempo would queue the rest of the song in memory (about 1 GB for ten
// minutes at 10 %); at the bound the worker waits for room or for Stop.
inline constexpr double kDefaultRenderAheadSeconds = 30.0;

// Output states (ChannelIsActive of the output stream).
inline constexpr int kOutputStopped = 0;
inline constexpr int kOutputPlaying = 1;
inline constexpr int kOutputStalled = 2;
inline constexpr int kOutputPaused = 3;

class AudioPlayer {
 public:
  // `owner` receives the notifications (not owned; may be nullptr). It must
  // outlive the player's worker: destroy or close the player first.
  explicit AudioPlayer(PlayerOwner* owner,
                       const ProcessorOps& processor_ops = DefaultProcessorOps());
  // Joins a running worker, kills the timer, forgets the owner (it is not
  // told about the closing) and closes the source.
  ~AudioPlayer();
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  // ---- Source ----
  // 0, or -2 already open, -3 cannot decode, -4 not mono or stereo, -5 no
  // processor. With `notify` posts 201 to the owner on success.
  int OpenSource(const std::string& path, int quality, int mode, bool notify);
  // Stops playback, frees everything of the source; 1 when one was open.
  int CloseSource();

  // ---- Accessors (neutral values while nothing is open) ----
  bool IsOpen() const;
  bool IsPlaying() const;
  bool IsPlayingOrStalled() const;
  bool IsPaused() const;
  bool IsStopped() const;
  int LastOutputState() const { return last_output_state_.load(std::memory_order_acquire); }
  int64_t LengthBytes() const;
  double LengthSeconds() const;
  double BytesToSeconds(int64_t bytes) const;
  int64_t SecondsToBytes(double seconds) const;
  uint32_t SampleRate() const;
  int64_t TotalFrames() const;

  // 0.0 .. 1.0; stored, and applied to the output when open.
  void SetVolume(float volume);
  float volume() const { return volume_.load(std::memory_order_acquire); }
  // Pan: right only +1, left only -1, neither 0; both set changes nothing.
  void SetChannelSolo(bool right_only, bool left_only);

  // ---- Transport ----
  // Used when the processor is next built (open, or a Play after
  // set_recreate_processor).
  void SetProcessing(int quality, int mode);
  // -24 .. +24 semitones: 1 and stored for the next Play; otherwise 0 and the
  // factor stays.
  int SetPitch(double semitones);
  // 10 .. 400 per cent: 1 and the time factor 100 / tempo stored for the next
  // Play; otherwise 0 and the factor stays.
  int SetTempo(double percent);
  // Plays from source byte `position`. 1 when playback (re)started; 0 when
  // nothing is open, or when asked to play from 0 while already playing and
  // no restart is requested.
  int Play(int64_t position);
  // Pauses a playing output (and holds the timer), otherwise resumes it. The
  // worker keeps rendering ahead while paused. 1, or 0 when not open.
  int PauseToggle();
  // Stops the worker, the timer and the output; the position returns to 0.
  // Takes at least the 100 ms fade of a running worker. 1, or 0 when not open.
  int Stop();
  // The source byte position being heard: output bytes x 2 / time factor of
  // the current play + its start position. 0 when not open.
  int64_t Position() const;
  double PositionSeconds() const;

  // The caller sets this around a Play that must restart even when already
  // playing (seeks, loop jumps); while set the timer reports no state changes.
  void set_restart_requested(bool on) { restart_requested_.store(on ? 1 : 0); }
  bool restart_requested() const { return restart_requested_.load() != 0; }
  // Set after changing the processing mode: the next Play rebuilds the processor.
  void set_recreate_processor(bool on) { recreate_processor_.store(on ? 1 : 0); }
  bool recreate_processor() const { return recreate_processor_.load() != 0; }

  // ---- Facts for the main window, tools and tests ----
  double pitch_factor() const { return pitch_factor_; }
  double time_factor() const { return time_factor_; }
  int processing_quality() const { return processing_quality_; }
  int processing_mode() const { return processing_mode_; }
  int64_t start_position() const { return start_position_; }
  int progress_percent() const { return progress_percent_.load(std::memory_order_acquire); }
  bool worker_running() const { return worker_running_.load() != 0; }
  // 1000 (reached the end) or 1001 (stopped) once the last worker finished; 0 before.
  int last_worker_result() const { return worker_result_.load(std::memory_order_acquire); }
  StreamHandle output_stream() const { return stream_->output_stream; }
  StreamHandle decode_stream() const { return stream_->decode_stream; }
  // Frames x channels queued in the output by the current worker.
  uint64_t samples_pushed() const { return stream_->samples_pushed.load(std::memory_order_acquire); }
  int64_t remaining_count() const { return stream_->remaining_count; }
  // Render-ahead bound in seconds of output (default 30; at least one block).
  void set_render_ahead_seconds(double seconds) { render_ahead_seconds_.store(seconds); }

 private:
  bool Open() const;
  // Kills the timer, joins the worker, rewinds and stops (Stop's work, also
  // done by close on a source left without a processor).
  void StopPlayback();
  void Notify(int code, int64_t value);
  // Asks a running worker to finish and joins it (play step 3).
  void StopWorker();
  bool BuildProcessor();
  void WorkerMain();
  // Waits until the output queue has room for `bytes`; false when stopped.
  bool WaitForQueueRoom(uint32_t bytes);
  void EndingSequence(bool stopping);
  void TimerTick();

  const ProcessorOps& ops_;
  ManualResetEvent stop_event_;
  ManualResetEvent done_event_;
  std::thread worker_;
  std::atomic<int> worker_running_{0};
  std::atomic<int> progress_percent_{0};
  std::atomic<int> last_posted_percent_{0};
  std::unique_ptr<PlayerStream> stream_;
  PlayerOwner* owner_ = nullptr;
  std::atomic<int> restart_requested_{0};
  std::atomic<int> recreate_processor_{0};
  std::atomic<float> volume_{1.0f};
  int processing_quality_ = 0;
  int processing_mode_ = 0;
  std::atomic<int> last_output_state_{0};
  int64_t start_position_ = 0;
  int64_t total_frames_ = 0;
  double pitch_factor_ = 1.0;
  double time_factor_ = 1.0;
  // The time factor the current play was started with (Position maps by it,
  // so a tempo set for the next play does not move the position now).
  double play_time_factor_ = 1.0;
  PeriodicTimer timer_;

  std::atomic<int> worker_result_{0};
  std::atomic<double> render_ahead_seconds_{kDefaultRenderAheadSeconds};
};

}  // namespace qv3

#endif  // QV3_ENGINE_AUDIO_PLAYER_H_
