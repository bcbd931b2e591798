// CInsertSilenceDlg: how many seconds of silence to insert and where
// (Beginning, Current Position, End). OK with a value that is not a finite
// number above 0 and at most one hour beeps, selects the field and keeps the
// dialog open.
#ifndef QV3_EDITING_UI_INSERT_SILENCE_DIALOG_H_
#define QV3_EDITING_UI_INSERT_SILENCE_DIALOG_H_

#include <QDialog>

#include "editing/edit_host.h"

class QLineEdit;
class QRadioButton;

namespace qv3 {

inline constexpr char kInsertSilenceTitle[] = "Insert Silence";
// The line break of the label is a carriage return in the resource text.
inline constexpr char kInsertSilenceAmountLabel[] = "Amount of silence to\rinsert (seconds):";
inline constexpr char kInsertSilenceWhereLabel[] = "Where to insert:";
inline constexpr char kInsertSilenceInitialText[] = "10.0";

class CInsertSilenceDlg : public QDialog {
 public:
  explicit CInsertSilenceDlg(QWidget* parent = nullptr);

  // Valid after OK.
  double seconds() const { return seconds_; }
  InsertPoint where() const;

  QLineEdit* amount_edit() const { return amount_; }
  QRadioButton* radio(InsertPoint which) const;

  void accept() override;

 private:
  QLineEdit* amount_ = nullptr;
  QRadioButton* beginning_ = nullptr;
  QRadioButton* current_ = nullptr;
  QRadioButton* end_ = nullptr;
  double seconds_ = 0.0;
};

// The field's text as seconds: a C-locale decimal number, blanks around it
// allowed; NaN when the text is not a number.
double ParseSilenceSeconds(const QString& text);

}  // namespace qv3

#endif  // QV3_EDITING_UI_INSERT_SILENCE_DIALOG_H_
