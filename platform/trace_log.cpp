#include "platform/trace_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <ctime>

#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {

std::string TraceLogPath() {
  std::string dir = PrivateTempDir();
  return dir.empty() ? std::string() : JoinPath(dir, "qBoxLog.txt");
}

void TraceLog(const char* format, ...) {
  std::string path = TraceLogPath();
  if (path.empty()) return;
  char stamp[64];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S: ", &local);
  va_list args;
  va_start(args, format);
  std::string entry = std::string(stamp, n) + StringPrintfV(format, args);
  va_end(args);
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // One write per entry keeps entries from threads and processes whole.
  size_t done = 0;
  while (done < entry.size()) {
    ssize_t w = write(fd, entry.data() + done, entry.size() - done);
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  close(fd);
}

}  // namespace qv3
