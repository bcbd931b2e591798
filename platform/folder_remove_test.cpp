#include "platform/folder_remove.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/test_env.h"
#include "platform/trace_log.h"

namespace qv3 {
namespace {

using ::testing::HasSubstr;

class FolderRemoveTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.Set("TMPDIR", tmp_.MakeDir("systmp")); }
  std::string Log() {
    std::string s;
    ReadWholeFile(TraceLogPath(), &s);
    return s;
  }
  int CountLines(const std::string& needle) {
    std::string log = Log();
    int n = 0;
    for (size_t p = 0; (p = log.find(needle, p)) != std::string::npos; p += needle.size()) ++n;
    return n;
  }

  TempDir tmp_;
  ScopedEnv env_;
};

TEST_F(FolderRemoveTest, TraceLogLivesInPrivateFolderWithTimePrefix) {
  std::string path = TraceLogPath();
  EXPECT_EQ(path, tmp_.Sub("systmp/quaverly-" + std::to_string(getuid()) + "/qBoxLog.txt"));
  TraceLog("first %d\n", 1);
  TraceLog("second %s\n", "entry");
  EXPECT_TRUE(std::regex_match(
      Log(), std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: first 1\n"
                        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: second entry\n")));
}

TEST_F(FolderRemoveTest, TraceLogDoesNotFollowAPlantedLink) {
  std::string victim = tmp_.WriteFile("victim.txt", "precious");
  std::string dir = PrivateTempDir();
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(symlink(victim.c_str(), (dir + "/qBoxLog.txt").c_str()), 0);
  TraceLog("attack\n");
  std::string content;
  ReadWholeFile(victim, &content);
  EXPECT_EQ(content, "precious");
}

TEST_F(FolderRemoveTest, RemovesTreeWithoutFollowingLinks) {
  std::string outside = tmp_.MakeDir("music");
  std::string keep = tmp_.WriteFile("music/song.wav", "RIFF");
  tmp_.WriteFile("work/a.wav", "1");
  tmp_.WriteFile("work/sub/deeper/b.wav", "2");
  tmp_.WriteFile("work/.hidden", "3");
  tmp_.MakeDir("work/empty");
  ASSERT_EQ(symlink(outside.c_str(), tmp_.Sub("work/link-to-music").c_str()), 0);
  ASSERT_EQ(symlink(keep.c_str(), tmp_.Sub("work/sub/link-to-song").c_str()), 0);
  ASSERT_EQ(symlink("/nonexistent", tmp_.Sub("work/dangling").c_str()), 0);

  EXPECT_EQ(RemoveFolderRecursive(tmp_.Sub("work") + "//"), 1);
  EXPECT_FALSE(PathExists(tmp_.Sub("work")));
  EXPECT_TRUE(IsNonEmptyRegularFile(keep));
  EXPECT_TRUE(IsDirectory(outside));
  std::string log = Log();
  EXPECT_THAT(log, HasSubstr(": RemoveDirectoryRecursive(" + tmp_.Sub("work") + ")\n"));
  EXPECT_THAT(log, HasSubstr(": RemoveDirectoryRecursive(" + tmp_.Sub("work/sub/deeper") + ")\n"));
  EXPECT_THAT(log, HasSubstr(": _unlink() - successfully removed: " + tmp_.Sub("work/link-to-music") +
                                 " - after 0 retries\n"));
  EXPECT_THAT(log, HasSubstr(": rmdir() - successfully removed: " + tmp_.Sub("work") +
                                 " - after 0 retries\n"));
  EXPECT_EQ(log.find("RemoveDirectoryRecursive(" + outside), std::string::npos);
}

TEST_F(FolderRemoveTest, LinkGivenAsTheFolderIsLeftAlone) {
  std::string outside = tmp_.MakeDir("music");
  std::string keep = tmp_.WriteFile("music/song.wav", "RIFF");
  std::string link = tmp_.Sub("temp-link");
  ASSERT_EQ(symlink(outside.c_str(), link.c_str()), 0);
  EXPECT_EQ(RemoveFolderRecursive(link), 1);
  EXPECT_TRUE(IsNonEmptyRegularFile(keep));
  EXPECT_THAT(Log(), HasSubstr(": Can't delete non-existing directory: \"" + link + "\"\n"));
}

TEST_F(FolderRemoveTest, MissingFolderIsLogged) {
  EXPECT_EQ(RemoveFolderRecursive(tmp_.Sub("nothing/")), 1);
  EXPECT_THAT(Log(), HasSubstr(": Can't delete non-existing directory: \"" + tmp_.Sub("nothing") +
                                   "\"\n"));
}

TEST_F(FolderRemoveTest, LockedFileIsRetriedTwentyTimesThenTheFolderFails) {
  std::string locked = tmp_.WriteFile("work/locked.wav", "x");
  tmp_.WriteFile("work/free.wav", "y");
  FolderRemoveOps ops = DefaultFolderRemoveOps();
  int waits = 0;
  int locked_attempts = 0;
  auto real_unlink = ops.unlink_file;
  ops.unlink_file = [&](const std::string& p) {
    if (p == locked) {
      ++locked_attempts;
      return EBUSY;
    }
    return real_unlink(p);
  };
  ops.wait = [&] { ++waits; };
  EXPECT_EQ(RemoveFolderRecursive(tmp_.Sub("work"), ops), 1);
  EXPECT_EQ(locked_attempts, 20);
  EXPECT_TRUE(PathExists(locked));
  EXPECT_FALSE(PathExists(tmp_.Sub("work/free.wav")));
  // 19 waits between the file's 20 attempts, 19 between the folder's.
  EXPECT_EQ(waits, 38);
  EXPECT_EQ(CountLines("_unlink() - unable to remove: " + locked + " - retrying ("), 19);
  EXPECT_THAT(Log(), HasSubstr("_unlink() - unable to remove: " + locked + " - retrying (19)\n"));
  EXPECT_THAT(Log(), HasSubstr("_unlink() - failed to remove: " + locked + " - after 20 retries\n"));
  EXPECT_EQ(CountLines("rmdir() - unable to remove: " + tmp_.Sub("work") + " - retrying ("), 19);
  EXPECT_THAT(Log(), HasSubstr("rmdir() - failed to remove: " + tmp_.Sub("work") +
                                   " - after 20 retries\n"));
}

TEST_F(FolderRemoveTest, FileReleasedDuringRetriesIsRemoved) {
  std::string busy = tmp_.WriteFile("work/busy.wav", "x");
  FolderRemoveOps ops = DefaultFolderRemoveOps();
  int attempts = 0;
  auto real_unlink = ops.unlink_file;
  ops.unlink_file = [&](const std::string& p) { return ++attempts < 3 ? EBUSY : real_unlink(p); };
  ops.wait = [] {};
  RemoveFolderRecursive(tmp_.Sub("work"), ops);
  EXPECT_FALSE(PathExists(tmp_.Sub("work")));
  EXPECT_THAT(Log(), HasSubstr("_unlink() - successfully removed: " + busy + " - after 2 retries\n"));
}

TEST_F(FolderRemoveTest, RealWaitsAreFiftyMilliseconds) {
  std::string locked = tmp_.WriteFile("work/locked.wav", "x");
  FolderRemoveOps ops = DefaultFolderRemoveOps();
  ops.unlink_file = [](const std::string&) { return EBUSY; };
  ops.remove_dir = [](const std::string&) { return 0; };
  auto start = std::chrono::steady_clock::now();
  RemoveFolderRecursive(tmp_.Sub("work"), ops);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count();
  EXPECT_GE(ms, 19 * 50);
}

}  // namespace
}  // namespace qv3
