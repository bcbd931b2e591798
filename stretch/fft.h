// In-place FFT of N points (N a power of two, exponent 4 .. 20) for real
// frames. Twiddles come from one quarter-wave table of N/4 + 1 cosines
// cos(2 pi i / N); per-stage twiddle rows are unpacked from it once at set-up
// so the butterflies read memory in order. An object is used by one
// thread at a time (it keeps its work arrays).
#ifndef QV3_STRETCH_FFT_H_
#define QV3_STRETCH_FFT_H_

#include <vector>

namespace qv3 {

class Fft {
 public:
  Fft() = default;
  // Prepares for `n` real points. Refuses (returns false) sizes that are not
  // powers of two or whose exponent lies outside 4 .. 20.
  bool Init(int n);
  int size() const { return n_; }

  // Forward transform of n real samples, in place. Output packing:
  // data[0] = Re X(0), data[1] = Re X(n/2), data[2k], data[2k+1] = X(k)
  // for k = 1 .. n/2 - 1. X(k) = sum x(i) exp(-2 pi i k j / n).
  void Forward(float* data) const;
  // Inverse of Forward without scaling: returns n x the original samples.
  void Inverse(float* data) const;

  // Complex in-place transform of n/2 interleaved (re, im) points;
  // sign -1 forward, +1 inverse (unscaled).
  void Complex(float* data, int sign) const;

  // cos(2 pi i / n) for i = 0 .. n/4.
  const std::vector<float>& quarter_table() const { return quarter_; }

 private:
  // Complex transform of the interleaved n/2 points at data, leaving the
  // result in the split work arrays re_, im_ (data is not changed).
  void ComplexSplit(const float* data, int sign) const;
  float Cos(int i) const;  // cos(2 pi i / n) for 0 <= i < n
  float Sin(int i) const;  // sin(2 pi i / n)

  int n_ = 0;
  std::vector<float> quarter_;
  std::vector<int> bitrev_;     // for n/2 complex points
  std::vector<float> tw_re_, tw_im_;  // per stage rows of cos and sin
  std::vector<float> tw_im_neg_;      // -sin, for the forward sign
  // Split-format work arrays: one object serves one thread.
  mutable std::vector<float> re_, im_;
  std::vector<float> post_;     // real-split twiddles (cos, sin), k < n/4
};

}  // namespace qv3

#endif  // QV3_STRETCH_FFT_H_
