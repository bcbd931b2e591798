// The Export menu's three commands: which loop, the messages, the save
// dialog in the Export folder (six filters, the duplicate-name check that
// reopens it) and the export itself with the main window disabled.
//
// The main window implements ExportHost and routes its commands:
//   case 2101/2102/2103: RunExportCommand(id, &export_host);
// and its handler of message 1325 (ExportHost::ExportComplete) shows
// "Export Complete." in the status read-out.
#ifndef QV3_EDITING_EXPORT_COMMANDS_H_
#define QV3_EDITING_EXPORT_COMMANDS_H_

#include <string>
#include <vector>

#include "editing/export_dialogs.h"
#include "editing/export_job.h"
#include "editing/export_render.h"
#include "platform/ui_services.h"

namespace qv3 {

inline constexpr int kCmdExportLoop = 2101;
inline constexpr int kCmdExportAllLoops = 2102;
inline constexpr int kCmdExportSong = 2103;

class ExportHost {
 public:
  virtual ~ExportHost() = default;
  virtual bool AudioOpen() = 0;
  // The song as it is now: the history's current audio file, the source
  // path, the loops in list order, master pitch and tempo, the volume
  // slider, the processing mode and the effect set-up (vocal reduction
  // level and the nine equaliser sliders).
  virtual ExportSong SongForExport() = 0;
  // The committed loop under the play position, or -1.
  virtual int LoopUnderPlayPosition() = 0;
  // The document's current loop, or -1.
  virtual int CurrentLoop() = 0;
  virtual void StopPlayback() = 0;
  virtual void EnableMainWindow(bool enable) = 0;
  // Message 1325: the handler shows "Export Complete." as the status text.
  virtual void ExportComplete() = 0;
  // The format chooser and the Bitrate dialog.
  virtual ExportDialogs* Dialogs() = 0;
};

// The six filters of the export save dialog.
std::vector<FileFilter> ExportFileFilters();

// Lower-case comparison of the chosen path with the song's source path.
bool SameFileName(const std::string& a, const std::string& b);

// Runs command 2101, 2102 or 2103. The AAC encoder is the configured
// "FAACExe" (qv3-aacenc when none is configured).
ExportResult RunExportCommand(int command, ExportHost* host);

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_COMMANDS_H_
