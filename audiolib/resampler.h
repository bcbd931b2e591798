// Band-limited streaming sample-rate converter for the mixer: a windowed
// sinc (Kaiser window, 16 zero crossings a side) from a precomputed polyphase table with
// linear interpolation between phases. Buffers are allocated in Configure;
// Push/Produce never allocate, so the mixer can call them.
#ifndef QV3_AUDIOLIB_RESAMPLER_H_
#define QV3_AUDIOLIB_RESAMPLER_H_

#include <cstdint>
#include <vector>

namespace qv3::audio_internal {

class Resampler {
 public:
  // max_push: the largest block Push will be given.
  void Configure(uint32_t in_rate, uint32_t out_rate, uint32_t channels, uint32_t max_push);
  void Reset();
  bool active() const { return in_rate_ != out_rate_; }
  // Room left for Push, in frames.
  uint32_t Room() const { return capacity_ - count_; }
  // Input frames that would let Produce deliver `out_frames` more frames.
  uint32_t InputNeeded(uint32_t out_frames) const;
  void Push(const float* in, uint32_t frames);
  // Produces up to max_frames interleaved frames; returns the count.
  uint32_t Produce(float* out, uint32_t max_frames);

  // Half the kernel length in input frames: 16 when upsampling, longer when
  // downsampling so the kernel keeps 16 zero crossings a side.
  int half_taps() const { return half_; }
  static constexpr int kMaxHalfTaps = 64;

 private:
  static constexpr int kPhases = 256;
  uint32_t in_rate_ = 0, out_rate_ = 0, channels_ = 0;
  int half_ = 16;
  double step_ = 1.0;     // input frames per output frame
  double pos_ = 0.0;      // input position of the next output, relative to buf_ frame 0
  uint32_t count_ = 0;    // frames held in buf_
  uint32_t capacity_ = 0;
  std::vector<float> buf_;
  std::vector<float> table_;  // (kPhases + 1) x (2 * kHalfTaps)
};

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_RESAMPLER_H_
