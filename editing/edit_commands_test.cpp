#include "editing/edit_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "audiolib/audiolib.h"
#include "editing/clipboard_marker.h"
#include "editing/edit_test_support.h"
#include "platform/clipboard.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

using edit_testing::MakeSong;
using edit_testing::Pcm;
using edit_testing::ReadPcm;
using edit_testing::SongWindow;
using edit_testing::WritePcm;

constexpr int kRate = 8000;

LoopValues Loop(double at) {
  LoopValues v;
  v.position = at;
  v.tempo = 8000;
  v.pitch = 300;
  return v;
}

class EditCommandsTest : public ::testing::Test {
 protected:
  EditCommandsTest() {
    InstallClipboard(&clipboard_);
    AudioInitManual(44100, 0);  // the file statistics of Paste
  }
  ~EditCommandsTest() override {
    AudioFree();
    InstallClipboard(nullptr);
  }

  // A 10-second stereo song.
  void OpenSong(double seconds = 10.0, int channels = 2) {
    song_ = MakeSong(kRate, channels, int64_t(seconds * kRate));
    ASSERT_TRUE(w_.Open(temp_.path(), song_));
  }
  // The snapshot files on disk (names only).
  std::set<std::string> SnapshotFiles() const {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(temp_.path()))
      out.insert(e.path().filename().string());
    return out;
  }
  std::string Snap(int index, const char* ext) const {
    return w_.files.history().SnapshotName(index, ext);
  }
  Pcm Current() const { return ReadPcm(w_.files.CurrentNames().audio); }
  // The song without frames first..last.
  Pcm Without(const Pcm& in, int64_t first, int64_t last) const {
    Pcm out = in;
    out.samples.erase(out.samples.begin() + first * in.channels,
                      out.samples.begin() + (last + 1) * in.channels);
    return out;
  }

  TempDir temp_;
  MemoryClipboard clipboard_;
  ScopedRecordingUi ui_;
  SongWindow w_;
  Pcm song_;
};

TEST_F(EditCommandsTest, CommandsNeedingASelectionStopAtTheCheckOnce) {
  OpenSong();
  const auto before = SnapshotFiles();
  for (int id : {kEditCutId, kEditCopyId, kEditDeleteId, kEditSilenceSectionId,
                 kEditChangeVolumeId, kEditFadeInId, kEditFadeOutId}) {
    ui_->messages.clear();
    EXPECT_TRUE(w_.commands.RunCommand(id));
    ASSERT_EQ(ui_->messages.size(), 1u) << id;  // Cut runs Delete only after a Copy
    EXPECT_EQ(ui_->messages[0].text, kNothingSelectedText);
    EXPECT_EQ(ui_->messages[0].caption, kNothingSelectedCaption);
  }
  EXPECT_EQ(w_.volume_dialogs, 0);
  EXPECT_EQ(w_.files.history().current_index(), 0);
  EXPECT_EQ(SnapshotFiles(), before);
  EXPECT_EQ(ReadClipboardMarker(), "");
  EXPECT_EQ(w_.stops, 0);
  EXPECT_FALSE(w_.commands.RunCommand(kEditMenuId));
}

