#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QKeyEvent>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "editing/import_test_support.h"
#include "editing/ui/import_progress_dialog.h"
#include "editing/ui/open_source_dialog.h"
#include "platform/main_thread.h"
#include "platform/paths.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "import_dialogs_test";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Posted calls travel through the Qt event loop, as in the program.
class QueuedPoster : public MainThreadPoster {
 public:
  void Post(MainThreadCall call) override {
    QMetaObject::invokeMethod(&App(), std::move(call), Qt::QueuedConnection);
  }
};

class ImportDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(AudioInit(0, 44100, 0));
  }
  void TearDown() override { AudioFree(); }
  TempDir dir_;
};

FileDialogRequest OpenRequest(const std::string& folder) {
  FileDialogRequest r;
  r.title = kOpenDialogTitle;
  r.filters = OpenSourceFilters();
  r.initial_folder = folder;
  return r;
}

TEST_F(ImportDialogsTest, OpenDialogHasItsTitleFiltersSizeAndRememberedCheckBox) {
  {
    OpenSourceDialog dialog(nullptr, OpenRequest(dir_.path()));
    EXPECT_EQ(dialog.windowTitle(), "Select Source File...");
    ASSERT_EQ(dialog.nameFilters().size(), 4);
    EXPECT_TRUE(dialog.nameFilters()[0].startsWith(
        "All Openable Files (Audio, Video & Project Files) (*.wav *.mp3"));
    EXPECT_TRUE(dialog.nameFilters()[3].startsWith("Project Files (qvp) (*.qvp"));
    EXPECT_TRUE(dialog.nameFilters()[3].contains("*.QVP"));
    EXPECT_EQ(dialog.size(), QSize(570, 500));
    EXPECT_EQ(dialog.directory().absolutePath().toStdString(), dir_.path());
    ASSERT_NE(dialog.auto_play_box(), nullptr);
    EXPECT_EQ(dialog.auto_play_box()->text(), "Automatically play the selected file");
    EXPECT_FALSE(dialog.auto_play_box()->isChecked());
    dialog.auto_play_box()->setChecked(true);
  }
  OpenSourceDialog again(nullptr, OpenRequest(dir_.path()));
  EXPECT_TRUE(again.auto_play_box()->isChecked());
  again.auto_play_box()->setChecked(false);
  OpenSourceDialog third(nullptr, OpenRequest(dir_.path()));
  EXPECT_FALSE(third.auto_play_box()->isChecked());
}

TEST_F(ImportDialogsTest, CheckedBoxPreviewsEachSelectedFileStoppingThePrevious) {
  const std::string a = dir_.Sub("a.wav");
  const std::string b = dir_.Sub("b.ogg");
  ASSERT_TRUE(import_test::MakeMedia(a, import_test::Concat(import_test::SineInput(2), {"-c:a", "pcm_s16le"})));
  ASSERT_TRUE(import_test::MakeMedia(b, import_test::Concat(import_test::SineInput(2), {"-c:a", "libvorbis"})));
  const std::string empty = dir_.WriteFile("empty.mp3", "");

  OpenSourceDialog dialog(nullptr, OpenRequest(dir_.path()));
  SourcePreview& preview = dialog.preview();
  emit dialog.currentChanged(QString::fromStdString(a));
  EXPECT_EQ(preview.stream(), 0u);  // not checked: silent

  dialog.auto_play_box()->setChecked(true);
  emit dialog.currentChanged(QString::fromStdString(a));
  const StreamHandle first = preview.stream();
  ASSERT_NE(first, 0u);
  EXPECT_EQ(ChannelIsActive(first), kActivePlaying);

  emit dialog.currentChanged(QString::fromStdString(b));
  ASSERT_NE(preview.stream(), 0u);
  EXPECT_NE(preview.stream(), first);
  EXPECT_EQ(preview.playing_path(), b);
  EXPECT_EQ(ChannelIsActive(first), kActiveStopped);  // freed

  // A folder or an empty file leaves the preview alone.
  emit dialog.currentChanged(QString::fromStdString(dir_.path()));
  emit dialog.currentChanged(QString::fromStdString(empty));
  EXPECT_EQ(preview.playing_path(), b);

  dialog.auto_play_box()->setChecked(false);
  EXPECT_EQ(preview.stream(), 0u);
  dialog.auto_play_box()->setChecked(true);
  emit dialog.currentChanged(QString::fromStdString(a));
  ASSERT_NE(preview.stream(), 0u);
  dialog.reject();
  EXPECT_EQ(preview.stream(), 0u);
  dialog.auto_play_box()->setChecked(false);
}

