#include "platform/ui/qt_clipboard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace qv3 {
namespace {

void EnsureApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "qt_clipboard_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

TEST(QtClipboardTest, MarkerTravelsAsTextAndPrivateType) {
  EnsureApp();
  ScopedQtClipboard installed;
  Clipboard().SetMarker("QV3Copy: /tmp/x-Clipboard.wav");
  QClipboard* system = QGuiApplication::clipboard();
  EXPECT_EQ(system->text().toStdString(), "QV3Copy: /tmp/x-Clipboard.wav");
  ASSERT_NE(system->mimeData(), nullptr);
  EXPECT_TRUE(system->mimeData()->hasFormat(kMarkerMimeType));
  EXPECT_EQ(Clipboard().Marker(), "QV3Copy: /tmp/x-Clipboard.wav");

  Clipboard().ClearToEmptyText();
  EXPECT_EQ(system->text().toStdString(), "");
  EXPECT_EQ(Clipboard().Marker(), "");
}

TEST(QtClipboardTest, PlainTextIsNeverReadAsAMarker) {
  EnsureApp();
  ScopedQtClipboard installed;
  QGuiApplication::clipboard()->setText("QV3Copy: /home/u/Music/song.wav");
  EXPECT_EQ(Clipboard().Marker(), "");
}

}  // namespace
}  // namespace qv3
