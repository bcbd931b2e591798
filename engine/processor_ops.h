// The time/pitch processor calls the engine makes, gathered in one table so
// the engine can run on another processor with the same contract (tests use
// a pass-through stand-in to check timing and positions exactly). The default
// table calls the stretch library.
#ifndef QV3_ENGINE_PROCESSOR_OPS_H_
#define QV3_ENGINE_PROCESSOR_OPS_H_

#include "stretch/time_pitch_processor.h"

namespace qv3 {

struct ProcessorOps {
  TimePitchProcessor* (*create)(int mode, int quality, int channels, float sample_rate,
                                TimePitchReadCallback read, void* user_data);
  int (*process)(float** buffers, int frames, TimePitchProcessor* handle);
  int (*set_property)(int selector, double value, TimePitchProcessor* handle);
  void (*reset)(bool clear, TimePitchProcessor* handle);
  void (*destroy)(TimePitchProcessor* handle);
  // Input frames the processor wants before the start position (0: none).
  int (*preroll_frames)(const TimePitchProcessor* handle);
};

// The stretch library's processor.
const ProcessorOps& DefaultProcessorOps();

}  // namespace qv3

#endif  // QV3_ENGINE_PROCESSOR_OPS_H_
