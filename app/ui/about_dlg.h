// The about box: program and engine versions, the project's web page and a
// legal notice.
#ifndef QV3_APP_UI_ABOUT_DLG_H_
#define QV3_APP_UI_ABOUT_DLG_H_

#include <QDialog>

class QLabel;

namespace qv3 {

// The version of this build ("3.0.0").
const char* ProgramVersion();

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  // The version lines as shown.
  QString VersionText() const;

 private:
  QLabel* version_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_APP_UI_ABOUT_DLG_H_
