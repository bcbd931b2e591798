#include "app/main_window_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "app/default_locations.h"
#include "app/loop_delay.h"
#include "app/main_window_commands.h"
#include "platform/profile_file.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

LoopValues Point(double position, int32_t tempo = kNormalTempo) {
  return NewLoopPoint(position, 0, tempo);
}

// Loops 10..15 ("A"), 20..25 ("B") and 40..50 ("C") on a 100 s song.
LoopList ThreeLoops() {
  LoopList loops;
  loops.set_song_length(100.0);
  for (auto [s, e] : {std::pair{10.0, 15.0}, {20.0, 25.0}, {40.0, 50.0}}) {
    loops.SetLoopStart(Point(s));
    loops.SetLoopEnd(Point(e));
  }
  return loops;
}

TEST(ReadoutTest, PositionTempoPitchVolumeTexts) {
  EXPECT_EQ(PositionReadout(0, 0, false), "0:00 * 0:00");
  EXPECT_EQ(PositionReadout(0, 201.5, true), "0:00.00 * 3:21.50");
  EXPECT_EQ(PositionReadout(75.256, 600.0, true), "1:15.25 * 10:00.00");
  EXPECT_EQ(PositionReadout(-1.0, 12.0, true), "0:00.00 * 0:12.00");
  EXPECT_EQ(TempoReadout(10000), "Tempo: 100.00%");
  EXPECT_EQ(TempoReadout(1001), "Tempo: 10.01%");
  EXPECT_EQ(PitchReadout(0), "Pitch: 0.00");
  EXPECT_EQ(PitchReadout(-2399), "Pitch: -23.99");
  EXPECT_EQ(PitchReadout(-5), "Pitch: -0.05");
  EXPECT_EQ(VolumeReadout(50), "50%");
}

TEST(ReadoutTest, ZoomTextsAndSteps) {
  EXPECT_EQ(ZoomSliderReadout(1, 12), "Zoom: 1 second");
  EXPECT_EQ(ZoomSliderReadout(5, 12), "Zoom: 5 seconds");
  EXPECT_EQ(ZoomSliderReadout(12, 12), "Zoom: All");
  EXPECT_EQ(ZoomSliderMax(12.7, true), 12);
  EXPECT_EQ(ZoomSliderMax(0.4, true), 1);
  EXPECT_EQ(ZoomSliderMax(0, false), 10);
  // Zoom out from 8 s on a 12 s song shows everything.
  EXPECT_EQ(ZoomOut(8, 12.0).text, "Zoom: All");
  EXPECT_EQ(ZoomOut(8, 12.0).span, -1);
  EXPECT_EQ(ZoomOut(1, 12.0).text, "Zoom: 2 seconds");
  EXPECT_EQ(ZoomOut(-1, 12.0).text, "Zoom: All");
  // Zoom in halves to the nearest whole second, never below 1.
  EXPECT_EQ(ZoomIn(-1, 12.0).text, "Zoom: 6 seconds");
  EXPECT_EQ(ZoomIn(5, 12.0).span, 3);
  EXPECT_EQ(ZoomIn(2, 12.0).text, "Zoom: 1 second");
  EXPECT_EQ(ZoomIn(1, 12.0).span, 1);
}

TEST(ReadoutTest, ExportMenuNamesTheLoopAtThePlayPosition) {
  LoopList loops = ThreeLoops();
  EXPECT_EQ(ExportCurrentLoopText(loops, 22.0, -1), "Current Loop [L2]");
  EXPECT_EQ(ExportCurrentLoopText(loops, 30.0, 2), "Current Loop [L3]");
  EXPECT_EQ(ExportCurrentLoopText(loops, 30.0, -1), "Current Loop [none]");
  LoopList one;
  one.set_song_length(100.0);
  one.SetLoopStart(Point(10.0));
  one.SetLoopEnd(Point(15.0));
  EXPECT_EQ(ExportCurrentLoopText(one, 90.0, -1), "Current Loop [L1]");
}

TEST(ReadoutTest, AboutTextDropsTheFullSuffix) {
  EXPECT_EQ(AboutVersionText("3.0.0", "1.0.0 [2612081200] FULL"),
            "Quaverly 3 - Version 3.0.0\nAudio Engine Version: 1.0.0 [2612081200]");
}

