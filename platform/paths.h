// File system locations and path helpers, the Linux stand-ins for the
// Windows folders the program uses. Paths are POSIX, joined with "/", kept as
// UTF-8 bytes. None of these functions has a length limit.
#ifndef QV3_PLATFORM_PATHS_H_
#define QV3_PLATFORM_PATHS_H_

#include <string>

namespace qv3 {

// $HOME, else the passwd entry, else "/".
std::string HomeDir();
// $XDG_CONFIG_HOME (default ~/.config) + "/Quaverly 3", created when missing:
// the per-user folder that holds "Quaverly3.ini" and "recent.lst".
std::string UserConfigDir();
// $XDG_CACHE_HOME (default ~/.cache) + "/Quaverly 3".
std::string UserCacheDir();
// The XDG documents folder ($XDG_DOCUMENTS_DIR, user-dirs.dirs), else ~/Documents.
std::string DocumentsDir();
// The XDG music folder ($XDG_MUSIC_DIR, user-dirs.dirs), else ~/Music.
std::string MusicDir();
// $TMPDIR, else "/tmp", trailing slashes removed ("/" stays "/").
std::string SystemTempDir();
// A private folder of this user inside the system temporary folder
// ($TMPDIR/quaverly-$UID, mode 0700, created when missing, refused when it is a
// link or owned by someone else), for fixed-name files such as the trace log.
// Empty when it cannot be made safe.
std::string PrivateTempDir();
// Folder of the running executable, without a trailing slash.
std::string ProgramDir();

// a + "/" + b, without doubling a slash.
std::string JoinPath(const std::string& a, const std::string& b);
// Makes a relative path absolute against the current directory (no symlink
// resolution, "." and ".." segments folded).
std::string MakeAbsolute(const std::string& path);
// Removes trailing "/" characters, keeping a lone "/".
std::string StripTrailingSlashes(const std::string& path);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// A regular file (links followed) of non-zero size.
bool IsNonEmptyRegularFile(const std::string& path);
// A regular file that the user may execute.
bool IsExecutableFile(const std::string& path);
// Creates the folder and its parents (mode 0755); true when it exists afterwards.
bool MakeDirs(const std::string& path);
// Size of a regular file, -1 when it is missing.
long long FileSize(const std::string& path);

}  // namespace qv3

#endif  // QV3_PLATFORM_PATHS_H_
