#include "document/loop_repeat.h"

#include <algorithm>
#include <thread>

#include "platform/ui_services.h"

namespace qv3 {

LoopTickAction LoopRepeatTracker::OnPosition(LoopList& loops, double position, bool output_stopped,
                                             int32_t pitch, int32_t tempo) {
  LoopTickAction action;
  const int index = loops.LoopAt(position);
  if (index != remembered_ && remembered_ >= 0) {
    const int left = remembered_ == kPassEndedAtSongEnd ? index : remembered_;
    if (left >= 0 && left < loops.count()) {
      action.loop_index = left;
      loops.IncrementPass(left);
      if (loops.RepeatsDone(left)) {
        loops.ResetPass(left);
        action.kind = output_stopped ? LoopTickAction::Kind::kEndPlayback
                                     : LoopTickAction::Kind::kRunOn;
        remembered_ = index;
      } else {
        const LoopRecord& r = loops.Loop(left);
        action.kind = LoopTickAction::Kind::kJumpBack;
        action.jump_to = r.start + 0.0001;
        action.delay_seconds = r.delay > 0 ? r.delay : 0;
        // Playback restarts inside `left`; remembering the loop the position
        // overshot into (loops may be only 0.1 s apart) would count a pass
        // of that loop on the next report.
        remembered_ = -1;
      }
      return action;
    }
  }
  if (index >= 0 && index == remembered_) {
    const LoopRecord& r = loops.Loop(index);
    if (r.pitch != pitch || r.tempo != tempo) {
      action.kind = LoopTickAction::Kind::kTakeOverSettings;
      action.loop_index = index;
      action.pitch = r.pitch;
      action.tempo = r.tempo;
    }
  }
  remembered_ = index;
  return action;
}

bool LoopRepeatTracker::OnSongEnd(LoopList& loops) {
  if (remembered_ >= 0 && remembered_ != kPassEndedAtSongEnd) {
    remembered_ = kPassEndedAtSongEnd;
    return true;
  }
  loops.ResetAllPasses();
  return false;
}

bool WaitOutLoopDelay(int32_t delay_seconds, const std::function<bool()>& cut_short,
                      const std::function<void(std::chrono::milliseconds)>& sleep) {
  if (delay_seconds <= 0) return false;
  // Each slice is delay x 100 ms; it is polled in short steps so a key press
  // ends a long pause at once rather than at the end of a slice.
  constexpr std::chrono::milliseconds kPoll(20);
  const std::chrono::milliseconds slice(static_cast<int64_t>(delay_seconds) * 100);
  for (int i = 0; i < 10; ++i) {
    for (std::chrono::milliseconds waited(0); waited < slice; waited += kPoll) {
      Ui().ProcessPendingEvents();
      if (cut_short && cut_short()) return true;
      const std::chrono::milliseconds step = std::min(kPoll, slice - waited);
      if (sleep) {
        sleep(step);
      } else {
        std::this_thread::sleep_for(step);
      }
    }
  }
  return false;
}

}  // namespace qv3