TEST_F(EditCommandsTest, DeleteRemovesTheFramesAndAdjustsLoopsAndMarkers) {
  OpenSong();
  LoopList& loops = w_.document.loops();
  MarkerList& markers = w_.document.markers();
  ASSERT_GE(loops.SetLoopStart(Loop(1.0)), 0);
  ASSERT_GE(loops.SetLoopEnd(Loop(5.0)), 0);
  ASSERT_GE(loops.SetLoopStart(Loop(6.0)), 0);
  ASSERT_GE(loops.SetLoopEnd(Loop(8.0)), 0);
  ASSERT_TRUE(markers.Add("a", 3.0));
  ASSERT_TRUE(markers.Add("b", 9.0));
  w_.document.state().current_loop = 1;
  w_.sel_start = 2.0;
  w_.sel_end = 4.0;
  w_.centre = 5.5;
  w_.zoom_span = 5.0;
  w_.position = 1.5;  // inside the first loop
  w_.playing = true;

  ASSERT_TRUE(w_.commands.Delete());
  EXPECT_TRUE(ui_->messages.empty());
  EXPECT_EQ(w_.stops, 1);
  EXPECT_EQ(w_.files.history().current_index(), 1);
  EXPECT_EQ(w_.files.CurrentNames().audio, Snap(1, ".wav"));
  EXPECT_EQ(Current().samples, Without(song_, 2 * kRate, 4 * kRate).samples);
  ASSERT_EQ(loops.count(), 2);
  EXPECT_DOUBLE_EQ(loops.LoopStart(0), 1.0);
  EXPECT_DOUBLE_EQ(loops.LoopEnd(0), 3.0);
  EXPECT_DOUBLE_EQ(loops.LoopStart(1), 4.0);
  EXPECT_DOUBLE_EQ(loops.LoopEnd(1), 6.0);
  ASSERT_EQ(markers.count(), 1);
  EXPECT_DOUBLE_EQ(markers.At(0).position, 7.0);
  EXPECT_GT(w_.items_changed, 0);
  // The loop under the position sets tempo and pitch.
  EXPECT_EQ(w_.loop_pitch, 300);
  EXPECT_EQ(w_.loop_tempo, 8000);
  // Reloaded, zoom, state written, view restored.
  EXPECT_EQ(w_.reloads.back(), Snap(1, ".wav"));
  const double length = (10.0 * kRate - (2 * kRate + 1)) / kRate;
  EXPECT_DOUBLE_EQ(w_.document.state().song_length, length);
  EXPECT_DOUBLE_EQ(w_.zoom_range, length);
  EXPECT_DOUBLE_EQ(w_.zoom_position, 5.0);
  EXPECT_TRUE(std::filesystem::exists(Snap(1, ".qvp")));
  EXPECT_EQ(w_.document.state().saved, 0);
  EXPECT_DOUBLE_EQ(w_.position, 1.5);
  EXPECT_LT(w_.sel_start, 0.0);
  EXPECT_DOUBLE_EQ(w_.restored_centre, 5.5);
  EXPECT_DOUBLE_EQ(w_.restored_span, 5.0);
  EXPECT_FALSE(w_.redraw_suspended);

  // A loop with an end inside the range goes; the position past the new end
  // comes back one second before it.
  ASSERT_GE(loops.SetLoopStart(Loop(6.5)), 0);
  ASSERT_GE(loops.SetLoopEnd(Loop(7.5)), 0);
  ASSERT_EQ(loops.count(), 3);
  w_.sel_start = 5.0;
  w_.sel_end = 7.0;
  w_.position = 7.9;
  w_.zoom_span = -1.0;
  ASSERT_TRUE(w_.commands.Delete());
  ASSERT_EQ(loops.count(), 1);  // 4..6 and 6.5..7.5 had ends inside 5..7
  EXPECT_EQ(w_.document.state().current_loop, -1);
  EXPECT_EQ(markers.count(), 0);
  EXPECT_DOUBLE_EQ(w_.position, w_.song_length - 1.0);
  EXPECT_DOUBLE_EQ(w_.zoom_position, w_.song_length);
}

TEST_F(EditCommandsTest, DeleteInsideALoopShortensItAndALoopOverTheRangeGoes) {
  OpenSong();
  LoopList& loops = w_.document.loops();
  ASSERT_GE(loops.SetLoopStart(Loop(3.0)), 0);
  ASSERT_GE(loops.SetLoopEnd(Loop(7.0)), 0);
  w_.sel_start = 2.0;
  w_.sel_end = 4.0;
  ASSERT_TRUE(w_.commands.Delete());
  EXPECT_EQ(loops.count(), 0);
}

