// The logic of the marker and loop edit dialogs: the values they show, the
// checks on OK with their messages, and how the result is stored. The
// dialogs themselves (Qt) only display and collect these fields.
#ifndef QV3_DOCUMENT_LOOP_EDIT_H_
#define QV3_DOCUMENT_LOOP_EDIT_H_

#include <cstdint>
#include <string>

#include "document/loop_list.h"
#include "document/marker_list.h"

namespace qv3 {

// Tooltips of the loop dialog's fields, in field order.
inline constexpr const char* kLoopEditTooltips[] = {
    "Change the Text Label for this Loop",
    "Change the Position of the Beginning Loop Point (in seconds)",
    "Change the Position of the Ending Loop Point (in seconds)",
    "Change the Pitch Setting for this Loop (semitones.cents)",
    "Change the Tempo Setting for this Loop (% speed)",
    "Specify the Loop Repeat Count (-1 is infinite)",
    "Specify the Delay between Looping (seconds)",
};

// The loop dialog's fields in user units: seconds, semitones, per cent.
struct LoopEditFields {
  std::string name;
  double start = 0.0;
  double end = 0.0;
  double pitch = 0.0;    // semitones
  double tempo = 100.0;  // per cent
  int32_t repeat_count = -1;
  int32_t delay = 0;
};

enum class LoopEditField { kNone, kName, kStart, kEnd, kPitch, kTempo, kRepeat, kDelay };

// What the dialog shows for a committed loop: an end within 0.0001 s of the
// song length is first set to the song length (in the list too), and the
// end field then shows end - 0.0001.
LoopEditFields LoopEditInitial(LoopList& loops, int index);

// The OK checks in order; the first failure is shown (exact texts and
// captions) and its field returned so the dialog can focus it and stay open.
LoopEditField CheckLoopEdit(const LoopEditFields& fields);

// Stores an accepted dialog: name, then the start and then the end moved
// through the list's rules, pitch and tempo x 100 (truncated toward zero),
// repeat count and delay.
void ApplyLoopEdit(LoopList& loops, int index, const LoopEditFields& fields);

// The marker dialog shows the position as "%.2f"; OK stores the trimmed name
// as typed and the position as entered, without further checks.
void ApplyMarkerEdit(MarkerList& markers, int index, const std::string& name, double position);

}  // namespace qv3

#endif  // QV3_DOCUMENT_LOOP_EDIT_H_
