// Broadband onset finder working ahead of the analysis on the input itself:
// the energy of the second difference (which weights high frequencies,
// where attacks are broadband and steady tones are weak) in short segments,
// against the mean of the segments before. A vibrato partial moving between
// bins changes almost none of this energy; a hit or a plucked note does.
#ifndef QV3_STRETCH_ONSET_DETECTOR_H_
#define QV3_STRETCH_ONSET_DETECTOR_H_

#include <cstdint>
#include <vector>

#include "stretch/input_cache.h"

namespace qv3 {

class OnsetDetector {
 public:
  static constexpr int64_t kNone = INT64_MAX;

  // unit: the input cache's unit (segments are 128 x unit frames).
  void Init(int channels, double unit);
  void Reset();
  // Scans the input up to absolute cache position `upto`.
  void ScanTo(int64_t upto, InputCache& cache, void* user_data);
  // First onset (absolute cache position) at or after `from`, or kNone.
  int64_t NextAtOrAfter(int64_t from) const;
  int segment() const { return seg_; }

 private:
  int channels_ = 1;
  int seg_ = 128;
  int64_t scanned_ = 0;  // next segment start
  std::vector<std::vector<float>> buf_;
  std::vector<float*> ptr_;
  std::vector<float> last_, last2_;  // previous two samples per channel
  std::vector<double> hist_;  // ring of recent segment energies
  int hist_count_ = 0, hist_pos_ = 0;
  int refractory_ = 0;
  std::vector<int64_t> found_;  // ring of onset positions, ascending
  size_t found_head_ = 0;       // oldest kept entry
};

}  // namespace qv3

#endif  // QV3_STRETCH_ONSET_DETECTOR_H_
