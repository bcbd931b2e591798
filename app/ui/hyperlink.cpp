#include "app/ui/hyperlink.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

#include "app/hyperlink_errors.h"
#include "platform/paths.h"

namespace qv3 {

bool OpenHyperlink(const std::string& target) {
  const QString text = QString::fromStdString(target);
  QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  if (url.isLocalFile() && !PathExists(url.toLocalFile().toStdString())) {
    ReportHyperlinkError(2);  // "The specified file was not found."
    return false;
  }
  if (!url.isValid() || !QDesktopServices::openUrl(url)) {
    ReportHyperlinkError(kHyperlinkNoAssociation);
    return false;
  }
  return true;
}

CHyperLink::CHyperLink(const QString& text, const std::string& target, QWidget* parent)
    : QLabel(parent), target_(target) {
  setText(QString("<a href=\"#\" style=\"color:#4fc3a1;\">%1</a>").arg(text.toHtmlEscaped()));
  setCursor(Qt::PointingHandCursor);
  setToolTip(QString::fromStdString(target));
  setTextInteractionFlags(Qt::NoTextInteraction);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    OpenHyperlink(target_);
  }
  QLabel::mouseReleaseEvent(event);
}

}  // namespace qv3
