#include "editing/edit_history.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "editing/song_file_set.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::system_clock;

// 7 December 2026, 01:45:02.318 UTC.
system_clock::time_point OpeningTime() {
  return system_clock::time_point(std::chrono::seconds(1796607902)) + milliseconds(318);
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }
bool Exists(const std::string& path) { return !path.empty() && fs::exists(path); }
int CountFiles(const std::string& folder) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(folder)) n += entry.is_regular_file() ? 1 : 0;
  return n;
}

class EditHistoryTest : public ::testing::Test {
 protected:
  EditHistoryTest() : history_([] { return OpeningTime(); }) {}

  // Writes the files a caller writes for a step: the state always, the audio
  // only when it changed.
  SnapshotNames Step(bool state_only, bool audio_changed) {
    SnapshotNames n = history_.RecordStep(state_only, audio_changed);
    Touch(n.state);
    if (audio_changed) Touch(n.audio);
    return n;
  }
  std::string Snap(int k, const char* ext) { return history_.SnapshotName(k, ext); }

  TempDir temp_;
  EditHistory history_;
};

TEST_F(EditHistoryTest, NamesComeFromTheUtcOpeningTime) {
  SnapshotNames n = history_.Begin(temp_.path());
  const std::string base = temp_.path() + "/20261207_014502.318";
  EXPECT_EQ(history_.base_path(), base);
  EXPECT_EQ(n.state, base + "-000000.qvp");
  EXPECT_EQ(n.audio, base + "-000000.wav");
  EXPECT_EQ(history_.ClipboardPath(), base + "-Clipboard.wav");
  EXPECT_EQ(Snap(3, ".wav"), base + "-000003.wav");
  EXPECT_EQ(SnapshotBasePath("/t", system_clock::time_point(milliseconds(7))),
            "/t/19700101_000000.007");
}

TEST_F(EditHistoryTest, NothingToUndoOrRedoRightAfterOpening) {
  SnapshotNames n = history_.Begin(temp_.path());
  Touch(n.state);
  Touch(n.audio);
  SnapshotNames got{"stale", "stale"};
  EXPECT_FALSE(history_.Undo(&got));
  EXPECT_EQ(got.state, "");
  EXPECT_EQ(got.audio, "");
  EXPECT_EQ(history_.current_index(), 0);
  EXPECT_FALSE(history_.Redo(&got));
  EXPECT_EQ(history_.current_index(), 0);
  EXPECT_EQ(history_.CurrentNames().audio, n.audio);
}

TEST_F(EditHistoryTest, UndoAndRedoAcrossAudioAndStateOnlySteps) {
  SnapshotNames s0 = history_.Begin(temp_.path());
  Touch(s0.state);
  Touch(s0.audio);
  Step(false, true);  // 1: audio edit
  Step(true, false);  // 2: loop change
  Step(true, false);  // 3: marker change
  EXPECT_EQ(history_.CurrentNames().state, Snap(3, ".qvp"));
  EXPECT_EQ(history_.CurrentNames().audio, Snap(1, ".wav"));

  SnapshotNames n;
  ASSERT_TRUE(history_.Undo(&n));  // undoing a state change: audio not reloaded
  EXPECT_EQ(n.state, Snap(2, ".qvp"));
  EXPECT_EQ(n.audio, "");
  ASSERT_TRUE(history_.Undo(&n));
  EXPECT_EQ(n.state, Snap(1, ".qvp"));
  EXPECT_EQ(n.audio, "");
  ASSERT_TRUE(history_.Undo(&n));  // across the audio edit: back to the opened audio
  EXPECT_EQ(n.state, Snap(0, ".qvp"));
  EXPECT_EQ(n.audio, Snap(0, ".wav"));
  EXPECT_FALSE(history_.Undo(&n));

  ASSERT_TRUE(history_.Redo(&n));
  EXPECT_EQ(n.state, Snap(1, ".qvp"));
  EXPECT_EQ(n.audio, Snap(1, ".wav"));
  ASSERT_TRUE(history_.Redo(&n));
  ASSERT_TRUE(history_.Redo(&n));
  EXPECT_EQ(n.state, Snap(3, ".qvp"));
  EXPECT_EQ(n.audio, Snap(3, ".wav"));  // by name; the caller tests existence
  EXPECT_FALSE(history_.Redo(&n));
  EXPECT_EQ(history_.current_index(), 3);
}

