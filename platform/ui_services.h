// The user-facing services that logic code calls: message boxes, questions,
// file and folder dialogs, status text, beeps and event pumping.
//
// Logic never includes Qt. The application installs the Qt implementation
// (platform/ui/qt_ui_services.h) at start-up; tests install a RecordingUi
// (platform/recording_ui.h) that records every text and answers from a script.
// Until something is installed, a headless implementation prints messages to
// stderr and answers every question with its default button.
//
// Thread contract: call only from the GUI (main) thread. Worker threads post
// to it with PostToMainThread (main_thread.h).
#ifndef QV3_PLATFORM_UI_SERVICES_H_
#define QV3_PLATFORM_UI_SERVICES_H_

#include <cstdarg>
#include <string>
#include <utility>
#include <vector>

namespace qv3 {

// The application title, caption of most message boxes.
inline constexpr const char kAppTitle[] = "Quaverly 3";

enum class MsgIcon { kNone, kInformation, kExclamation, kError, kQuestion };
enum class AskButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class Answer { kOk, kCancel, kYes, kNo };

// One filter of a file dialog: the shown name and its patterns separated by
// ";" as the Windows filter strings give them, e.g. {"QVP Files (*.qvp)", "*.qvp"}.
struct FileFilter {
  std::string name;
  std::string patterns;
};

struct FileDialogRequest {
  std::string title;
  std::vector<FileFilter> filters;
  int filter_index = 0;           // initially selected filter
  std::string default_extension;  // without the dot; appended when the name has none
  std::string initial_folder;
  std::string initial_name;       // a bare name or a full path
  bool overwrite_prompt = true;   // save dialogs only
};

class UiServices {
 public:
  virtual ~UiServices() = default;

  // A modal OK box.
  virtual void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon) = 0;
  // A modal question; returns the button pressed (Escape gives kCancel or kNo).
  virtual Answer Ask(const std::string& text, const std::string& caption, AskButtons buttons,
                     Answer default_button, MsgIcon icon) = 0;
  // File dialogs; an empty result means the user cancelled.
  virtual std::string OpenFileName(const FileDialogRequest& request) = 0;
  virtual std::string SaveFileName(const FileDialogRequest& request) = 0;
  virtual std::string BrowseFolder(const std::string& title, const std::string& start_folder) = 0;
  // The main window's status read-out.
  virtual void SetStatusText(const std::string& text) = 0;
  // The refusal sound of capacity limits ("a refused insertion beeps").
  virtual void Beep() = 0;
  // Processes pending GUI events so progress texts appear during long work.
  virtual void ProcessPendingEvents() = 0;
};

// The installed services (never null).
UiServices& Ui();
// Installs `services` (not owned); nullptr restores the headless default.
void InstallUi(UiServices* services);

// The system's one message-box routine: printf-style text, caption "Quaverly 3".
void MessageBoxF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with a caption and an icon; an empty caption means the app title.
void MessageBoxCaption(const std::string& caption, MsgIcon icon, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// printf into a std::string of any length.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StringPrintfV(const char* format, va_list args);

}  // namespace qv3

#endif  // QV3_PLATFORM_UI_SERVICES_H_
