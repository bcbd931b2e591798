// The processing instance behind a TimePitchProcessor handle: a
// multi-resolution, peak-locked phase vocoder. The input is split into
// frequency bands, each analysed with its own FFT size, stretched in time by
// the product P of time and pitch factor with phases locked to spectral
// peaks, summed, and resampled by the pitch factor. Input comes through an
// input cache from the read callback; output leaves through a queue in
// whatever amounts the caller asks for.
//
// Timing: every frame is read so that its content is heard where it belongs
// (input position x at output position x x time factor); the start is primed
// with analysis frames before the start position (pre-roll or silence), and
// onsets found ahead in the input re-anchor the frame that plays them, so a
// transient lands on its ideal time and is not smeared ahead of itself.
#ifndef QV3_STRETCH_TIME_PITCH_CORE_H_
#define QV3_STRETCH_TIME_PITCH_CORE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "stretch/band_analyser.h"
#include "stretch/input_cache.h"
#include "stretch/onset_detector.h"
#include "stretch/resampler.h"
#include "stretch/time_pitch_processor.h"

namespace qv3 {

class TranscriptionProcessor;

class TimePitchCore {
 public:
  static constexpr int kMaxBands = 11;

  TimePitchCore();
  ~TimePitchCore();

  // 0, -108 when a buffer cannot be allocated, -6 when initialised twice.
  int Init(int mode, int quality, int channels, float sample_rate,
           float overlap, TimePitchReadCallback read);
  // n frames into every out[c]; n, 0 at the end, -1 for n <= 0 or no
  // buffers.
  int Process(float** out, int n, void* user_data);
  int SetProperty(int selector, double value);
  void Reset(bool clear);

  // Figures for callers and tests.
  double pitch_factor() const { return pitch_; }
  double time_factor() const { return time_; }
  double formant_factor() const { return formant_; }
  bool started() const { return started_; }
  int mode() const { return mode_; }
  int band_count() const { return bands_; }
  int band_size(int j) const { return band_[j].size; }
  double band_low(int j) const { return band_[j].lo_hz; }
  double band_high(int j) const { return band_[j].hi_hz; }
  int alignment_delay(int j) const { return band_[j].align; }
  double weighting() const { return w_; }
  int block_length() const { return block_len_; }
  int synthesis_hop() const { return v_; }
  bool band_switch() const { return band_switch_; }
  bool switch_a() const { return switch_a_; }
  bool switch_b() const { return switch_b_; }
  bool switch_c() const { return switch_c_; }
  float overlap() const { return overlap_; }
  int preroll() const { return preroll_; }
  // Pre-roll frames that fully prime the analysis at the current factors.
  int PrerollWanted() const;
  const InputCache& cache() const { return cache_; }
  double reference_pitch() const { return ref_pitch_; }
  float correction_smoothing() const { return smoothing_; }
  float target_frequency() const { return target_hz_; }
  bool pitch_correction() const { return pitch_correction_; }
  double rate_scale() const { return rate_scale_; }
  // Onsets that re-anchored a frame since the last reset (for tests).
  int onsets_used() const { return onsets_used_; }

 private:
  struct Band {
    int size = 0;
    double lo_hz = 0, hi_hz = 0;
    double period = -1.0;       // last dominant-period estimate
    int64_t read = 0;           // frame centre actually analysed
    int64_t prev_read = 0;
    double ideal = 0;           // ideal analysis centre
    bool have_read = false;
    int align = 0;
    double centre = 0;          // effective centre in the output frame
    int64_t anchor = -1;        // onset (absolute) the frames are held to
    bool catching_up = false;   // returning to the ideal after an onset
  };

  void Configure();
  void ComputeAlignment();
  void PrepareHops();
  int RunBlock(void* user_data);
  // One analysis/synthesis hop of a band whose output starts at stretch
  // time `hop_start`; returns the analyser's dominant period.
  double RunHop(BandAnalyser& an, Band& b, int h, float gain, double p,
                double hop_start, bool period_rule, float* const* frame,
                float* const* out, void* user_data);
  // Reads n frames centred on absolute cache position `centre`; from `cut`
  // on (an onset that belongs to later frames) the frame is faded out.
  void ReadFrame(int n, int64_t centre, int64_t cut, float* const* dst,
                 void* user_data);
  bool FillQueue(void* user_data);
  int64_t EndTarget() const;
  int Resample(int len);
  int ProcessConstantLoad(float** out, int n, void* user_data);
  double PreAnalyse(int j, const float* const* frame);
  void PitchCorrect(double period);
  void FormantCorrect(float* packed, int n);
  int PullQueue(float* const* out, int offset, int n, void* user_data);
  friend class TranscriptionProcessor;

  // Design fields.
  double ref_pitch_ = 440.0;
  float smoothing_ = 0.0f;
  float target_hz_ = -1.0f;
  bool pitch_correction_ = false;
  bool formant_follow_ = false;
  bool initialised_ = false;
  bool busy_ = false;
  bool band_switch_ = false;
  bool switch_a_ = true, switch_b_ = false, switch_c_ = false;
  double time_ = 1.0, pitch_ = 1.0, formant_ = 1.0;
  double resampler_factor_ = 1.0;
  bool constant_load_ = false;
  float rate_ = 44100.0f;
  double rate_scale_ = 1.0;
  float overlap_ = 6.0f;
  double ramp_divisor_ = 16.0;
  double w_ = 0.29;
  double cutoff_factor_ = 4.0;
  int bands_ = 1;
  int mode_ = 200;
  int quality_ = 303;
  int channels_ = 1;
  bool single_band_ = true;
  std::array<Band, kMaxBands> band_;
  std::array<int, kMaxBands> band_hop_{};
  std::array<double, kMaxBands> band_gain_{};
  std::array<double, 13> align_x_{}, align_y_{};
  std::vector<uint8_t> noise_;
  std::vector<double> semitones_;
  uint32_t total_out_ = 0;
  double carry_ = 0.0;
  int queue_read_ = 0, queue_fill_ = 0;
  bool started_ = true;
  bool params_changed_ = false;  // never set here: bands always realign

  TimePitchReadCallback read_ = nullptr;
  InputCache cache_;
  OnsetDetector onsets_;
  std::vector<BandAnalyser> analysers_;  // one per band (all channels)
  std::unique_ptr<TranscriptionProcessor> transcriber_;
  // The two resampler sets (each one object for all channels): the pitch
  // resampler of the multi-band modes (tag 303, or 300 at quality 300) and
  // the constant-load path's (always tag 300).
  Resampler resampler_;
  Resampler load_resampler_;

  // Block state.
  int v_ = 683, block_len_ = 683;
  int preroll_ = 0;
  double stretch_time_ = 0;   // output time (stretch domain) of the block
  int64_t out_frames_ = 0;    // frames delivered after resampling
  int64_t end_target_ = -1;   // output frames due once the input ended
  bool first_output_block_ = true;
  bool onset_pending_ = false;
  int64_t pending_onset_ = 0;
  int onsets_used_ = 0;
  int64_t last_onset_ = -1;   // absolute position of the last onset used
  bool drained_ = false;
  double lin_pos_ = 0.0;          // continuous linear resampler (mode 200)
  std::vector<float> lin_last_;   // last input sample per channel
  std::vector<std::vector<float>> block_, frame_, queue_, pass_, scratch_;
  std::vector<std::vector<float>> load_in_;
  std::vector<float*> frame_ptr_, block_ptr_, scratch_ptr_;
  std::vector<float> env_, env2_, ratio_, pre_;
};

}  // namespace qv3

#endif  // QV3_STRETCH_TIME_PITCH_CORE_H_
