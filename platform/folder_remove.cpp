#include "platform/folder_remove.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "platform/trace_log.h"

namespace qv3 {
namespace {

// Tries `op` up to kFolderRemoveAttempts times; `what` names the call in the log.
// A path that vanished meanwhile counts as removed.
bool RemoveWithRetries(const std::function<int(const std::string&)>& op, const FolderRemoveOps& ops,
                       const char* what, const std::string& path) {
  int retries = 0;
  for (;;) {
    int err = op(path);
    if (err == 0 || err == ENOENT) {
      TraceLog("%s - successfully removed: %s - after %d retries\n", what, path.c_str(), retries);
      return true;
    }
    ++retries;
    if (retries >= kFolderRemoveAttempts) {
      TraceLog("%s - failed to remove: %s - after %d retries\n", what, path.c_str(), retries);
      return false;
    }
    TraceLog("%s - unable to remove: %s - retrying (%d)\n", what, path.c_str(), retries);
    if (ops.wait) ops.wait();
  }
}

void RemoveTree(const std::string& dir, const FolderRemoveOps& ops) {
  TraceLog("RemoveDirectoryRecursive(%s)\n", dir.c_str());
  // The folder's "attributes": make sure its owner may list and empty it.
  struct stat st;
  if (lstat(dir.c_str(), &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU) {
    chmod(dir.c_str(), (st.st_mode & 07777) | S_IRWXU);
  }
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR* d = fd >= 0 ? fdopendir(fd) : nullptr;
  if (!d) {
    TraceLog("_findfirst() failed with: %s\n", std::strerror(errno));
    if (fd >= 0) close(fd);
    return;
  }
  std::vector<std::string> subdirs;
  std::vector<std::string> files;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    struct stat est;
    std::string child = JoinPath(dir, e->d_name);
    // Never follow: a link (to a folder or a file) is itself the thing removed.
    if (fstatat(dirfd(d), e->d_name, &est, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(est.st_mode)) {
      subdirs.push_back(child);
    } else {
      files.push_back(child);
    }
  }
  closedir(d);
  for (const std::string& sub : subdirs) RemoveTree(sub, ops);
  for (const std::string& file : files) RemoveWithRetries(ops.unlink_file, ops, "_unlink()", file);
  RemoveWithRetries(ops.remove_dir, ops, "rmdir()", dir);
}

}  // namespace

FolderRemoveOps DefaultFolderRemoveOps() {
  FolderRemoveOps ops;
  ops.unlink_file = [](const std::string& p) { return unlink(p.c_str()) == 0 ? 0 : errno; };
  ops.remove_dir = [](const std::string& p) { return rmdir(p.c_str()) == 0 ? 0 : errno; };
  ops.wait = [] { std::this_thread::sleep_for(std::chrono::milliseconds(kFolderRemoveWaitMs)); };
  return ops;
}

int RemoveFolderRecursive(const std::string& path) {
  return RemoveFolderRecursive(path, DefaultFolderRemoveOps());
}

int RemoveFolderRecursive(const std::string& path, const FolderRemoveOps& ops) {
  std::string dir = StripTrailingSlashes(path);
  struct stat st;
  if (dir.empty() || lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    TraceLog("Can't delete non-existing directory: \"%s\"\n", dir.c_str());
    return 1;
  }
  RemoveTree(dir, ops);
  return 1;
}

}  // namespace qv3
