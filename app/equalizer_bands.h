// The nine equaliser bands and the parametric-equaliser effects that carry
// them on an audio channel. Band 0 is the lowest (leftmost slider). A band's
// slider position runs -15 .. 15 and its gain in dB is minus the position.
#ifndef QV3_APP_EQUALIZER_BANDS_H_
#define QV3_APP_EQUALIZER_BANDS_H_

#include <array>

#include "audiolib/audiolib.h"

namespace qv3 {

inline constexpr int kEqBandCount = 9;
inline constexpr int kEqSliderMin = -15;
inline constexpr int kEqSliderMax = 15;
inline constexpr float kEqBandwidthSemitones = 12.0f;
inline constexpr int kEqFxPriority = 0;
// The top band; each lower band halves it, never going below the floor.
inline constexpr float kEqTopCentreHz = 16000.0f;
inline constexpr float kEqFloorHz = 80.0f;

using EqGains = std::array<int, kEqBandCount>;            // dB, band 0 first
using EqSliderPositions = std::array<int, kEqBandCount>;  // -gain

// 80, 125, 250, 500, 1000, 2000, 4000, 8000, 16000 Hz.
const std::array<float, kEqBandCount>& EqBandCentres();
// "80", "125", "250", "500", "1K", "2K", "4K", "8K", "16K".
const char* EqBandLabel(int band);

// A value clamped to the slider range (-15 .. 15).
int ClampEqValue(int value);

// Nine effects on one channel (the playing output, or an export stream). The
// object only keeps handles; the library owns the effects and frees them with
// the channel.
class EqualizerEffects {
 public:
  EqualizerEffects() = default;
  EqualizerEffects(const EqualizerEffects&) = delete;
  EqualizerEffects& operator=(const EqualizerEffects&) = delete;

  // Adds nine effects to `channel` with the given gains. Does not remove
  // effects from an earlier channel (Detach first). False when the library
  // refused any of them (those added stay).
  bool Add(StreamHandle channel, const EqGains& gains);
  // Removes the effects from the channel they were added to; harmless when
  // that channel is gone already.
  void Detach();
  // Reads the band's parameters, sets the gain and writes them back.
  bool SetGain(int band, int gain_db);
  // The band's gain as the library holds it (for tests and read-outs).
  float GetGain(int band) const;

  StreamHandle channel() const { return channel_; }
  bool attached() const { return channel_ != 0; }

 private:
  StreamHandle channel_ = 0;
  std::array<FxHandle, kEqBandCount> fx_{};
};

}  // namespace qv3

#endif  // QV3_APP_EQUALIZER_BANDS_H_
