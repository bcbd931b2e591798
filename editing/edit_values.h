// The arithmetic of the edit commands, kept apart from the commands so the
// dialogs can use it without the document: frames from seconds, where Insert
// Silence inserts, and which silence lengths are accepted.
#ifndef QV3_EDITING_EDIT_VALUES_H_
#define QV3_EDITING_EDIT_VALUES_H_

#include <cstdint>

#include "editing/edit_host.h"

namespace qv3 {

// Insert Silence accepts 0 < seconds <= this (one hour).
inline constexpr double kMaxSilenceSeconds = 3600.0;

// Frame number of a time: the integer part of rate x seconds (never negative).
int64_t SecondsToFrame(double rate, double seconds);

// Where Insert Silence inserts, as a frame, and the same point in seconds for
// moving loops and markers. At the beginning every item moves (even one at
// 0.0, whose audio moved too), so the point lies before the song's start.
int64_t InsertionFrame(InsertPoint where, double rate, double play_position, double song_length);
double InsertionSeconds(InsertPoint where, double play_position, double song_length);

// True for a silence length the dialog may accept: finite, 0 < s <= 3600.
bool ValidSilenceSeconds(double seconds);

}  // namespace qv3

#endif  // QV3_EDITING_EDIT_VALUES_H_
