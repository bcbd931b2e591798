#include "platform/ui_services.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>

namespace qv3 {
namespace {

class HeadlessUi : public UiServices {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, MsgIcon) override {
    std::cerr << caption << ": " << text << "\n";
  }
  Answer Ask(const std::string& text, const std::string& caption, AskButtons, Answer default_button,
             MsgIcon) override {
    std::cerr << caption << ": " << text << "\n";
    return default_button;
  }
  std::string OpenFileName(const FileDialogRequest&) override { return {}; }
  std::string SaveFileName(const FileDialogRequest&) override { return {}; }
  std::string BrowseFolder(const std::string&, const std::string&) override { return {}; }
  void SetStatusText(const std::string&) override {}
  void Beep() override {}
  void ProcessPendingEvents() override {}
};

HeadlessUi g_headless;
UiServices* g_ui = &g_headless;

}  // namespace

UiServices& Ui() { return *g_ui; }

void InstallUi(UiServices* services) { g_ui = services ? services : &g_headless; }

std::string StringPrintfV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string StringPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = StringPrintfV(format, args);
  va_end(args);
  return s;
}

void MessageBoxF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = StringPrintfV(format, args);
  va_end(args);
  Ui().ShowMessage(s, kAppTitle, MsgIcon::kInformation);
}

void MessageBoxCaption(const std::string& caption, MsgIcon icon, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = StringPrintfV(format, args);
  va_end(args);
  Ui().ShowMessage(s, caption.empty() ? std::string(kAppTitle) : caption, icon);
}

}  // namespace qv3
