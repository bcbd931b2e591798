// export(path, scope): renders what the user hears into a new file. The
// current audio is decoded as floats inside a neutral tempo wrapper that
// carries the effects (vocal reduction, equaliser); each section is read
// straight or through a time/pitch processor of its own, scaled by the
// volume factor and handed to the output chosen by the path's ending.
// Runs on the GUI thread; progress goes to the status text with pending
// events processed between blocks.
#ifndef QV3_EDITING_EXPORT_RENDER_H_
#define QV3_EDITING_EXPORT_RENDER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "editing/export_dialogs.h"
#include "editing/export_job.h"
#include "editing/export_outputs.h"

namespace qv3 {

inline constexpr char kExportProgressFormat[] = "Export... %.1f %%";
inline constexpr char kExportCompleteText[] = "Export Complete.";
inline constexpr int kExportCompleteMessage = 1325;

enum class ExportResult { kDone, kCancelled, kFailed };

struct ExportStats {
  int sample_rate = 0;
  int channels = 0;
  int64_t frames_written = 0;
  double expected_samples = 0.0;
};

// Renders `scope` of `song` into `path`. On success calls `complete` (the
// main window's message 1325, which shows "Export Complete."); a cancelled
// or failed export does not. Failures are shown as messages here.
ExportResult ExportToFile(const std::string& path, int scope, const ExportSong& song,
                          ExportDialogs* dialogs, const ExportTools& tools,
                          const std::function<void()>& complete, ExportStats* stats = nullptr);

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_RENDER_H_
