// The main window's rules that need no window: read-out texts, zoom steps,
// loop jump targets, the channel toggles, pitch presets with their
// direction, the double press of "Jump Back", the values a new loop starts
// with, and the mended storing of the loop edit dialog.
#ifndef QV3_APP_MAIN_WINDOW_RULES_H_
#define QV3_APP_MAIN_WINDOW_RULES_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "document/loop_edit.h"
#include "document/loop_list.h"

namespace qv3 {

// ---- Read-outs ----
// "%d:%02d.%02d * %d:%02d.%02d" (minutes, seconds, hundredths of both), or
// "0:00 * 0:00" when no song is open.
std::string PositionReadout(double position_seconds, double length_seconds, bool song_open);
std::string TempoReadout(int32_t tempo);  // "Tempo: %.2f%%" of tempo / 100
std::string PitchReadout(int32_t pitch);  // "Pitch: %.2f" of pitch / 100
std::string VolumeReadout(int volume);    // "%d%%"
// The zoom slider's text: "Zoom: All" at the slider's maximum, else
// "Zoom: %d second%s" ("s" unless 1).
std::string ZoomSliderReadout(int seconds, int slider_max);
// "Current Loop [%s]": the loop at the play position; with exactly one loop
// that loop; outside loops the current loop, or "none".
std::string ExportCurrentLoopText(const LoopList& loops, double position, int current_loop);

// The about box's version lines: "Quaverly 3 - Version %s", a line break,
// "Audio Engine Version: " and the processor's version without " FULL".
std::string AboutVersionText(const std::string& version, const std::string& engine_version);

// ---- Zoom ----
// The zoom slider's maximum for a song: its whole seconds, at least 1 (10
// before a song is open).
int ZoomSliderMax(double song_length, bool song_open);
struct ZoomStep {
  int span;          // seconds shown; -1 = all
  std::string text;  // the zoom read-out
};
// Halves the span (all = the song length) to the nearest whole second, at
// least 1: "Zoom: %d second%s".
ZoomStep ZoomIn(int span, double song_length);
// Doubles the span: "Zoom: %d seconds", or "Zoom: All" (span -1) once it
// exceeds the song length. All stays all.
ZoomStep ZoomOut(int span, double song_length);

// ---- Loop jumps (seconds; -1 when there is nowhere to go) ----
double JumpBackTarget(const LoopList& loops, double position);     // 1802
double JumpForwardTarget(const LoopList& loops, double position);  // 1803
double PreviousLoopTarget(const LoopList& loops, double position); // 1804
double NextLoopTarget(const LoopList& loops, double position);     // 1805

// A second "Jump Back" within 500 ms acts as "Jump Backward to Previous Loop".
class JumpBackPresses {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kWindow{500};
  // True when this press follows the previous one within the window.
  bool Press(Clock::time_point now);

 private:
  bool have_last_ = false;
  Clock::time_point last_{};
};

// ---- Channels: one always stays on ----
struct ChannelToggles {
  bool left = true;
  bool right = true;
  void ToggleLeft();
  void ToggleRight();
  // The engine's solo flags: right only / left only.
  bool right_only() const { return right && !left; }
  bool left_only() const { return left && !right; }
};

// ---- Pitch presets ----
// A preset in the chosen direction, hundredths of a semitone.
int32_t PitchPresetValue(int semitones, bool direction_up);
// The current pitch with the sign of the new direction.
int32_t PitchWithDirection(int32_t pitch, bool direction_up);
// A slider value moved by `step` and kept inside min .. max.
int32_t SteppedValue(int32_t value, int step, int32_t min, int32_t max);

// ---- Loops made by the window ----
// A loop point set from the play position or a click: empty name, the
// slider values, flag word 0, tag "Reset", infinite repeats, no delay.
LoopValues NewLoopPoint(double position, int32_t pitch, int32_t tempo);

// Stores an accepted loop dialog: name; the ends moved so that a loop moved
// to a later place moves its end first (moving the start first would be
// refused past the old end); pitch and tempo x 100 rounded to the nearest
// unit (truncating drifts 1.15 to 114); repeat count and delay.
void StoreLoopEdit(LoopList& loops, int index, const LoopEditFields& fields);

}  // namespace qv3

#endif  // QV3_APP_MAIN_WINDOW_RULES_H_
