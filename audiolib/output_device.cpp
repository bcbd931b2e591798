#include "audiolib/output_device.h"

#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "audiolib/audiolib.h"

namespace qv3::audio_internal {

double TimestampCheck::Latency(double current, double dac, double fallback_latency) {
  const bool finite = std::isfinite(current) && std::isfinite(dac);
  const double latency = dac - current;
  const bool advancing = current > last_current;
  if (finite) last_current = current;
  if (finite && current > 0.0 && advancing && latency >= 0.0 && latency < 1.0) {
    stuck = 0;
    return latency;
  }
  ++stuck;
  return fallback_latency;
}

namespace {

// Consumes the mix at real time on its own thread, period by period.
class NullDevice : public OutputDevice {
 public:
  ~NullDevice() override { Stop(); }
  int Open(int, uint32_t wished_rate, uint32_t* rate) override {
    *rate = wished_rate ? wished_rate : 44100;
    rate_ = *rate;
    return kErrorOk;
  }
  uint32_t LatencyFrames() const override { return 0; }
  Mixer::Clock clock() const override { return Mixer::Clock::kImmediate; }
  bool Start(Mixer* mixer) override {
    quit_.store(false);
    thread_ = std::thread([this, mixer] { Run(mixer); });
    return true;
  }
  void Stop() override {
    quit_.store(true);
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run(Mixer* mixer) {
    constexpr uint32_t kPeriod = 512;
    std::vector<float> buf(kPeriod * 2);
    const auto period = std::chrono::nanoseconds(static_cast<int64_t>(1e9 * kPeriod / rate_));
    auto next = std::chrono::steady_clock::now();
    while (!quit_.load()) {
      mixer->Mix(buf.data(), kPeriod);
      next += period;
      const auto now = std::chrono::steady_clock::now();
      if (now - next > std::chrono::seconds(1)) next = now;  // suspended: do not catch up
      std::this_thread::sleep_until(next);
    }
  }
  uint32_t rate_ = 44100;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

class PortAudioDevice : public OutputDevice {
 public:
  ~PortAudioDevice() override {
    Stop();
    if (initialized_) Pa_Terminate();
  }

  int Open(int device, uint32_t wished_rate, uint32_t* rate) override {
    if (Pa_Initialize() != paNoError) return kErrorDriver;
    initialized_ = true;
    PaDeviceIndex index;
    if (device == -1) {
      index = Pa_GetDefaultOutputDevice();
      if (index == paNoDevice) return kErrorDevice;
    } else {
      index = device - 1;
      if (index < 0 || index >= Pa_GetDeviceCount()) return kErrorDevice;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    if (!info || info->maxOutputChannels < 2) return kErrorDevice;
    PaStreamParameters out{};
    out.device = index;
    out.channelCount = 2;
    out.sampleFormat = paFloat32;
    out.suggestedLatency = std::max(info->defaultLowOutputLatency, 0.04);
    // Devices may refuse rates such as 22 050 or 96 000 Hz: the mixer then
    // runs at the device's own rate and resamples the streams.
    double use = wished_rate ? wished_rate : 44100.0;
    if (Pa_IsFormatSupported(nullptr, &out, use) != paFormatIsSupported) {
      use = info->defaultSampleRate;
      if (Pa_IsFormatSupported(nullptr, &out, use) != paFormatIsSupported) return kErrorFormat;
    }
    PaError rc = Pa_OpenStream(&stream_, nullptr, &out, use, 512, paNoFlag, &PortAudioDevice::Callback, this);
    if (rc != paNoError) {
      stream_ = nullptr;
      return rc == paInvalidDevice ? kErrorDevice : kErrorDriver;
    }
    const PaStreamInfo* si = Pa_GetStreamInfo(stream_);
    fallback_latency_ = si ? si->outputLatency : out.suggestedLatency;
    rate_ = static_cast<uint32_t>(use);
    *rate = rate_;
    return kErrorOk;
  }

  uint32_t LatencyFrames() const override { return static_cast<uint32_t>(fallback_latency_ * rate_); }
  Mixer::Clock clock() const override { return Mixer::Clock::kTimestamped; }

  bool Start(Mixer* mixer) override {
    mixer_ = mixer;
    return stream_ && Pa_StartStream(stream_) == paNoError;
  }

  void Stop() override {
    if (stream_) {
      Pa_StopStream(stream_);
      Pa_CloseStream(stream_);
      stream_ = nullptr;
    }
  }

 private:
  static int Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioDevice*>(user);
    const double latency =
        time ? self->check_.Latency(time->currentTime, time->outputBufferDacTime, self->fallback_latency_)
             : self->fallback_latency_;
    self->mixer_->PublishTiming(self->mixer_->frames_mixed(),
                                Mixer::NowNs() + static_cast<int64_t>(latency * 1e9));
    self->mixer_->Mix(static_cast<float*>(output), static_cast<uint32_t>(frames));
    return paContinue;
  }

  bool initialized_ = false;
  PaStream* stream_ = nullptr;
  Mixer* mixer_ = nullptr;
  uint32_t rate_ = 44100;
  double fallback_latency_ = 0.05;
  TimestampCheck check_;
};

}  // namespace

std::unique_ptr<OutputDevice> MakeNullDevice() { return std::make_unique<NullDevice>(); }
std::unique_ptr<OutputDevice> MakePortAudioDevice() { return std::make_unique<PortAudioDevice>(); }

}  // namespace qv3::audio_internal
