// The settings that apply outside loops: master pitch and tempo, the
// vocal-reduction level and the equaliser preset name of the document.
#ifndef QV3_DOCUMENT_MASTER_VALUES_H_
#define QV3_DOCUMENT_MASTER_VALUES_H_

#include <cstdint>
#include <string>

namespace qv3 {

// Pitch in hundredths of a semitone, tempo in hundredths of a per cent.
inline constexpr int32_t kMinPitch = -2400;
inline constexpr int32_t kMaxPitch = 2400;
inline constexpr int32_t kMinTempo = 1000;
inline constexpr int32_t kMaxTempo = 40000;
inline constexpr int32_t kNormalTempo = 10000;
inline constexpr int32_t kMaxVocalReduction = 256;

inline bool PitchInRange(int32_t pitch) { return pitch >= kMinPitch && pitch <= kMaxPitch; }
inline bool TempoInRange(int32_t tempo) { return tempo >= kMinTempo && tempo <= kMaxTempo; }

struct MasterValues {
  int32_t pitch = 0;
  int32_t tempo = kNormalTempo;
  int32_t vocal_reduction = 0;  // 0 (off) .. 256
  std::string eq_preset;        // empty until a preset is chosen

  // Values outside the ranges are ignored (the old value stays).
  void SetPitch(int32_t value) {
    if (PitchInRange(value)) pitch = value;
  }
  void SetTempo(int32_t value) {
    if (TempoInRange(value)) tempo = value;
  }
  // Clamped to 0 .. 256.
  void SetVocalReduction(int32_t value) {
    vocal_reduction = value < 0 ? 0 : (value > kMaxVocalReduction ? kMaxVocalReduction : value);
  }
  // The values a freshly opened song starts with.
  void Reset() { *this = MasterValues(); }
};

}  // namespace qv3

#endif  // QV3_DOCUMENT_MASTER_VALUES_H_
