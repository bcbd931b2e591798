#include "editing/ui/chart_peaks.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/recording_ui.h"
#include "platform/testing/wav_fixture.h"

namespace qv3 {
namespace {

void EnsureApp() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "editing_ui_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

using ::qv3::testing_support::WriteWav16;

TEST(ChartPeaksTest, ScanFillsTheViewOrLeavesItEmptyWithTheMessage) {
  EnsureApp();
  ScopedRecordingUi ui;
  const auto dir = std::filesystem::temp_directory_path() / ("qv3_chart_peaks_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(AudioInit(0, 44100, 0));

  const std::string stereo_path = (dir / "stereo.wav").string();
  ASSERT_TRUE(WriteWav16(stereo_path, std::vector<int16_t>(2 * 66150, 4096), 44100, 2));  // 1.5 s
  const StreamHandle stereo = StreamCreateFile(stereo_path.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  ASSERT_NE(stereo, 0u);
  CChartCtrl view;
  ASSERT_TRUE(ScanPeaksIntoView(&view, stereo, 1.5));
  EXPECT_TRUE(view.HasSong());
  EXPECT_DOUBLE_EQ(view.AxisMin(), 0.0);
  EXPECT_DOUBLE_EQ(view.AxisMax(), 1500.0);
  EXPECT_DOUBLE_EQ(view.TotalLength(), 1.5);
  EXPECT_EQ(ChannelGetPosition(stereo, kPosByte), 0u);
  EXPECT_THAT(ui->status_texts, ::testing::ElementsAre("Scanning Peaks... 0:01", ""));
  StreamFree(stereo);

  const std::string six_path = (dir / "six.wav").string();
  ASSERT_TRUE(WriteWav16(six_path, std::vector<int16_t>(6 * 4410, 100), 44100, 6));
  const StreamHandle six = StreamCreateFile(six_path.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  ASSERT_NE(six, 0u);
  EXPECT_FALSE(ScanPeaksIntoView(&view, six, 0.1));
  EXPECT_FALSE(view.HasSong());
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "Failed to Scan the Audio Peaks.");
  EXPECT_EQ(ui->messages[0].caption, "Read Error");
  StreamFree(six);

  AudioFree();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qv3
