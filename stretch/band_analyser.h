// The band analyser: analysis and phase-locked resynthesis of one frequency
// band. One object serves every channel of its band so that peak, onset and
// phase decisions are shared: each bin gets one phase rotation applied to all
// channels alike, which keeps the phase differences between channels (the
// stereo image) exactly as in the input.
#ifndef QV3_STRETCH_BAND_ANALYSER_H_
#define QV3_STRETCH_BAND_ANALYSER_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "stretch/fft.h"

namespace qv3 {

// Cheap trigonometry used inside the per-bin loops: the fast arctangent
// z / (1 + 0.28 z^2) and the parabolic sine x (1.2732395 - 0.40528473 |x|).
float FastAtan2(float y, float x);
// The same formula written literally (branch per case), for tests.
float FastAtan2Reference(float y, float x);
float ParabolicSin(float x);  // x in -pi .. pi
float ParabolicCos(float x);  // x in -pi .. pi
// Mean length of the phasor (ParabolicCos, ParabolicSin) over all angles.
double ParabolicPhasorMeanGain();
// Wraps an angle to -pi .. pi.
double WrapPhase(double x);
// Benchmark only: replace the cheap approximations by libm (to measure what
// they cost). Process-wide; never set by the program.
void SetExactTrigForMeasurement(bool exact);

class BandAnalyser {
 public:
  enum class Overlap {
    kCrossfade,  // single band: acc = c x frame + (1 - c) x acc, c = Hann
    kAdd,        // multi band: acc += 0.25 x Blackman-Harris x frame
    kOla,        // transcription: acc += Hann x frame (weighted overlap-add)
  };
  // Shapes a channel's half spectrum (formant correction); may be empty.
  using SpectrumHook = std::function<void(float* packed, int n)>;

  // n: FFT size; edges in Hz (lo 0 and hi at Nyquist mean open ends).
  bool Init(int n, int channels, float sample_rate, double lo_hz,
            double hi_hz, Overlap overlap, double ramp_divisor = 16.0);
  // Synthesis hop h and the gain the caller applies to the output:
  // calibrates the inverse transform so that a steady tone comes out at its
  // input level.
  void SetHop(int h, double gain);
  void Reset();

  // Analyses one frame per channel (n samples each, from the same input
  // position). `hop` is the analysis hop since the previous frame (input
  // frames; 0 or less falls back to bin-centre frequencies). On the first
  // frame after a reset the phases are anchored so that a frame whose output
  // centre lies `anchor_shift` frames after its input centre continues the
  // input's phases. `onset` confirms a broadband onset in this frame: only
  // then do bins whose magnitude jumped take their analysis phases.
  // Returns the dominant period (sample rate / frequency of the strongest
  // peak) or 1.0.
  double Analyse(const float* const* frames, double hop, bool onset,
                 double anchor_shift);
  // Builds the frame with phases locked to the peaks, merges it into the
  // accumulator and adds h x gain samples of output to each out[c].
  void Synthesise(int h, float gain, float* const* out);

  // Lets an owner supply its own transform objects (one for analysis, one
  // for synthesis, both of size n); by default the analyser uses its own.
  void SetTransforms(const Fft* analysis, const Fft* synthesis) {
    analysis_fft_ = analysis;
    synthesis_fft_ = synthesis;
  }
  // Random phase offsets for weak peaks while the analysis is frozen (see
  // Synthesise); null turns them off. The table holds 8192 bytes.
  void set_noise(const uint8_t* table) { noise_ = table; }
  void set_band_switch(bool on) { band_switch_ = on; }
  void set_spectrum_hook(SpectrumHook hook) { hook_ = std::move(hook); }
  int size() const { return n_; }
  // Where (frame position) a frame's content is centred in the output, and
  // the steady-state gain of windows plus overlap (the output calibration).
  double effective_centre() const { return centre_; }
  double peak_count() const { return static_cast<double>(peaks_.size()); }
  // Hann window normalised to a mean absolute value of 1 (the analysis one).
  const std::vector<float>& analysis_window() const { return hann_norm_; }

 private:
  void FindPeaks();

  int n_ = 0, half_ = 0, channels_ = 0;
  float rate_ = 44100.0f;
  Overlap overlap_ = Overlap::kCrossfade;
  bool band_switch_ = false;
  bool first_frame_ = true;  // accumulator's first merge
  bool have_prev_ = false;   // phase history valid
  Fft fft_;
  const Fft* analysis_fft_ = &fft_;
  const Fft* synthesis_fft_ = &fft_;
  std::vector<float> hann_norm_, bh_norm_, hann_;
  std::vector<float> mask_;  // band gain per bin (empty: whole band)
  bool masked_ = false;
  std::vector<std::vector<float>> spec_, mag_, phase_, prev_phase_, acc_;
  std::vector<float> msum_, smooth_, rot_, prev_rot_, omega_, work_;
  std::vector<float> cos_rot_, sin_rot_;
  std::vector<int> peaks_, bounds_;
  std::vector<int> ref_;  // reference channel per peak
  double mean_ = 0.0;
  bool onset_ = false;
  double anchor_shift_ = 0.0;
  double scale_ = 1.0;   // output calibration (includes 1/n)
  double centre_ = 0.0;  // effective centre of a frame's contribution
  SpectrumHook hook_;
  const uint8_t* noise_ = nullptr;
  int noise_pos_ = 0;
};

}  // namespace qv3

#endif  // QV3_STRETCH_BAND_ANALYSER_H_
