// The export host: the song as it is now, with the effects of the output
// channel (vocal reduction and equaliser) for the export stream.
#include <QMetaObject>
#include <QSlider>

#include "app/equalizer_bands.h"
#include "app/ui/eq_dialog.h"
#include "app/ui/quaverly3_dlg.h"
#include "app/ui/window_export.h"

namespace qv3 {

ExportSong CQuaverly3Dlg::SongForExport() {
  ExportSong song;
  song.audio_path = files_.CurrentNames().audio;
  song.source_path = document_.state().source_path;
  const LoopList& loops = document_.loops();
  for (int i = 0; i < loops.count(); ++i) {
    const LoopRecord& record = loops.Loop(i);
    ExportLoop loop;
    loop.name = record.name;
    loop.start = record.start;
    loop.end = record.end;
    loop.pitch = record.pitch;
    loop.tempo = record.tempo;
    song.loops.push_back(loop);
  }
  song.master_pitch = document_.state().master.pitch;
  song.master_tempo = document_.state().master.tempo;
  song.volume_slider = volume_slider_->value();
  song.processor_mode = player_->processing_mode();
  song.attach_effects = [this](StreamHandle stream) {
    vocal_reduction_.InstallOn(stream);
    // The library owns the effects and frees them with the stream; the
    // handles are not needed afterwards.
    EqualizerEffects effects;
    eq_dlg_->controller().ReapplyEqualizer(stream, &effects);
  };
  return song;
}

void CQuaverly3Dlg::RunExport(int id) {
  if (!player_->IsOpen()) return;
  WindowExportBindings b;
  b.audio_open = [this] { return player_->IsOpen(); };
  b.song = [this] { return SongForExport(); };
  b.loop_under_play_position = [this] { return document_.loops().LoopAt(CurrentPosition()); };
  b.current_loop = [this] { return document_.state().current_loop; };
  b.stop_playback = [this] { StopPlayback(); };
  b.enable_window = [this](bool enable) { EnableMainWindow(enable); };
  // Message 1325, handled once the export has returned.
  b.export_complete = [this] {
    QMetaObject::invokeMethod(this, [this] { OnExportDone(); }, Qt::QueuedConnection);
  };
  b.dialogs = &export_dialogs_;
  RunWindowExport(id, b);
  UpdateCommandStates();
}

}  // namespace qv3
