#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <thread>
#include <vector>

#include "platform/main_thread.h"
#include "platform/ui/qt_main_thread_poster.h"
#include "platform/ui/qt_ui_services.h"

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "platform_ui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

TEST(QtMainThreadPosterTest, RunsWorkerCallsOnTheGuiThreadInOrder) {
  App();
  ScopedQtMainThreadPoster poster;
  const std::thread::id gui = std::this_thread::get_id();
  std::vector<int> order;
  bool all_on_gui = true;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      PostToMainThread([&, i] {
        order.push_back(i);
        all_on_gui = all_on_gui && std::this_thread::get_id() == gui;
      });
    }
  });
  worker.join();
  EXPECT_TRUE(order.empty());  // nothing runs until the event loop turns
  QElapsedTimer timer;
  timer.start();
  while (order.size() < 200 && timer.elapsed() < 5000) QCoreApplication::processEvents();
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
  EXPECT_TRUE(all_on_gui);
}

TEST(QtUiServicesTest, NameFiltersFromWindowsFilters) {
  QStringList f = QtUiServices::NameFilters({{"QVP Files (*.qvp)", "*.qvp"},
                                             {"Audio Files", "*.wav;*.mp3; *.ogg"},
                                             {"All Files (*.*)", "*.*"}});
  EXPECT_EQ(f, (QStringList{"QVP Files (*.qvp)", "Audio Files (*.wav *.mp3 *.ogg)", "All Files (*)"}));
}

TEST(QtUiServicesTest, AskHonoursDefaultButtonAndStatusSink) {
  App();
  ScopedQtUi qt;
  std::vector<std::string> status;
  qt.ui().set_status_sink([&](const std::string& s) { status.push_back(s); });
  Ui().SetStatusText("Idle");
  EXPECT_EQ(status, std::vector<std::string>{"Idle"});

  // Press Return on the box once it is up: the default button answers.
  std::string seen_text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen_text = box->text().toStdString();
    EXPECT_EQ(box->windowTitle(), QString("Quaverly 3"));
    box->defaultButton()->click();
  });
  Answer a = Ui().Ask("Save <changes> & go?", "Quaverly 3", AskButtons::kYesNoCancel, Answer::kNo,
                      MsgIcon::kQuestion);
  EXPECT_EQ(a, Answer::kNo);
  EXPECT_EQ(seen_text, "Save <changes> & go?");

  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->escapeButton()->click();
  });
  EXPECT_EQ(Ui().Ask("q", "c", AskButtons::kYesNo, Answer::kYes, MsgIcon::kQuestion), Answer::kNo);
}

}  // namespace
}  // namespace qv3
