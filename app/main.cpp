// Quaverly3: the main program.
#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "app/quaverly3_app.h"
#include "app/ui/placeholder_main_window.h"
#include "app/ui/signal_close.h"
#include "platform/ui/qt_main_thread_poster.h"
#include "platform/ui/qt_ui_services.h"

int main(int argc, char** argv) {
  QApplication qt_app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quaverly 3"));
  // Qt sets the C library locale from the environment; numbers in our files
  // must never take a decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  qv3::CloseWindowsOnTerminationSignals();

  qv3::ScopedQtUi ui;
  qv3::ScopedQtMainThreadPoster poster;

  // QApplication has taken its own options out of argv; the rest is ours, as
  // bytes, already split by the shell.
  std::vector<std::string> args(argv + 1, argv + argc);
  qv3::CQuaverly3App app(std::move(args));
  int exit_code = 0;
  app.set_main_window_runner([&](qv3::CQuaverly3App& a) {
    qv3::PlaceholderMainWindow window(a.TakeStartFile());
    ui.ui().set_parent(&window);
    ui.ui().set_status_sink([&](const std::string& text) { window.SetStatusText(text); });
    window.show();
    exit_code = QApplication::exec();
    ui.ui().set_status_sink(nullptr);
    ui.ui().set_parent(nullptr);
  });
  if (!app.InitInstance()) return 1;
  return exit_code;
}
