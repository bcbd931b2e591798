#include "document/loop_list.h"

#include <cmath>

#include "platform/ui_services.h"

namespace qv3 {
namespace {

const LoopRecord kClearedLoop;

}  // namespace

bool LoopList::InsideWidenedLoop(double position) const {
  for (int i = 0; i < count_; ++i) {
    if (records_[i].start - kLoopGap <= position && position <= records_[i].end + kLoopGap) {
      return true;
    }
  }
  return false;
}

bool LoopList::OverlapsOther(double s, double e, int except) const {
  const double lo = s - kLoopGap;
  const double hi = e + kLoopGap;
  for (int i = 0; i < count_; ++i) {
    if (i == except) continue;
    const LoopRecord& r = records_[i];
    if ((r.start >= lo && r.start <= hi) || (r.end >= lo && r.end <= hi)) return true;
  }
  return false;
}

int LoopList::SetLoopStart(const LoopValues& values) {
  return SetPendingEnd(values, LoopPoint::kStart);
}

int LoopList::SetLoopEnd(const LoopValues& values) {
  return SetPendingEnd(values, LoopPoint::kEnd);
}

int LoopList::SetPendingEnd(const LoopValues& values, LoopPoint which) {
  if (count_ >= kMaxLoops) return -1;
  double p = values.position;
  if (!std::isfinite(p)) return -1;
  LoopRecord& pending = records_[count_];
  if (which == LoopPoint::kStart) {
    if (p < 0.0) p = 0.0;
    if (p > song_length_) p = song_length_ - kLoopGap;
    // A song shorter than the gap would give a negative ("not set") start.
    if (p < 0.0) p = 0.0;
    if (InsideWidenedLoop(p)) return -1;
    if (pending.end >= 0.0 && (pending.end <= p || OverlapsOther(p, pending.end, -1))) {
      Ui().Beep();
      return -1;
    }
    pending.start = p;
  } else {
    if (p < kLoopGap) p = kLoopGap;
    if (p > song_length_) p = song_length_;
    if (InsideWidenedLoop(p)) return -1;
    if (pending.start >= 0.0 && (pending.start >= p || OverlapsOther(pending.start, p, -1))) {
      Ui().Beep();
      return -1;
    }
    pending.end = p;
  }
  pending.pitch = values.pitch;
  pending.tempo = values.tempo;
  pending.flag_word = values.flag_word;
  pending.tag = values.tag;
  pending.repeat_count = values.repeat_count;
  pending.delay = values.delay;
  pending.pass_counter = 0;
  const bool generated = values.name.empty();
  pending.name = generated ? "L" + std::to_string(name_counter_) : values.name;

  const int index = count_;
  if (pending.complete()) {
    ++count_;
    if (generated) ++name_counter_;
  }
  return index;
}

bool LoopList::MoveLoopEnd(int index, LoopPoint which, double position) {
  if (index < 0 || index >= count_ || !std::isfinite(position)) return false;
  LoopRecord& r = records_[index];
  if (position < 0.0) return false;
  if (which == LoopPoint::kStart) {
    if (!(position < r.end - kLoopGap) || OverlapsOther(position, r.end, index)) return false;
    r.start = position;
  } else {
    if (!(position > r.start + kLoopGap) || OverlapsOther(r.start, position, index)) return false;
    r.end = position;
  }
  return true;
}

void LoopList::DeleteLoop(int index) {
  if (index < 0 || index > kMaxLoops) return;
  if (index < count_) {
    for (int i = index; i < count_; ++i) records_[i] = std::move(records_[i + 1]);
    records_[count_].Clear();
    --count_;
  } else {
    records_[index].Clear();
  }
}

void LoopList::Clear() {
  for (LoopRecord& r : records_) r.Clear();
  count_ = 0;
}

const LoopRecord& LoopList::Loop(int index) const {
  if (index < 0 || index > count_) return kClearedLoop;
  return records_[index];
}

LoopRecord* LoopList::MutableLoop(int index) {
  if (index < 0 || index >= count_) return nullptr;
  return &records_[index];
}

int LoopList::LoopContaining(double position) const {
  for (int i = 0; i < count_; ++i) {
    if (records_[i].start - 0.001 <= position && position <= records_[i].end + 0.001) return i;
  }
  return -1;
}

int LoopList::LoopAt(double position) const {
  for (int i = 0; i < count_; ++i) {
    if (records_[i].start <= position && position <= records_[i].end) return i;
  }
  return -1;
}

LoopSettings LoopList::SettingsAt(double position, const MasterValues& master) const {
  LoopSettings s;
  int i = LoopAt(position);
  if (i < 0) {
    s.pitch = master.pitch;
    s.tempo = master.tempo;
    s.flag_word = master.vocal_reduction;
    s.tag = master.eq_preset;
    s.index = -1;
    return s;
  }
  const LoopRecord& r = records_[i];
  s.pitch = r.pitch;
  s.tempo = r.tempo;
  s.flag_word = r.flag_word;
  s.tag = r.tag;
  s.index = i;
  return s;
}

void LoopList::SetSettingsAt(double position, int32_t pitch, int32_t tempo, int32_t flag_word,
                             const std::string& tag, MasterValues* master) {
  int i = LoopContaining(position);
  if (i >= 0) {
    LoopRecord& r = records_[i];
    r.pitch = pitch;
    r.tempo = tempo;
    r.flag_word = flag_word;
    r.tag = tag;
    return;
  }
  if (master) {
    master->SetPitch(pitch);
    master->SetTempo(tempo);
  }
}

double LoopList::NextLoopPoint(double position) const {
  if (!(position >= 0.0 && position <= song_length_)) return -1.0;
  const double from = position + 0.001;
  double best = -1.0;
  auto consider = [&](double c) {
    if (c >= from && c >= 0.0 && c <= song_length_ && (best < 0.0 || c < best)) best = c;
  };
  for (int i = 0; i < count_; ++i) {
    consider(records_[i].start);
    consider(records_[i].end);
  }
  return best;
}

double LoopList::PreviousLoopStart(double position) const {
  if (!(position >= 0.0 && position <= song_length_)) return -1.0;
  double best = -1.0;
  for (int i = 0; i < count_; ++i) {
    double s = records_[i].start;
    if (s < position && s > best) best = s;
  }
  return best;
}

double LoopList::NextLoopStart(double position) const {
  if (!(position >= 0.0 && position <= song_length_)) return -1.0;
  const double from = position + 0.07;
  double best = -1.0;
  for (int i = 0; i < count_; ++i) {
    double s = records_[i].start;
    if (s >= from && (best < 0.0 || s < best)) best = s;
  }
  return best;
}

void LoopList::IncrementPass(int index) {
  if (index < 0 || index >= count_) return;
  if (records_[index].repeat_count != -1) ++records_[index].pass_counter;
}

void LoopList::ResetPass(int index) {
  if (index < 0 || index >= count_) return;
  records_[index].pass_counter = 0;
}

void LoopList::ResetAllPasses() {
  for (LoopRecord& r : records_) r.pass_counter = 0;
}

bool LoopList::RepeatsDone(int index) const {
  if (index < 0 || index >= count_) return false;
  const LoopRecord& r = records_[index];
  return r.repeat_count != -1 && r.repeat_count < r.pass_counter;
}

bool LoopList::OnInsert(double position, double length) {
  bool changed = false;
  // The pending loop's set ends move with the audio too.
  for (int i = 0; i <= count_; ++i) {
    LoopRecord& r = records_[i];
    if (r.start >= 0.0 && r.start > position) {
      r.start += length;
      changed = true;
    }
    if (r.end >= 0.0 && r.end > position) {
      r.end += length;
      changed = true;
    }
  }
  return changed;
}

bool LoopList::OnDelete(double a, double b) {
  const double d = b - a;
  auto inside = [&](double t) { return t >= a && t <= b; };
  bool changed = false;
  for (int i = 0; i < count_;) {
    LoopRecord& r = records_[i];
    if (inside(r.start) || inside(r.end)) {
      DeleteLoop(i);
      changed = true;
      continue;
    }
    if (r.start < a && r.end > b) {
      r.end -= d;
      changed = true;
    } else if (r.start > b) {
      r.start -= d;
      r.end -= d;
      changed = true;
    }
    ++i;
  }
  LoopRecord& p = records_[count_];
  if ((p.start >= 0.0 && inside(p.start)) || (p.end >= 0.0 && inside(p.end))) {
    p.Clear();
    changed = true;
  } else {
    if (p.start >= 0.0 && p.start > b) {
      p.start -= d;
      changed = true;
    }
    if (p.end >= 0.0 && p.end > b) {
      p.end -= d;
      changed = true;
    }
  }
  return changed;
}

}  // namespace qv3
