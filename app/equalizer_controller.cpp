#include "app/equalizer_controller.h"

#include <utility>

#include "document/text_format.h"
#include "platform/ui_services.h"

namespace qv3 {

EqualizerController::EqualizerController(std::string ini_path) : ini_path_(std::move(ini_path)) {}

void EqualizerController::SetView(EqualizerView* view) {
  view_ = view;
  ShowAll();
}

void EqualizerController::ShowAll() {
  if (!view_) return;
  ShowList();
  view_->ShowSliderPositions(positions_);
  view_->EnableControls(enabled());
}

void EqualizerController::ShowList() {
  if (!view_) return;
  std::vector<std::string> names;
  for (const EqPreset& p : presets_) names.push_back(p.name);
  view_->ShowPresetNames(names);
  view_->ShowSelection(selected_);
}

EqGains EqualizerController::CurrentGains() const {
  EqGains gains{};
  for (int band = 0; band < kEqBandCount; ++band) gains[band] = -positions_[band];
  return gains;
}

void EqualizerController::AttachEqualizer(StreamHandle channel) {
  effects_.Detach();
  if (channel != 0) effects_.Add(channel, EqGains{});
  positions_ = {};
  selected_ = -1;
  if (view_) {
    view_->EnableControls(enabled());
    view_->ShowSliderPositions(positions_);
    view_->ShowSelection(-1);
  }
}

void EqualizerController::ReattachEqualizer(StreamHandle channel) {
  effects_.Detach();
  if (channel != 0) effects_.Add(channel, CurrentGains());
  if (view_) view_->EnableControls(enabled());
}

bool EqualizerController::ReapplyEqualizer(StreamHandle channel, EqualizerEffects* effects) const {
  return effects->Add(channel, CurrentGains());
}

void EqualizerController::SliderMoved(int band, int position) {
  if (!enabled() || band < 0 || band >= kEqBandCount) return;
  positions_[band] = ClampEqValue(position);
  effects_.SetGain(band, -positions_[band]);
}

int EqualizerController::LoadPresets() {
  presets_ = LoadEqPresets(ini_path_);
  selected_ = -1;
  ShowList();
  return static_cast<int>(presets_.size());
}

void EqualizerController::SelectPreset(int index, bool update_list) {
  if (index < 0 || index >= static_cast<int>(presets_.size())) return;
  for (int band = 0; band < kEqBandCount; ++band) {
    positions_[band] = -ClampEqValue(presets_[index].gains[band]);
    effects_.SetGain(band, -positions_[band]);
  }
  selected_ = index;
  if (view_) {
    view_->ShowSliderPositions(positions_);
    if (update_list) view_->ShowSelection(index);
  }
}

void EqualizerController::ListSelectionChanged(int index) {
  if (index < 0 || index >= static_cast<int>(presets_.size())) return;
  SelectPreset(index, false);
  if (on_preset_chosen) on_preset_chosen(presets_[index].name);
}

int EqualizerController::FindPreset(const std::string& name) {
  for (int i = 0; i < static_cast<int>(presets_.size()); ++i) {
    if (presets_[i].name == name) {
      SelectPreset(i, true);
      return i;
    }
  }
  return -1;
}

std::string EqualizerController::NoPresetName() const {
  return presets_.empty() ? std::string(kNoPresetName) : presets_.front().name;
}

void EqualizerController::SavePresets() {
  if (selected_ >= 0 && selected_ < static_cast<int>(presets_.size())) {
    presets_[selected_].gains = CurrentGains();
  }
  SaveEqPresets(presets_, ini_path_);
  MessageBoxF(kEqPresetsSavedText);
}

bool EqualizerController::CreatePreset(const std::string& name) {
  if (name.find_first_not_of(" \t\r\n") == std::string::npos) return false;
  LoadPresets();
  if (presets_.size() >= static_cast<size_t>(kMaxEqPresets)) {
    MessageBoxF(kEqPresetLimitText, kMaxEqPresets);
    return false;
  }
  presets_.push_back(EqPreset{name, CurrentGains()});
  SaveEqPresets(presets_, ini_path_);
  LoadPresets();
  // The new entry is the last one unless the file could not be written; its
  // name is stored with a double quote turned into a single quote.
  const int index = static_cast<int>(presets_.size()) - 1;
  if (index < 0 || presets_[index].name != SanitizeQuotedText(name)) return false;
  SelectPreset(index, true);
  return true;
}

bool EqualizerController::DeletePreset() {
  if (selected_ < 0 || selected_ >= static_cast<int>(presets_.size())) {
    MessageBoxF(kEqNothingToDeleteText);
    return false;
  }
  const std::string text = StringPrintf(kEqDeleteQuestionText, presets_[selected_].name.c_str());
  if (Ui().Ask(text, kEqDeleteCaption, AskButtons::kYesNo, Answer::kNo, MsgIcon::kQuestion) !=
      Answer::kYes) {
    return false;
  }
  presets_.erase(presets_.begin() + selected_);
  RewriteEqPresets(presets_, ini_path_);
  LoadPresets();
  return true;
}

}  // namespace qv3