TEST_F(EditCommandsTest, InsertSilenceAtTheBeginningMovesEverything) {
  OpenSong(3.0);
  LoopList& loops = w_.document.loops();
  MarkerList& markers = w_.document.markers();
  ASSERT_GE(loops.SetLoopStart(Loop(0.0)), 0);  // a loop from the very start
  ASSERT_GE(loops.SetLoopEnd(Loop(1.0)), 0);
  ASSERT_GE(loops.SetLoopStart(Loop(1.5)), 0);
  ASSERT_GE(loops.SetLoopEnd(Loop(2.5)), 0);
  ASSERT_TRUE(markers.Add("zero", 0.0));
  ASSERT_TRUE(markers.Add("m", 2.0));
  w_.silence_seconds = 10.0;
  w_.silence_where = InsertPoint::kBeginning;
  w_.position = 2.2;

  ASSERT_TRUE(w_.commands.InsertSilence());
  EXPECT_DOUBLE_EQ(loops.LoopStart(0), 10.0);
  EXPECT_DOUBLE_EQ(loops.LoopEnd(0), 11.0);
  EXPECT_DOUBLE_EQ(loops.LoopStart(1), 11.5);
  EXPECT_DOUBLE_EQ(loops.LoopEnd(1), 12.5);
  EXPECT_DOUBLE_EQ(markers.At(0).position, 10.0);
  EXPECT_DOUBLE_EQ(markers.At(1).position, 12.0);
  const Pcm out = Current();
  ASSERT_EQ(out.frames(), song_.frames() + 10 * kRate);
  for (int64_t i = 0; i < 10 * kRate * 2; ++i) ASSERT_EQ(out.samples[size_t(i)], 0);
  EXPECT_TRUE(std::equal(song_.samples.begin(), song_.samples.end(),
                         out.samples.begin() + 10 * kRate * 2));
  EXPECT_DOUBLE_EQ(w_.position, 2.2);
}

TEST_F(EditCommandsTest, InsertSilenceAtThePositionAndAtTheEnd) {
  OpenSong(2.0, 1);
  MarkerList& markers = w_.document.markers();
  ASSERT_TRUE(markers.Add("before", 0.5));
  ASSERT_TRUE(markers.Add("after", 1.5));
  w_.position = 1.0;
  w_.silence_seconds = 0.25;
  w_.silence_where = InsertPoint::kCurrentPosition;
  ASSERT_TRUE(w_.commands.InsertSilence());
  EXPECT_DOUBLE_EQ(markers.At(0).position, 0.5);
  EXPECT_DOUBLE_EQ(markers.At(1).position, 1.75);
  Pcm out = Current();
  ASSERT_EQ(out.frames(), 2 * kRate + 2000);
  EXPECT_EQ(out.samples[kRate - 1], song_.samples[kRate - 1]);
  EXPECT_EQ(out.samples[kRate], 0);
  EXPECT_EQ(out.samples[kRate + 1999], 0);
  EXPECT_EQ(out.samples[kRate + 2000], song_.samples[kRate]);

  w_.silence_where = InsertPoint::kEnd;
  ASSERT_TRUE(w_.commands.InsertSilence());
  out = Current();
  ASSERT_EQ(out.frames(), 2 * kRate + 4000);
  EXPECT_EQ(out.samples[2 * kRate + 1999], song_.samples.back());
  EXPECT_EQ(out.samples.back(), 0);
  EXPECT_DOUBLE_EQ(markers.At(1).position, 1.75);
}

TEST_F(EditCommandsTest, CancelledOrRefusedDialogsLeaveTheHistoryAlone) {
  OpenSong(2.0);
  const auto before = SnapshotFiles();
  w_.silence_ok = false;
  EXPECT_FALSE(w_.commands.InsertSilence());
  w_.silence_ok = true;
  for (double bad : {0.0, -1.0, std::nan(""), double(INFINITY), 3600.5}) {
    w_.silence_seconds = bad;
    EXPECT_FALSE(w_.commands.InsertSilence()) << bad;
  }
  w_.sel_start = 0.5;
  w_.sel_end = 1.0;
  w_.volume_ok = false;
  EXPECT_FALSE(w_.commands.ChangeVolume());
  w_.volume_ok = true;
  w_.volume_percent = 100.0;
  EXPECT_FALSE(w_.commands.ChangeVolume());
  EXPECT_EQ(w_.volume_dialogs, 2);
  EXPECT_EQ(w_.files.history().current_index(), 0);
  EXPECT_EQ(w_.files.history().top_index(), 0);
  EXPECT_EQ(SnapshotFiles(), before);
  EXPECT_TRUE(ui_->messages.empty());
  EXPECT_TRUE(ValidSilenceSeconds(3600.0));
}

