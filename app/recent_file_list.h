// The recent-files list: "recent.lst" in the per-user folder, one full path
// per line, newest first, at most 10 lines, rewritten through "recent.tmp"
// which is renamed over it (never delete-then-rename, so a crash cannot lose
// the list). Only lines naming an existing non-empty regular file survive.
#ifndef QV3_APP_RECENT_FILE_LIST_H_
#define QV3_APP_RECENT_FILE_LIST_H_

#include <string>
#include <vector>

namespace qv3 {

class RecentFileList {
 public:
  static constexpr int kMaxEntries = 10;

  // Uses PerUserFolder(per_user_folder_name); when that is no folder shows
  // "Unknown User Home Directory:..." and fails. Prunes the list.
  bool Initialize(const std::string& per_user_folder_name);
  // Puts `path` at the top (once); a path that is no existing non-empty file
  // is only removed. Paths holding a line break are never stored.
  void Add(const std::string& path);
  // Removes `path` (compared case-sensitively) and prunes; "" only prunes.
  void Remove(const std::string& path);
  // Prunes, then counts the entries.
  int Count();
  // The entry at `index` when it still names an existing non-empty file, else "".
  std::string Entry(int index) const;

  const std::string& list_path() const { return list_path_; }
  const std::string& buffer_path() const { return buffer_path_; }

 private:
  void Ensure() const;
  std::vector<std::string> ReadLines() const;
  bool Replace(const std::vector<std::string>& lines) const;

  std::string list_path_;
  std::string buffer_path_;
};

}  // namespace qv3

#endif  // QV3_APP_RECENT_FILE_LIST_H_
