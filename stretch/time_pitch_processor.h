// The time/pitch processor: changes the duration of audio (time factor) and
// its pitch (pitch factor) independently. A handle is created for one stream
// layout; the processor pulls its input through a read callback and fills
// planar float output buffers in whatever amounts the caller asks for.
//
// Thread contract (no locks inside):
//  - One thread at a time per handle. The playback worker calls
//    TimePitchProcess; the main thread calls Create, SetProperty, Reset and
//    Destroy only while no process call runs (the engine joins its worker
//    first). Export uses a handle of its own on its own thread.
//  - The read callback runs on the thread that calls TimePitchProcess, inside
//    that call.
//  - TimePitchProcess allocates nothing, takes no lock and does no I/O: every
//    buffer is allocated by TimePitchCreate (the constant-load path of
//    property 107 works through a fixed scratch buffer in chunks).
//
// Typical use (playback): Create once per source; before every play
// Reset(true), SetProperty(100, pitch), SetProperty(101, time), optionally
// SetProperty(kTimePitchPreroll, frames) after seeking the source that many
// frames before the start; then Process(buffers, 16384) until it returns
// 0 or less. Export pulls blocks of one second (sample-rate frames).
#ifndef QV3_STRETCH_TIME_PITCH_PROCESSOR_H_
#define QV3_STRETCH_TIME_PITCH_PROCESSOR_H_

#include <cstdint>
#include <memory>

namespace qv3 {

class TimePitchCore;

// Source read callback. `buffers` holds one float buffer per channel
// (planar, left/mono first), already cleared to zero by the processor.
// Write up to `frames` frames of the next input; frames not supplied stay
// zero. Return the number of frames written when input was delivered (a
// count larger than `frames`, such as a byte count, is taken as all of
// them), 0 or a negative value (-1) when the input has ended or failed: the
// processor then asks for no more and plays out what it holds. Returning the
// exact frame count at the end of the input makes the output end exactly at
// input length x time factor. Never asked for more frames than the
// processor's input cache holds (see TimePitchMaxReadFrames: 65536 frames at
// 44.1/48 kHz, fewer at lower rates, 131072 at 88.2/96 kHz). Requests larger
// than 16384 frames do occur (about 24576 at 96 kHz in mode 206), so a
// callback with a smaller buffer must read in parts.
using TimePitchReadCallback = int (*)(float** buffers, int frames,
                                      void* user_data);

// Processing modes (fixed at creation).
inline constexpr int kTimePitchModePerformance = 200;  // one band, cheapest
inline constexpr int kTimePitchModeTranscribe = 206;   // cleanest slow tempo
// Processing quality used by this system.
inline constexpr int kTimePitchQuality = 303;

// Property selectors (values are doubles; switches: non-zero is on).
inline constexpr int kTimePitchPitchFactor = 100;    // 0.1 .. 10
inline constexpr int kTimePitchTimeFactor = 101;     // 0.1 .. 10
inline constexpr int kTimePitchFormantFactor = 102;  // 0.1 .. 10
inline constexpr int kTimePitchBandSwitch = 103;     // ignored in mode 200
inline constexpr int kTimePitchCacheGranularity = 104;  // 0 .. 4096 units
inline constexpr int kTimePitchCacheFigureA = 105;      // read-only: 249
inline constexpr int kTimePitchCacheFigureB = 106;      // read-only: 249
inline constexpr int kTimePitchConstantLoad = 107;
inline constexpr int kTimePitchPitchCorrection = 108;
// Pre-roll: the number of frames the read callback delivers BEFORE the start
// position (the caller seeks its source back by that many frames). They prime
// the analysis so the first output is at full level; no output is produced
// for them. Clamped to 0 .. TimePitchPrerollFrames(); 0 (the default) means
// the start position is the beginning of the input.
inline constexpr int kTimePitchPreroll = 109;
inline constexpr int kTimePitchReferencePitch = 400;  // 400 .. 500 Hz
inline constexpr int kTimePitchCorrectionSmoothing = 401;  // 0 .. 20
inline constexpr int kTimePitchFormantFollow = 500;
inline constexpr int kTimePitchTargetFrequency = 501;

// Set-property results.
inline constexpr int kTimePitchOk = 0;
inline constexpr int kTimePitchNotApplicable = 249;
inline constexpr int kTimePitchUnknownSelector = 255;
inline constexpr int kTimePitchNoCore = -5;
inline constexpr int kTimePitchStarted = -7;

// The handle. Fields follow the processor's data model; callers use the free
// functions below and read the accessors for statistics.
class TimePitchProcessor {
 public:
  ~TimePitchProcessor();
  TimePitchProcessor(const TimePitchProcessor&) = delete;
  TimePitchProcessor& operator=(const TimePitchProcessor&) = delete;

