// Recursive removal of temporary folders, with the retries and trace-log lines
// of the program's clean-up. Symbolic links inside the folder are removed as
// links and never followed, so a link to the user's music cannot empty it; a
// link given as the folder itself is left alone.
#ifndef QV3_PLATFORM_FOLDER_REMOVE_H_
#define QV3_PLATFORM_FOLDER_REMOVE_H_

#include <functional>
#include <string>

namespace qv3 {

inline constexpr int kFolderRemoveAttempts = 20;
inline constexpr int kFolderRemoveWaitMs = 50;

// The file system calls the removal makes; tests replace them to simulate a
// file that another process holds. Each returns 0 or an errno value.
struct FolderRemoveOps {
  std::function<int(const std::string&)> unlink_file;
  std::function<int(const std::string&)> remove_dir;
  std::function<void()> wait;  // between attempts
};
// unlink(2), rmdir(2) and a 50 ms sleep.
FolderRemoveOps DefaultFolderRemoveOps();

// Removes `path` and everything below it; each file and folder removal is tried
// up to 20 times, 50 ms apart. Returns 1 (the result callers rely on); the
// trace log tells what could not be removed.
int RemoveFolderRecursive(const std::string& path);
int RemoveFolderRecursive(const std::string& path, const FolderRemoveOps& ops);

}  // namespace qv3

#endif  // QV3_PLATFORM_FOLDER_REMOVE_H_
