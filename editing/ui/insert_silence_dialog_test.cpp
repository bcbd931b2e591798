#include "editing/ui/insert_silence_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <cmath>

#include "platform/recording_ui.h"

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "edit_dialogs_test";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

TEST(InsertSilenceDialogTest, StartsWithTenSecondsAtTheCurrentPosition) {
  App();
  CInsertSilenceDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Insert Silence");
  EXPECT_EQ(dlg.amount_edit()->text(), "10.0");
  EXPECT_TRUE(dlg.radio(InsertPoint::kCurrentPosition)->isChecked());
  EXPECT_EQ(dlg.where(), InsertPoint::kCurrentPosition);
  EXPECT_EQ(dlg.radio(InsertPoint::kBeginning)->text(), "Beginning");
  EXPECT_EQ(dlg.radio(InsertPoint::kCurrentPosition)->text(), "Current Position");
  EXPECT_EQ(dlg.radio(InsertPoint::kEnd)->text(), "End");
  bool labelled = false;
  for (QLabel* label : dlg.findChildren<QLabel*>())
    labelled |= label->text() == "Amount of silence to\ninsert (seconds):";
  EXPECT_TRUE(labelled);
}

TEST(InsertSilenceDialogTest, OnlyAFiniteLengthUpToAnHourIsAccepted) {
  App();
  ScopedRecordingUi ui;
  for (const char* bad : {"", "abc", "0", "-1", "nan", "inf", "1e400", "3600.01", "1,5"}) {
    CInsertSilenceDlg dlg;
    dlg.amount_edit()->setText(bad);
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted) << bad;
  }
  EXPECT_EQ(ui->beeps, 9);

  CInsertSilenceDlg dlg;
  dlg.amount_edit()->setText(" 2.5 ");
  dlg.radio(InsertPoint::kEnd)->setChecked(true);
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(dlg.seconds(), 2.5);
  EXPECT_EQ(dlg.where(), InsertPoint::kEnd);
  EXPECT_EQ(ui->beeps, 9);

  CInsertSilenceDlg hour;
  hour.amount_edit()->setText("3600");
  hour.radio(InsertPoint::kBeginning)->setChecked(true);
  hour.accept();
  EXPECT_EQ(hour.result(), QDialog::Accepted);
  EXPECT_EQ(hour.where(), InsertPoint::kBeginning);
}

TEST(InsertSilenceDialogTest, ParsesInTheCLocale) {
  App();
  EXPECT_DOUBLE_EQ(ParseSilenceSeconds("10.0"), 10.0);
  EXPECT_DOUBLE_EQ(ParseSilenceSeconds(".5"), 0.5);
  EXPECT_TRUE(std::isnan(ParseSilenceSeconds("ten")));
}

}  // namespace
}  // namespace qv3
