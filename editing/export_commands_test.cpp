#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "editing/export_commands.h"
#include "editing/export_test_support.h"
#include "platform/app_settings.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

class FakeExportHost : public ExportHost {
 public:
  bool AudioOpen() override { return audio_open; }
  ExportSong SongForExport() override { return song; }
  int LoopUnderPlayPosition() override { return under_position; }
  int CurrentLoop() override { return current; }
  void StopPlayback() override { ++stops; }
  void EnableMainWindow(bool enable) override { enables.push_back(enable); }
  void ExportComplete() override { ++completes; }
  ExportDialogs* Dialogs() override { return &dialogs; }

  bool audio_open = true;
  ExportSong song;
  int under_position = -1;
  int current = -1;
  int stops = 0;
  int completes = 0;
  std::vector<bool> enables;
  export_test::ScriptedDialogs dialogs;
};

class ExportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "qv3_export_cmd_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir_);
    host_.song.audio_path = dir_ + "/snap.wav";
    host_.song.source_path = dir_ + "/My Song.wav";
    export_test::WriteSong(host_.song.audio_path, 8000, 1, 16000);
    host_.song.loops = {{"Verse", 0.5, 1.0, 0, 10000}, {"Chorus", 1.2, 1.5, 0, 10000}};
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
  FakeExportHost host_;
};

TEST_F(ExportCommandTest, RequestsWhenThereIsNothingToExport) {
  ScopedRecordingUi ui;
  host_.audio_open = false;
  EXPECT_EQ(RunExportCommand(kCmdExportSong, &host_), ExportResult::kFailed);
  host_.audio_open = true;
  EXPECT_EQ(RunExportCommand(kCmdExportLoop, &host_), ExportResult::kFailed);
  host_.song.loops.clear();
  EXPECT_EQ(RunExportCommand(kCmdExportAllLoops, &host_), ExportResult::kFailed);
  ASSERT_EQ(ui->messages.size(), 3u);
  EXPECT_EQ(ui->messages[0].text, "Please open an Audio File first, thanks.");
  EXPECT_EQ(ui->messages[0].caption, "No Audio Files Open");
  EXPECT_EQ(ui->messages[1].text, "Please put the Position indicator between a Loop first, thanks.");
  EXPECT_EQ(ui->messages[1].caption, "Export Loop");
  EXPECT_EQ(ui->messages[2].text,
            "No Loops have been defined.  Please create some Loops first, thanks.");
  EXPECT_EQ(ui->messages[2].caption, "Export Loop");
  EXPECT_TRUE(ui->save_requests.empty());
  EXPECT_EQ(host_.stops, 0);
}

TEST_F(ExportCommandTest, LoopChoiceAndDialogTitles) {
  ScopedRecordingUi ui;
  host_.under_position = 1;
  host_.current = 0;
  RunExportCommand(kCmdExportLoop, &host_);  // cancelled dialog
  host_.under_position = -1;
  RunExportCommand(kCmdExportLoop, &host_);
  host_.song.loops.resize(1);
  host_.current = -1;
  RunExportCommand(kCmdExportLoop, &host_);
  RunExportCommand(kCmdExportAllLoops, &host_);
  RunExportCommand(kCmdExportSong, &host_);
  ASSERT_EQ(ui->save_requests.size(), 5u);
  EXPECT_EQ(ui->save_requests[0].title, "Export Loop \"Chorus\" As...");
  EXPECT_EQ(ui->save_requests[1].title, "Export Loop \"Verse\" As...");
  EXPECT_EQ(ui->save_requests[2].title, "Export Loop \"Verse\" As...");
  EXPECT_EQ(ui->save_requests[3].title, "Export All Loops As...");
  EXPECT_EQ(ui->save_requests[4].title, "Export Song As...");
  const auto& r = ui->save_requests[0];
  ASSERT_EQ(r.filters.size(), 6u);
  EXPECT_EQ(r.filters[0].name, "WAV (*.wav)");
  EXPECT_EQ(r.filters[3].name, "MP4 (*.mp4)");
  EXPECT_EQ(r.filters[5].patterns, "*.wma");
  EXPECT_EQ(r.default_extension, "wav");
  EXPECT_TRUE(r.overwrite_prompt);
  EXPECT_EQ(r.initial_folder, DefaultLocation("Export"));
  EXPECT_EQ(host_.stops, 5);
  EXPECT_TRUE(ui->messages.empty());
  EXPECT_TRUE(host_.enables.empty());  // nothing exported
}

TEST_F(ExportCommandTest, TheSourceAsDestinationIsRefusedAndTheDialogReopens) {
  ScopedRecordingUi ui;
  ui->save_paths = {dir_ + "/my song.WAV", dir_ + "/out.wav"};
  EXPECT_EQ(RunExportCommand(kCmdExportSong, &host_), ExportResult::kDone);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "The Destination File Name is the same as the Source File Name.  Please use a "
            "different File Name, thanks.");
  EXPECT_EQ(ui->messages[0].caption, "Duplicate File Name");
  EXPECT_EQ(ui->save_requests.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/my song.WAV"));
  EXPECT_EQ(export_test::ReadWav16(dir_ + "/out.wav").size(), 16000u);
  EXPECT_EQ(host_.completes, 1);
  EXPECT_EQ(host_.enables, (std::vector<bool>{false, true}));

  // Refused, then cancelled: nothing is exported.
  ui->save_paths = {host_.song.source_path, host_.song.audio_path};
  EXPECT_EQ(RunExportCommand(kCmdExportSong, &host_), ExportResult::kCancelled);
  EXPECT_EQ(ui->save_requests.size(), 5u);
  EXPECT_EQ(ui->messages.size(), 3u);
  EXPECT_EQ(export_test::ReadWav16(host_.song.audio_path).size(), 16000u);
  EXPECT_EQ(host_.completes, 1);
}

}  // namespace
}  // namespace qv3