TEST_F(EditCommandsTest, GainSilenceAndFadesKeepTheLengthAndTheItems) {
  OpenSong(2.0, 1);
  ASSERT_TRUE(w_.document.markers().Add("m", 1.0));
  w_.sel_start = 0.5;
  w_.sel_end = 0.5 + 0.0004;  // four frames
  const int64_t a = 4000;
  w_.volume_percent = 50.0;
  ASSERT_TRUE(w_.commands.ChangeVolume());
  Pcm out = Current();
  ASSERT_EQ(out.frames(), song_.frames());
  for (int k = 0; k < 4; ++k)
    EXPECT_LE(std::abs(out.samples[size_t(a + k)] - song_.samples[size_t(a + k)] * 0.5), 0.5);
  EXPECT_EQ(out.samples[size_t(a + 4)], song_.samples[size_t(a + 4)]);

  w_.sel_start = 0.5;
  w_.sel_end = 0.5 + 0.0004;
  const Pcm before_fade = Current();
  ASSERT_TRUE(w_.commands.FadeIn());
  out = Current();
  for (int k = 0; k < 4; ++k)
    EXPECT_LE(std::abs(out.samples[size_t(a + k)] - before_fade.samples[size_t(a + k)] * 0.25 * k),
              0.5);

  w_.sel_start = 0.5;
  w_.sel_end = 0.5 + 0.0004;
  ASSERT_TRUE(w_.commands.SilenceSection());
  out = Current();
  for (int k = 0; k < 4; ++k) EXPECT_EQ(out.samples[size_t(a + k)], 0);

  w_.sel_start = 1.0;
  w_.sel_end = 1.0 + 0.0004;
  ASSERT_TRUE(w_.commands.FadeOut());
  out = Current();
  EXPECT_EQ(out.samples[size_t(kRate)], song_.samples[size_t(kRate)]);
  EXPECT_LE(std::abs(out.samples[size_t(kRate + 2)] - song_.samples[size_t(kRate + 2)] * 0.5), 0.5);
  EXPECT_EQ(out.frames(), song_.frames());
  EXPECT_DOUBLE_EQ(w_.document.markers().At(0).position, 1.0);
  EXPECT_EQ(w_.files.history().current_index(), 4);
  EXPECT_EQ(w_.items_changed, 0);
}

TEST_F(EditCommandsTest, CopyThenPasteInsertsTheClipAtThePlayPosition) {
  OpenSong(4.0);
  ASSERT_TRUE(w_.document.markers().Add("m", 3.0));
  w_.sel_start = 1.0;
  w_.sel_end = 1.5;
  w_.playing = true;
  ASSERT_EQ(w_.commands.Copy(), 1);
  EXPECT_EQ(w_.stops, 0);  // nothing in the view changes
  EXPECT_EQ(clipboard_.text(), std::string(kClipboardMarkerPrefix) + w_.files.ClipboardPath());
  EXPECT_EQ(w_.files.history().current_index(), 0);
  EXPECT_DOUBLE_EQ(w_.sel_start, 1.0);

  w_.position = 2.0;  // the selection is ignored by Paste
  ASSERT_TRUE(w_.commands.Paste());
  const int64_t clip_frames = 4000 + 1;
  Pcm expected = song_;
  expected.samples.insert(expected.samples.begin() + 2 * kRate * 2,
                          song_.samples.begin() + kRate * 2,
                          song_.samples.begin() + (kRate + clip_frames) * 2);
  EXPECT_EQ(Current().samples, expected.samples);
  EXPECT_NEAR(w_.document.markers().At(0).position, 3.0 + double(clip_frames) / kRate, 1e-9);

  // Cut = Copy + Delete.
  w_.sel_start = 0.0;
  w_.sel_end = 0.25;
  ASSERT_TRUE(w_.commands.Cut());
  EXPECT_EQ(ReadPcm(w_.files.ClipboardPath()).frames(), 2001);
  EXPECT_EQ(Current().frames(), expected.frames() - 2001);
  EXPECT_EQ(w_.files.history().current_index(), 2);
}

