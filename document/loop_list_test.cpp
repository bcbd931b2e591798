#include "document/loop_list.h"

#include <gtest/gtest.h>

#include "document/loop_edit.h"
#include "document/loop_repeat.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

LoopValues At(double position, const std::string& name = "") {
  LoopValues v;
  v.name = name;
  v.position = position;
  v.tag = "Reset";
  return v;
}

class LoopListTest : public ::testing::Test {
 protected:
  LoopListTest() { loops.set_song_length(100.0); }
  // Start then end; returns the committed index or -1.
  int Make(double s, double e, const std::string& name = "") {
    if (loops.SetLoopStart(At(s, name)) < 0) return -1;
    return loops.SetLoopEnd(At(e, name));
  }
  ScopedRecordingUi ui;
  LoopList loops;
};

TEST_F(LoopListTest, StartThenEndCommitsWithGeneratedNames) {
  EXPECT_EQ(loops.SetLoopStart(At(10.0)), 0);
  EXPECT_EQ(loops.count(), 0);
  EXPECT_EQ(loops.pending().start, 10.0);
  EXPECT_EQ(loops.pending().name, "L1");
  EXPECT_EQ(loops.SetLoopEnd(At(20.0)), 0);
  EXPECT_EQ(loops.count(), 1);
  EXPECT_EQ(loops.Loop(0).name, "L1");
  EXPECT_EQ(loops.Loop(0).tag, "Reset");
  EXPECT_EQ(Make(30.0, 40.0, "Bridge"), 1);
  EXPECT_EQ(Make(50.0, 60.0), 2);
  EXPECT_EQ(loops.Loop(2).name, "L2");  // a given name does not count
  EXPECT_EQ(ui->beeps, 0);
}

TEST_F(LoopListTest, EndFirstThenStart) {
  EXPECT_EQ(loops.SetLoopEnd(At(20.0)), 0);
  EXPECT_EQ(loops.count(), 0);
  // A start later than the pending end beeps.
  EXPECT_EQ(loops.SetLoopStart(At(25.0)), -1);
  EXPECT_EQ(ui->beeps, 1);
  EXPECT_EQ(loops.SetLoopStart(At(10.0)), 0);
  EXPECT_EQ(loops.count(), 1);
  EXPECT_EQ(loops.Loop(0).start, 10.0);
  EXPECT_EQ(loops.Loop(0).end, 20.0);
}

TEST_F(LoopListTest, WidenedLoopsRefuseSilently) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  EXPECT_EQ(loops.SetLoopStart(At(15.0)), -1);
  EXPECT_EQ(loops.SetLoopStart(At(20.05)), -1);
  EXPECT_EQ(loops.SetLoopStart(At(9.95)), -1);
  EXPECT_EQ(loops.SetLoopEnd(At(9.95)), -1);
  EXPECT_EQ(ui->beeps, 0);
  EXPECT_EQ(loops.SetLoopStart(At(20.2)), 1);
}

TEST_F(LoopListTest, RangeOverAnotherLoopBeeps) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  ASSERT_EQ(loops.SetLoopStart(At(5.0)), 1);
  EXPECT_EQ(loops.SetLoopEnd(At(25.0)), -1);  // would swallow loop 0
  EXPECT_EQ(ui->beeps, 1);
  EXPECT_EQ(loops.SetLoopEnd(At(9.85)), 1);
  EXPECT_EQ(loops.count(), 2);
}

TEST_F(LoopListTest, Clamping) {
  EXPECT_EQ(loops.SetLoopStart(At(-3.0)), 0);
  EXPECT_EQ(loops.pending().start, 0.0);
  loops.DeleteLoop(0);
  EXPECT_EQ(loops.SetLoopStart(At(150.0)), 0);
  EXPECT_DOUBLE_EQ(loops.pending().start, 99.9);
  loops.DeleteLoop(0);
  EXPECT_EQ(loops.SetLoopEnd(At(0.01)), 0);
  EXPECT_DOUBLE_EQ(loops.pending().end, 0.1);
  loops.DeleteLoop(0);
  EXPECT_EQ(loops.SetLoopEnd(At(150.0)), 0);
  EXPECT_EQ(loops.pending().end, 100.0);
}

