#include "app/equalizer_bands.h"

#include <algorithm>

namespace qv3 {

const std::array<float, kEqBandCount>& EqBandCentres() {
  static const std::array<float, kEqBandCount> centres = [] {
    std::array<float, kEqBandCount> c{};
    float f = kEqTopCentreHz;
    for (int band = kEqBandCount - 1; band >= 0; --band) {
      c[band] = std::max(f, kEqFloorHz);
      f /= 2.0f;
    }
    return c;
  }();
  return centres;
}

const char* EqBandLabel(int band) {
  static const char* const kLabels[kEqBandCount] = {"80", "125", "250", "500", "1K",
                                                    "2K", "4K",  "8K",  "16K"};
  return band >= 0 && band < kEqBandCount ? kLabels[band] : "";
}

int ClampEqValue(int value) { return std::clamp(value, kEqSliderMin, kEqSliderMax); }

bool EqualizerEffects::Add(StreamHandle channel, const EqGains& gains) {
  channel_ = channel;
  bool ok = channel != 0;
  for (int band = 0; band < kEqBandCount && channel != 0; ++band) {
    fx_[band] = ChannelSetFX(channel, kFxParamEq, kEqFxPriority);
    if (fx_[band] == 0) {
      ok = false;
      continue;
    }
    const ParamEqParameters p{EqBandCentres()[band], kEqBandwidthSemitones,
                              static_cast<float>(ClampEqValue(gains[band]))};
    ok = FXSetParameters(fx_[band], &p) && ok;
  }
  return ok;
}

void EqualizerEffects::Detach() {
  for (FxHandle& fx : fx_) {
    if (fx != 0 && channel_ != 0) ChannelRemoveFX(channel_, fx);
    fx = 0;
  }
  channel_ = 0;
}

bool EqualizerEffects::SetGain(int band, int gain_db) {
  if (band < 0 || band >= kEqBandCount || fx_[band] == 0) return false;
  ParamEqParameters p{};
  if (!FXGetParameters(fx_[band], &p)) return false;
  p.gain = static_cast<float>(ClampEqValue(gain_db));
  return FXSetParameters(fx_[band], &p);
}

float EqualizerEffects::GetGain(int band) const {
  if (band < 0 || band >= kEqBandCount || fx_[band] == 0) return 0.0f;
  ParamEqParameters p{};
  return FXGetParameters(fx_[band], &p) ? p.gain : 0.0f;
}

}  // namespace qv3
