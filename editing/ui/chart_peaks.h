// What the open, edit, undo and redo paths do around the peak scan, once
// they have shown "Scanning Peaks..." and opened the working audio as a float
// decoding channel: the scan, its failure message, the new series and song
// length in the view, and the status text cleared.
#ifndef QV3_EDITING_UI_CHART_PEAKS_H_
#define QV3_EDITING_UI_CHART_PEAKS_H_

#include "audiolib/audiolib.h"
#include "editing/ui/chart_ctrl.h"

namespace qv3 {

// The view's old series are dropped first, so on failure ("Failed to Scan the
// Audio Peaks.", caption "Read Error") the view stays empty. The channel is
// left at position 0.
bool ScanPeaksIntoView(CChartCtrl* view, StreamHandle channel, double song_length);

}  // namespace qv3

#endif  // QV3_EDITING_UI_CHART_PEAKS_H_
