#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include "editing/ui/export_dialogs_qt.h"

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "export_dialogs_test";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Picks entry `index` of the modal dialog that opens next, then presses OK
// (or Cancel when index < 0).
void AnswerNextDialog(int index) {
  QTimer::singleShot(0, [index] {
    auto* dialog = qobject_cast<ExportChoiceDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    if (index < 0) {
      dialog->reject();
    } else {
      dialog->list()->setCurrentIndex(index);
      dialog->accept();
    }
  });
}

TEST(ExportDialogsTest, BitrateDialogInBothModes) {
  App();
  std::unique_ptr<ExportChoiceDialog> aac(NewAacBitrateDialog(nullptr));
  EXPECT_EQ(aac->windowTitle(), "Bitrate");
  EXPECT_EQ(aac->prompt()->text(), "Please choose the output bitrate:");
  ASSERT_EQ(aac->list()->count(), 7);
  EXPECT_EQ(aac->list()->itemText(0), "218 kbps");
  EXPECT_EQ(aac->list()->itemText(6), "62 kbps");
  EXPECT_EQ(aac->chosen(), 0);
  std::unique_ptr<ExportChoiceDialog> wma(NewWmaBitrateDialog({192000, 128000, 64000}, nullptr));
  ASSERT_EQ(wma->list()->count(), 3);
  EXPECT_EQ(wma->list()->itemText(1), "128 kbps");
  EXPECT_EQ(wma->chosen(), 0);
  std::unique_ptr<ExportChoiceDialog> mp3(NewMp3FormatDialog(Mp3Formats(44100, 2), nullptr));
  EXPECT_EQ(mp3->list()->currentText(), "192 kBit/s, 44,100 Hz, Stereo");
}

TEST(ExportDialogsTest, ChoicesAndCancel) {
  App();
  QtExportDialogs dialogs(nullptr);
  AacQuality q{};
  AnswerNextDialog(3);
  ASSERT_TRUE(dialogs.ChooseAacQuality(&q));
  EXPECT_EQ(q.kbps, 129);
  EXPECT_STREQ(q.options, "-q 100 -c 16000 --mpeg-vers 4");
  AnswerNextDialog(-1);
  EXPECT_FALSE(dialogs.ChooseAacQuality(&q));
  int rate = 0;
  AnswerNextDialog(1);
  ASSERT_TRUE(dialogs.ChooseWmaRate({160000, 96000}, &rate));
  EXPECT_EQ(rate, 96000);
  Mp3Format f;
  AnswerNextDialog(0);
  ASSERT_TRUE(dialogs.ChooseMp3Format(Mp3Formats(22050, 1), &f));
  EXPECT_EQ(f.kbps, 160);
  AnswerNextDialog(-1);
  EXPECT_FALSE(dialogs.ChooseMp3Format(Mp3Formats(22050, 1), &f));
}

}  // namespace
}  // namespace qv3
