// The loop repeat rule of playback: on every position report of the engine
// the main window asks this tracker what to do, then does it (jumps, waits
// out a loop's delay while pumping events, sets sliders, ends playback).
#ifndef QV3_DOCUMENT_LOOP_REPEAT_H_
#define QV3_DOCUMENT_LOOP_REPEAT_H_

#include <chrono>
#include <cstdint>
#include <functional>

#include "document/loop_list.h"

namespace qv3 {

struct LoopTickAction {
  enum class Kind {
    kNone,              // only update the position read-out
    kRunOn,             // a loop's repeats are done: play on past it
    kEndPlayback,       // done, and the loop ended with the song: end as at the song's end
    kJumpBack,          // play again from jump_to after delay_seconds (0 = no pause)
    kTakeOverSettings,  // set the sliders and engine to pitch/tempo, restart at the position
  };
  Kind kind = Kind::kNone;
  int loop_index = -1;
  double jump_to = 0.0;
  int32_t delay_seconds = 0;
  int32_t pitch = 0;
  int32_t tempo = 0;
};

class LoopRepeatTracker {
 public:
  // The remembered index after a pass ended at the end of the song.
  static constexpr int kPassEndedAtSongEnd = 999999;

  // Forget the remembered loop (Stop, another song).
  void Reset() { remembered_ = -1; }
  int remembered() const { return remembered_; }

  // One position report. `output_stopped`: the engine's last reported
  // output state was "stopped". `pitch` and `tempo` are the current slider
  // values.
  LoopTickAction OnPosition(LoopList& loops, double position, bool output_stopped, int32_t pitch,
                            int32_t tempo);
  // Playback reached the end of the song. Returns true when the caller must
  // handle a position report at once (a loop ending with the song repeats);
  // otherwise every pass counter has been reset.
  bool OnSongEnd(LoopList& loops);

 private:
  int remembered_ = -1;
};

// The pause before a loop repeats: `delay_seconds` in 10 slices, pending
// GUI events processed throughout (Ui().ProcessPendingEvents), ended early
// as soon as `cut_short` answers true (space bar down, left button pressed).
// The caller holds the engine timer, disables the window and pauses playback
// around it. `sleep` is replaceable for tests. Returns true when cut short.
bool WaitOutLoopDelay(
    int32_t delay_seconds, const std::function<bool()>& cut_short,
    const std::function<void(std::chrono::milliseconds)>& sleep = nullptr);

}  // namespace qv3

#endif  // QV3_DOCUMENT_LOOP_REPEAT_H_
