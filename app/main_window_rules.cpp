#include "app/main_window_rules.h"

#include <cmath>
#include <cstdlib>

#include "document/text_format.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

// Minutes, seconds and hundredths of a time, as the read-out shows them.
std::string MinSecHundredths(double t) {
  if (!(t > 0.0) || !std::isfinite(t)) t = 0.0;
  const long long hundredths = static_cast<long long>(t * 100.0);
  const long long whole = hundredths / 100;
  return StringPrintf("%d:%02d.%02d", static_cast<int>(whole / 60), static_cast<int>(whole % 60),
                      static_cast<int>(hundredths % 100));
}

int32_t RoundTimes100(double value) {
  const double v = std::round(value * 100.0);
  if (!(v >= INT32_MIN)) return INT32_MIN;  // also NaN
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

std::string PositionReadout(double position_seconds, double length_seconds, bool song_open) {
  if (!song_open) return "0:00 * 0:00";
  return MinSecHundredths(position_seconds) + " * " + MinSecHundredths(length_seconds);
}

std::string TempoReadout(int32_t tempo) { return "Tempo: " + FormatFixed(tempo / 100.0, 2) + "%"; }

std::string PitchReadout(int32_t pitch) { return "Pitch: " + FormatFixed(pitch / 100.0, 2); }

std::string VolumeReadout(int volume) { return StringPrintf("%d%%", volume); }

std::string ZoomSliderReadout(int seconds, int slider_max) {
  if (seconds >= slider_max) return "Zoom: All";
  return StringPrintf("Zoom: %d second%s", seconds, seconds == 1 ? "" : "s");
}

std::string ExportCurrentLoopText(const LoopList& loops, double position, int current_loop) {
  int index = loops.count() == 1 ? 0 : loops.LoopAt(position);
  if (index < 0) index = current_loop;
  const std::string name =
      (index >= 0 && index < loops.count()) ? loops.Loop(index).name : std::string("none");
  return StringPrintf("Current Loop [%s]", name.c_str());
}

std::string AboutVersionText(const std::string& version, const std::string& engine_version) {
  std::string engine = engine_version;
  const std::string full = " FULL";
  if (const size_t at = engine.find(full); at != std::string::npos) engine.erase(at, full.size());
  return std::string(kAppTitle) + " - Version " + version + "\n" + "Audio Engine Version: " + engine;
}

int ZoomSliderMax(double song_length, bool song_open) {
  if (!song_open) return 10;
  const int whole = static_cast<int>(song_length);
  return whole < 1 ? 1 : whole;
}

ZoomStep ZoomIn(int span, double song_length) {
  double current = span > 0 ? span : song_length;
  int half = static_cast<int>(std::lround(current / 2.0));
  if (half < 1) half = 1;
  return {half, StringPrintf("Zoom: %d second%s", half, half == 1 ? "" : "s")};
}

ZoomStep ZoomOut(int span, double song_length) {
  if (span <= 0) return {-1, "Zoom: All"};
  const int twice = span * 2;
  if (twice > song_length) return {-1, "Zoom: All"};
  return {twice, StringPrintf("Zoom: %d seconds", twice)};
}

double JumpBackTarget(const LoopList& loops, double position) {
  return loops.PreviousLoopStart(position + 0.05);
}

double JumpForwardTarget(const LoopList& loops, double position) {
  return loops.NextLoopPoint(position);
}

double PreviousLoopTarget(const LoopList& loops, double position) {
  const int inside = loops.LoopContaining(position + 0.07);
  if (inside < 0) return JumpBackTarget(loops, position);
  return loops.PreviousLoopStart(loops.LoopStart(inside));
}

double NextLoopTarget(const LoopList& loops, double position) {
  return loops.NextLoopStart(position);
}

bool JumpBackPresses::Press(Clock::time_point now) {
  const bool second = have_last_ && now - last_ <= kWindow;
  // A double press is consumed: a third press starts afresh.
  have_last_ = !second;
  last_ = now;
  return second;
}

void ChannelToggles::ToggleLeft() {
  left = !left;
  if (!left && !right) right = true;
}

void ChannelToggles::ToggleRight() {
  right = !right;
  if (!left && !right) left = true;
}

int32_t PitchPresetValue(int semitones, bool direction_up) {
  return (direction_up ? 1 : -1) * semitones * 100;
}

int32_t PitchWithDirection(int32_t pitch, bool direction_up) {
  const int32_t magnitude = std::abs(pitch);
  return direction_up ? magnitude : -magnitude;
}

int32_t SteppedValue(int32_t value, int step, int32_t min, int32_t max) {
  const int64_t v = static_cast<int64_t>(value) + step;
  if (v < min) return min;
  if (v > max) return max;
  return static_cast<int32_t>(v);
}

LoopValues NewLoopPoint(double position, int32_t pitch, int32_t tempo) {
  LoopValues v;
  v.name.clear();
  v.position = position;
  v.pitch = pitch;
  v.tempo = tempo;
  v.flag_word = 0;
  v.tag = "Reset";
  v.repeat_count = -1;
  v.delay = 0;
  return v;
}

void StoreLoopEdit(LoopList& loops, int index, const LoopEditFields& fields) {
  LoopRecord* r = loops.MutableLoop(index);
  if (r == nullptr) return;
  r->name = SanitizeQuotedText(fields.name);
  if (fields.start >= r->end) {
    loops.MoveLoopEnd(index, LoopPoint::kEnd, fields.end);
    loops.MoveLoopEnd(index, LoopPoint::kStart, fields.start);
  } else {
    loops.MoveLoopEnd(index, LoopPoint::kStart, fields.start);
    loops.MoveLoopEnd(index, LoopPoint::kEnd, fields.end);
  }
  r->pitch = RoundTimes100(fields.pitch);
  r->tempo = RoundTimes100(fields.tempo);
  r->repeat_count = fields.repeat_count;
  r->delay = fields.delay;
}

}  // namespace qv3
