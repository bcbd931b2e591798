#include "platform/app_settings.h"

#include <cstdint>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

ToolPaths g_tools;

}  // namespace

std::string PerUserFolder(const std::string& name) {
  const char* env = std::getenv("XDG_CONFIG_HOME");
  std::string base = (env && *env) ? std::string(env) : JoinPath(HomeDir(), ".config");
  std::string dir = JoinPath(StripTrailingSlashes(base), name);
  if (!IsDirectory(dir)) MakeDirs(dir);
  return dir;
}

std::string ConfigFilePath() { return JoinPath(PerUserFolder(kAppTitle), kConfigFileName); }

std::string DefaultLocation(const std::string& name) {
  std::string value =
      GetProfileString(kConfigSection, name + "FilePath", HomeDir(), ConfigFilePath(), SIZE_MAX);
  if (value.size() > 1 && value.back() == '/') value.pop_back();
  return value;
}

bool SystemTempFolder(std::string* path) {
  static const char kCaption[] = "qBox - Publish to Cloud";
  std::string dir = SystemTempDir();
  if (dir.empty() || dir[0] != '/') {
    MessageBoxCaption(kCaption, MsgIcon::kError, "Unknown System TEMP Directory.  Sorry, can't continue.");
    return false;
  }
  if (!IsDirectory(dir)) {
    MessageBoxCaption(kCaption, MsgIcon::kError,
                      "The System TEMP Directory does not exist:\n\n\t%s\n\nSorry, can't continue.",
                      dir.c_str());
    return false;
  }
  *path = dir;
  return true;
}

const ToolPaths& AppToolPaths() { return g_tools; }

void SetAppToolPaths(const ToolPaths& tools) { g_tools = tools; }

}  // namespace qv3
