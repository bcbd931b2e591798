#include "app/ui/placeholder_main_window.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include "app/ui/signal_close.h"
#include "platform/ui/qt_ui_services.h"

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_ui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

TEST(PlaceholderMainWindowTest, TitleSizeStartFileAndStatus) {
  App();
  PlaceholderMainWindow window("/music/a <b> song.wav");
  EXPECT_EQ(window.windowTitle(), QString("Quaverly 3: Ready"));
  EXPECT_EQ(window.minimumSize(), QSize(939, 541));
  ScopedQtUi ui;
  ui.ui().set_status_sink([&](const std::string& t) { window.SetStatusText(t); });
  Ui().SetStatusText("Opening...");
  bool found_file = false;
  bool found_status = false;
  for (QLabel* label : window.findChildren<QLabel*>()) {
    found_file = found_file || label->text() == "/music/a <b> song.wav";
    found_status = found_status || label->text() == "Opening...";
  }
  EXPECT_TRUE(found_file);
  EXPECT_TRUE(found_status);
}

TEST(PlaceholderMainWindowTest, TerminationSignalClosesTheWindowAndExitsCleanly) {
  App();
  CloseWindowsOnTerminationSignals();
  PlaceholderMainWindow window("");
  window.show();
  QTimer::singleShot(50, [] { raise(SIGTERM); });
  QTimer::singleShot(5000, [] { QApplication::exit(7); });  // safety net
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace qv3
