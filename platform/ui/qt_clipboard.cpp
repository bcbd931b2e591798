#include "platform/ui/qt_clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

namespace qv3 {

void QtClipboard::ClearToEmptyText() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(QString());
}

void QtClipboard::SetMarker(const std::string& marker) {
  auto* data = new QMimeData;  // owned by the clipboard from here on
  data->setText(QString::fromStdString(marker));
  data->setData(kMarkerMimeType, QByteArray::fromStdString(marker));
  QGuiApplication::clipboard()->setMimeData(data);
}

std::string QtClipboard::Marker() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasFormat(kMarkerMimeType)) return {};
  return data->data(kMarkerMimeType).toStdString();
}

}  // namespace qv3
