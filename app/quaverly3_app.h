// The main program's start-up: command line, program and per-user folders,
// the configuration file (written with working defaults on a first start) and
// the checks of the external tools, then the main window, run until it closes.
// Plain C++: the Qt front end (app/main.cpp) supplies the main window runner.
#ifndef QV3_APP_QUAVERLY3_APP_H_
#define QV3_APP_QUAVERLY3_APP_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/app_settings.h"

namespace qv3 {

class CQuaverly3App {
 public:
  // Shows the main window and returns when it has closed.
  using MainWindowRunner = std::function<void(CQuaverly3App&)>;

  // `args`: the command-line arguments after the program name.
  explicit CQuaverly3App(std::vector<std::string> args);
  ~CQuaverly3App();
  CQuaverly3App(const CQuaverly3App&) = delete;
  CQuaverly3App& operator=(const CQuaverly3App&) = delete;

  // The one application object while it exists, else null.
  static CQuaverly3App* Instance();

  void set_main_window_runner(MainWindowRunner runner) { runner_ = std::move(runner); }

  // Runs the start-up sequence and then the main window. False after a
  // start-up failure, whose message has been shown; nothing else is written then.
  bool InitInstance();

  const std::string& program_dir() const { return program_dir_; }
  const std::string& user_dir() const { return user_dir_; }
  const std::string& config_path() const { return config_path_; }
  const std::string& start_file() const { return start_file_; }
  // The start file, cleared: the main window opens it once it is shown.
  std::string TakeStartFile();
  const ToolPaths& tools() const { return tools_; }

 private:
  std::vector<std::string> args_;
  MainWindowRunner runner_;
  std::string program_dir_;
  std::string user_dir_;
  std::string config_path_;
  std::string start_file_;
  ToolPaths tools_;
};

}  // namespace qv3

#endif  // QV3_APP_QUAVERLY3_APP_H_