TEST_F(LoopListTest, ThreeHundredAndFirstIsRefusedAndPendingSlotExists) {
  loops.set_song_length(1000.0);
  for (int i = 0; i < kMaxLoops; ++i) ASSERT_EQ(Make(i * 3.0, i * 3.0 + 1.0), i);
  EXPECT_EQ(loops.count(), kMaxLoops);
  EXPECT_EQ(loops.SetLoopStart(At(950.0)), -1);
  EXPECT_EQ(loops.SetLoopEnd(At(960.0)), -1);
  EXPECT_FALSE(loops.pending().complete());
  EXPECT_EQ(loops.pending().start, -1.0);
  loops.DeleteLoop(kMaxLoops);  // clearing the pending slot of a full list is safe
  loops.DeleteLoop(0);
  EXPECT_EQ(loops.count(), kMaxLoops - 1);
  EXPECT_EQ(loops.Loop(0).start, 3.0);
  EXPECT_EQ(Make(950.0, 960.0), kMaxLoops - 1);
}

TEST_F(LoopListTest, DeletingALoopKeepsThePendingOne) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  ASSERT_EQ(Make(30.0, 40.0), 1);
  ASSERT_EQ(loops.SetLoopStart(At(50.0)), 2);
  loops.DeleteLoop(0);
  EXPECT_EQ(loops.count(), 1);
  EXPECT_EQ(loops.pending().start, 50.0);
  EXPECT_EQ(loops.SetLoopEnd(At(60.0)), 1);
  EXPECT_EQ(loops.Loop(1).start, 50.0);
  // An index at the count discards the pending loop.
  ASSERT_EQ(loops.SetLoopStart(At(70.0)), 2);
  loops.DeleteLoop(2);
  EXPECT_EQ(loops.pending().start, -1.0);
  EXPECT_EQ(loops.count(), 2);
}

TEST_F(LoopListTest, MoveLoopEnds) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  ASSERT_EQ(Make(30.0, 40.0), 1);
  EXPECT_TRUE(loops.MoveLoopEnd(0, LoopPoint::kStart, 12.0));
  EXPECT_FALSE(loops.MoveLoopEnd(0, LoopPoint::kStart, 19.95));  // not below end - 0.1
  EXPECT_FALSE(loops.MoveLoopEnd(0, LoopPoint::kStart, -1.0));
  EXPECT_FALSE(loops.MoveLoopEnd(0, LoopPoint::kEnd, 29.95));  // overlaps loop 1
  EXPECT_TRUE(loops.MoveLoopEnd(0, LoopPoint::kEnd, 25.0));
  EXPECT_FALSE(loops.MoveLoopEnd(1, LoopPoint::kStart, 24.0));
  EXPECT_FALSE(loops.MoveLoopEnd(1, LoopPoint::kEnd, 30.05));
  EXPECT_EQ(loops.Loop(0).start, 12.0);
  EXPECT_EQ(loops.Loop(0).end, 25.0);
  EXPECT_EQ(loops.Loop(1).start, 30.0);
  EXPECT_FALSE(loops.MoveLoopEnd(2, LoopPoint::kEnd, 50.0));
}

TEST_F(LoopListTest, SettingsAtPositions) {
  MasterValues master;
  master.pitch = 150;
  master.tempo = 8000;
  master.vocal_reduction = 64;
  master.eq_preset = "Rock";
  LoopValues v = At(10.0);
  v.pitch = -300;
  v.tempo = 5000;
  v.flag_word = 7;
  loops.SetLoopStart(v);
  v.position = 20.0;
  loops.SetLoopEnd(v);

  LoopSettings in = loops.SettingsAt(15.0, master);
  EXPECT_EQ(in.index, 0);
  EXPECT_EQ(in.pitch, -300);
  EXPECT_EQ(in.tempo, 5000);
  EXPECT_EQ(in.flag_word, 7);
  EXPECT_EQ(in.tag, "Reset");
  LoopSettings out = loops.SettingsAt(20.0005, master);
  EXPECT_EQ(out.index, -1);
  EXPECT_EQ(out.pitch, 150);
  EXPECT_EQ(out.tempo, 8000);
  EXPECT_EQ(out.flag_word, 64);
  EXPECT_EQ(out.tag, "Rock");
  EXPECT_EQ(loops.LoopAt(20.0005), -1);
  EXPECT_EQ(loops.LoopContaining(20.0005), 0);  // tolerant form
  EXPECT_EQ(loops.LoopContaining(20.002), -1);

  // The tolerant form decides where settings go.
  loops.SetSettingsAt(20.0005, 200, 12000, 0, "", &master);
  EXPECT_EQ(loops.Loop(0).pitch, 200);
  EXPECT_EQ(loops.Loop(0).tag, "");
  loops.SetSettingsAt(50.0, 300, 9000, 0, "", &master);
  EXPECT_EQ(master.pitch, 300);
  EXPECT_EQ(master.tempo, 9000);
  EXPECT_EQ(master.vocal_reduction, 64);  // the document's own value stays
  EXPECT_EQ(master.eq_preset, "Rock");
  loops.SetSettingsAt(50.0, 9999, 500, 0, "", &master);  // out of range: ignored
  EXPECT_EQ(master.pitch, 300);
  EXPECT_EQ(master.tempo, 9000);
}

