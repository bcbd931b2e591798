// The peak scan of a freshly made working WAV, read straight from its PCM
// samples. Every working WAV is plain 8- or 16-bit PCM (copied, or written by
// the WAV writer), and for such samples the scan's 16-bit values are the
// samples themselves (8-bit ones times 256): the file gives exactly the
// peaks a scan of the player's float decoding stream gives, at a fraction
// of the cost for a long song.
#ifndef QV3_EDITING_IMPORT_PEAKS_H_
#define QV3_EDITING_IMPORT_PEAKS_H_

#include <string>

#include "editing/peak_scan.h"

namespace qv3 {

// Scans the plain PCM WAV at `path` into `peaks` with ScanPeaks' millisecond
// boundaries and status texts. *readable is false (and the result false)
// when the file is no plain 8/16-bit PCM WAV: the caller scans the player's
// stream instead. With *readable true, false means a channel count other
// than 1 or 2 or a rate below 1000 Hz.
bool ScanWorkingWavPeaks(const std::string& path, PeakSet* peaks, bool* readable);

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_PEAKS_H_