TEST_F(ImportDialogsTest, ProgressDialogShowsItsTextsAndTurnsCloseIntoCancel) {
  ImportProgressDialog dialog;
  const ImportProgressTexts texts{kExtractTitle, kImportingLabel, "Saving to \"/t/x.wav\""};
  dialog.Prepare(texts);
  EXPECT_EQ(dialog.windowTitle(), "Extracting Audio From Video");
  dialog.ShowProgress(texts);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.first_label()->text(), "Importing:");
  EXPECT_EQ(dialog.second_label()->text(), "Saving to \"/t/x.wav\"");
  EXPECT_EQ(dialog.bar()->minimum(), 0);
  EXPECT_EQ(dialog.bar()->maximum(), 10000);
  EXPECT_EQ(dialog.bar()->value(), 0);
  EXPECT_EQ(dialog.cancel_button()->text(), "Cancel");
  dialog.SetProgress(2500);
  dialog.SetTimeLine("1.5 of 6.0 Seconds");
  EXPECT_EQ(dialog.bar()->value(), 2500);
  EXPECT_EQ(dialog.time_line()->text(), "1.5 of 6.0 Seconds");

  // Escape / the frame's close button cancel instead of closing.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &escape);
  EXPECT_TRUE(dialog.CancelRequested());
  EXPECT_TRUE(dialog.isVisible());
  dialog.Close(false);
  EXPECT_FALSE(dialog.isVisible());

  ImportProgressDialog second;
  second.Prepare(texts);
  second.ShowProgress(texts);
  EXPECT_FALSE(second.CancelRequested());
  second.cancel_button()->click();
  EXPECT_TRUE(second.CancelRequested());
  second.Close(false);
}

TEST_F(ImportDialogsTest, ExtractionRunsUnderTheQtDialogWithQueuedPipeMessages) {
  QueuedPoster poster;
  InstallMainThreadPoster(&poster);
  ScopedRecordingUi ui;
  const std::string avi = dir_.Sub("clip.avi");
  ASSERT_TRUE(import_test::MakeMedia(
      avi, {"-f", "lavfi", "-i", "color=c=blue:s=32x32:r=10:d=2", "-f", "lavfi", "-i",
            "sine=frequency=440:sample_rate=44100:duration=2", "-c:v", "mpeg4", "-c:a",
            "libmp3lame", "-shortest"}));
  ImportProgressDialog dialog;
  VideoExtraction::Settings s{"/usr/bin/ffmpeg", "-vn -acodec pcm_s16le -ar 44100 -ac 2", dir_.path()};
  const std::string out = dir_.Sub("out.wav");
  EXPECT_TRUE(ExtractAudioFromVideo(&dialog, avi, out, s));
  InstallMainThreadPoster(nullptr);
  EXPECT_TRUE(ui->messages.empty());
  EXPECT_GT(FileSize(out), 44 + 2 * 44100 * 4 * 9 / 10);
  EXPECT_GT(dialog.bar()->value(), 9000);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[12]\\.\\d of 2\\.\\d Seconds$"))
                  .match(dialog.time_line()->text())
                  .hasMatch())
      << dialog.time_line()->text().toStdString();
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace qv3
