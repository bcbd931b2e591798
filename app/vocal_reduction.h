// Vocal reduction: cancels what both channels of a stereo mix share (the
// centre, where a lead vocal usually sits). Level a = 0 .. 256, 0 is off;
// every frame becomes out = ((256 - a) x L - a x R) / 512 on both channels,
// so a = 128 gives (L - R) / 4.
//
// It runs as a DSP procedure on the playing output (16-bit samples) and on an
// export stream (float samples), with a priority above the equaliser's so it
// sees the mix before the equaliser changes it. Mono channels are left alone:
// the formula needs (L, R) pairs and would mix neighbouring samples.
#ifndef QV3_APP_VOCAL_REDUCTION_H_
#define QV3_APP_VOCAL_REDUCTION_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "audiolib/audiolib.h"

namespace qv3 {

inline constexpr int kVocalReductionMax = 256;
inline constexpr int kVocalReductionDspPriority = 2;
inline constexpr int kVocalReductionPageSize = 10;

// Slider position (0 .. 256, top to bottom) <-> level: position = 256 - level.
int VocalReductionSliderPosition(int level);
int VocalReductionLevelFromSlider(int position);
// " Off " at level 0, otherwise " %d " with the level.
std::string VocalReductionLabel(int level);

// In place on interleaved stereo frames. The 16-bit form computes in
// integers with an arithmetic shift by 9, reading `level` once per frame so
// a slider move takes effect mid-block.
void VocalReduceInt16(int16_t* samples, size_t frames, const std::atomic<int>& level);
void VocalReduceFloat(float* samples, size_t frames, int level);

// The level, the DSP installed on the output channel, and the installation
// on export streams. GUI thread only (the DSP itself runs on the library's
// mixing thread and reads the level atomically).
class VocalReduction {
 public:
  VocalReduction() = default;
  ~VocalReduction();
  VocalReduction(const VocalReduction&) = delete;
  VocalReduction& operator=(const VocalReduction&) = delete;

  // The output channel was (re)created: the DSP moves from the previous
  // channel to `channel` when the level is on. 0 forgets the channel.
  void SetChannel(StreamHandle channel);
  // Stores the level (clamped to 0 .. 256); below 1 removes the DSP from the
  // output channel, otherwise installs it there once.
  void SetLevel(int level);

  // Installs the DSP (priority 2) on another stream, e.g. an export stream of
  // float samples, when the level is on and the stream is stereo. The
  // procedure reads this object's level, so it must outlive the stream.
  // Returns the DSP handle, or 0 when nothing was installed.
  DspHandle InstallOn(StreamHandle stream) const;

  int level() const { return level_.load(std::memory_order_relaxed); }
  bool installed() const { return dsp_ != 0; }
  StreamHandle channel() const { return channel_; }

 private:
  void Install();
  void Remove();

  std::atomic<int> level_{0};
  StreamHandle channel_ = 0;
  DspHandle dsp_ = 0;
};

}  // namespace qv3

#endif  // QV3_APP_VOCAL_REDUCTION_H_
