// The drawing copy of one channel's peaks with a min/max pyramid, so that a
// pixel column covering thousands of milliseconds is answered from a few
// dozen precomputed blocks instead of every value.
#ifndef QV3_EDITING_UI_PEAK_ENVELOPE_H_
#define QV3_EDITING_UI_PEAK_ENVELOPE_H_

#include <cstdint>
#include <vector>

namespace qv3 {

class PeakEnvelope {
 public:
  // Takes the (maximum, minimum) pairs of a scan: value_count int16 values.
  void Assign(std::vector<int16_t> values, int32_t value_count);
  void Clear();

  int64_t Milliseconds() const { return static_cast<int64_t>(values_.size()) / 2; }
  bool Empty() const { return values_.empty(); }
  int16_t MaxAt(int64_t ms) const { return values_[2 * ms]; }
  int16_t MinAt(int64_t ms) const { return values_[2 * ms + 1]; }

  // Lowest and highest value over milliseconds [first, last), clipped to the
  // data. Returns false when nothing is left after clipping.
  bool Range(int64_t first, int64_t last, int* lo, int* hi) const;

 private:
  static constexpr int kFanOut = 16;
  std::vector<int16_t> values_;
  // Level k (k >= 1) holds the low and high of blocks of 16^k milliseconds.
  std::vector<std::vector<int16_t>> lows_;
  std::vector<std::vector<int16_t>> highs_;
};

}  // namespace qv3

#endif  // QV3_EDITING_UI_PEAK_ENVELOPE_H_
