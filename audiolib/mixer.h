// The mixer: one real-time procedure that mixes every playing channel into
// the device's interleaved stereo float buffer at the device's rate. It
// reads only preallocated state (channel slots, push queues, file rings,
// copy-on-write chains) and takes no lock, allocates nothing and does no
// I/O. Ordinary threads that must change what the mixer reads first hide it
// (a per-channel hold flag or an unpublished pointer) and then wait for
// quiescence: the mixer's sequence counter is odd while a pass runs.
#ifndef QV3_AUDIOLIB_MIXER_H_
#define QV3_AUDIOLIB_MIXER_H_

#include <array>
#include <atomic>
#include <cstdint>

#include "audiolib/audiolib.h"

namespace qv3::audio_internal {

class PlayChannel;

struct SyncEvent {
  AudioHandle channel = 0;
  SyncHandle sync = 0;
  uint32_t data = 0;
};

class Mixer {
 public:
  static constexpr int kMaxChannels = 256;
  static constexpr uint32_t kMaxPeriod = 1024;  // frames per internal pass
  enum class Clock { kImmediate, kManual, kTimestamped };

  Mixer(uint32_t rate, Clock clock, uint32_t latency_frames);
  uint32_t rate() const { return rate_; }
  uint32_t latency_frames() const { return latency_frames_.load(std::memory_order_relaxed); }
  void set_latency_frames(uint32_t f) { latency_frames_.store(f, std::memory_order_relaxed); }

  bool Add(PlayChannel* ch);
  // Unpublishes the channel and waits until no pass uses it.
  void Remove(PlayChannel* ch);
  void WaitQuiescent() const;

  // Real-time: mixes `frames` frames (any count) into `out` (stereo float).
  void Mix(float* out, uint32_t frames);
  // Real-time: device timing of the block being mixed; dac_ns is when its
  // first frame reaches the speaker on the steady clock.
  void PublishTiming(int64_t block_start_frame, int64_t dac_ns);

  int64_t frames_mixed() const { return frames_mixed_.load(std::memory_order_acquire); }
  // Device frames heard by now (mixed minus what is still in the output).
  int64_t HeardFrameNow() const;

  // Non-mix-time sync calls, queued by the mixer for the sync thread.
  bool PostSync(const SyncEvent& ev);
  bool PopSync(SyncEvent* ev);

  static int64_t NowNs();

 private:
  void MixPass(float* out, uint32_t frames);

  const uint32_t rate_;
  const Clock clock_;
  std::atomic<uint32_t> latency_frames_;
  std::array<std::atomic<PlayChannel*>, kMaxChannels> slots_{};
  std::atomic<uint64_t> seq_{0};
  std::atomic<int64_t> frames_mixed_{0};
  // Seqlock around the timing of the last block.
  std::atomic<uint32_t> timing_seq_{0};
  std::atomic<int64_t> block_start_{0};
  std::atomic<int64_t> block_dac_ns_{0};
  // Sync event ring: the mixer writes, the sync thread reads.
  static constexpr uint32_t kSyncRing = 1024;
  std::array<SyncEvent, kSyncRing> sync_ring_{};
  std::atomic<uint32_t> sync_head_{0};
  std::atomic<uint32_t> sync_tail_{0};
};

// The channel whose mix-time sync is running on this thread, if any.
PlayChannel* CurrentMixtimeChannel();
void SetCurrentMixtimeChannel(PlayChannel* ch);
// True on the thread while a mixer pass runs (DSP procedures included).
bool InMixer();

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_MIXER_H_
