// Equaliser presets and their storage in section "EQPresets" of the
// configuration file: keys "Preset0" .. "Preset99", each value the quoted
// name and the nine gains in dB, band 0 first:  "Bass Cut" -15 -12 -6 0 0 0 0 0 0
#ifndef QV3_APP_EQUALIZER_PRESETS_H_
#define QV3_APP_EQUALIZER_PRESETS_H_

#include <optional>
#include <string>
#include <vector>

#include "app/equalizer_bands.h"

namespace qv3 {

inline constexpr char kEqPresetSection[] = "EQPresets";
inline constexpr int kMaxEqPresets = 100;
// What a caller uses when a project names a preset that no longer exists and
// there is no preset at all.
inline constexpr char kNoPresetName[] = "PresetUnknown";

struct EqPreset {
  std::string name;
  EqGains gains{};  // dB, each -15 .. 15
  bool operator==(const EqPreset&) const = default;
};

// "Preset" + index.
std::string EqPresetKey(int index);
// A stored value: nullopt when it starts with "<" or does not split into
// exactly ten tokens (TokenizeLine); gains are read like atoi and clamped.
std::optional<EqPreset> ParseEqPreset(const std::string& value);
// The quoted name and the gains, each after one blank. A double quote in the
// name would end the quoted token early, so it is written as a single quote
// (as the project file does with the preset name).
std::string FormatEqPreset(const EqPreset& preset);

// The valid presets of keys Preset0 .. Preset99, in key order.
std::vector<EqPreset> LoadEqPresets(const std::string& ini_path);
// Writes presets[i] to "Preset<i>" and removes the keys after the last one,
// so a list read from keys with gaps or unreadable values never comes back
// with an entry twice. At most 100 presets are written. False when the file
// could not be written.
bool SaveEqPresets(const std::vector<EqPreset>& presets, const std::string& ini_path);
// Erases the whole section, then writes the presets under consecutive keys.
bool RewriteEqPresets(const std::vector<EqPreset>& presets, const std::string& ini_path);

// The presets a first configuration starts with, so that the list is not
// empty for a new user.
const std::vector<EqPreset>& StarterEqPresets();
// Writes the starter presets unless the section already has keys.
bool WriteStarterEqPresets(const std::string& ini_path);

}  // namespace qv3

#endif  // QV3_APP_EQUALIZER_PRESETS_H_
