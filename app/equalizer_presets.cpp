#include "app/equalizer_presets.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "document/text_format.h"
#include "document/tokenize.h"
#include "platform/profile_file.h"

namespace qv3 {
namespace {

// A missing key reads as this, and any value starting with "<" is skipped.
constexpr char kMissingValue[] = "<none>";
constexpr size_t kPresetTokens = 1 + kEqBandCount;

bool WriteAll(const std::vector<EqPreset>& presets, const std::string& ini_path) {
  bool ok = true;
  const int count = static_cast<int>(std::min<size_t>(presets.size(), kMaxEqPresets));
  for (int i = 0; i < count; ++i) {
    ok = WriteProfileString(kEqPresetSection, EqPresetKey(i), FormatEqPreset(presets[i]), ini_path) &&
         ok;
  }
  return ok;
}

}  // namespace

std::string EqPresetKey(int index) { return "Preset" + std::to_string(index); }

std::optional<EqPreset> ParseEqPreset(const std::string& value) {
  if (value.empty() || value[0] == '<') return std::nullopt;
  const std::vector<std::string> tokens = TokenizeLine(value);
  if (tokens.size() != kPresetTokens) return std::nullopt;
  EqPreset preset;
  preset.name = tokens[0];
  for (int band = 0; band < kEqBandCount; ++band) {
    preset.gains[band] = ClampEqValue(ParseInt32(tokens[band + 1]));
  }
  return preset;
}

std::string FormatEqPreset(const EqPreset& preset) {
  std::string value = "\"" + SanitizeQuotedText(preset.name) + "\"";
  for (int gain : preset.gains) value += " " + std::to_string(ClampEqValue(gain));
  return value;
}

std::vector<EqPreset> LoadEqPresets(const std::string& ini_path) {
  std::vector<EqPreset> presets;
  for (int i = 0; i < kMaxEqPresets; ++i) {
    // Read whole: a long name must not lose its gains to a buffer limit.
    const std::string value =
        GetProfileString(kEqPresetSection, EqPresetKey(i), kMissingValue, ini_path, SIZE_MAX);
    if (std::optional<EqPreset> preset = ParseEqPreset(value)) presets.push_back(std::move(*preset));
  }
  return presets;
}

bool SaveEqPresets(const std::vector<EqPreset>& presets, const std::string& ini_path) {
  bool ok = WriteAll(presets, ini_path);
  for (size_t i = std::min<size_t>(presets.size(), kMaxEqPresets); i < kMaxEqPresets; ++i) {
    ok = DeleteProfileKey(kEqPresetSection, EqPresetKey(static_cast<int>(i)), ini_path) && ok;
  }
  return ok;
}

bool RewriteEqPresets(const std::vector<EqPreset>& presets, const std::string& ini_path) {
  EraseProfileSection(kEqPresetSection, ini_path);
  return WriteAll(presets, ini_path);
}

const std::vector<EqPreset>& StarterEqPresets() {
  //                                          80  125  250  500   1K   2K   4K   8K  16K
  static const std::vector<EqPreset> presets = {
      {"Flat", {0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"Bass Boost", {6, 5, 3, 1, 0, 0, 0, 0, 0}},
      {"Bass Cut", {-15, -12, -6, -2, 0, 0, 0, 0, 0}},
      {"Bass Focus", {6, 6, 4, 0, -3, -6, -8, -10, -10}},
      {"Vocal Presence", {-3, -2, -1, 0, 2, 4, 3, 1, 0}},
      {"Guitar Focus", {-6, -4, -1, 2, 3, 4, 2, 0, -2}},
      {"Treble Boost", {0, 0, 0, 0, 0, 2, 4, 6, 6}},
  };
  return presets;
}

bool WriteStarterEqPresets(const std::string& ini_path) {
  if (!GetProfileKeys(kEqPresetSection, ini_path).empty()) return true;
  return WriteAll(StarterEqPresets(), ini_path);
}

}  // namespace qv3
