#include "app/configuration.h"

#include <sys/stat.h>

#include "app/app_test_env.h"
#include "app/equalizer_presets.h"
#include "app/hyperlink_errors.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/profile_file.h"

namespace qv3 {
namespace {

class ConfigurationTest : public AppEnvTest {
 protected:
  // A configuration whose tools all pass.
  void WriteGoodConfig() {
    WriteProfileString("Quaverly 3", "FFMpegExe", FakeTool("ffmpeg"), Ini());
    WriteProfileString("Quaverly 3", "FFPlayExe", FakeTool("ffplay"), Ini());
    WriteProfileString("Quaverly 3", "FFMpegAud", "-vn", Ini());
    WriteProfileString("Quaverly 3", "FAACExe", FakeTool("faac"), Ini());
  }
  std::string Msg(const std::string& format) {
    return StringPrintf(format.c_str(), Ini().c_str());
  }
};

TEST_F(ConfigurationTest, FirstStartWritesWorkingDefaults) {
  ASSERT_TRUE(WriteFirstConfiguration(Ini()));
  auto get = [&](const char* key) { return GetProfileString("Quaverly 3", key, "?", Ini()); };
  EXPECT_EQ(get("FFMpegExe"), "/usr/bin/ffmpeg");
  EXPECT_EQ(get("FFPlayExe"), "/usr/bin/ffplay");
  EXPECT_EQ(get("FFMpegAud"), "-vn -acodec pcm_s16le -ar 44100 -ac 2");
  EXPECT_EQ(get("FAACExe"), ProgramDir() + "/qv3-aacenc");
  EXPECT_EQ(get("ProjectFilePath"), tmp_.Sub("home/Music/Quaverly 3/Projects"));
  EXPECT_EQ(get("AudioFilePath"), tmp_.Sub("home/Music/Quaverly 3/Audio"));
  EXPECT_EQ(get("ExportFilePath"), tmp_.Sub("home/Music/Quaverly 3/Export"));
  EXPECT_EQ(get("SnifferFilePath"), tmp_.Sub("home/Music/Quaverly 3/Sniffer"));
  EXPECT_EQ(get("TempFilePath"), tmp_.Sub("home/.cache/Quaverly 3/Temp"));
  for (const char* name : {"Project", "Audio", "Export", "Sniffer", "Temp"}) {
    EXPECT_TRUE(IsDirectory(DefaultLocation(name))) << name;
  }
  EXPECT_EQ(LoadEqPresets(Ini()), StarterEqPresets());
}

TEST_F(ConfigurationTest, ExistingFileIsNeverRewritten) {
  std::string content = "[Quaverly 3]\r\nFFPlayExe=/usr/bin/ffplay\r\n";
  AtomicWriteFile(Ini(), content);
  ASSERT_TRUE(WriteFirstConfiguration(Ini()));
  std::string now;
  ReadWholeFile(Ini(), &now);
  EXPECT_EQ(now, content);
  EXPECT_FALSE(PathExists(tmp_.Sub("home/Music/Quaverly 3")));
  // An empty file exists too.
  AtomicWriteFile(Ini(), "");
  ASSERT_TRUE(WriteFirstConfiguration(Ini()));
  EXPECT_EQ(FileSize(Ini()), 0);
}

TEST_F(ConfigurationTest, GoodToolsPassAndAreRead) {
  WriteGoodConfig();
  ToolPaths tools;
  EXPECT_TRUE(CheckToolPaths(Ini(), &tools));
  EXPECT_TRUE(ui_->messages.empty());
  EXPECT_EQ(tools.ffmpeg_exe, tmp_.Sub("tools/ffmpeg"));
  EXPECT_EQ(tools.ffplay_exe, tmp_.Sub("tools/ffplay"));
  EXPECT_EQ(tools.ffmpeg_audio, "-vn");
  EXPECT_EQ(tools.faac_exe, tmp_.Sub("tools/faac"));
}

struct ToolCase {
  const char* key;
  const char* bad_value;  // nullptr: key removed
  const char* message;
};

TEST_F(ConfigurationTest, EachToolFailureShowsItsMessageAndStops) {
  const std::string not_executable = tmp_.WriteFile("tools/plain", "data", 0644);
  const std::string empty = tmp_.WriteFile("tools/empty", "", 0755);
  const ToolCase cases[] = {
      {"FFMpegExe", nullptr, "Can't initialize the ffmpeg path from:\n\n   %s\n\nSorry, can't continue."},
      {"FFMpegExe", "x", "Can't initialize the ffmpeg path from:\n\n   %s\n\nSorry, can't continue."},
      {"FFMpegExe", "/nonexistent/ffmpeg",
       "Can't find the ffmpeg executable, specified in:\n\n   %s\n\nSorry, can't continue."},
      {"FFMpegExe", not_executable.c_str(),
       "Can't find the ffmpeg executable, specified in:\n\n   %s\n\nSorry, can't continue."},
      {"FFMpegExe", empty.c_str(),
       "Can't find the ffmpeg executable, specified in:\n\n   %s\n\nSorry, can't continue."},
      {"FFPlayExe", nullptr, "Can't initialize the ffplay path from:\n\n   %s\n\nSorry, can't continue."},
      {"FFPlayExe", "",
       "Can't find the ffplay executable, specified in:\n\n   %s\n\nSorry, can't continue."},
      {"FFMpegAud", nullptr,
       "Can't initialize the ffmpeg audio options from:\n\n   %s\n\nSorry, can't continue."},
      {"FAACExe", nullptr, "Can't initialize the faac path from:\n\n   %s\n\nSorry, can't continue."},
      {"FAACExe", tmp_.path().c_str(),
       "Can't find the faac executable, specified in:\n\n   %s\n\nSorry, can't continue."},
  };
  for (const ToolCase& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " = " + (c.bad_value ? c.bad_value : "(missing)"));
    WriteGoodConfig();
    if (c.bad_value) {
      WriteProfileString("Quaverly 3", c.key, c.bad_value, Ini());
    } else {
      DeleteProfileKey("Quaverly 3", c.key, Ini());
    }
    ui_->messages.clear();
    ToolPaths tools;
    EXPECT_FALSE(CheckToolPaths(Ini(), &tools));
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_EQ(ui_->messages[0].text, Msg(c.message));
    EXPECT_EQ(ui_->messages[0].caption, "Quaverly 3");
    EXPECT_EQ(ui_->messages[0].icon, MsgIcon::kError);
  }
}

TEST_F(ConfigurationTest, AudioOptionsNeedOnlyAValue) {
  WriteGoodConfig();
  WriteProfileString("Quaverly 3", "FFMpegAud", "", Ini());
  ToolPaths tools;
  EXPECT_TRUE(CheckToolPaths(Ini(), &tools));
  EXPECT_EQ(tools.ffmpeg_audio, "");
}

TEST(HyperlinkErrorsTest, TextsAndMessage) {
  EXPECT_EQ(HyperlinkErrorText(0), "The operating system is out\nof memory or resources.");
  EXPECT_EQ(HyperlinkErrorText(26), "A sharing violation occurred. ");
  EXPECT_EQ(HyperlinkErrorText(30),
            "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
            "processed.");
  EXPECT_EQ(HyperlinkErrorText(1), "Unknown Error (1) occurred.");
  EXPECT_EQ(HyperlinkErrorText(-7), "Unknown Error (-7) occurred.");
  ScopedRecordingUi ui;
  ReportHyperlinkError(kHyperlinkNoAssociation);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename "
            "extension.");
  EXPECT_EQ(ui->messages[0].icon, MsgIcon::kExclamation);
}

}  // namespace
}  // namespace qv3
