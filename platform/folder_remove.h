// Recursive removal of temporary folders, with the retries and trace-log lines
// of the program's clean-up. Symbolic links inside the folder are removed as
// links and never followed.
#ifndef QV3_PLATFORM_FOLDER_REMOVE_H_
#define QV3_PLATFORM_FOLDER_REMOVE_H_

#include <string>

namespace qv3 {

// Removes `path` and everything below it; each file and folder removal is tried
// up to 20 times, 50 ms apart. Returns 1 (the result callers rely on).
int RemoveFolderRecursive(const std::string& path);

}  // namespace qv3

#endif  // QV3_PLATFORM_FOLDER_REMOVE_H_
