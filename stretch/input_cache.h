// The input cache: a window onto the input stream addressed by absolute frame
// positions, filled from the source read callback in amounts of the cache's
// own choosing (the missing frames plus a granularity), never more than it
// holds.
#ifndef QV3_STRETCH_INPUT_CACHE_H_
#define QV3_STRETCH_INPUT_CACHE_H_

#include <cstdint>
#include <vector>

#include "stretch/time_pitch_processor.h"

namespace qv3 {

class InputCache {
 public:
  // unit u = 2^round(log2(4096 x rate_scale)) / 4096; capacity u x 65536
  // frames (at least 10000); granularity u x 4096.
  void Init(int channels, double rate_scale, TimePitchReadCallback read);
  // Property 104: granularity = u x value, value clamped to 0 .. 4096.
  void SetGranularity(double units);
  void Reset();

  // Copies frames [pos, pos + count) into dst (one pointer per channel);
  // frames not in the input (before its start or after its end) are zero.
  // Returns how many of them are input frames at or after pos (count when
  // the whole range is input; less than 1 once the input has ended there).
  int Read(int64_t pos, int count, float* const* dst, void* user_data);

  bool ended() const { return ended_; }
  // Absolute position of the first frame never delivered (valid once ended).
  int64_t end_position() const { return start_ + fill_; }
  double unit() const { return unit_; }
  int capacity() const { return capacity_; }
  int granularity() const { return granularity_; }
  // Largest request ever made of the callback (for tests).
  int largest_request() const { return largest_request_; }

 private:
  void Fetch(int64_t want_end, void* user_data);

  int channels_ = 0;
  double unit_ = 1.0;
  int capacity_ = 0;
  int granularity_ = 0;
  TimePitchReadCallback read_ = nullptr;
  std::vector<std::vector<float>> data_;
  float* ptrs_[2] = {nullptr, nullptr};
  int64_t start_ = 0;  // absolute position of data_[c][0]
  int fill_ = 0;       // frames held from start_
  bool ended_ = false;
  int largest_request_ = 0;
};

}  // namespace qv3

#endif  // QV3_STRETCH_INPUT_CACHE_H_
