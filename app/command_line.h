// The main program's command line: one optional file path. The arguments
// arrive split by the shell, so they are counted as they are; a quoted path
// with spaces is already one argument.
#ifndef QV3_APP_COMMAND_LINE_H_
#define QV3_APP_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace qv3 {

// The start file named by `args` (the arguments after the program name),
// made absolute, or empty. More than one argument, or a path that is not an
// existing non-empty regular file, shows its warning and gives empty; start-up
// goes on either way.
std::string StartFileFromArguments(const std::vector<std::string>& args);

}  // namespace qv3

#endif  // QV3_APP_COMMAND_LINE_H_
