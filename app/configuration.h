// The configuration file at start-up: the first configuration written when
// none exists, and the checks of the four external tool settings.
#ifndef QV3_APP_CONFIGURATION_H_
#define QV3_APP_CONFIGURATION_H_

#include <string>

#include "platform/app_settings.h"

namespace qv3 {

// The working defaults of a first start (what an installer would write).
inline constexpr char kDefaultFFMpegExe[] = "/usr/bin/ffmpeg";
inline constexpr char kDefaultFFPlayExe[] = "/usr/bin/ffplay";
inline constexpr char kDefaultFFMpegAud[] = "-vn -acodec pcm_s16le -ar 44100 -ac 2";
inline constexpr char kAacEncoderName[] = "qv3-aacenc";

// When `ini_path` does not exist at all, writes it with the tool paths (the
// AAC encoder beside the program) and the five default folders (Project, Audio,
// Export, Sniffer under the music folder's "Quaverly 3", Temp under the cache
// folder), creating the folders, and the starter equaliser presets. A file that exists is never touched, even
// when keys are missing. Returns false only when writing failed.
bool WriteFirstConfiguration(const std::string& ini_path);

// Reads and checks "FFMpegExe", "FFPlayExe", "FFMpegAud" and "FAACExe" in
// order; the first failure shows its message (caption "Quaverly 3", error
// icon) and gives false. The three programs must be non-empty executable files.
bool CheckToolPaths(const std::string& ini_path, ToolPaths* tools);

}  // namespace qv3

#endif  // QV3_APP_CONFIGURATION_H_
