#include "document/loop_edit.h"

#include <cmath>

#include "document/text_format.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

constexpr double kEndSnap = 0.0001;

int32_t TruncateTimes100(double value) {
  double v = std::trunc(value * 100.0);
  if (!(v >= INT32_MIN)) return INT32_MIN;  // also NaN
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

LoopEditFields LoopEditInitial(LoopList& loops, int index) {
  LoopEditFields f;
  LoopRecord* r = loops.MutableLoop(index);
  if (!r) return f;
  if (std::fabs(r->end - loops.song_length()) < kEndSnap) r->end = loops.song_length();
  f.name = r->name;
  f.start = r->start;
  f.end = r->end - kEndSnap;
  f.pitch = r->pitch / 100.0;
  f.tempo = r->tempo / 100.0;
  f.repeat_count = r->repeat_count;
  f.delay = r->delay;
  return f;
}

LoopEditField CheckLoopEdit(const LoopEditFields& fields) {
  if (!(fields.start < fields.end)) {
    MessageBoxCaption("Loop Position", MsgIcon::kExclamation,
                      "Please supply a Start Loop Position that is less than the End Loop "
                      "Position, thanks.");
    return LoopEditField::kStart;
  }
  if (!(fields.pitch >= -24.0 && fields.pitch <= 24.0)) {
    MessageBoxCaption("Pitch", MsgIcon::kExclamation,
                      "Please supply a Pitch value that is from -24.0 to 24.0, thanks.");
    return LoopEditField::kPitch;
  }
  if (!(fields.tempo >= 10.0 && fields.tempo <= 400.0)) {
    MessageBoxCaption("Tempo", MsgIcon::kExclamation,
                      "Please supply a Tempo value that is from 10.0 to 400.0, thanks.");
    return LoopEditField::kTempo;
  }
  return LoopEditField::kNone;
}

void ApplyLoopEdit(LoopList& loops, int index, const LoopEditFields& fields) {
  LoopRecord* r = loops.MutableLoop(index);
  if (!r) return;
  r->name = SanitizeQuotedText(fields.name);
  loops.MoveLoopEnd(index, LoopPoint::kStart, fields.start);
  loops.MoveLoopEnd(index, LoopPoint::kEnd, fields.end);
  r->pitch = TruncateTimes100(fields.pitch);
  r->tempo = TruncateTimes100(fields.tempo);
  r->repeat_count = fields.repeat_count;
  r->delay = fields.delay;
}

void ApplyMarkerEdit(MarkerList& markers, int index, const std::string& name, double position) {
  markers.Set(index, SanitizeQuotedText(name), position);
}

}  // namespace qv3
