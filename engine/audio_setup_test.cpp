#include "engine/audio_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/player_test_support.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

using testing_support::WriteSine;
using testing_support::WriteWav;

class AudioSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { AudioFree(); }
  void TearDown() override {
    SetCdStreamOpener(nullptr);
    AudioFree();
  }
  TempDir dir_;
};

TEST_F(AudioSetupTest, WrongVersionShowsItsMessage) {
  ScopedRecordingUi ui;
  EXPECT_TRUE(CheckAudioVersion(0x02040011));
  EXPECT_TRUE(ui->messages.empty());
  EXPECT_FALSE(CheckAudioVersion(0x02030000));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "An incorrect version of BASS was loaded");
  EXPECT_EQ(ui->messages[0].caption, "Quaverly 3");
}

TEST_F(AudioSetupTest, StartupOnTheNullDeviceAndTheInitFailureText) {
  ScopedEnv env;
  env.Set("QV3_AUDIO_DEVICE", "null");
  ScopedRecordingUi ui;
  ASSERT_TRUE(AudioStartup());
  EXPECT_TRUE(ui->messages.empty());
  EXPECT_EQ(AudioGetInfoRate(), 44100u);
  // A second set-up finds the device initialised: code 14 and its text.
  EXPECT_FALSE(AudioStartup());
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "Sorry, but the audio device could not be initialized.  Error was: "
            "14 - The device has already been initialized.");
}

TEST_F(AudioSetupTest, InitErrorTexts) {
  EXPECT_EQ(AudioInitErrorText(1), "1 - There is insufficient memory.");
  EXPECT_EQ(AudioInitErrorText(3),
            "3 - There is no available device driver - the device may already be in use.");
  EXPECT_EQ(AudioInitErrorText(6), "6 - The specified format is not supported by the device.");
  EXPECT_EQ(AudioInitErrorText(21), "21 - The device has no 3D support.");
  EXPECT_EQ(AudioInitErrorText(23),
            "23 - The device number specified is invalid (is there a sound card on this system, "
            "and are its drivers installed?)");
  EXPECT_EQ(AudioInitErrorText(-1), "-1 - General audio initialization problem.");
  EXPECT_EQ(AudioInitErrorText(8), "");
}

TEST_F(AudioSetupTest, CdTrackPathRule) {
  EXPECT_TRUE(IsCdTrackPath("D:/Track03.cda"));
  EXPECT_TRUE(IsCdTrackPath("x.cda"));
  EXPECT_FALSE(IsCdTrackPath(".cda"));               // shorter than 5
  EXPECT_FALSE(IsCdTrackPath("/music/a.cda.wav"));   // .cda not at the end
  EXPECT_FALSE(IsCdTrackPath("/a.cda/track.cda"));   // first .cda is followed by more
  EXPECT_FALSE(IsCdTrackPath("/music/Track03.CDA"));
}

TEST_F(AudioSetupTest, FileStatsBitrateLengthAndStaticRecord) {
  ASSERT_TRUE(AudioInitManual(44100, 0));
  std::string wav = dir_.Sub("one second.wav");
  ASSERT_TRUE(WriteSine(wav, 44100, 2, 1.0));
  int bitrate = -1, error = -1;
  double seconds = -1;
  const ChannelInfo* info = AudioFileStats(wav, &bitrate, &seconds, &error);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(info->freq, 44100u);
  EXPECT_EQ(info->chans, 2u);
  EXPECT_EQ(info->origres, 16u);
  EXPECT_DOUBLE_EQ(seconds, 1.0);
  // File bytes / (1 s x 125) + 0.5: 1412 for the 176400 data bytes and the header.
  EXPECT_EQ(bitrate, int(double(std::filesystem::file_size(wav)) / 125.0 + 0.5));
  EXPECT_EQ(bitrate, 1412);
  ASSERT_NE(info->filename, nullptr);
  EXPECT_EQ(std::string(info->filename), wav);  // still readable: the stream is freed

  // A header-only WAV has no length: bitrate 0, no division by zero.
  std::string empty = dir_.Sub("empty.wav");
  ASSERT_TRUE(WriteWav(empty, 44100, 2, 0, [](int64_t, int) { return 0.0f; }));
  info = AudioFileStats(empty, &bitrate, &seconds, &error);
  ASSERT_NE(info, nullptr) << error;
  EXPECT_EQ(error, 0);
  EXPECT_EQ(bitrate, 0);
  EXPECT_EQ(seconds, 0.0);

  // A failure clears the static record and reports the library's code.
  const ChannelInfo* kept = AudioFileStats(wav, &bitrate, &seconds, &error);
  EXPECT_EQ(AudioFileStats(dir_.Sub("missing.wav"), &bitrate, &seconds, &error), nullptr);
  EXPECT_EQ(error, kErrorFileOpen);
  EXPECT_EQ(kept->freq, 0u);
  EXPECT_EQ(bitrate, 0);
}

// Stands in for the CD subsystem: "X.cda" opens "X.wav".
StreamHandle OpenWavAsCd(const char* path, uint32_t flags) {
  std::string wav = std::string(path).substr(0, std::string(path).size() - 4) + ".wav";
  return StreamCreateFile(wav.c_str(), 0, 0, flags);
}

TEST_F(AudioSetupTest, CdTracksGoToTheCdOpener) {
  ASSERT_TRUE(AudioInitManual(44100, 0));
  int bitrate, error;
  double seconds;
  // Without a CD subsystem a track cannot be opened.
  EXPECT_EQ(AudioFileStats(dir_.Sub("Track03.cda"), &bitrate, &seconds, &error), nullptr);
  EXPECT_EQ(error, kErrorNotAvail);

  ASSERT_TRUE(WriteSine(dir_.Sub("Track03.wav"), 44100, 2, 0.5));
  SetCdStreamOpener(OpenWavAsCd);
  const ChannelInfo* info = AudioFileStats(dir_.Sub("Track03.cda"), &bitrate, &seconds, &error);
  ASSERT_NE(info, nullptr);
  EXPECT_DOUBLE_EQ(seconds, 0.5);
}

}  // namespace
}  // namespace qv3
