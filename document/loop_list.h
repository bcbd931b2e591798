// Loops: named time ranges with their own tempo, pitch, repeat count and
// pause, held by the waveform view in a list of fixed capacity.
//
// Committed loops occupy indices 0 .. count-1 in creation order; the record
// at index count is the pending loop, of which only one end is set yet. The
// array has kMaxLoops + 1 records so that the pending slot exists even when
// the list is full.
#ifndef QV3_DOCUMENT_LOOP_LIST_H_
#define QV3_DOCUMENT_LOOP_LIST_H_

#include <array>
#include <cstdint>
#include <string>

#include "document/master_values.h"

namespace qv3 {

inline constexpr int kMaxLoops = 300;
// Loops keep this distance (seconds) from each other's ends.
inline constexpr double kLoopGap = 0.1;

struct LoopRecord {
  double start = -1.0;  // seconds; -1 = not set
  double end = -1.0;    // seconds; -1 = not set
  int32_t pitch = 0;    // hundredths of a semitone
  int32_t tempo = 0;    // hundredths of a per cent
  int32_t repeat_count = 0;  // -1 = infinite, else repeats after the first pass
  int32_t pass_counter = 0;  // passes in the current play; never stored
  int32_t delay = 0;         // seconds of pause before each repeat
  int32_t flag_word = 0;     // counterpart of the master vocal-reduction level
  std::string tag;           // counterpart of the master EQ preset name
  std::string name;

  bool complete() const { return start >= 0.0 && end >= 0.0; }
  void Clear() { *this = LoopRecord(); }
};

// What SetLoopStart / SetLoopEnd store besides the position.
struct LoopValues {
  std::string name;  // empty: "L%d" with the name counter
  double position = 0.0;
  int32_t pitch = 0;
  int32_t tempo = kNormalTempo;
  int32_t flag_word = 0;
  std::string tag;
  int32_t repeat_count = -1;
  int32_t delay = 0;
};

// The settings in force at a position: a loop's or the master values.
struct LoopSettings {
  int32_t pitch = 0;
  int32_t tempo = kNormalTempo;
  int32_t flag_word = 0;
  std::string tag;
  int index = -1;  // the loop, -1 = master values
};

enum class LoopPoint { kStart, kEnd };

class LoopList {
 public:
  LoopList() = default;

  // Both work on the pending loop and return the loop's index (committed or
  // still pending), or -1 when refused. A pending start later than (or a
  // range overlapping) another loop beeps; a position inside a committed
  // loop widened by kLoopGap, a full list or a non-finite position is
  // refused silently. The loop is committed once both ends are set.
  int SetLoopStart(const LoopValues& values);
  int SetLoopEnd(const LoopValues& values);
  // Dialog edit of a committed loop's end; a refused move leaves it
  // unchanged, silently. A start must stay >= 0 and below end - 0.1, an end
  // >= 0 and above start + 0.1, neither may overlap another loop.
  bool MoveLoopEnd(int index, LoopPoint which, double position);
  // A committed index removes the loop (later records, the pending one
  // included, move down); an index at or beyond the count clears that record
  // (this discards a pending loop).
  void DeleteLoop(int index);
  // Empties the list (the name counter keeps counting).
  void Clear();

  int count() const { return count_; }
  const LoopRecord& pending() const { return records_[count_]; }
  // Fields by index, 0 .. count (the pending loop included); a cleared
  // record for any other index.
  const LoopRecord& Loop(int index) const;
  // Committed loops only; nullptr otherwise. For the edit dialog's name,
  // pitch, tempo, repeat count and delay.
  LoopRecord* MutableLoop(int index);
  double LoopStart(int index) const { return Loop(index).start; }
  double LoopEnd(int index) const { return Loop(index).end; }

  // The first committed loop with start - 0.001 <= position <= end + 0.001.
  int LoopContaining(double position) const;
  // The first committed loop with start <= position <= end.
  int LoopAt(double position) const;
  // That loop's settings, or the master values with index -1.
  LoopSettings SettingsAt(double position, const MasterValues& master) const;
  // Stores pitch, tempo, flag word and tag in the loop that contains the
  // position (tolerant form). Outside loops pitch and tempo become the
  // master values (within their ranges); the master vocal-reduction level
  // and preset name are the document's own and are left alone.
  void SetSettingsAt(double position, int32_t pitch, int32_t tempo, int32_t flag_word,
                     const std::string& tag, MasterValues* master);

  // The nearest loop start or end at or after position + 0.001 (within
  // 0 .. song length), -1 if none.
  double NextLoopPoint(double position) const;
  // The nearest loop start strictly before the position, -1 if none.
  double PreviousLoopStart(double position) const;
  // The nearest loop start at or after position + 0.07, -1 if none.
  double NextLoopStart(double position) const;

  // Pass counting of the playback repeat logic.
  void IncrementPass(int index);  // not when the repeat count is -1
  void ResetPass(int index);
  void ResetAllPasses();
  // The repeat count is not -1 and is below the pass counter.
  bool RepeatsDone(int index) const;

  // Audio of length `length` was inserted at `position`: every loop start
  // and end after it moves. Returns whether anything changed.
  bool OnInsert(double position, double length);
  // Audio from a to b was deleted: a loop with an end inside a .. b is
  // deleted, one that strictly contains the range is shortened by b - a,
  // one after it moves back. Returns whether anything changed.
  bool OnDelete(double a, double b);

  double song_length() const { return song_length_; }
  void set_song_length(double seconds) { song_length_ = seconds; }
  int name_counter() const { return name_counter_; }

 private:
  int SetPendingEnd(const LoopValues& values, LoopPoint which);
  bool InsideWidenedLoop(double position) const;
  // Another committed loop (not `except`) has its start or end within
  // s - 0.1 .. e + 0.1.
  bool OverlapsOther(double s, double e, int except) const;

  std::array<LoopRecord, kMaxLoops + 1> records_;
  int count_ = 0;
  int name_counter_ = 1;
  double song_length_ = 0.0;
};

}  // namespace qv3

#endif  // QV3_DOCUMENT_LOOP_LIST_H_
