#include "editing/edit_values.h"

#include <cmath>

namespace qv3 {

int64_t SecondsToFrame(double rate, double seconds) {
  const double frames = rate * seconds;
  if (!(frames > 0.0)) return 0;  // negative, zero or NaN
  if (frames >= 9.0e18) return INT64_MAX / 2;
  return static_cast<int64_t>(frames);
}

int64_t InsertionFrame(InsertPoint where, double rate, double play_position, double song_length) {
  switch (where) {
    case InsertPoint::kBeginning: return 0;
    case InsertPoint::kEnd: return SecondsToFrame(rate, song_length) + 1;
    case InsertPoint::kCurrentPosition: break;
  }
  return SecondsToFrame(rate, play_position);
}

double InsertionSeconds(InsertPoint where, double play_position, double song_length) {
  switch (where) {
    case InsertPoint::kBeginning: return -1.0;  // items move when strictly after it
    case InsertPoint::kEnd: return song_length;
    case InsertPoint::kCurrentPosition: break;
  }
  return play_position;
}

bool ValidSilenceSeconds(double seconds) {
  return std::isfinite(seconds) && seconds > 0.0 && seconds <= kMaxSilenceSeconds;
}

}  // namespace qv3