TEST(LoopJumpTest, TargetsAroundThreeLoops) {
  const LoopList loops = ThreeLoops();
  // Back: the loop start before position + 0.05.
  EXPECT_DOUBLE_EQ(JumpBackTarget(loops, 22.0), 20.0);
  EXPECT_DOUBLE_EQ(JumpBackTarget(loops, 19.96), 20.0);
  EXPECT_DOUBLE_EQ(JumpBackTarget(loops, 5.0), -1.0);
  // Forward: the next start or end.
  EXPECT_DOUBLE_EQ(JumpForwardTarget(loops, 22.0), 25.0);
  EXPECT_DOUBLE_EQ(JumpForwardTarget(loops, 25.0), 40.0);
  // Previous loop: inside a loop, the start before its own start.
  EXPECT_DOUBLE_EQ(PreviousLoopTarget(loops, 20.0), 10.0);
  EXPECT_DOUBLE_EQ(PreviousLoopTarget(loops, 45.0), 20.0);
  EXPECT_DOUBLE_EQ(PreviousLoopTarget(loops, 30.0), 20.0);  // outside: as Jump Back
  EXPECT_DOUBLE_EQ(NextLoopTarget(loops, 20.0), 40.0);
  EXPECT_DOUBLE_EQ(NextLoopTarget(loops, 50.0), -1.0);
}

TEST(LoopJumpTest, SecondJumpBackWithinHalfASecond) {
  JumpBackPresses presses;
  const auto t0 = std::chrono::steady_clock::time_point() + std::chrono::seconds(100);
  EXPECT_FALSE(presses.Press(t0));
  EXPECT_TRUE(presses.Press(t0 + std::chrono::milliseconds(400)));
  // A third quick press starts a new pair.
  EXPECT_FALSE(presses.Press(t0 + std::chrono::milliseconds(600)));
  EXPECT_FALSE(presses.Press(t0 + std::chrono::milliseconds(1200)));
}

TEST(ChannelTest, OneChannelAlwaysStaysOn) {
  ChannelToggles c;
  c.ToggleLeft();
  EXPECT_FALSE(c.left);
  EXPECT_TRUE(c.right);
  EXPECT_TRUE(c.right_only());
  c.ToggleRight();  // would silence both: the left comes back
  EXPECT_TRUE(c.left);
  EXPECT_FALSE(c.right);
  EXPECT_TRUE(c.left_only());
  c.ToggleRight();
  EXPECT_FALSE(c.left_only());
  EXPECT_FALSE(c.right_only());
}

TEST(PitchPresetTest, DirectionAndSteps) {
  EXPECT_EQ(PitchPresetValue(7, true), 700);
  EXPECT_EQ(PitchPresetValue(7, false), -700);
  EXPECT_EQ(PitchWithDirection(500, false), -500);
  EXPECT_EQ(PitchWithDirection(-500, true), 500);
  EXPECT_EQ(SteppedValue(39950, 100, kMinTempo, kMaxTempo), 40000);
  EXPECT_EQ(SteppedValue(1050, -100, kMinTempo, kMaxTempo), 1000);
  EXPECT_EQ(SteppedValue(0, -1, kMinPitch, kMaxPitch), -1);
}

TEST(LoopEditStoreTest, RoundsPitchAndTempoInsteadOfTruncating) {
  LoopList loops = ThreeLoops();
  LoopEditFields f = LoopEditInitial(loops, 0);
  f.pitch = 1.15;  // 1.15 x 100 = 114.99999...
  f.tempo = 57.29;
  StoreLoopEdit(loops, 0, f);
  EXPECT_EQ(loops.Loop(0).pitch, 115);
  EXPECT_EQ(loops.Loop(0).tempo, 5729);
  // OK again on the unchanged values keeps them.
  LoopEditFields again = LoopEditInitial(loops, 0);
  again.end = loops.Loop(0).end;
  StoreLoopEdit(loops, 0, again);
  EXPECT_EQ(loops.Loop(0).pitch, 115);
  EXPECT_EQ(loops.Loop(0).tempo, 5729);
}

TEST(LoopEditStoreTest, MovingALoopLaterMovesItsEndFirst) {
  LoopList loops;
  loops.set_song_length(100.0);
  loops.SetLoopStart(Point(10.0));
  loops.SetLoopEnd(Point(15.0));
  LoopEditFields f = LoopEditInitial(loops, 0);
  f.start = 20.0;
  f.end = 25.0;
  StoreLoopEdit(loops, 0, f);
  EXPECT_DOUBLE_EQ(loops.Loop(0).start, 20.0);
  EXPECT_DOUBLE_EQ(loops.Loop(0).end, 25.0);
  // And back to an earlier place: the start first.
  f.start = 2.0;
  f.end = 5.0;
  StoreLoopEdit(loops, 0, f);
  EXPECT_DOUBLE_EQ(loops.Loop(0).start, 2.0);
  EXPECT_DOUBLE_EQ(loops.Loop(0).end, 5.0);
}

TEST(NewLoopPointTest, ValuesOfALoopMadeByTheWindow) {
  const LoopValues v = NewLoopPoint(3.5, -200, 8000);
  EXPECT_EQ(v.name, "");
  EXPECT_EQ(v.pitch, -200);
  EXPECT_EQ(v.tempo, 8000);
  EXPECT_EQ(v.flag_word, 0);
  EXPECT_EQ(v.tag, "Reset");
  EXPECT_EQ(v.repeat_count, -1);
  EXPECT_EQ(v.delay, 0);
}