TEST_F(LoopListTest, NextAndPreviousLoopPoints) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  ASSERT_EQ(Make(30.0, 40.0), 1);
  EXPECT_EQ(loops.NextLoopPoint(0.0), 10.0);
  EXPECT_EQ(loops.NextLoopPoint(10.0), 20.0);  // at the point itself: the next one
  EXPECT_EQ(loops.NextLoopPoint(9.9995), 20.0);
  EXPECT_EQ(loops.NextLoopPoint(9.998), 10.0);
  EXPECT_EQ(loops.NextLoopPoint(40.0), -1.0);
  EXPECT_EQ(loops.NextLoopPoint(-1.0), -1.0);
  EXPECT_EQ(loops.NextLoopPoint(101.0), -1.0);
  EXPECT_EQ(loops.PreviousLoopStart(30.0), 10.0);
  EXPECT_EQ(loops.PreviousLoopStart(30.01), 30.0);
  EXPECT_EQ(loops.PreviousLoopStart(10.0), -1.0);
  EXPECT_EQ(loops.NextLoopStart(9.95), 30.0);
  EXPECT_EQ(loops.NextLoopStart(9.9), 10.0);
  EXPECT_EQ(loops.NextLoopStart(150.0), -1.0);
}

TEST_F(LoopListTest, FollowsInsertedAudio) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  ASSERT_EQ(Make(30.0, 40.0), 1);
  ASSERT_EQ(loops.SetLoopStart(At(60.0)), 2);
  EXPECT_TRUE(loops.OnInsert(15.0, 5.0));
  EXPECT_EQ(loops.Loop(0).start, 10.0);
  EXPECT_EQ(loops.Loop(0).end, 25.0);
  EXPECT_EQ(loops.Loop(1).start, 35.0);
  EXPECT_EQ(loops.pending().start, 65.0);
  EXPECT_FALSE(loops.OnInsert(80.0, 5.0));
}

TEST_F(LoopListTest, FollowsDeletedAudio) {
  ASSERT_EQ(Make(10.0, 20.0), 0);  // covers 12 .. 14: shortened
  ASSERT_EQ(Make(30.0, 40.0), 1);  // end inside 38 .. 45: deleted
  ASSERT_EQ(Make(50.0, 60.0), 2);  // after: moves back
  EXPECT_TRUE(loops.OnDelete(12.0, 14.0));
  EXPECT_EQ(loops.Loop(0).end, 18.0);
  EXPECT_EQ(loops.Loop(1).start, 28.0);
  EXPECT_TRUE(loops.OnDelete(36.0, 43.0));
  ASSERT_EQ(loops.count(), 2);
  EXPECT_EQ(loops.Loop(1).start, 41.0);
  EXPECT_EQ(loops.Loop(1).end, 51.0);
  EXPECT_FALSE(loops.OnDelete(70.0, 80.0));
  // A pending start inside the deleted range goes too.
  ASSERT_EQ(loops.SetLoopStart(At(75.0)), 2);
  EXPECT_TRUE(loops.OnDelete(70.0, 80.0));
  EXPECT_EQ(loops.pending().start, -1.0);
}

class LoopRepeatTest : public LoopListTest {
 protected:
  // Plays the song from `from` in 50 ms reports at normal speed until
  // playback stops or `limit` seconds of reports have passed; returns how
  // often playback entered loop 0 from its start.
  int Play(double from, double limit) {
    double pos = from;
    int passes = 1;
    for (double t = 0; t < limit; t += 0.05) {
      pos += 0.05;
      LoopTickAction a = tracker.OnPosition(loops, pos, false, 0, kNormalTempo);
      if (a.kind == LoopTickAction::Kind::kJumpBack) {
        EXPECT_EQ(a.loop_index, 0);
        pos = a.jump_to;
        ++passes;
      }
      if (a.kind == LoopTickAction::Kind::kRunOn && pos > 25.0) break;
    }
    return passes;
  }
  LoopRepeatTracker tracker;
};

