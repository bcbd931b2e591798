// The per-channel processing chain: DSP procedures and parametric-equaliser
// effects in priority order, applied to blocks in the channel's own sample
// format. A chain is immutable once published; changes build a new chain
// (copy-on-write) so that the mixer reads it without a lock. Effect objects
// are shared between successive chains, so their filter state carries over.
#ifndef QV3_AUDIOLIB_DSP_CHAIN_H_
#define QV3_AUDIOLIB_DSP_CHAIN_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audiolib/audiolib.h"

namespace qv3::audio_internal {

inline constexpr int kMaxEqChannels = 8;

// One peaking biquad band (RBJ cookbook peaking EQ, transposed direct form
// II). Parameters are written by any thread and picked up by the processing
// thread through a version counter; coefficients are recomputed there.
class ParamEq {
 public:
  ParamEq();
  void SetParameters(const ParamEqParameters& p);
  ParamEqParameters GetParameters() const;
  // Processes interleaved float frames in place (processing thread only).
  void Process(float* data, uint32_t frames, uint32_t channels, uint32_t rate);
  // Runs several bands in series over the same block, frame by frame, so
  // their independent recursions overlap in the pipeline.
  static void ProcessCascade(ParamEq* const* bands, int count, float* data, uint32_t frames,
                             uint32_t channels, uint32_t rate);
  void Reset();

  // Exposed for tests: the filter's magnitude in dB at `freq`.
  static double ResponseDb(const ParamEqParameters& p, uint32_t rate, double freq);

 private:
  struct Coefs {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    bool bypass = true;
  };
  static Coefs Design(const ParamEqParameters& p, uint32_t rate);
  // Picks up new parameters; false when the band passes the signal as is.
  bool Prepare(uint32_t rate);

  std::atomic<float> center_{1000.0f};
  std::atomic<float> bandwidth_{12.0f};
  std::atomic<float> gain_{0.0f};
  std::atomic<uint32_t> version_{1};
  uint32_t seen_version_ = 0;
  uint32_t seen_rate_ = 0;
  Coefs coefs_;
  float z1_[kMaxEqChannels] = {};
  float z2_[kMaxEqChannels] = {};
};

struct ChainEntry {
  int priority = 0;
  uint64_t order = 0;   // insertion order, ties keep it
  AudioHandle handle = 0;
  DspProc proc = nullptr;
  void* user = nullptr;
  std::shared_ptr<ParamEq> eq;  // set for effects
};

struct Chain {
  std::vector<ChainEntry> entries;  // sorted: priority descending, then order
};

// Builds a new chain with `entry` added / `handle` removed.
std::shared_ptr<const Chain> ChainWith(const std::shared_ptr<const Chain>& old, ChainEntry entry);
std::shared_ptr<const Chain> ChainWithout(const std::shared_ptr<const Chain>& old, AudioHandle handle,
                                          bool* found);

// Runs the chain over `frames` frames in `buffer` (int16 when !is_float).
// `scratch` must hold frames x channels floats; used to run effects on
// 16-bit data. No allocation. When `float_out` is given and the chain of a
// 16-bit channel ends with effects, their result goes there directly
// (limited to the 16-bit range, NaN as 0) instead of back into `buffer`;
// the return value tells whether that happened.
bool RunChain(const Chain* chain, AudioHandle channel, void* buffer, uint32_t frames,
              uint32_t channels, bool is_float, uint32_t rate, float* scratch, float* float_out = nullptr);

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_DSP_CHAIN_H_