TEST_F(EditCommandsTest, PasteChecksTheClipboardAndTheFormatInOrder) {
  OpenSong(1.0);
  w_.position = 0.5;
  ASSERT_FALSE(w_.commands.Paste());
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, kNothingInClipboardText);
  EXPECT_EQ(ui_->messages[0].caption, kNothingInClipboardCaption);

  struct Case {
    int rate, channels, format;
    std::string text;
  };
  const Case cases[] = {
      {48000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
       StringPrintf(kPasteRateMismatchFormat, kRate, 48000)},
      {kRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
       StringPrintf(kPasteChannelMismatchFormat, 2, 1)},
      {kRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
       StringPrintf(kPasteSampleSizeMismatchFormat, 16, 24)},
  };
  for (const Case& c : cases) {
    const std::string clip = temp_.Sub("clip.wav");
    ASSERT_TRUE(WritePcm(clip, MakeSong(c.rate, c.channels, 100), c.format));
    PublishClipboardMarker(clip);
    ui_->messages.clear();
    EXPECT_FALSE(w_.commands.Paste());
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_EQ(ui_->messages[0].text, c.text);
  }
  EXPECT_EQ(w_.files.history().current_index(), 0);
  EXPECT_EQ(w_.stops, 0);
}

TEST_F(EditCommandsTest, PasteOf48kHzIntoA44100HzSongNames44100First) {
  song_ = MakeSong(44100, 2, 4410);
  ASSERT_TRUE(w_.Open(temp_.path(), song_));
  w_.document.state().stream.sample_rate = 44100;
  const std::string clip = temp_.Sub("other-Clipboard.wav");
  ASSERT_TRUE(WritePcm(clip, MakeSong(48000, 2, 4800)));
  PublishClipboardMarker(clip);
  EXPECT_FALSE(w_.commands.Paste());
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text,
            "Can't perform the Paste operation, because the Sample Rate of the destination file "
            "(44100Hz) does not match the Sample Rate of the file to be pasted (48000Hz).");
}

TEST_F(EditCommandsTest, KernelFailuresLeaveNoSnapshotBehind) {
  OpenSong(1.0);
  w_.sel_start = 0.1;
  w_.sel_end = 0.2;
  // The destination cannot be created: a folder stands at its name.
  std::filesystem::create_directories(Snap(1, ".wav") + "/keep");
  EXPECT_FALSE(w_.commands.Delete());
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, StringPrintf(kDestinationCreateErrorFormat,
                                                Snap(1, ".wav").c_str()));
  EXPECT_EQ(ui_->messages[0].caption, kFileErrorCaption);
  EXPECT_EQ(w_.reloads.size(), 1u);  // only the opening
  std::filesystem::remove_all(Snap(1, ".wav"));
  EXPECT_FALSE(std::filesystem::exists(Snap(1, ".qvp")));
  EXPECT_EQ(w_.files.CurrentNames().audio, Snap(0, ".wav"));
  EXPECT_EQ(w_.files.CurrentNames().state, Snap(0, ".qvp"));

  // The source cannot be read.
  const std::string source = Snap(0, ".wav");
  const std::string saved = temp_.Sub("saved.wav");
  std::filesystem::copy_file(source, saved);
  temp_.WriteFile(std::filesystem::path(source).filename().string(), "not audio");
  ui_->messages.clear();
  w_.sel_start = 0.1;
  w_.sel_end = 0.2;
  EXPECT_FALSE(w_.commands.Delete());
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, StringPrintf(kSourceOpenErrorFormat, source.c_str()));
  EXPECT_FALSE(std::filesystem::exists(w_.files.history().SnapshotName(
      w_.files.history().current_index(), ".wav")));
  EXPECT_EQ(w_.files.CurrentNames().audio, source);
}

