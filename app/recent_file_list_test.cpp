#include "app/recent_file_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/app_test_env.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace qv3 {
namespace {

class RecentFileListTest : public AppEnvTest {
 protected:
  void SetUp() override {
    AppEnvTest::SetUp();
    ASSERT_TRUE(list_.Initialize("Quaverly 3"));
  }
  std::string Song(int i) { return tmp_.WriteFile("songs/song " + std::to_string(i) + ".wav", "RIFF"); }
  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    int n = list_.Count();
    for (int i = 0; i < n; ++i) out.push_back(list_.Entry(i));
    return out;
  }
  std::string ListText() {
    std::string s;
    ReadWholeFile(list_.list_path(), &s);
    return s;
  }

  RecentFileList list_;
};

TEST_F(RecentFileListTest, LivesInThePerUserFolder) {
  EXPECT_EQ(list_.list_path(), tmp_.Sub("home/.config/Quaverly 3/recent.lst"));
  EXPECT_EQ(list_.buffer_path(), tmp_.Sub("home/.config/Quaverly 3/recent.tmp"));
  EXPECT_TRUE(PathExists(list_.list_path()));
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Entry(0), "");
  EXPECT_EQ(list_.Entry(-1), "");
}

TEST_F(RecentFileListTest, AddingTwiceKeepsOneEntryAtTheTop) {
  std::string a = Song(1), b = Song(2);
  list_.Add(a);
  list_.Add(b);
  list_.Add(a);
  EXPECT_EQ(Entries(), (std::vector<std::string>{a, b}));
  EXPECT_EQ(ListText(), a + "\n" + b + "\n");
  EXPECT_FALSE(PathExists(list_.buffer_path()));
}

TEST_F(RecentFileListTest, EleventhFilePushesTheOldestOut) {
  std::vector<std::string> expected;
  for (int i = 0; i < 11; ++i) {
    list_.Add(Song(i));
    expected.insert(expected.begin(), Song(i));
  }
  expected.pop_back();
  EXPECT_EQ(Entries(), expected);
}

TEST_F(RecentFileListTest, DeletedEmptyAndMissingFilesDisappear) {
  std::string a = Song(1), b = Song(2), c = Song(3);
  list_.Add(a);
  list_.Add(b);
  list_.Add(c);
  list_.Add(tmp_.Sub("songs/never.wav"));
  list_.Add(tmp_.WriteFile("songs/empty.wav", ""));
  ASSERT_EQ(unlink(b.c_str()), 0);
  EXPECT_EQ(list_.Entry(1), "");  // not pruned yet, but not offered
  EXPECT_EQ(Entries(), (std::vector<std::string>{c, a}));
  list_.Remove(c);
  EXPECT_EQ(Entries(), (std::vector<std::string>{a}));
}

TEST_F(RecentFileListTest, ComparisonIsCaseSensitive) {
  std::string lower = tmp_.WriteFile("songs/song.wav", "x");
  std::string upper = tmp_.WriteFile("songs/Song.wav", "x");
  list_.Add(lower);
  list_.Add(upper);
  EXPECT_EQ(Entries(), (std::vector<std::string>{upper, lower}));
}

TEST_F(RecentFileListTest, HandMadeListIsPrunedToTenOnStart) {
  std::string text = "\r\n" + tmp_.Sub("gone.wav") + "\r\n";
  std::vector<std::string> songs;
  for (int i = 0; i < 14; ++i) {
    songs.push_back(Song(i));
    text += songs.back() + "\r\n";
  }
  ASSERT_TRUE(AtomicWriteFile(list_.list_path(), text));
  RecentFileList fresh;
  ASSERT_TRUE(fresh.Initialize("Quaverly 3"));
  songs.resize(10);
  std::string expected;
  for (const auto& s : songs) expected += s + "\n";
  EXPECT_EQ(ListText(), expected);
}

TEST_F(RecentFileListTest, LongPathsAndLineBreaks) {
  std::string deep = "songs";
  for (int i = 0; i < 30; ++i) deep += "/a-rather-long-folder-name-" + std::to_string(i);
  std::string long_song = tmp_.WriteFile(deep + "/song.wav", "x");
  ASSERT_GT(long_song.size(), 300u);
  std::string broken = tmp_.WriteFile("songs/two\nlines.wav", "x");
  list_.Add(long_song);
  list_.Add(broken);
  EXPECT_EQ(Entries(), (std::vector<std::string>{long_song}));
}

TEST_F(RecentFileListTest, ListIsReplacedByRenameNotRewrittenInPlace) {
  std::string a = Song(1);
  list_.Add(a);
  // A second name for the old file keeps its content when the list is
  // replaced by a rename; an in-place rewrite would change it.
  std::string old_name = tmp_.Sub("old-list");
  ASSERT_EQ(link(list_.list_path().c_str(), old_name.c_str()), 0);
  list_.Add(Song(2));
  std::string old_text;
  ReadWholeFile(old_name, &old_text);
  EXPECT_EQ(old_text, a + "\n");
  EXPECT_EQ(ListText(), Song(2) + "\n" + a + "\n");
}

TEST(RecentFileListInitTest, UnusableFolderFails) {
  TempDir tmp;
  ScopedEnv env;
  std::string file = tmp.WriteFile("not-a-folder", "x");
  env.Set("XDG_CONFIG_HOME", file);
  ScopedRecordingUi ui;
  RecentFileList list;
  EXPECT_FALSE(list.Initialize("Quaverly 3"));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "Unknown User Home Directory:\n\n\t" + file + "/Quaverly 3\n\nSorry, can't continue.");
  list.Add(tmp.WriteFile("song.wav", "x"));  // harmless before a successful start
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace qv3
