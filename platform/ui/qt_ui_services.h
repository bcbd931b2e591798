// The Qt implementation of UiServices: QMessageBox for messages and
// questions, QFileDialog for file and folder dialogs, QApplication::beep,
// event processing, and a status text sink that the main window connects.
#ifndef QV3_PLATFORM_UI_QT_UI_SERVICES_H_
#define QV3_PLATFORM_UI_QT_UI_SERVICES_H_

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "platform/ui_services.h"

class QWidget;

namespace qv3 {

class QtUiServices : public UiServices {
 public:
  using StatusSink = std::function<void(const std::string&)>;

  void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon) override;
  Answer Ask(const std::string& text, const std::string& caption, AskButtons buttons,
             Answer default_button, MsgIcon icon) override;
  std::string OpenFileName(const FileDialogRequest& request) override;
  std::string SaveFileName(const FileDialogRequest& request) override;
  std::string BrowseFolder(const std::string& title, const std::string& start_folder) override;
  void SetStatusText(const std::string& text) override;
  void Beep() override;
  void ProcessPendingEvents() override;

  // The main window's status read-out; texts before it is set are dropped.
  void set_status_sink(StatusSink sink) { status_sink_ = std::move(sink); }
  // Parent of the dialogs; the active window when null.
  void set_parent(QWidget* parent) { parent_ = parent; }

  // Qt name filters ("QVP Files (*.qvp)") from Windows-style filters whose
  // patterns are separated by ";". Exposed for tests.
  static QStringList NameFilters(const std::vector<FileFilter>& filters);

 private:
  QWidget* Parent() const;
  std::string RunFileDialog(const FileDialogRequest& request, bool save);

  StatusSink status_sink_;
  QWidget* parent_ = nullptr;
};

// Installs a QtUiServices for the lifetime of the object.
class ScopedQtUi {
 public:
  ScopedQtUi() { InstallUi(&ui_); }
  ~ScopedQtUi() { InstallUi(nullptr); }
  ScopedQtUi(const ScopedQtUi&) = delete;
  ScopedQtUi& operator=(const ScopedQtUi&) = delete;
  QtUiServices& ui() { return ui_; }

 private:
  QtUiServices ui_;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_UI_QT_UI_SERVICES_H_
