// CQuaverlyNoteFinderDlg: the modeless "Note Finder" window. It owns the
// NoteFinder, shows its start and duration (edits 3600/3601 and 3604/3605,
// seconds "%.7f", frames "%d"), lets the duration be set with the track bar
// 3606 (1 .. sample rate, line 1, page 10) and auto repeat with the check box
// 3607. Controls carry their ids as object names ("3600" ...).
//
// The main window calls finder() for the values, and its NoteFinderSession
// for the opening and closing steps; "Close" and the window's own close box
// call on_close, which runs the main window's closing steps.
#ifndef QV3_NOTEFINDER_UI_NOTE_FINDER_DLG_H_
#define QV3_NOTEFINDER_UI_NOTE_FINDER_DLG_H_

#include <QDialog>
#include <functional>

#include "notefinder/note_finder.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace qv3 {

inline constexpr int kNoteFinderStartSeconds = 3600;
inline constexpr int kNoteFinderStartFrames = 3601;
inline constexpr int kNoteFinderDurationSeconds = 3604;
inline constexpr int kNoteFinderDurationFrames = 3605;
inline constexpr int kNoteFinderTrackBar = 3606;
inline constexpr int kNoteFinderAutoRepeat = 3607;

class CQuaverlyNoteFinderDlg : public QDialog {
 public:
  explicit CQuaverlyNoteFinderDlg(QWidget* parent = nullptr);
  ~CQuaverlyNoteFinderDlg() override;

  NoteFinder& finder() { return finder_; }
  // The main window's closing steps (read the duration, free the stream,
  // hide, swap the buttons back).
  std::function<void()> on_close;

  QLineEdit* start_seconds_edit() const { return start_seconds_; }
  QLineEdit* start_frames_edit() const { return start_frames_; }
  QLineEdit* duration_seconds_edit() const { return duration_seconds_; }
  QLineEdit* duration_frames_edit() const { return duration_frames_; }
  QSlider* track_bar() const { return track_bar_; }
  QCheckBox* auto_repeat_box() const { return auto_repeat_; }
  QPushButton* close_button() const { return close_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void ShowValues();

  NoteFinder finder_;
  QLineEdit* start_seconds_ = nullptr;
  QLineEdit* start_frames_ = nullptr;
  QLineEdit* duration_seconds_ = nullptr;
  QLineEdit* duration_frames_ = nullptr;
  QSlider* track_bar_ = nullptr;
  QCheckBox* auto_repeat_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_NOTEFINDER_UI_NOTE_FINDER_DLG_H_
