#include "document/loop_repeat.h"

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

}  // namespace qv3
