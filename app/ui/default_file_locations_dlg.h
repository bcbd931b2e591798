// CDefaultFileLocationsDlg: the five default folders (Project, Audio,
// Export, Sniffer, Temp), each with a browse button; OK checks them in
// field order and writes them to the configuration file.
#ifndef QV3_APP_UI_DEFAULT_FILE_LOCATIONS_DLG_H_
#define QV3_APP_UI_DEFAULT_FILE_LOCATIONS_DLG_H_

#include <QDialog>
#include <array>
#include <string>

#include "app/default_locations.h"

class QLineEdit;
class QPushButton;

namespace qv3 {

class CDefaultFileLocationsDlg : public QDialog {
 public:
  explicit CDefaultFileLocationsDlg(std::string config_path, QWidget* parent = nullptr);

  void accept() override;
  // Browse for field `index`.
  void Browse(int index);

  QLineEdit* field(int index) const { return fields_[index]; }
  QPushButton* browse_button(int index) const { return browse_[index]; }

 private:
  std::string config_path_;
  std::array<QLineEdit*, kLocationCount> fields_{};
  std::array<QPushButton*, kLocationCount> browse_{};
};

}  // namespace qv3

#endif  // QV3_APP_UI_DEFAULT_FILE_LOCATIONS_DLG_H_
