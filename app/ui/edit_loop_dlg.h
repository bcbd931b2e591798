// CEditLoopDlg: a loop's name, ends ("%.4f" seconds), pitch and tempo
// ("%.4f" semitones / per cent), repeat count (-1 .. 999) and delay
// (0 .. 60 s). OK checks the values in order and stays open on the first
// failure with that field focused and selected.
#ifndef QV3_APP_UI_EDIT_LOOP_DLG_H_
#define QV3_APP_UI_EDIT_LOOP_DLG_H_

#include <QDialog>

#include "document/loop_edit.h"

class QLineEdit;
class QSpinBox;

namespace qv3 {

class CEditLoopDlg : public QDialog {
 public:
  // `initial`: what LoopEditInitial gives (the end field shows end - 0.0001).
  CEditLoopDlg(const LoopEditFields& initial, double song_length, QWidget* parent = nullptr);

  // The values to store. A number field left as shown gives the loop's own
  // value, so OK on an unchanged dialog changes nothing (the shown end is
  // 0.0001 s short and the shown texts are rounded).
  LoopEditFields Fields() const;
  void accept() override;

  QLineEdit* name_edit() const { return name_; }
  QLineEdit* start_edit() const { return start_; }
  QLineEdit* end_edit() const { return end_; }
  QLineEdit* pitch_edit() const { return pitch_; }
  QLineEdit* tempo_edit() const { return tempo_; }
  QSpinBox* repeat_spin() const { return repeat_; }
  QSpinBox* delay_spin() const { return delay_; }

 private:
  double Value(const QLineEdit* edit, const QString& shown, double original) const;

  LoopEditFields initial_;
  double original_end_;
  QString shown_start_, shown_end_, shown_pitch_, shown_tempo_;
  QLineEdit* name_ = nullptr;
  QLineEdit* start_ = nullptr;
  QLineEdit* end_ = nullptr;
  QLineEdit* pitch_ = nullptr;
  QLineEdit* tempo_ = nullptr;
  QSpinBox* repeat_ = nullptr;
  QSpinBox* delay_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_APP_UI_EDIT_LOOP_DLG_H_
