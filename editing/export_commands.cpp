#include "editing/export_commands.h"

#include <cctype>

#include "platform/app_settings.h"

namespace qv3 {

std::vector<FileFilter> ExportFileFilters() {
  return {{"WAV (*.wav)", "*.wav"}, {"MP3 (*.mp3)", "*.mp3"}, {"AAC (*.aac)", "*.aac"},
          {"MP4 (*.mp4)", "*.mp4"}, {"M4A (*.m4a)", "*.m4a"}, {"WMA (*.wma)", "*.wma"}};
}

bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

ExportResult RunExportCommand(int command, ExportHost* host) {
  if (!host->AudioOpen()) {
    MessageBoxCaption("No Audio Files Open", MsgIcon::kInformation,
                      "Please open an Audio File first, thanks.");
    return ExportResult::kFailed;
  }
  ExportSong song = host->SongForExport();
  const int loops = static_cast<int>(song.loops.size());
  int scope = kExportScopeSong;
  std::string title = "Export Song As...";
  if (command == kCmdExportLoop) {
    if (loops == 1) {
      scope = 0;
    } else {
      scope = host->LoopUnderPlayPosition();
      if (scope < 0 || scope >= loops) scope = host->CurrentLoop();
    }
    if (scope < 0 || scope >= loops) {
      MessageBoxCaption("Export Loop", MsgIcon::kInformation,
                        "Please put the Position indicator between a Loop first, thanks.");
      return ExportResult::kFailed;
    }
    title = StringPrintf("Export Loop \"%s\" As...", song.loops[scope].name.c_str());
  } else if (command == kCmdExportAllLoops) {
    if (loops == 0) {
      MessageBoxCaption("Export Loop", MsgIcon::kInformation,
                        "No Loops have been defined.  Please create some Loops first, thanks.");
      return ExportResult::kFailed;
    }
    scope = kExportScopeAllLoops;
    title = "Export All Loops As...";
  } else if (command != kCmdExportSong) {
    return ExportResult::kFailed;
  }

  host->StopPlayback();
  FileDialogRequest request;
  request.title = title;
  request.filters = ExportFileFilters();
  request.default_extension = "wav";
  request.initial_folder = DefaultLocation("Export");
  request.overwrite_prompt = true;
  std::string path;
  for (;;) {
    path = Ui().SaveFileName(request);
    if (path.empty()) return ExportResult::kCancelled;
    // The working audio being read is refused the same way: writing over it
    // would destroy the song while it is exported.
    if (!SameFileName(path, song.source_path) && path != song.audio_path) break;
    MessageBoxCaption("Duplicate File Name", MsgIcon::kExclamation,
                      "The Destination File Name is the same as the Source File Name.  Please "
                      "use a different File Name, thanks.");
  }

  ExportTools tools;
  tools.aac_encoder = AppToolPaths().faac_exe.empty() ? "qv3-aacenc" : AppToolPaths().faac_exe;
  host->EnableMainWindow(false);
  const ExportResult result =
      ExportToFile(path, scope, song, host->Dialogs(), tools, [host] { host->ExportComplete(); });
  host->EnableMainWindow(true);
  return result;
}

}  // namespace qv3
