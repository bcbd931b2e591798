#include "document/project_file.h"

#include <gtest/gtest.h>

#include "document/test_support.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

DocumentState SampleState() {
  DocumentState s;
  s.master.pitch = -150;
  s.master.tempo = 7525;
  s.master.vocal_reduction = 128;
  s.master.eq_preset = "Bass Boost";
  s.mode = PlaybackMode::kTranscribe;
  s.audio_path = "/home/u/Music/Quaverly 3/Projects/Song-Copy000001.wav";
  return s;
}

TEST(FormatProjectTextTest, EmptyGroupsFollowTheLineRules) {
  ScopedRecordingUi ui;
  MarkerList markers;
  LoopList loops;
  EXPECT_EQ(FormatProjectText(SampleState(), markers, loops),
            "master_pitch -150\r\n\r\n"
            "master_tempo 7525\r\n\r\n"
            "master_vr 128\r\n\r\n"
            "master_eq \"Bass Boost\"\r\n\r\n"
            "performance_transcribe 1\r\n\r\n"
            "audio_file_path \"/home/u/Music/Quaverly 3/Projects/Song-Copy000001.wav\"\r\n\r\n"
            "\r\n");  // no marker group, the (empty) loop group's line
}

TEST(FormatProjectTextTest, GroupsOfMarkersAndLoops) {
  ScopedRecordingUi ui;
  MarkerList markers;
  markers.set_song_length(200.0);
  LoopList loops;
  loops.set_song_length(200.0);
  markers.Add("Verse one", 12.5);
  markers.Add("", 100.1234567);
  LoopValues v;
  v.name = "Intro riff";
  v.position = 1.25;
  v.pitch = -200;
  v.tempo = 8000;
  v.tag = "Reset";
  v.repeat_count = -1;
  v.delay = 3;
  loops.SetLoopStart(v);
  v.position = 2.5;
  loops.SetLoopEnd(v);
  DocumentState s = SampleState();
  s.mode = PlaybackMode::kPerformance;
  std::string text = FormatProjectText(s, markers, loops);
  const std::string tail =
      "performance_transcribe 0\r\n\r\n"
      "audio_file_path \"/home/u/Music/Quaverly 3/Projects/Song-Copy000001.wav\"\r\n\r\n"
      "marker \"Verse one\" 12.500000\r\n"
      "marker \"M2\" 100.123457\r\n"
      "\r\n"
      "loop \"Intro riff\" 1.250000 2.500000 -200 8000 0 \"Reset\" -1 3\r\n"
      "\r\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(FormatProjectTextTest, QuotesAndLineBreaksInNamesAreReplaced) {
  ScopedRecordingUi ui;
  MarkerList markers;
  markers.set_song_length(10.0);
  markers.Add("say \"hi\"\r\nnow", 1.0);
  LoopList loops;
  DocumentState s;
  s.master.eq_preset = "My \"EQ\"";
  std::string text = FormatProjectText(s, markers, loops);
  EXPECT_NE(text.find("marker \"say 'hi'  now\" 1.000000\r\n"), std::string::npos);
  EXPECT_NE(text.find("master_eq \"My 'EQ'\"\r\n"), std::string::npos);
  ParsedProject p = ParseProjectText(text);
  ASSERT_EQ(p.markers.size(), 1u);
  EXPECT_EQ(p.markers[0].name, "say 'hi'  now");
  EXPECT_EQ(p.master_eq, "My 'EQ'");
}

TEST(FormatProjectTextTest, CommaLocaleWritesAndReadsPoints) {
  testing::CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma decimal locale available";
  ScopedRecordingUi ui;
  MarkerList markers;
  markers.set_song_length(20.0);
  markers.Add("m", 12.5);
  LoopList loops;
  std::string text = FormatProjectText(DocumentState(), markers, loops);
  EXPECT_NE(text.find("marker \"m\" 12.500000\r\n"), std::string::npos);
  ParsedProject p = ParseProjectText(text);
  ASSERT_EQ(p.markers.size(), 1u);
  EXPECT_EQ(p.markers[0].position, 12.5);
}