TEST(LoopDelayTest, TenSlicesOfATenthEach) {
  std::vector<std::chrono::milliseconds> slices;
  LoopDelay delay([&](std::chrono::milliseconds ms) { slices.push_back(ms); });
  EXPECT_EQ(delay.Run(3), LoopDelay::kSlices);
  ASSERT_EQ(slices.size(), 10u);
  for (auto s : slices) EXPECT_EQ(s.count(), 300);
  EXPECT_EQ(delay.Run(0), 0);
  EXPECT_EQ(slices.size(), 10u);
}

TEST(LoopDelayTest, CancelInsideASliceEndsTheHold) {
  int calls = 0;
  LoopDelay* self = nullptr;
  LoopDelay delay([&](std::chrono::milliseconds) {
    if (++calls == 4) self->Cancel();  // Space pressed during the fourth slice
  });
  self = &delay;
  EXPECT_EQ(delay.Run(2), 3);
  EXPECT_EQ(calls, 4);
  EXPECT_FALSE(delay.running());
  // The next hold starts afresh.
  calls = 100;
  EXPECT_EQ(delay.Run(1), LoopDelay::kSlices);
}

TEST(CommandTableTest, TooltipsPairsAndPresets) {
  std::set<int> ids;
  for (const CommandInfo& c : ButtonCommands()) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    if (c.partner != 0) {
      const CommandInfo* p = FindCommand(c.partner);
      ASSERT_NE(p, nullptr) << c.id;
      EXPECT_EQ(p->partner, c.id);
    }
  }
  EXPECT_STREQ(FindCommand(cmd::kOpen)->tooltip,
               "Open an Audio or QVP file (right-click for recent files)");
  EXPECT_STREQ(FindCommand(cmd::kPitch2)->tooltip, "Set Pitch to a Major 2nd, or 2 \xC2\xBD Steps");
  EXPECT_STREQ(FindCommand(cmd::kZoomAll)->tooltip, "Display All the Wave Data");
  EXPECT_STREQ(FindCommand(cmd::kRepeatOn)->tooltip, "Toggle Repeat Play On or Off [On]");
  EXPECT_TRUE(FindCommand(cmd::kTempoUp001)->repeats);
  EXPECT_FALSE(FindCommand(cmd::kTempo75)->repeats);
  EXPECT_EQ(TempoPresetFor(cmd::kTempo20), 2000);
  EXPECT_EQ(PitchPresetSemitones(cmd::kPitch0), 0);
  EXPECT_EQ(PitchPresetSemitones(cmd::kPlay), -1);
  EXPECT_EQ(StepFor(cmd::kPitchDownSemitone), -100);
  EXPECT_EQ(StepFor(cmd::kPlay), 0);
}

class DefaultLocationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("HOME", tmp_.MakeDir("home"));
    env_.Set("XDG_CONFIG_HOME", tmp_.Sub("home/.config"));
    tmp_.MakeDir("home/.config/Quaverly 3");
  }
  TempDir tmp_;
  ScopedEnv env_;
  ScopedRecordingUi ui_;
};

TEST_F(DefaultLocationsTest, FirstBadFieldInOrderGetsItsMessage) {
  LocationValues v = {tmp_.MakeDir("p"), tmp_.MakeDir("a"), "  ", tmp_.Sub("missing"),
                      tmp_.MakeDir("t")};
  NormalizeLocations(&v);
  EXPECT_EQ(CheckLocations(v), 2);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text,
            "The chosen Export Files path was not found, and can not be used to store computer "
            "files.  Please pick a directory that is on a physical hard drive.");
  EXPECT_EQ(ui_->messages[0].icon, MsgIcon::kExclamation);
  v[2] = tmp_.MakeDir("e");
  EXPECT_EQ(CheckLocations(v), 3);
  EXPECT_NE(ui_->messages[1].text.find("Sniffer Files"), std::string::npos);
}

TEST_F(DefaultLocationsTest, SavedValuesAreNormalisedAndReadBack) {
  const std::string ini = tmp_.Sub("home/.config/Quaverly 3/Quaverly3.ini");
  LocationValues v = {" " + tmp_.MakeDir("p") + "/ ", tmp_.MakeDir("a"), tmp_.MakeDir("e"),
                      tmp_.MakeDir("s"), tmp_.MakeDir("t") + "//"};
  NormalizeLocations(&v);
  ASSERT_EQ(CheckLocations(v), -1);
  ASSERT_TRUE(SaveLocations(v, ini));
  const LocationValues back = CurrentLocations();
  EXPECT_EQ(back[0], tmp_.Sub("p"));
  EXPECT_EQ(back[4], tmp_.Sub("t"));
  EXPECT_EQ(GetProfileString("Quaverly 3", "SnifferFilePath", "", ini, SIZE_MAX), tmp_.Sub("s"));
}

}  // namespace
}  // namespace qv3
