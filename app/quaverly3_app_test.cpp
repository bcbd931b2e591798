#include "app/quaverly3_app.h"

#include "app/app_test_env.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/profile_file.h"

namespace qv3 {
namespace {

class Quaverly3AppTest : public AppEnvTest {
 protected:
  void WriteGoodConfig() {
    WriteProfileString("Quaverly 3", "FFMpegExe", FakeTool("ffmpeg"), Ini());
    WriteProfileString("Quaverly 3", "FFPlayExe", FakeTool("ffplay"), Ini());
    WriteProfileString("Quaverly 3", "FFMpegAud", "-vn", Ini());
    WriteProfileString("Quaverly 3", "FAACExe", FakeTool("faac"), Ini());
  }
};

TEST_F(Quaverly3AppTest, GoodStartRunsTheMainWindowWithTheStartFile) {
  WriteGoodConfig();
  std::string song = tmp_.WriteFile("a song.wav", "RIFF");
  CQuaverly3App app({song});
  EXPECT_EQ(CQuaverly3App::Instance(), &app);
  int runs = 0;
  std::string opened;
  app.set_main_window_runner([&](CQuaverly3App& a) {
    ++runs;
    opened = a.TakeStartFile();
  });
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(opened, song);
  EXPECT_EQ(app.start_file(), "");
  EXPECT_TRUE(ui_->messages.empty());
  EXPECT_EQ(app.config_path(), Ini());
  EXPECT_EQ(app.user_dir(), tmp_.Sub("home/.config/Quaverly 3"));
  EXPECT_EQ(app.program_dir(), ProgramDir());
  EXPECT_EQ(AppToolPaths().ffmpeg_exe, tmp_.Sub("tools/ffmpeg"));
  EXPECT_EQ(AppToolPaths().faac_exe, tmp_.Sub("tools/faac"));
}

TEST_F(Quaverly3AppTest, CommandLineProblemsOnlyWarn) {
  WriteGoodConfig();
  CQuaverly3App app({"one", "two"});
  bool ran = false;
  app.set_main_window_runner([&](CQuaverly3App& a) { ran = a.start_file().empty(); });
  EXPECT_TRUE(app.InitInstance());
  EXPECT_TRUE(ran);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text.rfind("Please pass only one Argument", 0), 0u);
}

TEST_F(Quaverly3AppTest, MissingFFMpegKeyEndsTheProgramWithoutWriting) {
  WriteGoodConfig();
  DeleteProfileKey("Quaverly 3", "FFMpegExe", Ini());
  std::string before;
  ReadWholeFile(Ini(), &before);
  CQuaverly3App app({});
  bool ran = false;
  app.set_main_window_runner([&](CQuaverly3App&) { ran = true; });
  EXPECT_FALSE(app.InitInstance());
  EXPECT_FALSE(ran);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "Can't initialize the ffmpeg path from:\n\n   " + Ini() +
                                       "\n\nSorry, can't continue.");
  std::string after;
  ReadWholeFile(Ini(), &after);
  EXPECT_EQ(after, before);
}

TEST_F(Quaverly3AppTest, FirstStartWritesTheConfigurationAndChecksIt) {
  ASSERT_FALSE(PathExists(Ini()));
  CQuaverly3App app({});
  bool ran = false;
  app.set_main_window_runner([&](CQuaverly3App&) { ran = true; });
  bool ok = app.InitInstance();
  EXPECT_TRUE(IsNonEmptyRegularFile(Ini()));
  EXPECT_TRUE(IsDirectory(tmp_.Sub("home/Music/Quaverly 3/Projects")));
  // Whether it starts depends on the tools present beside the test program;
  // either it runs, or the first missing tool is named.
  if (IsExecutableFile(ProgramDir() + "/qv3-aacenc") && IsExecutableFile("/usr/bin/ffmpeg") &&
      IsExecutableFile("/usr/bin/ffplay")) {
    EXPECT_TRUE(ok);
    EXPECT_TRUE(ran);
  } else {
    EXPECT_FALSE(ok);
    EXPECT_FALSE(ran);
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_NE(ui_->messages[0].text.find("executable, specified in:\n\n   " + Ini()), std::string::npos);
  }
}

}  // namespace
}  // namespace qv3
