#include "platform/app_settings.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

class AppSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("HOME", tmp_.MakeDir("home"));
    env_.Set("XDG_CONFIG_HOME", tmp_.Sub("config"));
  }
  TempDir tmp_;
  ScopedEnv env_;
};

TEST_F(AppSettingsTest, PerUserFolderAndConfigPath) {
  EXPECT_EQ(ConfigFilePath(), tmp_.Sub("config/Quaverly 3/Quaverly3.ini"));
  EXPECT_TRUE(IsDirectory(tmp_.Sub("config/Quaverly 3")));
  EXPECT_EQ(PerUserFolder("Other"), tmp_.Sub("config/Other"));
  EXPECT_TRUE(IsDirectory(tmp_.Sub("config/Other")));
  env_.Set("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(ConfigFilePath(), tmp_.Sub("home/.config/Quaverly 3/Quaverly3.ini"));
}

TEST_F(AppSettingsTest, DefaultLocations) {
  std::string ini = ConfigFilePath();
  std::string long_path = "/data/" + std::string(400, 'p');
  WriteProfileString("Quaverly 3", "AudioFilePath", "/music/audio/", ini);
  WriteProfileString("Quaverly 3", "ExportFilePath", "/music/export//", ini);
  WriteProfileString("Quaverly 3", "SnifferFilePath", "/", ini);
  WriteProfileString("Quaverly 3", "TempFilePath", long_path, ini);
  // A missing key gives the home folder (the stand-in for "C:\").
  EXPECT_EQ(DefaultLocation("Project"), tmp_.Sub("home"));
  EXPECT_EQ(DefaultLocation("Audio"), "/music/audio");
  EXPECT_EQ(DefaultLocation("Export"), "/music/export/");
  EXPECT_EQ(DefaultLocation("Sniffer"), "/");
  EXPECT_EQ(DefaultLocation("Temp"), long_path);
  // Read fresh each time.
  WriteProfileString("Quaverly 3", "ProjectFilePath", "/projects", ini);
  EXPECT_EQ(DefaultLocation("Project"), "/projects");
}

TEST_F(AppSettingsTest, SystemTempFolderMessages) {
  ScopedRecordingUi ui;
  std::string dir;
  env_.Set("TMPDIR", tmp_.MakeDir("t") + "///");
  EXPECT_TRUE(SystemTempFolder(&dir));
  EXPECT_EQ(dir, tmp_.Sub("t"));
  EXPECT_TRUE(ui->messages.empty());

  env_.Set("TMPDIR", tmp_.Sub("gone"));
  EXPECT_FALSE(SystemTempFolder(&dir));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "The System TEMP Directory does not exist:\n\n\t" + tmp_.Sub("gone") +
                                      "\n\nSorry, can't continue.");
  EXPECT_EQ(ui->messages[0].caption, "qBox - Publish to Cloud");

  env_.Set("TMPDIR", "relative/tmp");
  EXPECT_FALSE(SystemTempFolder(&dir));
  ASSERT_EQ(ui->messages.size(), 2u);
  EXPECT_EQ(ui->messages[1].text, "Unknown System TEMP Directory.  Sorry, can't continue.");
  EXPECT_EQ(ui->messages[1].caption, "qBox - Publish to Cloud");
}

}  // namespace
}  // namespace qv3
