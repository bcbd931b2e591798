#include "editing/edit_history.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

namespace qv3 {
namespace {

constexpr int32_t kCapacityStep = 2;

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string SnapshotBasePath(const std::string& temp_folder,
                             std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto ms_total = duration_cast<milliseconds>(time.time_since_epoch()).count();
  // Floor division so times before the epoch still give 0..999 milliseconds.
  long long secs = ms_total / 1000, ms = ms_total % 1000;
  if (ms < 0) {
    ms += 1000;
    --secs;
  }
  const std::time_t t = static_cast<std::time_t>(secs);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d.%03d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return temp_folder + "/" + stamp;
}

EditHistory::EditHistory(Clock clock)
    : clock_(clock ? std::move(clock) : Clock([] { return std::chrono::system_clock::now(); })),
      steps_(kCapacityStep) {}

EditHistory::~EditHistory() { Reset(); }

std::string EditHistory::SnapshotName(int32_t index, const char* extension) const {
  // Without a song there are no snapshots; a bare "-000001.wav" would name a
  // file in the working folder.
  if (base_path_.empty()) return {};
  char number[16];
  std::snprintf(number, sizeof number, "%06d", static_cast<int>(index));
  return base_path_ + "-" + number + extension;
}

void EditHistory::DeleteSnapshot(int32_t index) const {
  if (base_path_.empty()) return;
  std::remove(SnapshotName(index, ".qvp").c_str());
  std::remove(SnapshotName(index, ".wav").c_str());
}

SnapshotNames EditHistory::Begin(const std::string& temp_folder) {
  Reset();
  auto time = clock_();
  // Two instances opening songs in the same millisecond would otherwise share
  // (and delete) each other's snapshots.
  for (int tries = 0; tries < 1000; ++tries) {
    base_path_ = SnapshotBasePath(temp_folder, time);
    if (!Exists(base_path_ + "-000000.wav") && !Exists(base_path_ + "-000000.qvp") &&
        !Exists(base_path_ + "-Clipboard.wav")) {
      break;
    }
    time += std::chrono::milliseconds(1);
  }
  clipboard_path_ = base_path_ + "-Clipboard.wav";
  return NamesAtCurrentIndex();
}

SnapshotNames EditHistory::RecordStep(bool state_only, bool audio_changed) {
  steps_[static_cast<size_t>(current_)] = {state_only ? 1 : 0, audio_changed ? 1 : 0};
  ++current_;
  top_ = current_;
  if (current_ >= capacity()) steps_.resize(steps_.size() + kCapacityStep);
  if (highest_ < top_) highest_ = top_;
  // The redo branch goes before the caller writes the new snapshot's files.
  for (int32_t k = current_; k < capacity(); ++k) DeleteSnapshot(k);
  return NamesAtCurrentIndex();
}

bool EditHistory::Undo(SnapshotNames* names) {
  *names = {};
  --current_;
  if (current_ < 0) {
    current_ = 0;
    return false;
  }
  names->state = SnapshotName(current_, ".qvp");
  if (steps_[static_cast<size_t>(current_)].audio_changed == 1) {
    for (int32_t k = current_; k >= 0; --k) {
      std::string audio = SnapshotName(k, ".wav");
      if (Exists(audio)) {
        names->audio = audio;
        break;
      }
    }
  }
  return true;
}

bool EditHistory::Redo(SnapshotNames* names) {
  *names = {};
  ++current_;
  if (current_ > top_) {
    current_ = top_;
    return false;
  }
  *names = NamesAtCurrentIndex();
  return true;
}

SnapshotNames EditHistory::CurrentNames() const {
  SnapshotNames names;
  if (base_path_.empty()) return names;
  for (int32_t k = current_; k >= 0 && (names.state.empty() || names.audio.empty()); --k) {
    if (names.state.empty()) {
      std::string state = SnapshotName(k, ".qvp");
      if (Exists(state)) names.state = state;
    }
    if (names.audio.empty()) {
      std::string audio = SnapshotName(k, ".wav");
      if (Exists(audio)) names.audio = audio;
    }
  }
  return names;
}

SnapshotNames EditHistory::NamesAtCurrentIndex() const {
  return {SnapshotName(current_, ".qvp"), SnapshotName(current_, ".wav")};
}

void EditHistory::Reset() {
  for (int32_t k = 0; k <= highest_; ++k) DeleteSnapshot(k);
  if (!clipboard_path_.empty()) std::remove(clipboard_path_.c_str());
  clipboard_path_.clear();
  base_path_.clear();
  current_ = top_ = highest_ = 0;
}

}  // namespace qv3