TEST_F(EditCommandsTest, AFailedReloadDeletesTheStepsFilesAndReopensThePreviousAudio) {
  OpenSong(1.0);
  w_.sel_start = 0.1;
  w_.sel_end = 0.2;
  w_.position = 0.5;
  w_.fail_reload_of = Snap(1, ".wav");
  EXPECT_FALSE(w_.commands.Delete());
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, StringPrintf(kUndoRedoOpenErrorFormat, Snap(1, ".wav").c_str()));
  EXPECT_EQ(ui_->messages[0].caption, kOpenFileErrorCaption);
  EXPECT_FALSE(std::filesystem::exists(Snap(1, ".wav")));
  EXPECT_FALSE(std::filesystem::exists(Snap(1, ".qvp")));
  EXPECT_EQ(w_.open_audio, Snap(0, ".wav"));
  EXPECT_EQ(w_.files.CurrentNames().audio, Snap(0, ".wav"));
  EXPECT_DOUBLE_EQ(w_.position, 0.5);
  EXPECT_FALSE(w_.redraw_suspended);

  // Undo and redo of an audio step whose reload fails put the history back.
  w_.fail_reload_of.clear();
  ASSERT_TRUE(w_.commands.Delete());  // snapshot 2 (1 is the failed, empty step)
  const int index = w_.files.history().current_index();
  w_.fail_reload_of = Snap(0, ".wav");
  ui_->messages.clear();
  EXPECT_EQ(w_.commands.Undo(false), 0);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].caption, kOpenFileErrorCaption);
  EXPECT_EQ(w_.files.history().current_index(), index);
  EXPECT_EQ(w_.open_audio, Snap(index, ".wav"));
}

TEST_F(EditCommandsTest, UndoAndRedoReloadOnlyWhatChanged) {
  OpenSong(4.0);
  ui_->messages.clear();
  EXPECT_EQ(w_.commands.Undo(false), 0);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, kNothingToUndoText);
  EXPECT_EQ(ui_->messages[0].caption, kUndoCaption);
  EXPECT_TRUE(w_.commands.RunPadRequest(kPadUndoRequest));  // quiet
  EXPECT_EQ(w_.commands.Redo(true), 0);
  EXPECT_EQ(ui_->messages.size(), 1u);

  // Audio edit, then a loop change as a state-only step.
  w_.sel_start = 1.0;
  w_.sel_end = 2.0;
  ASSERT_TRUE(w_.commands.Delete());
  LoopList& loops = w_.document.loops();
  ASSERT_GE(loops.SetLoopStart(Loop(0.5)), 0);
  ASSERT_GE(loops.SetLoopEnd(Loop(1.5)), 0);
  w_.document.SetSavedState(0, true);
  ASSERT_EQ(w_.files.history().current_index(), 2);
  EXPECT_FALSE(std::filesystem::exists(Snap(2, ".wav")));

  const size_t reloads = w_.reloads.size();
  w_.centre = 1.0;
  w_.zoom_span = 2.0;
  EXPECT_EQ(w_.commands.Undo(false), 1);
  EXPECT_EQ(w_.reloads.size(), reloads);  // the audio stays
  EXPECT_EQ(loops.count(), 0);
  EXPECT_EQ(w_.pad_notes.back(), Snap(1, ".qvp"));
  EXPECT_DOUBLE_EQ(w_.restored_centre, 1.05);
  EXPECT_DOUBLE_EQ(w_.restored_span, 2.0);

  EXPECT_EQ(w_.commands.Undo(false), 1);  // across the audio edit
  EXPECT_EQ(w_.reloads.back(), Snap(0, ".wav"));
  EXPECT_DOUBLE_EQ(w_.document.state().song_length, 4.0);
  EXPECT_EQ(w_.document.state().saved, 0);

  EXPECT_EQ(w_.commands.Redo(false), 1);
  EXPECT_EQ(w_.reloads.back(), Snap(1, ".wav"));
  EXPECT_EQ(w_.commands.Redo(false), 1);  // the loop comes back, the audio stays
  EXPECT_EQ(w_.reloads.back(), Snap(1, ".wav"));
  EXPECT_EQ(loops.count(), 1);
  ui_->messages.clear();
  EXPECT_EQ(w_.commands.RunCommand(kEditRedoId), true);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, kNothingToRedoText);
  EXPECT_EQ(ui_->messages[0].caption, kRedoCaption);
}