TEST_F(LoopRepeatTest, RepeatCountTwoPlaysThreeTimesThenRunsOn) {
  LoopValues v = At(10.0);
  v.repeat_count = 2;
  v.delay = 3;
  loops.SetLoopStart(v);
  v.position = 12.0;
  loops.SetLoopEnd(v);
  EXPECT_EQ(Play(9.0, 30.0), 3);
  EXPECT_EQ(loops.Loop(0).pass_counter, 0);  // reset when done
}

TEST_F(LoopRepeatTest, RepeatCountZeroPlaysOnceAndMinusOneForever) {
  LoopValues v = At(10.0);
  v.repeat_count = 0;
  loops.SetLoopStart(v);
  v.position = 12.0;
  loops.SetLoopEnd(v);
  EXPECT_EQ(Play(9.0, 30.0), 1);
  loops.MutableLoop(0)->repeat_count = -1;
  tracker.Reset();
  EXPECT_EQ(Play(9.0, 60.0), 1 + static_cast<int>(60.0 / 2.0) - 1);
  EXPECT_EQ(loops.Loop(0).pass_counter, 0);  // never counted
}

TEST_F(LoopRepeatTest, JumpCarriesTheDelayAndStartOffset) {
  LoopValues v = At(10.0);
  v.repeat_count = 1;
  v.delay = 3;
  loops.SetLoopStart(v);
  v.position = 12.0;
  loops.SetLoopEnd(v);
  tracker.OnPosition(loops, 11.0, false, 0, kNormalTempo);
  LoopTickAction a = tracker.OnPosition(loops, 12.04, false, 0, kNormalTempo);
  ASSERT_EQ(a.kind, LoopTickAction::Kind::kJumpBack);
  EXPECT_DOUBLE_EQ(a.jump_to, 10.0001);
  EXPECT_EQ(a.delay_seconds, 3);
}

TEST_F(LoopRepeatTest, LoopEndingWithTheSongRepeatsThenEnds) {
  LoopValues v = At(90.0);
  v.repeat_count = 1;
  loops.SetLoopStart(v);
  v.position = 100.0;
  loops.SetLoopEnd(v);
  tracker.OnPosition(loops, 99.0, false, 0, kNormalTempo);
  ASSERT_TRUE(tracker.OnSongEnd(loops));
  LoopTickAction a = tracker.OnPosition(loops, 100.0, true, 0, kNormalTempo);
  EXPECT_EQ(a.kind, LoopTickAction::Kind::kJumpBack);
  tracker.OnPosition(loops, 95.0, false, 0, kNormalTempo);
  ASSERT_TRUE(tracker.OnSongEnd(loops));
  a = tracker.OnPosition(loops, 100.0, true, 0, kNormalTempo);
  EXPECT_EQ(a.kind, LoopTickAction::Kind::kEndPlayback);
}

TEST_F(LoopRepeatTest, SongEndOutsideLoopsResetsPasses) {
  ASSERT_EQ(Make(10.0, 20.0), 0);
  loops.MutableLoop(0)->repeat_count = 5;
  loops.IncrementPass(0);
  tracker.OnPosition(loops, 50.0, false, 0, kNormalTempo);
  EXPECT_FALSE(tracker.OnSongEnd(loops));
  EXPECT_EQ(loops.Loop(0).pass_counter, 0);
}

TEST_F(LoopRepeatTest, InsideALoopItsSettingsAreTakenOver) {
  LoopValues v = At(10.0);
  v.pitch = 200;
  v.tempo = 7500;
  loops.SetLoopStart(v);
  v.position = 20.0;
  loops.SetLoopEnd(v);
  EXPECT_EQ(tracker.OnPosition(loops, 11.0, false, 0, kNormalTempo).kind,
            LoopTickAction::Kind::kNone);
  LoopTickAction a = tracker.OnPosition(loops, 11.05, false, 0, kNormalTempo);
  EXPECT_EQ(a.kind, LoopTickAction::Kind::kTakeOverSettings);
  EXPECT_EQ(a.pitch, 200);
  EXPECT_EQ(a.tempo, 7500);
  EXPECT_EQ(tracker.OnPosition(loops, 11.1, false, 200, 7500).kind, LoopTickAction::Kind::kNone);
}

