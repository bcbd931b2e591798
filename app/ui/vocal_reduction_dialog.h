// CVocalReductionDlg: the vocal-reduction tool window, a vertical slider
// 0 .. 256 (page 10) whose position is 256 minus the level, so the top is
// full reduction, and a label above it (" Off " / " %d "). Moving the slider
// updates the label and forwards the position to the main window, which sets
// the level to 256 - position, applies it (VocalReduction::SetLevel) and
// marks the document modified.
#ifndef QV3_APP_UI_VOCAL_REDUCTION_DIALOG_H_
#define QV3_APP_UI_VOCAL_REDUCTION_DIALOG_H_

#include <QDialog>
#include <functional>

class QLabel;
class QSlider;

namespace qv3 {

class CVocalReductionDlg : public QDialog {
 public:
  explicit CVocalReductionDlg(QWidget* parent = nullptr);

  // Position and label, without forwarding anything.
  void SetPosition(int position);
  int position() const;
  // Places the window just below `button`, 2 pixels to its left.
  void PlaceBelow(const QWidget* button);

  // The user moved the slider. `dragging` is true while the thumb is held:
  // the level may be applied at once, but a caller that records the change
  // (the document's saved state) waits for the call with dragging = false,
  // which follows every drag and comes alone for keys, clicks and the wheel.
  std::function<void(int position, bool dragging)> on_scroll;

  QSlider* slider() const { return slider_; }
  QLabel* label() const { return label_; }

 private:
  void ShowLabel(int position);

  QLabel* label_ = nullptr;
  QSlider* slider_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_APP_UI_VOCAL_REDUCTION_DIALOG_H_
