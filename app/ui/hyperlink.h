// CHyperLink: a label that opens its target (a web address or a local file)
// with the desktop's handler, and the function behind it. A target that
// cannot be opened gives "Unable to open hyperlink:\n\n" and the reason.
#ifndef QV3_APP_UI_HYPERLINK_H_
#define QV3_APP_UI_HYPERLINK_H_

#include <QLabel>
#include <string>

namespace qv3 {

// Opens `target` (an address with a scheme, or a file path); reports and
// returns false when the desktop could not open it.
bool OpenHyperlink(const std::string& target);

class CHyperLink : public QLabel {
 public:
  CHyperLink(const QString& text, const std::string& target, QWidget* parent = nullptr);
  const std::string& target() const { return target_; }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::string target_;
};

}  // namespace qv3

#endif  // QV3_APP_UI_HYPERLINK_H_
