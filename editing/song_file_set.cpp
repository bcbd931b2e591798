#include "editing/song_file_set.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "editing/path_names.h"

namespace qv3 {

std::string SongFileSet::ProjectFileName() const { return PathFileName(project_path_); }
std::string SongFileSet::SourceFileName() const { return PathFileName(source_path_); }
std::string SongFileSet::AudioCopyTitle() const { return PathTitle(audio_copy_path_); }

void SongFileSet::Reset() {
  project_path_.clear();
  source_path_.clear();
  audio_copy_path_.clear();
  history_.Reset();
}

std::string DefaultProjectPath(const std::string& project_folder) {
  return project_folder + "/Untitled.qvp";
}

bool IsAudioCopyName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  constexpr size_t kTail = 5 + 6 + 4;  // "-Copy" digits ".wav"
  if (name.size() < kTail) return false;
  const char* tail = name.c_str() + name.size() - kTail;
  if (std::strncmp(tail, "-Copy", 5) != 0) return false;
  for (int i = 5; i < 11; ++i) {
    if (tail[i] < '0' || tail[i] > '9') return false;
  }
  return strcasecmp(tail + 11, ".wav") == 0;
}

std::string AudioCopyPath(const std::string& source_path, const std::string& project_folder) {
  if (IsAudioCopyName(source_path)) return source_path;
  const std::string stem = project_folder + "/" + PathTitle(source_path) + "-Copy";
  for (long long n = 1;; ++n) {
    char number[32];
    std::snprintf(number, sizeof number, "%06lld", n);
    std::string candidate = stem + number + ".wav";
    struct stat st;
    if (lstat(candidate.c_str(), &st) != 0) return candidate;
  }
}

}  // namespace qv3