TEST(ParseProjectTextTest, ValuesAreRangeChecked) {
  ParsedProject p = ParseProjectText(
      "master_pitch 2401\n"
      "master_tempo 500\n"
      "master_vr 9999\n"
      "loop \"a\" 1.0 2.0 -5000 999999 0 \"\" -1 600\n"
      "loop \"b\" 3.0 4.0 5000 -7 0 \"\" 2 -4\n");
  EXPECT_FALSE(p.master_pitch);  // out of range: the old value stays
  EXPECT_FALSE(p.master_tempo);
  EXPECT_EQ(p.master_vr, 256);
  ASSERT_EQ(p.loops.size(), 2u);
  EXPECT_EQ(p.loops[0].pitch, -2400);
  EXPECT_EQ(p.loops[0].tempo, 40000);
  EXPECT_EQ(p.loops[0].delay, 60);
  EXPECT_EQ(p.loops[1].pitch, 2400);
  EXPECT_EQ(p.loops[1].tempo, 1000);
  EXPECT_EQ(p.loops[1].delay, 0);
  EXPECT_EQ(ParseProjectText("master_vr -3").master_vr, 0);
}

TEST(ParseProjectTextTest, MalformedLinesAreDroppedOrReadAsZero) {
  ParsedProject p = ParseProjectText(
      "loop \"nine\" 1.0 2.0 0 10000 0 \"\" -1\n"              // 9 tokens
      "loop \"eleven\" 1.0 2.0 0 10000 0 \"\" -1 0 extra\n"    // 11 tokens
      "loop \"nan\" nan 2.0 0 10000 0 \"\" -1 0\n"
      "loop \"inf\" 1.0 inf 0 10000 0 \"\" -1 0\n"
      "marker \"huge\" 1e999\n"
      "marker \"alone\"\n"
      "marker \"text\" abc\n"
      "master_pitch\n"
      "master_tempo xyz\n"
      "Master_pitch 100\n"
      "performance_transcribe \"\"\n");
  EXPECT_TRUE(p.loops.empty());
  ASSERT_EQ(p.markers.size(), 1u);
  EXPECT_EQ(p.markers[0].name, "text");
  EXPECT_EQ(p.markers[0].position, 0.0);
  EXPECT_FALSE(p.master_pitch);
  EXPECT_FALSE(p.master_tempo);  // "xyz" reads as 0, outside the range
  EXPECT_EQ(p.mode, PlaybackMode::kTranscribe);  // not "0"
}

TEST(ParseProjectTextTest, PadTextBlockLinesAreNotProjectLines) {
  ParsedProject p = ParseProjectText(
      "marker \"real\" 1.000000\r\n"
      "\r\n"
      "scorelet_pagecount 1\r\n"
      "scorelet_textblockbegin 0 1 10 10 200 100 120 0x000000\r\n"
      "marker \"at bar 5\" 5.0\r\n"
      "loop \"x\" 1.0 2.0 0 10000 0 \"\" -1 0\r\n"
      "  scorelet_textblockend  \r\n"
      "marker \"after\" 7.000000\r\n"
      // A begin line with the wrong token count is no block for the pad
      // reader either, so the line after it is read.
      "scorelet_textblockbegin 0 1 10 10\r\n"
      "marker \"also\" 8.000000\r\n"
      // An unterminated block swallows the rest.
      "scorelet_textblockbegin 0 1 10 10 200 100 120 0x000000\r\n"
      "marker \"lost\" 9.0\r\n");
  ASSERT_EQ(p.markers.size(), 3u);
  EXPECT_EQ(p.markers[0].name, "real");
  EXPECT_EQ(p.markers[1].name, "after");
  EXPECT_EQ(p.markers[2].name, "also");
  EXPECT_TRUE(p.loops.empty());
}

TEST(ParseProjectTextTest, HostileInputNeverBreaksTheReader) {
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919 + 13) & 0xff);
  ParsedProject g = ParseProjectText(garbage);
  EXPECT_LE(g.markers.size(), 20000u);

  // A 100000-character line is taken whole.
  std::string name(100000, 'n');
  ParsedProject p = ParseProjectText("marker \"" + name + "\" 3.5\r\nmaster_pitch 100\r\n");
  ASSERT_EQ(p.markers.size(), 1u);
  EXPECT_EQ(p.markers[0].name.size(), 100000u);
  EXPECT_EQ(p.master_pitch, 100);

  // Missing closing quotes: the name swallows the rest, so too few tokens.
  ParsedProject q = ParseProjectText("loop \"broken 1.0 2.0 0 10000 0 \"\" -1 0\nmarker \"x 1.0\n");
  EXPECT_TRUE(q.loops.empty());
  EXPECT_TRUE(q.markers.empty());

  // Truncated in the middle of a loop line: earlier lines stand.
  ParsedProject t = ParseProjectText("master_tempo 8000\r\n\r\nloop \"a\" 1.0 2.");
  EXPECT_EQ(t.master_tempo, 8000);
  EXPECT_TRUE(t.loops.empty());
}

