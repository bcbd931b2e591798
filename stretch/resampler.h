// Band-limited streaming resampler: Kaiser-windowed sinc, evaluated from a
// finely sampled kernel table. Tag 303 is the clean one (96 taps at unity,
// stop band from the lower Nyquist frequency, beyond 90 dB); tag 300 is a
// lighter one (32 taps, about 70 dB). When decimating, the kernel widens by
// the ratio so the cut-off follows the lower rate and nothing aliases.
#ifndef QV3_STRETCH_RESAMPLER_H_
#define QV3_STRETCH_RESAMPLER_H_

#include <vector>

namespace qv3 {

class Resampler {
 public:
  // max_block: the largest input block Process will see.
  void Init(int channels, int quality_tag, int max_block);
  // Input samples consumed per output sample (> 1 shortens the signal).
  // Clamped to 0.05 .. 12.
  void SetStep(double step);
  double step() const { return step_; }
  void Reset();
  // Appends n_in input frames and writes every output frame that can now
  // be computed (at most max_out). Output frame j sits at input position
  // j x step: no delay is added. Returns the number written.
  int Process(const float* const* in, int n_in, float* const* out,
              int max_out);
  int half_taps() const { return zero_crossings_; }

 private:
  float Kernel(double x) const;  // x in units of the lower-rate sample

  int channels_ = 0;
  int zero_crossings_ = 48;
  double cutoff_ = 0.468;  // of the lower sampling rate
  int phases_ = 512;       // table points per zero crossing
  std::vector<float> table_;
  double step_ = 1.0;
  std::vector<std::vector<float>> buf_;
  int history_ = 0;   // samples kept before the read point
  int capacity_ = 0;
  long long base_ = 0;  // absolute input index of buf_[c][0]
  int fill_ = 0;
  double pos_ = 0.0;  // absolute input position of the next output
};

}  // namespace qv3

#endif  // QV3_STRETCH_RESAMPLER_H_
