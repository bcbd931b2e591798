#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qv3 {

AtomicFileWriter::AtomicFileWriter(const std::string& target) : target_(target) {
  std::string tmpl = target + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return;
  // Keep the permissions the target had, else the usual 0644 under the umask.
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  temp_path_ = name.data();
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (file_) fclose(file_);
  if (!committed_ && !temp_path_.empty()) unlink(temp_path_.c_str());
}

bool AtomicFileWriter::CloseForAppend() {
  if (!file_) return closed_ok_;
  bool ok = fflush(file_) == 0 && !ferror(file_);
  ok = (fclose(file_) == 0) && ok;
  file_ = nullptr;
  closed_ok_ = ok;
  return ok;
}

bool AtomicFileWriter::Commit() {
  if (temp_path_.empty()) return false;
  if (file_ && !CloseForAppend()) return false;
  if (!closed_ok_) return false;
  int fd = open(temp_path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  close(fd);
  if (!synced || rename(temp_path_.c_str(), target_.c_str()) != 0) return false;
  committed_ = true;
  // Make the rename itself durable.
  std::string dir = target_.substr(0, target_.find_last_of('/') == std::string::npos
                                          ? 0
                                          : target_.find_last_of('/'));
  int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

bool AtomicWriteFile(const std::string& target, const std::string& data) {
  AtomicFileWriter w(target);
  if (!w.file()) return false;
  if (!data.empty() && fwrite(data.data(), 1, data.size(), w.file()) != data.size()) return false;
  return w.Commit();
}

bool AtomicCopyFile(const std::string& source, const std::string& target) {
  FILE* in = fopen(source.c_str(), "rb");
  if (!in) return false;
  AtomicFileWriter w(target);
  if (!w.file()) {
    fclose(in);
    return false;
  }
  std::vector<char> buf(1 << 20);
  bool ok = true;
  for (;;) {
    size_t n = fread(buf.data(), 1, buf.size(), in);
    if (n > 0 && fwrite(buf.data(), 1, n, w.file()) != n) {
      ok = false;
      break;
    }
    if (n < buf.size()) {
      ok = !ferror(in);
      break;
    }
  }
  fclose(in);
  return ok && w.Commit();
}

bool ReadWholeFile(const std::string& path, std::string* data) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  data->clear();
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->append(buf, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

}  // namespace qv3
