// CEditMarkerDlg: a marker's name and position ("%.2f", 0 .. song length).
#ifndef QV3_APP_UI_EDIT_MARKER_DLG_H_
#define QV3_APP_UI_EDIT_MARKER_DLG_H_

#include <QDialog>
#include <string>

class QLineEdit;

namespace qv3 {

class CEditMarkerDlg : public QDialog {
 public:
  CEditMarkerDlg(const std::string& name, double position, double song_length,
                 QWidget* parent = nullptr);

  // The trimmed name as typed.
  std::string Name() const;
  // The entered position; the original one when the field was left as shown,
  // so OK on an unchanged dialog does not round the marker to 0.01 s.
  double Position() const;

  QLineEdit* name_edit() const { return name_; }
  QLineEdit* position_edit() const { return position_; }

 private:
  QLineEdit* name_ = nullptr;
  QLineEdit* position_ = nullptr;
  double original_position_;
  QString shown_position_;
};

}  // namespace qv3

#endif  // QV3_APP_UI_EDIT_MARKER_DLG_H_
