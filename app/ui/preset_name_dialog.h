// CQuaverlyPresetNameDlg: asks the name of a new equaliser preset. OK with a
// name that is empty after trimming beeps, selects the field and stays open.
#ifndef QV3_APP_UI_PRESET_NAME_DIALOG_H_
#define QV3_APP_UI_PRESET_NAME_DIALOG_H_

#include <QDialog>
#include <string>

class QLineEdit;

namespace qv3 {

class CQuaverlyPresetNameDlg : public QDialog {
 public:
  explicit CQuaverlyPresetNameDlg(QWidget* parent = nullptr);

  // The trimmed name.
  std::string Name() const;
  QLineEdit* name_edit() const { return name_; }

  void accept() override;

 private:
  QLineEdit* name_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_APP_UI_PRESET_NAME_DIALOG_H_
