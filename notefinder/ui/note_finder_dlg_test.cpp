#include "notefinder/ui/note_finder_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace qv3 {
namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "notefinder_ui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

TEST(NoteFinderDlgTest, ControlsShowTheValuesAndForwardTheUsersChanges) {
  App();
  CQuaverlyNoteFinderDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Note Finder");
  EXPECT_EQ(dlg.findChild<QLineEdit*>("3600"), dlg.start_seconds_edit());
  EXPECT_EQ(dlg.findChild<QSlider*>("3606"), dlg.track_bar());
  EXPECT_EQ(dlg.track_bar()->minimum(), 1);
  EXPECT_EQ(dlg.track_bar()->maximum(), 44100);
  EXPECT_EQ(dlg.track_bar()->singleStep(), 1);
  EXPECT_EQ(dlg.track_bar()->pageStep(), 10);
  EXPECT_EQ(dlg.auto_repeat_box()->text(), "Auto Repeat");
  EXPECT_TRUE(dlg.auto_repeat_box()->isChecked());
  EXPECT_EQ(dlg.close_button()->text(), "Close");

  dlg.finder().SetSampleRate(48000);
  dlg.finder().SetStart(1.5);
  dlg.finder().SetDuration(0.01);
  EXPECT_EQ(dlg.track_bar()->maximum(), 48000);
  EXPECT_EQ(dlg.start_seconds_edit()->text(), "1.5000000");
  EXPECT_EQ(dlg.start_frames_edit()->text(), "72000");
  EXPECT_EQ(dlg.duration_seconds_edit()->text(), "0.0100000");
  EXPECT_EQ(dlg.duration_frames_edit()->text(), "480");
  EXPECT_EQ(dlg.track_bar()->value(), 480);

  // The user drags the track bar: frames, then seconds = frames / rate.
  dlg.track_bar()->setValue(2400);
  EXPECT_EQ(dlg.finder().duration_frames(), 2400);
  EXPECT_EQ(dlg.duration_seconds_edit()->text(), "0.0500000");
  EXPECT_EQ(dlg.duration_frames_edit()->text(), "2400");

  dlg.auto_repeat_box()->click();
  EXPECT_FALSE(dlg.finder().auto_repeat());

  int closed = 0;
  dlg.on_close = [&] { ++closed; };
  dlg.close_button()->click();
  dlg.close();
  EXPECT_EQ(closed, 2);
}

}  // namespace
}  // namespace qv3
