#include "app/configuration.h"

#include <cstdint>
#include <utility>

#include "app/equalizer_presets.h"
#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

// Reads one tool setting; false (after the message) when it is unset ("x"
// default) or, for a program, when the file is missing or cannot be run.
bool ReadTool(const std::string& ini_path, const char* key, const char* init_message,
              const char* find_message, std::string* value) {
  *value = GetProfileString(kConfigSection, key, "x", ini_path, SIZE_MAX);
  if (!value->empty() && (*value)[0] == 'x') {
    MessageBoxCaption(kAppTitle, MsgIcon::kError, init_message, ini_path.c_str());
    return false;
  }
  if (find_message && !(IsNonEmptyRegularFile(*value) && IsExecutableFile(*value))) {
    MessageBoxCaption(kAppTitle, MsgIcon::kError, find_message, ini_path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool WriteFirstConfiguration(const std::string& ini_path) {
  if (PathExists(ini_path)) return true;
  std::string music = JoinPath(MusicDir(), kAppTitle);
  const std::pair<const char*, std::string> values[] = {
      {"FFMpegExe", kDefaultFFMpegExe},
      {"FFPlayExe", kDefaultFFPlayExe},
      {"FFMpegAud", kDefaultFFMpegAud},
      {"FAACExe", JoinPath(ProgramDir(), kAacEncoderName)},
      {"ProjectFilePath", JoinPath(music, "Projects")},
      {"AudioFilePath", JoinPath(music, "Audio")},
      {"ExportFilePath", JoinPath(music, "Export")},
      {"SnifferFilePath", JoinPath(music, "Sniffer")},
      {"TempFilePath", JoinPath(UserCacheDir(), "Temp")},
  };
  bool ok = true;
  for (const auto& [key, value] : values) {
    if (std::string(key).ends_with("FilePath")) MakeDirs(value);
    ok = WriteProfileString(kConfigSection, key, value, ini_path) && ok;
  }
  // A few equaliser presets, so a new user does not start with an empty list.
  ok = WriteStarterEqPresets(ini_path) && ok;
  return ok;
}

bool CheckToolPaths(const std::string& ini_path, ToolPaths* tools) {
  return ReadTool(ini_path, "FFMpegExe",
                  "Can't initialize the ffmpeg path from:\n\n   %s\n\nSorry, can't continue.",
                  "Can't find the ffmpeg executable, specified in:\n\n   %s\n\nSorry, can't continue.",
                  &tools->ffmpeg_exe) &&
         ReadTool(ini_path, "FFPlayExe",
                  "Can't initialize the ffplay path from:\n\n   %s\n\nSorry, can't continue.",
                  "Can't find the ffplay executable, specified in:\n\n   %s\n\nSorry, can't continue.",
                  &tools->ffplay_exe) &&
         ReadTool(ini_path, "FFMpegAud",
                  "Can't initialize the ffmpeg audio options from:\n\n   %s\n\nSorry, can't continue.",
                  nullptr, &tools->ffmpeg_audio) &&
         ReadTool(ini_path, "FAACExe",
                  "Can't initialize the faac path from:\n\n   %s\n\nSorry, can't continue.",
                  "Can't find the faac executable, specified in:\n\n   %s\n\nSorry, can't continue.",
                  &tools->faac_exe);
}

}  // namespace qv3
