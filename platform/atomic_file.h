// Writing files so that a failed or interrupted write never destroys the
// previous version: data goes to a temporary file in the same folder, which is
// flushed, fsync'ed and renamed over the target.
#ifndef QV3_PLATFORM_ATOMIC_FILE_H_
#define QV3_PLATFORM_ATOMIC_FILE_H_

#include <cstdio>
#include <string>

namespace qv3 {

// A FILE* open on a temporary file beside `target`; Commit() renames it over
// the target, destruction without Commit() removes it.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& target);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Null when the temporary file could not be created.
  FILE* file() const { return file_; }
  const std::string& temp_path() const { return temp_path_; }
  // Flushes, fsyncs, closes and renames; false (target untouched) on any error,
  // including earlier write errors on file().
  bool Commit();
  // Closes the FILE* without renaming, so other code can append to temp_path()
  // by name; a later Commit() still renames.
  bool CloseForAppend();

 private:
  std::string target_;
  std::string temp_path_;
  FILE* file_ = nullptr;
  bool committed_ = false;
  bool closed_ok_ = false;
};

// Writes `data` to `target` atomically.
bool AtomicWriteFile(const std::string& target, const std::string& data);
// Copies `source` to `target` atomically (the target keeps its old content on failure).
bool AtomicCopyFile(const std::string& source, const std::string& target);
// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* data);

}  // namespace qv3

#endif  // QV3_PLATFORM_ATOMIC_FILE_H_