TEST_F(EditHistoryTest, UndoOfAnAudioEditFindsTheNewestAudioBelow) {
  SnapshotNames s0 = history_.Begin(temp_.path());
  Touch(s0.state);
  Touch(s0.audio);
  Step(true, false);  // 1: state only, no audio file
  Step(false, true);  // 2: audio edit
  SnapshotNames n;
  ASSERT_TRUE(history_.Undo(&n));
  EXPECT_EQ(n.state, Snap(1, ".qvp"));
  EXPECT_EQ(n.audio, Snap(0, ".wav"));
  EXPECT_EQ(history_.CurrentNames().audio, Snap(0, ".wav"));
}

TEST_F(EditHistoryTest, NewStepDeletesTheRedoBranchBeforeItsFilesAreWritten) {
  SnapshotNames s0 = history_.Begin(temp_.path());
  Touch(s0.audio);
  Step(false, true);  // A: 1
  Step(false, true);  // B: 2
  Step(false, true);  // 3
  SnapshotNames n;
  ASSERT_TRUE(history_.Undo(&n));
  ASSERT_TRUE(history_.Undo(&n));
  ASSERT_TRUE(history_.Undo(&n));
  EXPECT_TRUE(Exists(Snap(2, ".wav")));
  SnapshotNames c = history_.RecordStep(false, true);  // C
  EXPECT_EQ(c.audio, Snap(1, ".wav"));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_FALSE(Exists(Snap(k, ".wav"))) << k;
    EXPECT_FALSE(Exists(Snap(k, ".qvp"))) << k;
  }
  EXPECT_TRUE(Exists(s0.audio));
  Touch(c.state);
  Touch(c.audio);
  EXPECT_FALSE(history_.Redo(&n));
  EXPECT_EQ(history_.top_index(), 1);
  EXPECT_EQ(history_.highest_index(), 3);
}

TEST_F(EditHistoryTest, RecordsGrowWithoutLimit) {
  history_.Begin(temp_.path());
  for (int i = 0; i < 25; ++i) Step(i % 3 == 0, i % 3 != 0);
  EXPECT_EQ(history_.current_index(), 25);
  EXPECT_GT(history_.capacity(), 25);
  EXPECT_EQ(history_.capacity() % 2, 0);
  SnapshotNames n;
  int undone = 0;
  while (history_.Undo(&n)) ++undone;
  EXPECT_EQ(undone, 25);
}

TEST_F(EditHistoryTest, ResetDeletesEveryFileItCreated) {
  Touch(temp_.Sub("other-song.wav"));  // not ours: must survive
  const int before = CountFiles(temp_.path());
  SnapshotNames s0 = history_.Begin(temp_.path());
  Touch(s0.state);
  Touch(s0.audio);
  for (int i = 0; i < 6; ++i) Step(i % 2 == 1, i % 2 == 0);
  SnapshotNames n;
  history_.Undo(&n);
  history_.Undo(&n);  // files above the current index still exist
  Touch(history_.ClipboardPath());
  EXPECT_EQ(CountFiles(temp_.path()), before + 2 + 6 + 3 + 1);

  history_.Reset();
  EXPECT_EQ(CountFiles(temp_.path()), before);
  EXPECT_EQ(history_.ClipboardPath(), "");
  EXPECT_EQ(history_.base_path(), "");
  EXPECT_EQ(history_.current_index(), 0);
  EXPECT_EQ(history_.highest_index(), 0);
  EXPECT_EQ(history_.CurrentNames().audio, "");
}

TEST_F(EditHistoryTest, OpeningAnotherSongAndDestructionDeleteTheFiles) {
  const int before = CountFiles(temp_.path());
  {
    EditHistory h([] { return OpeningTime(); });
    SnapshotNames s0 = h.Begin(temp_.path());
    Touch(s0.audio);
    Touch(h.ClipboardPath());
    SnapshotNames s1 = h.RecordStep(false, true);
    Touch(s1.audio);
    SnapshotNames again = h.Begin(temp_.path());  // the next song
    EXPECT_EQ(CountFiles(temp_.path()), before);
    EXPECT_EQ(again.audio, s0.audio);  // the same millisecond is free again
    Touch(again.audio);
  }
  EXPECT_EQ(CountFiles(temp_.path()), before);
}

