// Output devices that drive the mixer: PortAudio (reaching the sound server
// through ALSA's default device), the null device that consumes audio at
// real time, and the manual clock tests advance themselves.
#ifndef QV3_AUDIOLIB_OUTPUT_DEVICE_H_
#define QV3_AUDIOLIB_OUTPUT_DEVICE_H_

#include <cstdint>
#include <memory>

#include "audiolib/mixer.h"

namespace qv3::audio_internal {

class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  // Opens the device; *rate receives the rate it really runs at. Returns an
  // error code (0 on success).
  virtual int Open(int device, uint32_t wished_rate, uint32_t* rate) = 0;
  // Output latency in frames that positions account for.
  virtual uint32_t LatencyFrames() const = 0;
  virtual Mixer::Clock clock() const = 0;
  virtual bool Start(Mixer* mixer) = 0;
  virtual void Stop() = 0;
};

std::unique_ptr<OutputDevice> MakeNullDevice();
std::unique_ptr<OutputDevice> MakePortAudioDevice();

// Plausibility of the device's timestamps: the callback's "current time" and
// "DAC time" must be finite, advance, and differ by less than a second;
// otherwise the CPU clock and the reported latency stand in.
struct TimestampCheck {
  double last_current = -1.0;
  int stuck = 0;
  // Returns the latency in seconds to use for this block.
  double Latency(double current, double dac, double fallback_latency);
};

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_OUTPUT_DEVICE_H_
