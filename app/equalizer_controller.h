// The equaliser window's logic without the window: nine band sliders acting
// on the output channel's effects, and the preset list with its storage.
// The Qt window (app/ui/eq_dialog.h) implements EqualizerView and forwards
// user actions here; the main window calls the attach / select / find
// operations and sets on_preset_chosen. GUI thread only.
#ifndef QV3_APP_EQUALIZER_CONTROLLER_H_
#define QV3_APP_EQUALIZER_CONTROLLER_H_

#include <functional>
#include <string>
#include <vector>

#include "app/equalizer_bands.h"
#include "app/equalizer_presets.h"
#include "audiolib/audiolib.h"

namespace qv3 {

// Message texts.
inline constexpr char kEqPresetsSavedText[] = "Your Presets have been saved.";
inline constexpr char kEqPresetLimitText[] =
    "Sorry, but the maximum number of Presets has been reached (%d).";
inline constexpr char kEqNothingToDeleteText[] =
    "Sorry, but a Preset is not selected, so there is nothing to Delete.";
inline constexpr char kEqDeleteQuestionText[] =
    "The EQ Preset called \"%s\" will be permanently deleted.  Are you sure you want to delete "
    "this Preset?";
inline constexpr char kEqDeleteCaption[] = "Delete the Preset?";

// What the controller shows; the window implements it without calling back.
class EqualizerView {
 public:
  virtual ~EqualizerView() = default;
  virtual void ShowSliderPositions(const EqSliderPositions& positions) = 0;
  virtual void ShowPresetNames(const std::vector<std::string>& names) = 0;
  // -1 clears the selection.
  virtual void ShowSelection(int index) = 0;
  // Sliders, preset list and the three buttons.
  virtual void EnableControls(bool enabled) = 0;
};

class EqualizerController {
 public:
  // `ini_path`: the configuration file that holds section "EQPresets".
  explicit EqualizerController(std::string ini_path);

  // Not owned; may be nullptr. Shows the current state at once.
  void SetView(EqualizerView* view);

  // The user chose a preset in the list (the main window's message 1327):
  // the main window makes it the document's preset name and marks the
  // document modified.
  std::function<void(const std::string& name)> on_preset_chosen;

  // ---- Channel ----
  // Whenever the output channel is (re)created: removes the effects from the
  // previous channel, adds nine with gain 0 to `channel`, enables the
  // controls, sets every slider to 0 and clears the list selection.
  void AttachEqualizer(StreamHandle channel);
  // The same song's output channel was recreated (an edit reopened it):
  // moves the nine effects there with the current slider gains, keeping the
  // sliders and the list selection, so the sound does not fall back to flat.
  void ReattachEqualizer(StreamHandle channel);
  // Adds nine effects with the current slider gains to another channel (an
  // export stream); `effects` keeps their handles.
  bool ReapplyEqualizer(StreamHandle channel, EqualizerEffects* effects) const;
  // The band slider moved to `position`: gain = -position. Changes nothing
  // while no channel is attached (the sliders are disabled then).
  void SliderMoved(int band, int position);

  // ---- Presets ----
  // Reads the presets from the configuration file (clears the selection).
  int LoadPresets();
  // Sets the sliders to minus the stored gains and applies them; with
  // `update_list` selects the entry in the list too.
  void SelectPreset(int index, bool update_list);
  // The user selected list entry `index`: select, apply, on_preset_chosen.
  void ListSelectionChanged(int index);
  // Exact, case-sensitive, in list order; a hit is selected and applied.
  int FindPreset(const std::string& name);
  // The first preset's name, or "PresetUnknown" without presets.
  std::string NoPresetName() const;

  // Button "Save all EQ presets": the selected preset takes the current
  // gains, every preset is written, then the confirmation.
  void SavePresets();
  // Button "Create a new preset", after the name dialog: reload; at 100
  // presets the limit message; otherwise append `name` with the current
  // gains, save, reload and select it. False when nothing was added.
  bool CreatePreset(const std::string& name);
  // Button "Delete the selected preset": asks (No by default), then rewrites
  // the section without the entry and reloads. True when one was deleted.
  bool DeletePreset();

  // ---- State ----
  bool enabled() const { return effects_.attached(); }
  const EqSliderPositions& positions() const { return positions_; }
  EqGains CurrentGains() const;
  const std::vector<EqPreset>& presets() const { return presets_; }
  int selected() const { return selected_; }
  const EqualizerEffects& effects() const { return effects_; }
  const std::string& ini_path() const { return ini_path_; }

 private:
  void ShowAll();
  void ShowList();

  std::string ini_path_;
  EqualizerView* view_ = nullptr;
  EqualizerEffects effects_;
  EqSliderPositions positions_{};
  std::vector<EqPreset> presets_;
  int selected_ = -1;
};

}  // namespace qv3

#endif  // QV3_APP_EQUALIZER_CONTROLLER_H_
