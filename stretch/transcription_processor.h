// The transcription processor behind mode 206: the block algorithm used
// when a musician slows a passage down to write it out. A single band with
// a long window (two frames) at high overlap (a hop of an eighth of the
// frame, 16 hops per window) with Hann analysis and synthesis windows: the
// long window keeps close partials apart, so sustained chords come out
// without the beating and smearing of a short window, the shared peak/onset/phase decisions of the band
// analyser for a steady stereo image, onset re-anchoring for sharp attacks,
// and band-limited resampling for the pitch.
#ifndef QV3_STRETCH_TRANSCRIPTION_PROCESSOR_H_
#define QV3_STRETCH_TRANSCRIPTION_PROCESSOR_H_

#include <cstddef>

#include "stretch/band_analyser.h"
#include "stretch/fft.h"

namespace qv3 {

class TimePitchCore;

// Working-buffer allocator of the transcription processor: prints
// "ERROR allocating memory in allocf()\n" when the memory cannot be had.
float** allocf(int count, int length);
// Prints "(1) ERROR freeing memory in deallocf()\n" for a missing buffer in
// the array and "(2) ERROR freeing memory in deallocf()\n" for a missing
// array; frees what there is.
void deallocf(float** buffers, int count);

class TranscriptionProcessor {
 public:
  TranscriptionProcessor() = default;
  ~TranscriptionProcessor();
  TranscriptionProcessor(const TranscriptionProcessor&) = delete;
  TranscriptionProcessor& operator=(const TranscriptionProcessor&) = delete;

  bool Init(int quality, int channels, float sample_rate, double rate_scale);
  void Reset();
  // Stretches by p into block[c][0 .. block_length()), the block starting
  // at stretch time `stretch_time`; reads through the core's input cache.
  void RunBlock(TimePitchCore& core, double p, double stretch_time,
                float* const* block, void* user_data);

  int type() const { return type_; }
  int frame_size() const { return frame_; }
  int hop() const { return hop_; }
  // Analysis window: two frames, for the frequency resolution that keeps
  // close partials (a chord's notes, a bass line) apart when they are
  // stretched; attacks stay sharp through the core's onset anchoring.
  int window() const { return 2 * frame_; }
  int block_length() const { return 4 * hop_; }

 private:
  int type_ = 4;
  int frame_ = 4096;
  int hop_ = 512;
  int channels_ = 1;
  float** work_ = nullptr;  // per channel, type x frame + 4 samples
  Fft analysis_, synthesis_;
  BandAnalyser analyser_;
  struct State;
  State* state_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_STRETCH_TRANSCRIPTION_PROCESSOR_H_
