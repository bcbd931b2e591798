#include "app/ui/window_export.h"

#include "editing/export_commands.h"

namespace qv3 {
namespace {

class BoundExportHost : public ExportHost {
 public:
  explicit BoundExportHost(const WindowExportBindings& b) : b_(b) {}
  bool AudioOpen() override { return b_.audio_open(); }
  ExportSong SongForExport() override { return b_.song(); }
  int LoopUnderPlayPosition() override { return b_.loop_under_play_position(); }
  int CurrentLoop() override { return b_.current_loop(); }
  void StopPlayback() override { b_.stop_playback(); }
  void EnableMainWindow(bool enable) override { b_.enable_window(enable); }
  void ExportComplete() override { b_.export_complete(); }
  ExportDialogs* Dialogs() override { return b_.dialogs; }

 private:
  const WindowExportBindings& b_;
};

}  // namespace

void RunWindowExport(int command, const WindowExportBindings& bindings) {
  BoundExportHost host(bindings);
  RunExportCommand(command, &host);
}

}  // namespace qv3