TEST_F(LoopRepeatTest, OvershootIntoANeighbourCountsNoPassOfIt) {
  ASSERT_EQ(Make(10.0, 12.0), 0);
  ASSERT_EQ(Make(12.15, 14.0), 1);
  loops.MutableLoop(0)->repeat_count = 3;
  loops.MutableLoop(1)->repeat_count = 3;
  tracker.OnPosition(loops, 11.9, false, 0, kNormalTempo);
  // Fast playback skips past loop 0's end straight into loop 1.
  LoopTickAction a = tracker.OnPosition(loops, 12.2, false, 0, kNormalTempo);
  ASSERT_EQ(a.kind, LoopTickAction::Kind::kJumpBack);
  tracker.OnPosition(loops, 10.1, false, 0, kNormalTempo);
  EXPECT_EQ(loops.Loop(1).pass_counter, 0);
}

TEST(LoopDelayTest, WaitsTheWholeDelayOrUntilCutShort) {
  ScopedRecordingUi ui;
  std::chrono::milliseconds slept(0);
  auto sleep = [&](std::chrono::milliseconds d) { slept += d; };
  EXPECT_FALSE(WaitOutLoopDelay(3, [] { return false; }, sleep));
  EXPECT_EQ(slept.count(), 3000);
  EXPECT_GT(ui->pumps, 10);

  // The space bar goes down half a second in.
  slept = std::chrono::milliseconds(0);
  EXPECT_TRUE(WaitOutLoopDelay(3, [&] { return slept.count() >= 500; }, sleep));
  EXPECT_EQ(slept.count(), 500);

  slept = std::chrono::milliseconds(0);
  EXPECT_FALSE(WaitOutLoopDelay(0, [] { return false; }, sleep));
  EXPECT_EQ(slept.count(), 0);
}

TEST(LoopEditTest, ChecksInOrderWithTheirMessages) {
  ScopedRecordingUi ui;
  LoopEditFields f;
  f.start = 5.0;
  f.end = 4.0;
  f.pitch = 30.0;
  EXPECT_EQ(CheckLoopEdit(f), LoopEditField::kStart);
  f.end = 6.0;
  EXPECT_EQ(CheckLoopEdit(f), LoopEditField::kPitch);
  f.pitch = -24.0;
  f.tempo = 9.99;
  EXPECT_EQ(CheckLoopEdit(f), LoopEditField::kTempo);
  f.tempo = 400.0;
  EXPECT_EQ(CheckLoopEdit(f), LoopEditField::kNone);
  ASSERT_EQ(ui->messages.size(), 3u);
  EXPECT_EQ(ui->messages[0].text,
            "Please supply a Start Loop Position that is less than the End Loop Position, thanks.");
  EXPECT_EQ(ui->messages[0].caption, "Loop Position");
  EXPECT_EQ(ui->messages[1].text, "Please supply a Pitch value that is from -24.0 to 24.0, thanks.");
  EXPECT_EQ(ui->messages[1].caption, "Pitch");
  EXPECT_EQ(ui->messages[2].text, "Please supply a Tempo value that is from 10.0 to 400.0, thanks.");
  EXPECT_EQ(ui->messages[2].caption, "Tempo");
}

TEST(LoopEditTest, InitialValuesAndApply) {
  ScopedRecordingUi ui;
  LoopList loops;
  loops.set_song_length(100.0);
  LoopValues v;
  v.position = 10.0;
  v.pitch = 150;
  v.tempo = 8050;
  loops.SetLoopStart(v);
  v.position = 100.0;
  loops.SetLoopEnd(v);
  loops.MutableLoop(0)->end = 99.99995;
  LoopEditFields f = LoopEditInitial(loops, 0);
  EXPECT_EQ(loops.Loop(0).end, 100.0);  // snapped to the song length
  EXPECT_DOUBLE_EQ(f.end, 99.9999);
  EXPECT_DOUBLE_EQ(f.pitch, 1.5);
  EXPECT_DOUBLE_EQ(f.tempo, 80.5);

  f.name = "Solo \"fast\"";
  f.start = 20.0;
  f.end = 50.0;
  f.pitch = -1.239;
  f.tempo = 75.559;
  f.repeat_count = 4;
  f.delay = 2;
  ApplyLoopEdit(loops, 0, f);
  const LoopRecord& r = loops.Loop(0);
  EXPECT_EQ(r.name, "Solo 'fast'");
  EXPECT_EQ(r.start, 20.0);
  EXPECT_EQ(r.end, 50.0);
  EXPECT_EQ(r.pitch, -123);  // truncated toward zero
  EXPECT_EQ(r.tempo, 7555);
  EXPECT_EQ(r.repeat_count, 4);
  EXPECT_EQ(r.delay, 2);
}

}  // namespace
}  // namespace qv3
