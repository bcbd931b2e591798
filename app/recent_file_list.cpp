#include "app/recent_file_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/app_settings.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {

bool RecentFileList::Initialize(const std::string& per_user_folder_name) {
  std::string folder = PerUserFolder(per_user_folder_name);
  if (!IsDirectory(folder)) {
    MessageBoxF("Unknown User Home Directory:\n\n\t%s\n\nSorry, can't continue.", folder.c_str());
    return false;
  }
  list_path_ = JoinPath(folder, "recent.lst");
  buffer_path_ = JoinPath(folder, "recent.tmp");
  Remove("");
  return true;
}

void RecentFileList::Ensure() const {
  if (list_path_.empty() || PathExists(list_path_)) return;
  int fd = open(list_path_.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
}

std::vector<std::string> RecentFileList::ReadLines() const {
  std::vector<std::string> lines;
  std::string text;
  if (list_path_.empty() || !ReadWholeFile(list_path_, &text)) return lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = nl + 1;
  }
  return lines;
}

bool RecentFileList::Replace(const std::vector<std::string>& lines) const {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  int fd = open(buffer_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(w);
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(buffer_path_.c_str(), list_path_.c_str()) != 0) {
    unlink(buffer_path_.c_str());
    return false;
  }
  return true;
}

void RecentFileList::Remove(const std::string& path) {
  if (list_path_.empty()) return;
  Ensure();
  std::vector<std::string> kept;
  for (const std::string& line : ReadLines()) {
    if (static_cast<int>(kept.size()) >= kMaxEntries) break;
    if (line != path && IsNonEmptyRegularFile(line)) kept.push_back(line);
  }
  Replace(kept);
}

void RecentFileList::Add(const std::string& path) {
  if (list_path_.empty()) return;
  Remove(path);
  if (path.find_first_of("\r\n") != std::string::npos || !IsNonEmptyRegularFile(path)) return;
  std::vector<std::string> lines{path};
  for (const std::string& line : ReadLines()) {
    if (static_cast<int>(lines.size()) >= kMaxEntries) break;
    if (IsNonEmptyRegularFile(line)) lines.push_back(line);
  }
  Replace(lines);
}

int RecentFileList::Count() {
  Remove("");
  return static_cast<int>(ReadLines().size());
}

std::string RecentFileList::Entry(int index) const {
  std::vector<std::string> lines = ReadLines();
  if (index < 0 || index >= static_cast<int>(lines.size())) return {};
  const std::string& line = lines[static_cast<size_t>(index)];
  return IsNonEmptyRegularFile(line) ? line : std::string();
}

}  // namespace qv3
