// Markers: named points on the song, held by the waveform view in a list of
// fixed capacity, in creation order.
#ifndef QV3_DOCUMENT_MARKER_LIST_H_
#define QV3_DOCUMENT_MARKER_LIST_H_

#include <array>
#include <string>

namespace qv3 {

inline constexpr int kMaxMarkers = 100;

struct MarkerRecord {
  std::string name;
  double position = -1.0;  // seconds, 0 .. song length
};

class MarkerList {
 public:
  MarkerList() = default;

  // Adds a marker; refused with a beep (no message) when the list is full,
  // the song length is 0, the position is not a finite number, or a marker
  // already stands at exactly that (clamped) position. The position is
  // clamped to 0 .. song length. An empty name becomes "M%d" with the name
  // counter, which increases on every successful add.
  bool Add(const std::string& name, double position);
  // Later markers move down by one; an index outside the list does nothing.
  void Delete(int index);
  int count() const { return count_; }
  // Name and position at `index`; position -1 (and an empty name) outside
  // the list.
  MarkerRecord At(int index) const;
  // For the edit dialog: name as typed and position as entered, unchecked.
  void Set(int index, const std::string& name, double position);
  // Empties the list and resets the name counter to 1.
  void Clear();

  double song_length() const { return song_length_; }
  void set_song_length(double seconds) { song_length_ = seconds; }
  int name_counter() const { return name_counter_; }

  // Audio of length `length` was inserted at `position`: later markers move.
  // Returns whether anything changed.
  bool OnInsert(double position, double length);
  // Audio from a to b was deleted: markers inside a .. b (inclusive) are
  // deleted, later ones move back by b - a. Returns whether anything changed.
  bool OnDelete(double a, double b);

 private:
  std::array<MarkerRecord, kMaxMarkers> records_;
  int count_ = 0;
  int name_counter_ = 1;
  double song_length_ = 0.0;
};

}  // namespace qv3

#endif  // QV3_DOCUMENT_MARKER_LIST_H_
