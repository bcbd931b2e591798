#include "app/quaverly3_app.h"

#include <utility>

#include "app/command_line.h"
#include "app/configuration.h"
#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

CQuaverly3App* g_app = nullptr;

}  // namespace

CQuaverly3App::CQuaverly3App(std::vector<std::string> args) : args_(std::move(args)) {
  g_app = this;
}

CQuaverly3App::~CQuaverly3App() {
  if (g_app == this) g_app = nullptr;
}

CQuaverly3App* CQuaverly3App::Instance() { return g_app; }

std::string CQuaverly3App::TakeStartFile() { return std::exchange(start_file_, std::string()); }

bool CQuaverly3App::InitInstance() {
  start_file_ = StartFileFromArguments(args_);

  program_dir_ = ProgramDir();
  user_dir_ = PerUserFolder(kAppTitle);
  config_path_ = JoinPath(user_dir_, kConfigFileName);

  // A first start has no configuration at all: give it working defaults. A
  // file that exists is checked as it is.
  WriteFirstConfiguration(config_path_);
  if (!CheckToolPaths(config_path_, &tools_)) return false;
  SetAppToolPaths(tools_);

  if (runner_) runner_(*this);
  return true;
}

}  // namespace qv3
