// The program's configuration as every part reads it: the profile file
// "Quaverly3.ini" in the per-user folder, the external tool paths checked at
// start-up, the five default folders and the system temporary folder. Kept in
// the platform layer because import, export, working files, the sniffer and
// the package builder all need them; start-up itself lives in app/.
#ifndef QV3_PLATFORM_APP_SETTINGS_H_
#define QV3_PLATFORM_APP_SETTINGS_H_

#include <string>

namespace qv3 {

// Section of the tool paths and default folders.
inline constexpr char kConfigSection[] = "Quaverly 3";
inline constexpr char kConfigFileName[] = "Quaverly3.ini";

// $XDG_CONFIG_HOME (default ~/.config) + "/" + name, created when it is not a
// folder. The main program's per-user folder is PerUserFolder("Quaverly 3").
std::string PerUserFolder(const std::string& name);
// The per-user folder + "/Quaverly3.ini".
std::string ConfigFilePath();

// The folder configured for "Project", "Audio", "Export", "Sniffer" or "Temp":
// key name + "FilePath" in section "Quaverly 3", read fresh on every call; the
// user's home folder when the key is missing; one trailing "/" removed unless
// the value is "/". Read whole, never cut at a path buffer size.
std::string DefaultLocation(const std::string& name);

// The system temporary folder ($TMPDIR, else /tmp) without trailing slashes.
// When it cannot be found (a relative $TMPDIR) or is no folder, shows the
// message of the package builder ("qBox - Publish to Cloud") and returns false.
bool SystemTempFolder(std::string* path);

// The external tools, as read and checked at start-up.
struct ToolPaths {
  std::string ffmpeg_exe;    // "FFMpegExe"
  std::string ffplay_exe;    // "FFPlayExe"
  std::string ffmpeg_audio;  // "FFMpegAud": audio options passed to ffmpeg
  std::string faac_exe;      // "FAACExe"
};
const ToolPaths& AppToolPaths();
void SetAppToolPaths(const ToolPaths& tools);

}  // namespace qv3

#endif  // QV3_PLATFORM_APP_SETTINGS_H_
