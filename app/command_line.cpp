#include "app/command_line.h"

#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {

std::string StartFileFromArguments(const std::vector<std::string>& args) {
  if (args.empty()) return {};
  if (args.size() > 1) {
    MessageBoxF(
        "Please pass only one Argument on the Command-line, thanks.  Also, if there are spaces in "
        "the file path, please surround it with double-quotes.");
    return {};
  }
  const std::string& path = args[0];
  if (!IsNonEmptyRegularFile(path)) {
    MessageBoxF("The file path passed on the Command-line was not found:\n\n\t%s\n\nContinuing without it...",
                path.c_str());
    return {};
  }
  return MakeAbsolute(path);
}

}  // namespace qv3
