#include "editing/import_preview.h"

#include <atomic>

#include "editing/import_decode.h"
#include "editing/path_names.h"
#include "engine/audio_setup.h"
#include "platform/paths.h"

namespace qv3 {
namespace {

std::atomic<bool> g_auto_play{false};

}  // namespace

bool SourcePreview::RememberedAutoPlay() { return g_auto_play.load(); }

void SourcePreview::SetAutoPlay(bool on) {
  g_auto_play.store(on);
  if (!on) Stop();
}

void SourcePreview::Select(const std::string& path) {
  if (!auto_play() || !IsNonEmptyRegularFile(path)) return;
  Stop();
  StreamHandle stream = 0;
  if (IsCdTrackPath(path)) {
    if (ImportCdStreamOpener open_cd = GetImportCdStreamOpener()) stream = open_cd(path.c_str(), 0);
  } else if (PathExtension(path) == "wma") {
    stream = WmaStreamCreateFile(path.c_str(), 0, 0, 0);
  } else {
    stream = StreamCreateFile(path.c_str(), 0, 0, 0);
  }
  if (!stream) return;
  if (!ChannelPlay(stream, false)) {
    StreamFree(stream);
    return;
  }
  stream_ = stream;
  playing_path_ = path;
}

void SourcePreview::Stop() {
  if (!stream_) return;
  ChannelStop(stream_);
  StreamFree(stream_);
  stream_ = 0;
  playing_path_.clear();
}

}  // namespace qv3
