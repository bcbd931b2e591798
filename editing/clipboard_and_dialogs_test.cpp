#include <gtest/gtest.h>

#include <fstream>

#include "editing/clipboard_marker.h"
#include "editing/shared_dialogs.h"
#include "platform/clipboard.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

class ClipboardMarkerTest : public ::testing::Test {
 protected:
  ClipboardMarkerTest() { InstallClipboard(&clipboard_); }
  ~ClipboardMarkerTest() override { InstallClipboard(nullptr); }
  MemoryClipboard clipboard_;
  TempDir temp_;
};

TEST_F(ClipboardMarkerTest, MarkerRoundTripsWhileTheFileExists) {
  const std::string clip = temp_.WriteFile("20261207_014502.318-Clipboard.wav", "RIFF");
  PrepareClipboardForCopy();
  EXPECT_EQ(ReadClipboardMarker(), "");
  PublishClipboardMarker(clip);
  EXPECT_EQ(clipboard_.text(), "QV3Copy: " + clip);
  EXPECT_EQ(ReadClipboardMarker(), clip);
  std::remove(clip.c_str());
  EXPECT_EQ(ReadClipboardMarker(), "");
}

TEST_F(ClipboardMarkerTest, PrepareClearsAnEarlierMarker) {
  const std::string clip = temp_.WriteFile("c.wav", "RIFF");
  PublishClipboardMarker(clip);
  PrepareClipboardForCopy();
  EXPECT_EQ(clipboard_.text(), "");
  EXPECT_EQ(ReadClipboardMarker(), "");
}

TEST_F(ClipboardMarkerTest, PlainTextFromOtherProgramsIsNotAMarker) {
  const std::string song = temp_.WriteFile("song.wav", "RIFF");
  clipboard_.SetForeignText(song);
  EXPECT_EQ(ReadClipboardMarker(), "");
  clipboard_.SetForeignText("QV3Copy: " + song);
  EXPECT_EQ(ReadClipboardMarker(), "");
  // Under the private type a text without the prefix is taken whole.
  clipboard_.SetMarker(song);
  EXPECT_EQ(ReadClipboardMarker(), song);
  clipboard_.SetMarker("QV3Copy: " + temp_.path());  // a folder is no clipboard file
  EXPECT_EQ(ReadClipboardMarker(), "");
}

TEST(SharedDialogsTest, FolderPickerRefusesWhatIsNoFolder) {
  TempDir temp;
  const std::string file = temp.WriteFile("f.txt", "x");
  ScopedRecordingUi ui;
  ui->folder_paths = {temp.path(), temp.Sub("missing"), file, ""};
  EXPECT_EQ(PickFolderForNewFiles("/start"), temp.path());
  EXPECT_EQ(ui->folder_requests.at(0),
            "Please select the location for the new files:|/start");
  EXPECT_TRUE(ui->messages.empty());

  EXPECT_EQ(PickFolderForNewFiles("/start"), "");
  EXPECT_EQ(PickFolderForNewFiles("/start"), "");
  ASSERT_EQ(ui->messages.size(), 2u);
  EXPECT_EQ(ui->messages[0].text,
            "The chosen path can not be used to store computer files.  Please pick a directory "
            "that is on a physical hard drive.");
  EXPECT_EQ(ui->messages[0].caption, "Quaverly 3");
  EXPECT_EQ(ui->messages[0].icon, MsgIcon::kExclamation);

  EXPECT_EQ(PickFolderForNewFiles("/start"), "");  // cancel: no message
  EXPECT_EQ(ui->messages.size(), 2u);
}

TEST(SharedDialogsTest, SaveAudioDialogOffersWavAndMp3) {
  ScopedRecordingUi ui;
  ui->save_paths = {"/home/u/Music/a.wav"};
  EXPECT_EQ(AskSaveAudioFileName("/home/u/Sniffer"), "/home/u/Music/a.wav");
  EXPECT_EQ(AskSaveAudioFileName("/home/u/Sniffer"), "");
  ASSERT_EQ(ui->save_requests.size(), 2u);
  const FileDialogRequest& r = ui->save_requests[0];
  EXPECT_EQ(r.title, "Save File As...");
  ASSERT_EQ(r.filters.size(), 2u);
  EXPECT_EQ(r.filters[0].name, "WAV File (*.wav)");
  EXPECT_EQ(r.filters[0].patterns, "*.wav");
  EXPECT_EQ(r.filters[1].name, "MP3 File (*.mp3)");
  EXPECT_EQ(r.filters[1].patterns, "*.mp3");
  EXPECT_EQ(r.default_extension, "wav");
  EXPECT_EQ(r.initial_folder, "/home/u/Sniffer");
  EXPECT_TRUE(r.overwrite_prompt);
}

}  // namespace
}  // namespace qv3
