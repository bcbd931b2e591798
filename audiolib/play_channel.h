// Playable channels: push streams (a queue written by StreamPutData) and
// file streams (a decoder feeding a ring buffer from its own thread). The
// mixer pulls both through MixInto; everything it touches is preallocated.
//
// Ownership of the mixer-side state (read position, resampler, ramps) is
// the mixer's. An ordinary thread that must change it raises hold_, waits
// for the mixer's quiescence, changes it and lowers hold_ again. Mix-time
// sync procedures run inside MixInto and change it directly.
#ifndef QV3_AUDIOLIB_PLAY_CHANNEL_H_
#define QV3_AUDIOLIB_PLAY_CHANNEL_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audiolib/channel.h"
#include "audiolib/decoder.h"
#include "audiolib/mixer.h"
#include "audiolib/push_queue.h"
#include "audiolib/resampler.h"

namespace qv3::audio_internal {

class PlayChannel : public Channel {
 public:
  // A push stream.
  PlayChannel(AudioHandle handle, Mixer* mixer, uint32_t rate, uint32_t chans, uint32_t flags);
  // A file stream playing through the mixer.
  PlayChannel(AudioHandle handle, Mixer* mixer, std::unique_ptr<Decoder> decoder, uint32_t flags,
              std::string filename);
  ~PlayChannel() override;

  // Allocates the buffers and starts the feeder; false when out of memory.
  bool Start();
  // Stops the feeder; the channel must already be out of the mixer.
  void Shutdown();

  // API side (under mu()).
  uint32_t PutData(const void* buffer, uint32_t length, int* err);
  bool Play(bool restart, int* err);
  bool Pause(int* err);
  bool Stop(int* err);
  uint32_t IsActive() const;
  uint64_t PositionBytes() const;
  uint64_t LengthBytes(int* err) const;
  bool SetPositionFrame(int64_t frame, int* err);
  uint32_t QueuedBytes() const;
  uint64_t FilePosition(uint32_t mode, int* err) const;
  bool SetAttribute(uint32_t attrib, float value, uint32_t time_ms, int* err) override;
  bool GetAttribute(uint32_t attrib, float* value, int* err) const override;
  bool IsSliding(uint32_t attrib) const override;

  // From a mix-time sync procedure of this channel (mixer thread).
  bool MixerSetPositionFrame(int64_t frame, int* err);
  bool MixerPause();
  bool MixerPlay();

  // Real time: adds this channel's next `frames` device frames to `out`.
  void MixInto(float* out, uint32_t frames, int64_t device_frame);

 protected:
  void WaitReaders() override;

 private:
  struct AttrCommand {
    std::atomic<float> target{0.0f};
    std::atomic<uint32_t> frames{0};
    std::atomic<uint32_t> seq{0};
    std::atomic<float> now{0.0f};
    std::atomic<bool> sliding{false};
  };
  struct Ramp {
    // Double precision: a float sum of thousands of steps drifts audibly
    // off the line and ends with a step.
    double cur = 0.0;
    double target = 0.0;
    double step = 0.0;
    uint32_t remaining = 0;
    uint32_t seen_seq = 0;
  };

  void Hold();
  void Release();
  void ResetMixerSide(int64_t position);
  void PickUpRamp(AttrCommand& cmd, Ramp& ramp);
  uint32_t Render(uint32_t frames);
  uint32_t Pull(float* dst, uint32_t frames);
  uint32_t ReadRaw(uint8_t* dst, uint32_t frames, bool* ended);
  bool FireSyncsAt(int64_t frame, bool* jumped);
  void FireEndSyncs();
  void FireSync(const SyncEntry& s, uint32_t data);
  bool Ended() const;

  // File ring (file streams).
  void FeederLoop();
  int64_t FillRing(int64_t max_frames);  // under dec_mu_
  void SeekFeeder(int64_t frame);         // under dec_mu_, mixer held

  Mixer* const mixer_;
  std::atomic<uint32_t> state_{kActiveStopped};
  std::atomic<bool> hold_{false};

  // Push queue.
  PushQueue queue_;
  std::atomic<int64_t> end_total_{-1};  // bytes at the end mark, -1 before it
  std::vector<uint8_t> partial_;         // bytes of an incomplete frame
  std::vector<float> sanitize_;

  // File ring.
  std::unique_ptr<Decoder> decoder_;
  std::mutex dec_mu_;
  std::condition_variable feeder_cv_;
  std::thread feeder_;
  bool feeder_quit_ = false;
  int64_t ring_frames_ = 0;
  int64_t history_frames_ = 0;
  std::vector<float> ring_;
  std::vector<float> fill_buf_;
  std::atomic<int64_t> ring_base_{0};
  std::atomic<int64_t> ring_end_{0};
  std::atomic<int64_t> eof_frame_{-1};
  std::atomic<uint32_t> seek_gen_{0};
  std::atomic<uint32_t> seek_ack_{0};
  std::atomic<int64_t> seek_target_{0};

  // Mixer side.
  std::atomic<int64_t> read_pos_{0};       // next stream frame to read
  std::atomic<int64_t> segment_start_{0};  // position of the last discontinuity
  std::atomic<int64_t> last_mix_end_{0};   // device frame after this channel's last mixed frame
  bool jumped_ = false;
  Resampler resampler_;
  uint32_t pull_max_ = 0;
  std::vector<uint8_t> raw_;
  std::vector<float> pull_buf_;
  std::vector<float> mix_buf_;
  std::vector<float> scratch_;
  AttrCommand vol_cmd_, pan_cmd_;
  Ramp vol_ramp_, pan_ramp_;
};

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_PLAY_CHANNEL_H_
