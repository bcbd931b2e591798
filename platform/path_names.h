// Names taken from paths for titles, messages and type tests, and the file
// type classes that decide how a file is opened. Only the last path component
// is looked at: "/home/u/v1.2/song" has neither a title nor an extension.
// Callers make paths from the command line or a drop absolute first
// (MakeAbsolute in platform/paths.h), since a bare name has no "/".
#ifndef QV3_PLATFORM_PATH_NAMES_H_
#define QV3_PLATFORM_PATH_NAMES_H_

#include <string>

namespace qv3 {

// What the name functions give when the part is missing.
inline constexpr char kUnknownName[] = "(unknown)";

// The text after the last "/"; "(unknown)" when there is no "/".
std::string PathFileName(const std::string& path);
// The file name without its extension: the text between the last "/" and the
// last "." of the file name; "(unknown)" when there is no "/" or the file name
// has no "." after its first character.
std::string PathTitle(const std::string& path);
// The text after the last "." of the file name, lower-cased; "(unknown)" when
// the file name has no ".".
std::string PathExtension(const std::string& path);

// File type classes, tested on the lower-cased extension. "mp4" counts as
// audio, which callers test before video.
bool IsWavFile(const std::string& path);    // "wav"
// wav mp3 aac mp4 m4a mp1 aif wma ogg cda flac opus aiff aifc
bool IsAudioFile(const std::string& path);
bool IsVideoFile(const std::string& path);  // avi m4v mpg mov flv wmv rm

}  // namespace qv3

#endif  // QV3_PLATFORM_PATH_NAMES_H_
