// NoteFinder: plays one short slice of a file over and over on a playable
// stream of its own, so a single note can be picked out by ear. The slice is
// restarted by a mix-time position sync at its end, which sets the position
// back to its start at the exact sample: the repeat has no gap.
//
// Window-free; CQuaverlyNoteFinderDlg shows the values and forwards the
// user's changes. All calls come from the GUI thread; only the end-of-slice
// handler runs in the mixer, reading the start frame and the auto-repeat
// flag (atomics).
#ifndef QV3_NOTEFINDER_NOTE_FINDER_H_
#define QV3_NOTEFINDER_NOTE_FINDER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "audiolib/audiolib.h"

namespace qv3 {

class NoteFinder {
 public:
  static constexpr int kDefaultSampleRate = 44100;

  NoteFinder() = default;
  ~NoteFinder();
  NoteFinder(const NoteFinder&) = delete;
  NoteFinder& operator=(const NoteFinder&) = delete;

  // Stores the rate (frames per second; the duration slider's upper bound).
  void SetSampleRate(int rate);
  // start frame = trunc(seconds x rate); restarts the slice.
  void SetStart(double seconds);
  // duration frames = trunc(seconds x rate); restarts the slice.
  void SetDuration(double seconds);
  // From the duration slider: frames, seconds = frames / rate; restarts.
  void SetDurationFrames(int frames);
  // Set: restarts the slice. Cleared: pauses at once and removes the sync
  // (a forgotten but live sync would still cut a later, longer slice short).
  void SetAutoRepeat(bool on);

  // Creates a playable stream on `path` (no flags), restarts the slice and
  // plays. False, with nothing kept, when the stream cannot be created; the
  // library's error code is read and dropped (the window stays silent).
  bool OpenStream(const std::string& path);
  void FreeStream();

  int sample_rate() const { return sample_rate_; }
  double start_seconds() const { return start_seconds_; }
  int start_frame() const { return start_frame_.load(std::memory_order_relaxed); }
  double duration_seconds() const { return duration_seconds_; }
  int duration_frames() const { return duration_frames_; }
  bool auto_repeat() const { return auto_repeat_.load(std::memory_order_relaxed); }
  StreamHandle stream() const { return stream_; }
  // Bytes of one frame in the stream's own sample format (16-bit or float
  // times channels), never the file's native resolution.
  uint32_t bytes_per_frame() const { return bytes_per_frame_; }
  SyncHandle sync() const { return sync_; }

  // Called after every change of rate, start, duration or stream, so a
  // window can show the new values.
  void set_on_change(std::function<void()> on_change) { on_change_ = std::move(on_change); }

  // Text of the edits: seconds "%.7f", frames "%d".
  static std::string FormatSeconds(double seconds);
  static std::string FormatFrames(int frames);

 private:
  void Restart();
  static void EndOfSlice(SyncHandle sync, StreamHandle channel, uint32_t data, void* user);

  int sample_rate_ = kDefaultSampleRate;
  double start_seconds_ = 0.0;
  std::atomic<int32_t> start_frame_{0};
  double duration_seconds_ = 0.0;
  int duration_frames_ = 0;
  std::atomic<bool> auto_repeat_{true};
  StreamHandle stream_ = 0;
  ChannelInfo info_{};
  uint32_t bytes_per_frame_ = 0;
  SyncHandle sync_ = 0;
  std::function<void()> on_change_;
};

// What the main window keeps across openings of the note finder (the open
// flag and the last duration) and the steps it runs to open and close it.
class NoteFinderSession {
 public:
  bool is_open() const { return open_; }
  double remembered_duration() const { return remembered_duration_; }

  // After the main window has swapped its buttons and paused the engine:
  // rate from the engine, start in seconds from the position slider, the
  // remembered duration, then the stream on the working file (a failure
  // leaves the window open and silent).
  void Open(NoteFinder* finder, int engine_rate, double start_seconds, const std::string& audio_path);
  // Keeps the duration and frees the stream.
  void Close(NoteFinder* finder);
  // A click on the waveform at `ms` while open: within 0 .. song length
  // (inclusive) it becomes the start and *seconds tells where the main play
  // position must go; otherwise false and nothing changes.
  bool Click(NoteFinder* finder, double ms, double song_length_seconds, double* seconds);

 private:
  bool open_ = false;
  double remembered_duration_ = 0.0;
};

// Frames of `seconds` at `rate`, truncated and kept within 0 .. INT32_MAX.
int SecondsToFrames(double seconds, int rate);

}  // namespace qv3

#endif  // QV3_NOTEFINDER_NOTE_FINDER_H_
