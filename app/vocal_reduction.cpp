#include "app/vocal_reduction.h"

#include <algorithm>

#include "platform/ui_services.h"

namespace qv3 {
namespace {

void DspInt16(DspHandle, StreamHandle, void* buffer, uint32_t length, void* user) {
  VocalReduceInt16(static_cast<int16_t*>(buffer), length / (2 * sizeof(int16_t)),
                   *static_cast<const std::atomic<int>*>(user));
}

void DspFloat(DspHandle, StreamHandle, void* buffer, uint32_t length, void* user) {
  VocalReduceFloat(static_cast<float*>(buffer), length / (2 * sizeof(float)),
                   static_cast<const std::atomic<int>*>(user)->load(std::memory_order_relaxed));
}

// The procedure for the channel's sample format, or nullptr when the channel
// is not stereo (or not there).
DspProc ProcFor(StreamHandle channel) {
  ChannelInfo info{};
  if (channel == 0 || !ChannelGetInfo(channel, &info) || info.chans != 2) return nullptr;
  return (info.flags & kSampleFloat) ? DspFloat : DspInt16;
}

}  // namespace

int VocalReductionSliderPosition(int level) {
  return kVocalReductionMax - std::clamp(level, 0, kVocalReductionMax);
}

int VocalReductionLevelFromSlider(int position) {
  return kVocalReductionMax - std::clamp(position, 0, kVocalReductionMax);
}

std::string VocalReductionLabel(int level) {
  return level == 0 ? std::string(" Off ") : StringPrintf(" %d ", level);
}

void VocalReduceInt16(int16_t* samples, size_t frames, const std::atomic<int>& level) {
  for (size_t i = 0; i < frames; ++i, samples += 2) {
    const int32_t a = level.load(std::memory_order_relaxed);
    const int32_t out = ((kVocalReductionMax - a) * samples[0] - a * samples[1]) >> 9;
    samples[0] = samples[1] = static_cast<int16_t>(out);
  }
}

void VocalReduceFloat(float* samples, size_t frames, int level) {
  const float keep = static_cast<float>(kVocalReductionMax - level);
  const float take = static_cast<float>(level);
  constexpr float kScale = 1.0f / 512.0f;
  for (size_t i = 0; i < frames; ++i, samples += 2) {
    const float out = (keep * samples[0] - take * samples[1]) * kScale;
    samples[0] = samples[1] = out;
  }
}

VocalReduction::~VocalReduction() { Remove(); }

void VocalReduction::SetChannel(StreamHandle channel) {
  Remove();
  channel_ = channel;
  if (level() >= 1) Install();
}

void VocalReduction::SetLevel(int level) {
  level_.store(std::clamp(level, 0, kVocalReductionMax), std::memory_order_relaxed);
  if (this->level() < 1) {
    Remove();
  } else if (dsp_ == 0) {
    Install();
  }
}

DspHandle VocalReduction::InstallOn(StreamHandle stream) const {
  if (level() < 1) return 0;
  DspProc proc = ProcFor(stream);
  if (!proc) return 0;
  return ChannelSetDSP(stream, proc, const_cast<std::atomic<int>*>(&level_),
                       kVocalReductionDspPriority);
}

void VocalReduction::Install() {
  DspProc proc = ProcFor(channel_);
  if (!proc) return;
  dsp_ = ChannelSetDSP(channel_, proc, &level_, kVocalReductionDspPriority);
}

void VocalReduction::Remove() {
  // The removal waits until the mixer no longer runs the procedure, so the
  // level it reads may go with this object afterwards.
  if (dsp_ != 0) ChannelRemoveDSP(channel_, dsp_);
  dsp_ = 0;
}

}  // namespace qv3
