// Quaverly3: the main program.
#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "app/quaverly3_app.h"
#include "app/ui/quaverly3_dlg.h"
#include "app/ui/signal_close.h"
#include "app/ui/skin.h"
#include "engine/audio_setup.h"
#include "platform/ui/qt_clipboard.h"
#include "platform/ui/qt_main_thread_poster.h"
#include "platform/ui/qt_ui_services.h"

int main(int argc, char** argv) {
  QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  QApplication qt_app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quaverly 3"));
  QApplication::setDesktopFileName(QStringLiteral("quaverly3"));
  QApplication::setStyle(QStringLiteral("Fusion"));
  qt_app.setStyleSheet(qv3::SkinStyleSheet());
  qt_app.setWindowIcon(qv3::AppIcon());
  // Qt sets the C library locale from the environment; numbers in our files
  // must never take a decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  qv3::CloseWindowsOnTerminationSignals();

  qv3::ScopedQtUi ui;
  qv3::ScopedQtMainThreadPoster poster;
  // Copy and Paste name the clipboard file on the system clipboard.
  qv3::ScopedQtClipboard clipboard;

  // QApplication has taken its own options out of argv; the rest is ours, as
  // bytes, already split by the shell.
  std::vector<std::string> args(argv + 1, argv + argc);
  qv3::CQuaverly3App app(std::move(args));
  int exit_code = 0;
  app.set_main_window_runner([&](qv3::CQuaverly3App& a) {
    // The audio library is checked and started before the window exists;
    // a failure has shown its message and ends the program.
    if (!qv3::AudioStartup()) {
      exit_code = 1;
      return;
    }
    qv3::CQuaverly3Dlg window(a.TakeStartFile());
    ui.ui().set_parent(&window);
    ui.ui().set_status_sink([&](const std::string& text) { window.OnStatusText(text); });
    exit_code = QApplication::exec();
    ui.ui().set_status_sink(nullptr);
    ui.ui().set_parent(nullptr);
  });
  if (!app.InitInstance()) return 1;
  return exit_code;
}
