// CQuaverlyEQDlg: the equaliser tool window. Nine vertical band sliders
// (-15 .. 15, gain = minus the position, so -15 sits at the top and up means
// more gain), the band labels "80" .. "16K", the scale "15", "0", "-15", the
// preset list and the new / save / delete buttons. The logic lives in
// EqualizerController; this window shows it and forwards the user's actions.
//
// The main window creates it once, calls controller().AttachEqualizer(...)
// whenever the engine's output channel is (re)created, uses FindPreset /
// NoPresetName when a project is loaded, and sets set_on_preset_chosen (its
// message 1327).
#ifndef QV3_APP_UI_EQ_DIALOG_H_
#define QV3_APP_UI_EQ_DIALOG_H_

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/equalizer_controller.h"

class QListWidget;
class QPushButton;
class QSlider;
class QLabel;

namespace qv3 {

inline constexpr char kEqNewButtonText[] = "Create a new preset";
inline constexpr char kEqSaveButtonText[] = "Save all EQ presets";
inline constexpr char kEqDeleteButtonText[] = "Delete the selected preset";

class CQuaverlyEQDlg : public QDialog, public EqualizerView {
 public:
  // `ini_path`: the configuration file (ConfigFilePath() in the program).
  // Loads the presets; the controls stay disabled until a channel is attached.
  explicit CQuaverlyEQDlg(const std::string& ini_path, QWidget* parent = nullptr);
  ~CQuaverlyEQDlg() override;

  EqualizerController& controller() { return controller_; }
  // Called with the preset's name when the user picks one in the list.
  void set_on_preset_chosen(std::function<void(const std::string&)> f) {
    controller_.on_preset_chosen = std::move(f);
  }

  // Runs the name dialog, then creates the preset (the "new" button).
  void OnNewPreset();

  // EqualizerView.
  void ShowSliderPositions(const EqSliderPositions& positions) override;
  void ShowPresetNames(const std::vector<std::string>& names) override;
  void ShowSelection(int index) override;
  void EnableControls(bool enabled) override;

  // For tests.
  QSlider* band_slider(int band) const { return sliders_[band]; }
  QLabel* band_label(int band) const { return labels_[band]; }
  const std::array<QLabel*, 3>& scale_labels() const { return scale_; }
  QListWidget* preset_list() const { return list_; }
  QPushButton* new_button() const { return new_; }
  QPushButton* save_button() const { return save_; }
  QPushButton* delete_button() const { return delete_; }
  // Replaces the name dialog in tests; returns false for Cancel.
  std::function<bool(std::string* name)> ask_name_for_test;

 private:
  EqualizerController controller_;
  std::array<QSlider*, kEqBandCount> sliders_{};
  std::array<QLabel*, kEqBandCount> labels_{};
  std::array<QLabel*, 3> scale_{};
  QListWidget* list_ = nullptr;
  QPushButton* new_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* delete_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_APP_UI_EQ_DIALOG_H_