// A long chain: 50 edits, 25 undos, one new edit. The files on disk are
// exactly those of the live snapshots and every step's audio is what a
// model of the edits says, sample for sample.
TEST_F(EditCommandsTest, LongChainKeepsExactlyTheLiveSnapshots) {
  OpenSong(1.0, 1);
  std::vector<Pcm> model{song_};
  for (int k = 1; k <= 50; ++k) {
    Pcm next = model.back();
    const double len = double(next.frames()) / kRate;
    if (k % 3 == 0) {
      w_.silence_where = InsertPoint::kCurrentPosition;
      w_.silence_seconds = 0.01;
      w_.position = 0.125;
      ASSERT_TRUE(w_.commands.InsertSilence());
      next.samples.insert(next.samples.begin() + 1000, 80, 0);
    } else if (k % 3 == 1) {
      w_.sel_start = 0.25 * len;
      w_.sel_end = w_.sel_start + 0.005;
      const int64_t a = SecondsToFrame(kRate, w_.sel_start);
      const int64_t b = SecondsToFrame(kRate, w_.sel_end);
      ASSERT_TRUE(w_.commands.Delete());
      next = Without(next, a, b);
    } else {
      w_.sel_start = 0.5;
      w_.sel_end = 0.5 + 0.002;
      const int64_t a = SecondsToFrame(kRate, w_.sel_start);
      const int64_t b = SecondsToFrame(kRate, w_.sel_end);
      ASSERT_TRUE(w_.commands.SilenceSection());
      for (int64_t i = a; i <= b; ++i) next.samples[size_t(i)] = 0;
    }
    ASSERT_EQ(Current().samples, next.samples) << "edit " << k;
    model.push_back(next);
  }
  for (int k = 49; k >= 25; --k) {
    ASSERT_EQ(w_.commands.Undo(false), 1);
    ASSERT_EQ(w_.reloads.back(), Snap(k, ".wav"));
    ASSERT_EQ(ReadPcm(w_.open_audio).samples, model[size_t(k)].samples) << "undo to " << k;
  }
  w_.sel_start = 0.0;
  w_.sel_end = 0.001;
  ASSERT_TRUE(w_.commands.FadeOut());
  EXPECT_EQ(w_.files.history().current_index(), 26);
  std::set<std::string> expected;
  for (int k = 0; k <= 26; ++k) {
    expected.insert(std::filesystem::path(Snap(k, ".wav")).filename().string());
    expected.insert(std::filesystem::path(Snap(k, ".qvp")).filename().string());
  }
  EXPECT_EQ(SnapshotFiles(), expected);
  EXPECT_EQ(w_.commands.Redo(true), 0);
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(EditCommandsTest, FramesAreTheIntegerPartOfRateTimesSeconds) {
  EXPECT_EQ(SecondsToFrame(44100, 1.0), 44100);
  EXPECT_EQ(SecondsToFrame(44100, 0.99999), 44099);
  EXPECT_EQ(SecondsToFrame(44100, -1.0), 0);
  EXPECT_EQ(SecondsToFrame(44100, std::nan("")), 0);
  EXPECT_EQ(InsertionFrame(InsertPoint::kBeginning, 44100, 3.0, 10.0), 0);
  EXPECT_EQ(InsertionFrame(InsertPoint::kCurrentPosition, 44100, 3.0, 10.0), 132300);
  EXPECT_EQ(InsertionFrame(InsertPoint::kEnd, 44100, 3.0, 10.0), 441001);
}

}  // namespace
}  // namespace qv3
