// CChangeVolumeDlg: the percentage Change Volume scales the selection by, on
// a vertical slider 0 .. 5000 whose top is 500.0 % and whose start (4000) is
// 100.0 %; the label beside it follows the slider and warns above 300 %.
#ifndef QV3_EDITING_UI_CHANGE_VOLUME_DIALOG_H_
#define QV3_EDITING_UI_CHANGE_VOLUME_DIALOG_H_

#include <QDialog>
#include <string>

class QLabel;
class QSlider;

namespace qv3 {

inline constexpr char kChangeVolumeTitle[] = "Change Volume";
inline constexpr char kChangeVolumePrompt[] = "Change Volume by (percent):";
inline constexpr int kVolumeSliderMax = 5000;
inline constexpr int kVolumeSliderPage = 100;
inline constexpr int kVolumeSliderStart = 4000;
// Above this percentage the label warns of clipping.
inline constexpr double kClippingPercent = 300.0;

// percent = (5000 - position) / 10.
double VolumeSliderPercent(int position);
// "%.1f%%", or "%.1f%% (may cause clipping)" above 300 %.
std::string VolumeLabelText(double percent);

class CChangeVolumeDlg : public QDialog {
 public:
  explicit CChangeVolumeDlg(QWidget* parent = nullptr);

  double percent() const;
  QSlider* slider() const { return slider_; }
  QLabel* value_label() const { return value_; }

 private:
  void OnSlider(int position);

  QSlider* slider_ = nullptr;
  QLabel* value_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_EDITING_UI_CHANGE_VOLUME_DIALOG_H_
