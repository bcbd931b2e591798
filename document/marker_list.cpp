#include "document/marker_list.h"

#include <cmath>

#include "platform/ui_services.h"

namespace qv3 {

bool MarkerList::Add(const std::string& name, double position) {
  if (count_ >= kMaxMarkers || song_length_ == 0.0 || !std::isfinite(position)) {
    Ui().Beep();
    return false;
  }
  if (position < 0.0) position = 0.0;
  if (position > song_length_) position = song_length_;
  for (int i = 0; i < count_; ++i) {
    if (records_[i].position == position) {
      Ui().Beep();
      return false;
    }
  }
  MarkerRecord& r = records_[count_];
  r.name = name.empty() ? "M" + std::to_string(name_counter_) : name;
  r.position = position;
  ++count_;
  ++name_counter_;
  return true;
}

void MarkerList::Delete(int index) {
  if (index < 0 || index >= count_) return;
  for (int i = index; i + 1 < count_; ++i) records_[i] = std::move(records_[i + 1]);
  --count_;
  records_[count_] = MarkerRecord();
}

MarkerRecord MarkerList::At(int index) const {
  if (index < 0 || index >= count_) return MarkerRecord();
  return records_[index];
}

void MarkerList::Set(int index, const std::string& name, double position) {
  if (index < 0 || index >= count_) return;
  records_[index].name = name;
  records_[index].position = position;
}

void MarkerList::Clear() {
  for (int i = 0; i < count_; ++i) records_[i] = MarkerRecord();
  count_ = 0;
  name_counter_ = 1;
}

bool MarkerList::OnInsert(double position, double length) {
  bool changed = false;
  for (int i = 0; i < count_; ++i) {
    if (records_[i].position > position) {
      records_[i].position += length;
      changed = true;
    }
  }
  return changed;
}

bool MarkerList::OnDelete(double a, double b) {
  const double d = b - a;
  bool changed = false;
  for (int i = 0; i < count_;) {
    double p = records_[i].position;
    if (p >= a && p <= b) {
      Delete(i);
      changed = true;
      continue;
    }
    if (p > b) {
      records_[i].position = p - d;
      changed = true;
    }
    ++i;
  }
  return changed;
}

}  // namespace qv3
