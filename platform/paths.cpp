#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace qv3 {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

// Reads XDG_<NAME>_DIR from $XDG_CONFIG_HOME/user-dirs.dirs ("$HOME/Music").
std::string UserDir(const char* env_name, const char* key, const char* fallback_leaf) {
  const char* env = std::getenv(env_name);
  if (env && *env) return StripTrailingSlashes(env);
  std::string home = HomeDir();
  std::string config = EnvOr("XDG_CONFIG_HOME", JoinPath(home, ".config"));
  std::ifstream in(JoinPath(config, "user-dirs.dirs"));
  std::string line;
  std::string prefix = std::string(key) + "=";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string value = line.substr(prefix.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return StripTrailingSlashes(value);
  }
  return JoinPath(home, fallback_leaf);
}

}  // namespace

std::string HomeDir() {
  const char* home = std::getenv("HOME");
  if (home && *home) return StripTrailingSlashes(home);
  if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string UserConfigDir() {
  std::string base = EnvOr("XDG_CONFIG_HOME", JoinPath(HomeDir(), ".config"));
  std::string dir = JoinPath(StripTrailingSlashes(base), "Quaverly 3");
  MakeDirs(dir);
  return dir;
}

std::string UserCacheDir() {
  std::string base = EnvOr("XDG_CACHE_HOME", JoinPath(HomeDir(), ".cache"));
  return JoinPath(StripTrailingSlashes(base), "Quaverly 3");
}

std::string DocumentsDir() { return UserDir("XDG_DOCUMENTS_DIR", "XDG_DOCUMENTS_DIR", "Documents"); }

std::string MusicDir() { return UserDir("XDG_MUSIC_DIR", "XDG_MUSIC_DIR", "Music"); }

std::string SystemTempDir() { return StripTrailingSlashes(EnvOr("TMPDIR", "/tmp")); }

std::string PrivateTempDir() {
  std::string dir = JoinPath(SystemTempDir(), "quaverly-" + std::to_string(getuid()));
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return {};
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  if ((st.st_mode & 0077) != 0 && chmod(dir.c_str(), 0700) != 0) return {};
  return dir;
}

std::string ProgramDir() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return ".";
    if (static_cast<size_t>(n) < buf.size()) {
      std::string exe(buf.data(), static_cast<size_t>(n));
      size_t slash = exe.rfind('/');
      return slash == 0 ? "/" : exe.substr(0, slash);
    }
    buf.resize(buf.size() * 2);
  }
}

std::string JoinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  if (a.back() == '/') return b.front() == '/' ? a + b.substr(1) : a + b;
  return b.front() == '/' ? a + b : a + "/" + b;
}

std::string MakeAbsolute(const std::string& path) {
  if (path.empty()) return path;
  std::string full = path;
  if (path[0] != '/') {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size())) {
      if (errno != ERANGE) return path;
      buf.resize(buf.size() * 2);
    }
    full = JoinPath(buf.data(), path);
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= full.size()) {
    size_t j = full.find('/', i);
    if (j == std::string::npos) j = full.size();
    std::string seg = full.substr(i, j - i);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

std::string StripTrailingSlashes(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsNonEmptyRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  size_t pos = 0;
  while ((pos = path.find('/', pos + 1)) != std::string::npos) {
    std::string part = path.substr(0, pos);
    if (!part.empty()) mkdir(part.c_str(), 0755);
  }
  mkdir(path.c_str(), 0755);
  return IsDirectory(path);
}

long long FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

}  // namespace qv3