TEST_F(EditHistoryTest, AnotherInstancesSnapshotsAreNeverShared) {
  const std::string foreign = temp_.Sub("20261207_014502.318-000000.wav");
  Touch(foreign);
  SnapshotNames n = history_.Begin(temp_.path());
  EXPECT_EQ(n.audio, temp_.Sub("20261207_014502.319-000000.wav"));
  history_.Reset();
  EXPECT_TRUE(Exists(foreign));
}

TEST_F(EditHistoryTest, WithoutASongNoFileIsNamedOrDeleted) {
  SnapshotNames n = history_.RecordStep(false, true);
  EXPECT_EQ(n.state, "");
  EXPECT_EQ(n.audio, "");
  EXPECT_EQ(history_.CurrentNames().audio, "");
}

// --- SongFileSet -------------------------------------------------------------

TEST(SongFileSetTest, PathsNamesAndReset) {
  TempDir temp;
  SongFileSet set([] { return OpeningTime(); });
  SnapshotNames s0 = set.Begin(temp.path());
  Touch(s0.audio);
  set.set_project_path(DefaultProjectPath("/home/u/Projects"));
  set.set_source_path("/music/My Song.mp3");
  set.set_audio_copy_path(AudioCopyPath(set.source_path(), temp.path()));
  EXPECT_EQ(set.project_path(), "/home/u/Projects/Untitled.qvp");
  EXPECT_EQ(set.ProjectFileName(), "Untitled.qvp");
  EXPECT_EQ(set.SourceFileName(), "My Song.mp3");
  EXPECT_EQ(set.AudioCopyTitle(), "My Song-Copy000001");
  EXPECT_EQ(set.CurrentNames().audio, s0.audio);
  EXPECT_EQ(set.ClipboardPath(), set.history().ClipboardPath());

  set.Reset();
  EXPECT_EQ(set.project_path(), "");
  EXPECT_EQ(set.source_path(), "");
  EXPECT_EQ(set.audio_copy_path(), "");
  EXPECT_FALSE(Exists(s0.audio));
}

TEST(SongFileSetTest, OnlyAFileNamedLikeAnEarlierCopyIsItsOwnCopy) {
  EXPECT_TRUE(IsAudioCopyName("/p/Take-Copy000004.wav"));
  EXPECT_TRUE(IsAudioCopyName("/p/Take-Copy000004.WAV"));
  EXPECT_TRUE(IsAudioCopyName("/p/Live-Copy0-Copy000001.wav"));
  EXPECT_FALSE(IsAudioCopyName("/music/Live-Copy01/song.mp3"));
  EXPECT_FALSE(IsAudioCopyName("/music/Live-Copy000001.wav/song.wav"));
  EXPECT_FALSE(IsAudioCopyName("/p/Take-Copy00004.wav"));
  EXPECT_FALSE(IsAudioCopyName("/p/Take-Copy0000045.wav"));
  EXPECT_FALSE(IsAudioCopyName("/p/Take-Copy000004.mp3"));
  EXPECT_FALSE(IsAudioCopyName("/p/Take-copy000004.wav"));
  EXPECT_FALSE(IsAudioCopyName("/p/Take-Copy0000a4.wav"));
}

TEST(SongFileSetTest, AudioCopyPathTakesTheFirstFreeNumber) {
  TempDir temp;
  const std::string projects = temp.MakeDir("Projects");
  EXPECT_EQ(AudioCopyPath("/p/Take-Copy000004.wav", projects), "/p/Take-Copy000004.wav");
  EXPECT_EQ(AudioCopyPath("/music/Take.wav", projects), projects + "/Take-Copy000001.wav");
  Touch(projects + "/Take-Copy000001.wav");
  EXPECT_EQ(AudioCopyPath("/music/Take.wav", projects), projects + "/Take-Copy000002.wav");
  // A folder whose name contains "-Copy0" no longer turns the user's own file
  // into the save target.
  EXPECT_EQ(AudioCopyPath("/music/Live-Copy01/song.mp3", projects),
            projects + "/song-Copy000001.wav");
}

}  // namespace
}  // namespace qv3
