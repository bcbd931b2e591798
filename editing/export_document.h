// Glue for the main window, which holds the document's loop list: the loops
// as export takes them. Header-only so that editing does not link document.
#ifndef QV3_EDITING_EXPORT_DOCUMENT_H_
#define QV3_EDITING_EXPORT_DOCUMENT_H_

#include <vector>

#include "document/loop_list.h"
#include "editing/export_job.h"

namespace qv3 {

// The committed loops in list order (the pending one is left out).
inline std::vector<ExportLoop> ExportLoopsOf(const LoopList& loops) {
  std::vector<ExportLoop> out;
  for (int i = 0; i < loops.count(); ++i) {
    const LoopRecord& r = loops.Loop(i);
    out.push_back({r.name, r.start, r.end, r.pitch, r.tempo});
  }
  return out;
}

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_DOCUMENT_H_
