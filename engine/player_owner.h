// The receiver of the playback engine's notifications. The engine calls it
// from its worker and timer threads (and from the main thread at open), so an
// implementation must only hand the call on: the main window's version posts
// it to the GUI thread with PostToMainThread, carrying the same code and value
// as the window message it stands for.
#ifndef QV3_ENGINE_PLAYER_OWNER_H_
#define QV3_ENGINE_PLAYER_OWNER_H_

#include <cstdint>

#include "audiolib/audiolib.h"

namespace qv3 {

// The window message the codes travel in (WM_USER + 200).
inline constexpr int kWmPlayerNotify = 1224;

// Codes (wParam) of kWmPlayerNotify.
inline constexpr int kPlayerNotifyTick = 200;      // timer, every 50 ms; value 0
inline constexpr int kPlayerNotifyOpened = 201;    // a source was opened; value 0
inline constexpr int kPlayerNotifyState = 202;     // output state changed; value the state
inline constexpr int kPlayerNotifyProgress = 203;  // worker progress; value 0..100

class PlayerOwner {
 public:
  virtual ~PlayerOwner() = default;
  // Called on any engine thread; must not block and must not call back into
  // the AudioPlayer (post the work to the main thread instead).
  virtual void OnPlayerNotify(int code, int64_t value) = 0;
  // The output stream of the open source, or 0 after close: the equaliser and
  // vocal reduction attach their effects and DSP to it. Main thread only.
  virtual void OnOutputStreamChanged(StreamHandle /*output*/) {}
};

}  // namespace qv3

#endif  // QV3_ENGINE_PLAYER_OWNER_H_
