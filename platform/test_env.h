// Test helpers: a fresh temporary folder removed at the end, and environment
// variables set for the length of a scope. Header-only so any folder's tests
// can use them; not for production code.
#ifndef QV3_PLATFORM_TEST_ENV_H_
#define QV3_PLATFORM_TEST_ENV_H_

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv3 {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qv3test.XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }
  // Writes `content` to path()/name (creating parent folders) and returns the path.
  std::string WriteFile(const std::string& name, const std::string& content, int mode = 0644) const {
    std::string p = Sub(name);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    if (FILE* f = std::fopen(p.c_str(), "wb")) {
      std::fwrite(content.data(), 1, content.size(), f);
      std::fclose(f);
    }
    chmod(p.c_str(), static_cast<mode_t>(mode));
    return p;
  }
  std::string MakeDir(const std::string& name) const {
    std::filesystem::create_directories(Sub(name));
    return Sub(name);
  }

 private:
  std::string path_;
};

// Sets (or with nullptr unsets) environment variables, restoring them at the end.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        unsetenv(it->first.c_str());
      }
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  void Set(const std::string& name, const char* value) {
    const char* old = getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
      setenv(name.c_str(), value, 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const std::string& value) { Set(name, value.c_str()); }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_TEST_ENV_H_
