// A UiServices for tests: records every message, question, dialog request and
// status text, and answers from scripted queues (default button / empty path
// when a queue is empty). Install it with ScopedRecordingUi.
#ifndef QV3_PLATFORM_RECORDING_UI_H_
#define QV3_PLATFORM_RECORDING_UI_H_

#include <deque>
#include <string>
#include <vector>

#include "platform/ui_services.h"

namespace qv3 {

class RecordingUi : public UiServices {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MsgIcon icon;
  };
  struct Question {
    std::string text;
    std::string caption;
    AskButtons buttons;
    Answer default_button;
    MsgIcon icon;
  };

  void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  Answer Ask(const std::string& text, const std::string& caption, AskButtons buttons,
             Answer default_button, MsgIcon icon) override {
    questions.push_back({text, caption, buttons, default_button, icon});
    if (answers.empty()) return default_button;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::string OpenFileName(const FileDialogRequest& request) override {
    open_requests.push_back(request);
    return Next(open_paths);
  }
  std::string SaveFileName(const FileDialogRequest& request) override {
    save_requests.push_back(request);
    return Next(save_paths);
  }
  std::string BrowseFolder(const std::string& title, const std::string& start) override {
    folder_requests.push_back(title + "|" + start);
    return Next(folder_paths);
  }
  void SetStatusText(const std::string& text) override { status_texts.push_back(text); }
  void Beep() override { ++beeps; }
  void ProcessPendingEvents() override { ++pumps; }

  std::vector<Message> messages;
  std::vector<Question> questions;
  std::vector<FileDialogRequest> open_requests;
  std::vector<FileDialogRequest> save_requests;
  std::vector<std::string> folder_requests;
  std::vector<std::string> status_texts;
  int beeps = 0;
  int pumps = 0;

  // Scripted answers, consumed in order.
  std::deque<Answer> answers;
  std::deque<std::string> open_paths;
  std::deque<std::string> save_paths;
  std::deque<std::string> folder_paths;

 private:
  static std::string Next(std::deque<std::string>& q) {
    if (q.empty()) return {};
    std::string s = q.front();
    q.pop_front();
    return s;
  }
};

// Installs a RecordingUi for the lifetime of the object.
class ScopedRecordingUi {
 public:
  ScopedRecordingUi() { InstallUi(&ui_); }
  ~ScopedRecordingUi() { InstallUi(nullptr); }
  ScopedRecordingUi(const ScopedRecordingUi&) = delete;
  ScopedRecordingUi& operator=(const ScopedRecordingUi&) = delete;
  RecordingUi* operator->() { return &ui_; }
  RecordingUi& ui() { return ui_; }

 private:
  RecordingUi ui_;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_RECORDING_UI_H_
