// The main window's way to the export commands. The export commands' header
// cannot share a translation unit with the importer's (both declare an
// OpenOutcome), so the window hands its answers over as functions and this
// file implements ExportHost on them.
#ifndef QV3_APP_UI_WINDOW_EXPORT_H_
#define QV3_APP_UI_WINDOW_EXPORT_H_

#include <functional>

#include "editing/export_dialogs.h"
#include "editing/export_job.h"

namespace qv3 {

struct WindowExportBindings {
  std::function<bool()> audio_open;
  std::function<ExportSong()> song;
  std::function<int()> loop_under_play_position;
  std::function<int()> current_loop;
  std::function<void()> stop_playback;
  std::function<void(bool)> enable_window;
  std::function<void()> export_complete;
  ExportDialogs* dialogs = nullptr;
};

// Runs Export Loop 2101, Export All Loops 2102 or Export Song 2103.
void RunWindowExport(int command, const WindowExportBindings& bindings);

}  // namespace qv3

#endif  // QV3_APP_UI_WINDOW_EXPORT_H_