  int mode() const { return mode_; }
  int quality() const { return quality_; }
  int channels() const { return channels_; }
  float sample_rate() const { return sample_rate_; }
  int error() const { return error_; }
  int last_request() const { return last_request_; }
  // Largest process time as a percentage of the audio duration produced.
  double peak_load() const { return peak_load_; }
  TimePitchCore* core() const { return core_.get(); }

 private:
  friend TimePitchProcessor* TimePitchCreate(int, int, int, float,
                                             TimePitchReadCallback, void*);
  friend int TimePitchProcess(float**, int, TimePitchProcessor*);
  TimePitchProcessor() = default;

  std::unique_ptr<TimePitchCore> core_;
  int32_t start_sec_ = 0, start_usec_ = 0;  // wall clock before last process
  int32_t end_sec_ = 0, end_usec_ = 0;      // and after it
  bool first_call_ = true;
  int32_t last_request_ = 0;
  int32_t error_ = 0;  // 0, -1 rejected parameters, -7 core not built
  int32_t mode_ = 0;
  int32_t quality_ = 0;
  int32_t channels_ = 0;
  float sample_rate_ = 0.0f;
  double peak_load_ = 0.0;
  TimePitchReadCallback read_ = nullptr;
  void* user_data_ = nullptr;
};

// Creates a processor. Rejects (prints "!!! TIMEPITCH ERROR: ..." to standard
// output and returns nullptr) a sample rate outside 8000 .. 96000 Hz or a
// channel count of 3 or more; returns nullptr when the core cannot be built.
TimePitchProcessor* TimePitchCreate(int mode, int quality, int channels,
                                    float sample_rate,
                                    TimePitchReadCallback read,
                                    void* user_data);

// Fills `frames` frames of every channel buffer. Returns `frames` when they
// were written; 0 at the end of the input (after the held audio has played
// out) or without a handle; -1 when frames <= 0 or buffers is null; -5 when
// the handle has no core. The first call starts the core.
int TimePitchProcess(float** buffers, int frames, TimePitchProcessor* handle);

// Sets a property (selectors above). Returns 0 accepted, 249 not applicable
// to this configuration, 255 unknown selector, -5 no core, -7 processing has
// started (nothing changed), 0 without a handle.
int TimePitchSetProperty(int selector, double value,
                         TimePitchProcessor* handle);

// Clears the processing history and the input cache. With `clear` also
// clears the resamplers and returns the core to not started, so properties
// can be set again (the engine does this before every play).
void TimePitchReset(bool clear, TimePitchProcessor* handle);

// Frees core and handle; nullptr is accepted.
void TimePitchDestroy(TimePitchProcessor* handle);

// "1.0.0 [2612081200] FULL"
const char* TimePitchVersion();

// Pre-roll the processor can use with its current factors (input frames
// before the start position); 0 without a handle or core. Call after setting
// properties 100 and 101.
int TimePitchPrerollFrames(const TimePitchProcessor* handle);

// Largest frame count the read callback may be asked for in one call.
int TimePitchMaxReadFrames(const TimePitchProcessor* handle);

// Conversions shared by every caller: pitch factor from semitones
// (-24 .. 24) and time factor from tempo per cent (10 .. 400).
double TimePitchPitchFactor(double semitones);
double TimePitchTimeFactor(double tempo_percent);

// Planar buffers: one zeroed buffer of `frames` floats per channel.
float** AllocPlanarBuffers(int channels, int frames);
void FreePlanarBuffers(float** buffers, int channels);

}  // namespace qv3

#endif  // QV3_STRETCH_TIME_PITCH_PROCESSOR_H_