TEST(AudioPathTest, LineValues) {
  EXPECT_EQ(AudioPathOfLine("audio_file_path \"/a/b c.wav\"\r\n", true), "/a/b c.wav");
  EXPECT_EQ(AudioPathOfLine("audio_file_path /a/b.wav", true), "/a/b.wav");
  EXPECT_EQ(AudioPathOfLine("audio_file_path /a/b.wav extra", true), std::nullopt);
  EXPECT_EQ(AudioPathOfLine("audio_file_path /a/b.wav extra", false), "/a/b.wav");
  EXPECT_EQ(AudioPathOfLine("audio_file_path", false), std::nullopt);
  EXPECT_EQ(AudioPathOfLine("marker \"x\" 1", false), std::nullopt);
  // A double quote inside a path survives.
  EXPECT_EQ(AudioPathOfLine("audio_file_path \"/m/it's \"live\".wav\"", true),
            "/m/it's \"live\".wav");
}

TEST(AudioPathTest, RelativeFormsResolveAgainstTheProjectFolder) {
  ScratchDir dir;
  const std::string project = dir.File("a.qvp");
  EXPECT_EQ(ResolveProjectAudioPath(project, ".\\song.wav"), dir.File("song.wav"));
  EXPECT_EQ(ResolveProjectAudioPath(project, "./song.wav"), dir.File("song.wav"));
  EXPECT_EQ(ResolveProjectAudioPath(project, ".\\sub\\take 2.wav"), dir.File("sub/take 2.wav"));
  EXPECT_EQ(ResolveProjectAudioPath(project, "/abs/song.wav"), "/abs/song.wav");
  EXPECT_EQ(ResolveProjectAudioPath(project, "song.wav"), "song.wav");
  // A project folder that does not exist leaves the value as it is.
  EXPECT_EQ(ResolveProjectAudioPath("/no/such/folder/a.qvp", ".\\song.wav"), ".\\song.wav");
}

TEST(AudioPathTest, RewriteKeepsEveryOtherByteAndReadFindsIt) {
  ScratchDir dir;
  const std::string project = dir.File("lesson.qvp");
  const std::string original =
      "scorelet_textblockbegin 0 1 10 10 200 100 120 0x000000\r\n"
      "audio_file_path \"pad text, not a path\"\r\n"
      "scorelet_textblockend\r\n"
      "master_pitch 0\r\n\r\n"
      "audio_file_path \".\\song.wav\"\r\n\r\n"
      "marker \"audio_file_path\" 1.000000\r\n"
      "loop \"a\" 1.000000 2.000000 0 10000 0 \"\" -1 0\r\n\r\n"
      "scorelet_pagecount 1\r\n";
  WriteFile(project, original);
  EXPECT_EQ(ReadProjectAudioPath(project), ".\\song.wav");
  ASSERT_TRUE(RewriteProjectAudioPath(project, "./lesson audio.wav"));
  std::string expected = original;
  const std::string old_value = "\".\\song.wav\"";
  expected.replace(expected.find(old_value), old_value.size(), "\"./lesson audio.wav\"");
  EXPECT_EQ(ReadFile(project), expected);
  EXPECT_EQ(ReadProjectAudioPath(project), "./lesson audio.wav");
  EXPECT_FALSE(RewriteProjectAudioPath(dir.File("missing.qvp"), "x"));
  EXPECT_EQ(ReadProjectAudioPath(dir.File("missing.qvp")), "");
}

TEST(ProjectTitleTextTest, ReadyAndFullForms) {
  DocumentState s;
  EXPECT_EQ(ProjectTitleText(s), "Quaverly 3: Ready");
  s.project_path = "/p/Untitled.qvp";
  s.source_path = "/music/Take Five.mp3";
  s.audio_open = true;
  s.saved = 0;
  s.stream = {44100, 2, 2, 1411, 5 * 1048576 + 524288};
  EXPECT_EQ(ProjectTitleText(s),
            "Quaverly 3: Take Five.mp3* | 1411 Kbps | 44,100 Hz | 16 Bit | Stereo | 5.50 MB");
  s.project_path = "/p/lesson.qvp";
  s.saved = 1;
  s.stream = {22050, 1, 1, 128, 1000};
  EXPECT_EQ(ProjectTitleText(s),
            "Quaverly 3: lesson.qvp | 128 Kbps | 22,050 Hz | 8 Bit | Mono | 0.00 MB");
  s.audio_open = false;
  s.project_path = "/p/Untitled.qvp";
  EXPECT_EQ(ProjectTitleText(s).substr(0, 25), "Quaverly 3: Untitled.qvp ");
}

}  // namespace
}  // namespace qv3
