// The trace log "qBoxLog.txt" (folder removal, package building). Each entry
// is opened for appending, prefixed with the local time as
// "%Y-%m-%d %H:%M:%S" and ": ". The file lives in PrivateTempDir(), opened
// without following links, so a link planted in a shared /tmp cannot redirect it.
#ifndef QV3_PLATFORM_TRACE_LOG_H_
#define QV3_PLATFORM_TRACE_LOG_H_

#include <string>

namespace qv3 {

// Full path of the trace log (empty when no safe folder exists).
std::string TraceLogPath();
// Appends one printf-style entry; the format carries its own "\n".
void TraceLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qv3

#endif  // QV3_PLATFORM_TRACE_LOG_H_
