#include "document/project_document.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "document/test_support.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

using testing::FakeHost;
using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

constexpr char kPadText[] =
    "scorelet_pagecount 2\n"
    "scorelet_bitmap 3 2 10 20\n"
    "scorelet_textblockbegin 0 1 10 10 200 100 120 0x000000\n"
    "marker \"at bar 5\" 5.0\n"
    "scorelet_textblockend\n";

// A document with its fake host, both pointing at each other.
struct TestDocument {
  TestDocument() : doc(&host) { host.set_state(&doc.state()); }
  FakeHost host;
  ProjectDocument doc;
};

class ProjectDocumentTest : public ::testing::Test {
 protected:
  ProjectDocumentTest() {
    Configure(a.host);
    Configure(b.host);
    WriteFile(a.host.working_audio, "RIFF-audio-bytes");
  }
  void Configure(FakeHost& host) {
    host.state_file = dir.File("snap-000000.qvp");
    host.step_file = dir.File("snap-000001.qvp");
    host.working_audio = dir.File("snap-000000.wav");
    host.project_folder = dir.path();
    host.presets = {"Flat", "Bass Boost"};
    host.song_length = 200.0;
  }

  // A document as a user leaves it: song open, settings, markers, loops, pages.
  void Populate(ProjectDocument& d) {
    d.SetSongLength(200.0);
    DocumentState& s = d.state();
    s.audio_open = true;
    s.audio_path = dir.File("Song-Copy000001.wav");
    s.master.pitch = -150;
    s.master.tempo = 7525;
    s.master.vocal_reduction = 100;
    s.master.eq_preset = "Bass Boost";
    s.mode = PlaybackMode::kTranscribe;
    d.markers().Add("Verse one", 12.5);
    d.markers().Add("", 30.123456);
    LoopValues v;
    v.name = "Intro riff  two";
    v.position = 0.0;
    v.pitch = 300;
    v.tempo = 6000;
    v.flag_word = 5;
    v.tag = "Reset";
    v.repeat_count = 2;
    v.delay = 4;
    d.loops().SetLoopStart(v);
    v.position = 8.000001;
    d.loops().SetLoopEnd(v);
    LoopValues w;
    w.position = 150.5;
    d.loops().SetLoopStart(w);
    w.position = 200.0;
    d.loops().SetLoopEnd(w);
    d.pad_pages().LoadFromText(kPadText);
  }

  std::string LoopLine(int32_t n, double start, double end) {
    return "loop \"L" + std::to_string(n) + "\" " + std::to_string(start) + " " +
           std::to_string(end) + " 0 10000 0 \"\" -1 0\r\n";
  }

  ScratchDir dir;
  ScopedRecordingUi ui;
  TestDocument a;
  TestDocument b;
};

TEST_F(ProjectDocumentTest, RoundTripThroughAFile) {
  Populate(a.doc);
  const std::string path = dir.File("lesson one.qvp");
  ASSERT_TRUE(a.doc.WriteProjectFile(path));
  const std::string bytes = ReadFile(path);
  // The project's lines, then the pad pages appended.
  const std::string pages = a.doc.pad_pages().FileText();
  EXPECT_EQ(bytes, FormatProjectText(a.doc.state(), a.doc.markers(), a.doc.loops()) + pages);
  EXPECT_NE(bytes.find("loop \"Intro riff  two\" 0.000000 8.000001 300 6000 5 \"Reset\" 2 4\r\n"),
            std::string::npos);

  ASSERT_TRUE(b.doc.ReadProjectFile(path, false));
  EXPECT_TRUE(ui->messages.empty());
  ASSERT_EQ(b.host.opened_audio.size(), 1u);
  EXPECT_EQ(b.host.opened_audio[0], dir.File("Song-Copy000001.wav"));
  // The master values survive the audio opening, which resets them.
  const DocumentState& s = b.doc.state();
  EXPECT_EQ(s.master.pitch, -150);
  EXPECT_EQ(s.master.tempo, 7525);
  EXPECT_EQ(s.master.vocal_reduction, 100);
  EXPECT_EQ(s.master.eq_preset, "Bass Boost");
  EXPECT_EQ(s.mode, PlaybackMode::kTranscribe);
  EXPECT_EQ(s.project_path, path);
  EXPECT_EQ(s.saved, 1);
  ASSERT_EQ(b.doc.markers().count(), 2);
  EXPECT_EQ(b.doc.markers().At(0).name, "Verse one");
  EXPECT_EQ(b.doc.markers().At(1).name, "M2");
  EXPECT_EQ(b.doc.markers().At(1).position, 30.123456);
  ASSERT_EQ(b.doc.loops().count(), 2);
  const LoopRecord& l0 = b.doc.loops().Loop(0);
  EXPECT_EQ(l0.name, "Intro riff  two");
  EXPECT_EQ(l0.end, 8.000001);
  EXPECT_EQ(l0.pitch, 300);
  EXPECT_EQ(l0.tempo, 6000);
  EXPECT_EQ(l0.flag_word, 5);
  EXPECT_EQ(l0.tag, "Reset");
  EXPECT_EQ(l0.repeat_count, 2);
  EXPECT_EQ(l0.delay, 4);
  EXPECT_EQ(b.doc.loops().Loop(1).name, "L1");
  EXPECT_EQ(b.doc.loops().Loop(1).tag, "");
  // The pad's pages came back, and its text block made no marker.
  EXPECT_EQ(b.doc.pad_pages().FileText(), pages);

  // The working project of the fresh history is the same document.
  EXPECT_EQ(ReadFile(b.host.state_file), bytes);
  ASSERT_EQ(b.host.pad_notices.size(), 1u);
  EXPECT_EQ(b.host.pad_notices[0], path);
  // Sliders take the loop at position 0; equaliser and vocal reduction follow.
  EXPECT_EQ(b.host.slider_pitch, 300);
  EXPECT_EQ(b.host.slider_tempo, 6000);
  EXPECT_EQ(b.host.eq_attaches, 1);
  EXPECT_EQ(b.host.selected_presets.back(), "Bass Boost");
  EXPECT_EQ(b.host.vocal_reduction, 100);
  ASSERT_FALSE(b.host.modes.empty());
  EXPECT_EQ(b.host.modes.back(), PlaybackMode::kTranscribe);
  ASSERT_FALSE(b.host.titles.empty());
  EXPECT_EQ(b.host.titles.back().rfind("Quaverly 3: lesson one.qvp |", 0), 0u);
}

TEST_F(ProjectDocumentTest, EmptyDocumentRoundTrips) {
  a.doc.SetSongLength(50.0);
  a.doc.state().audio_path = dir.File("a.wav");
  a.doc.state().master.eq_preset = "Flat";
  const std::string path = dir.File("empty.qvp");
  ASSERT_TRUE(a.doc.WriteProjectFile(path));
  ASSERT_TRUE(b.doc.ReadProjectFile(path, false));
  EXPECT_EQ(b.doc.markers().count(), 0);
  EXPECT_EQ(b.doc.loops().count(), 0);
  EXPECT_EQ(b.doc.pad_pages().page_count(), 1);
  b.doc.state().audio_path = a.doc.state().audio_path;
  const std::string again = dir.File("again.qvp");
  ASSERT_TRUE(b.doc.WriteProjectFile(again));
  EXPECT_EQ(ReadFile(again), ReadFile(path));
}

TEST_F(ProjectDocumentTest, WindowsProjectWithRelativeAudioOpens) {
  const std::string path = dir.File("win.qvp");
  WriteFile(path,
            "master_pitch 200\r\n\r\nmaster_tempo 9000\r\n\r\nmaster_vr 0\r\n\r\n"
            "master_eq \"Flat\"\r\n\r\nperformance_transcribe 0\r\n\r\n"
            "audio_file_path \".\\song.wav\"\r\n\r\n"
            "marker \"Solo\" 42.000000\r\n\r\n" +
                LoopLine(1, 10.0, 199.99995) + "\r\n");
  ASSERT_TRUE(a.doc.ReadProjectFile(path, false));
  ASSERT_EQ(a.host.opened_audio.size(), 1u);
  EXPECT_EQ(a.host.opened_audio[0], dir.File("song.wav"));
  EXPECT_EQ(a.doc.state().master.pitch, 200);
  EXPECT_EQ(a.doc.markers().count(), 1);
  ASSERT_EQ(a.doc.loops().count(), 1);
  // An end 0.00005 s short of the song's end is its end.
  EXPECT_EQ(a.doc.loops().Loop(0).end, 200.0);
  EXPECT_EQ(a.host.modes.back(), PlaybackMode::kPerformance);
}

TEST_F(ProjectDocumentTest, OpenFailuresAreReportedAndLeaveTheDocument) {
  Populate(a.doc);
  const std::string missing = dir.File("missing.qvp");
  EXPECT_FALSE(a.doc.ReadProjectFile(missing, false));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "Could not open the Project File:\n\n\t" + missing);
  EXPECT_EQ(ui->messages[0].caption, "Can't Open Project File");

  // Audio that cannot be opened: the opener reports; nothing else changes.
  const std::string path = dir.File("p.qvp");
  WriteFile(path, "master_pitch 900\r\naudio_file_path \"/nowhere.wav\"\r\n" + LoopLine(1, 1, 2));
  a.host.open_succeeds = false;
  EXPECT_FALSE(a.doc.ReadProjectFile(path, false));
  EXPECT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(a.doc.state().master.pitch, -150);
  EXPECT_EQ(a.doc.loops().count(), 2);
  EXPECT_EQ(a.doc.markers().count(), 2);

  // A file without an audio line is no project to open.
  const std::string no_audio = dir.File("noaudio.qvp");
  WriteFile(no_audio, "master_pitch 900\r\n" + LoopLine(1, 1, 2));
  a.host.open_succeeds = true;
  EXPECT_FALSE(a.doc.ReadProjectFile(no_audio, false));
  ASSERT_EQ(ui->messages.size(), 2u);
  EXPECT_EQ(ui->messages[1].text, "Could not open the Project File:\n\n\t" + no_audio);
  EXPECT_EQ(a.doc.loops().count(), 2);
}

TEST_F(ProjectDocumentTest, MissingEqPresetGivesTheMessageOnce) {
  const std::string path = dir.File("eq.qvp");
  WriteFile(path, "master_eq \"Deleted One\"\r\naudio_file_path \"/a.wav\"\r\n");
  ASSERT_TRUE(a.doc.ReadProjectFile(path, false));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "The EQ Preset associated with this Project was either deleted or renamed, therefore "
            "no EQ settings have been applied.");
  EXPECT_EQ(ui->messages[0].caption, "Quaverly 3");
  EXPECT_EQ(a.doc.state().master.eq_preset, "Flat");
  // The working project now names the first preset: reloading it is quiet.
  a.doc.markers().Clear();
  a.doc.loops().Clear();
  ASSERT_TRUE(a.doc.ReadProjectFile(a.host.state_file, true));
  EXPECT_EQ(ui->messages.size(), 1u);

  // Without presets the stand-in name is no deleted preset either.
  b.host.presets.clear();
  WriteFile(path, "master_eq \"PresetUnknown\"\r\naudio_file_path \"/a.wav\"\r\n");
  ASSERT_TRUE(b.doc.ReadProjectFile(path, false));
  EXPECT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(b.doc.state().master.eq_preset, "PresetUnknown");
}

TEST_F(ProjectDocumentTest, SettingsOnlyReloadKeepsTheAudio) {
  Populate(a.doc);
  const std::string state = dir.File("state.qvp");
  ASSERT_TRUE(a.doc.WriteProjectFile(state));
  a.doc.state().master.tempo = 8000;
  a.doc.markers().Clear();
  a.doc.loops().Clear();
  a.doc.pad_pages().Clear();
  // A state file with master_tempo 500 leaves the tempo alone.
  std::string text = ReadFile(state);
  text.replace(text.find("master_tempo 7525"), 17, "master_tempo 500");
  WriteFile(state, text);
  a.host.titles.clear();
  ASSERT_TRUE(a.doc.ReadProjectFile(state, true));
  EXPECT_TRUE(a.host.opened_audio.empty());
  EXPECT_TRUE(a.host.pad_notices.empty());
  EXPECT_TRUE(a.host.titles.empty());
  EXPECT_EQ(a.doc.state().master.tempo, 8000);
  EXPECT_EQ(a.doc.markers().count(), 2);
  EXPECT_EQ(a.doc.loops().count(), 2);
  EXPECT_EQ(a.doc.pad_pages().page_count(), 2);
  EXPECT_EQ(a.host.slider_pitch, 300);
}

TEST_F(ProjectDocumentTest, TenThousandLoopsInAFile) {
  a.host.song_length = 40000.0;
  std::string text = "audio_file_path \"/long.wav\"\r\n\r\n";
  for (int i = 0; i < 10000; ++i) text += LoopLine(i + 1, i * 3.0, i * 3.0 + 1.0);
  const std::string path = dir.File("many.qvp");
  WriteFile(path, text);
  ASSERT_TRUE(a.doc.ReadProjectFile(path, false));
  EXPECT_EQ(a.doc.loops().count(), kMaxLoops);
  EXPECT_EQ(a.doc.loops().Loop(kMaxLoops - 1).name, "L300");
  EXPECT_FALSE(a.doc.loops().pending().complete());
  EXPECT_EQ(a.doc.loops().pending().start, -1.0);
  EXPECT_EQ(a.doc.loops().SetLoopStart(LoopValues{"", 39000.0, 0, kNormalTempo, 0, "", -1, 0}), -1);
}

TEST_F(ProjectDocumentTest, ARefusedLoopDoesNotSpoilTheLoopsAfterIt) {
  const std::string path = dir.File("overlap.qvp");
  WriteFile(path, "audio_file_path \"/a.wav\"\r\n" + LoopLine(1, 10, 20) + LoopLine(2, 15, 25) +
                      LoopLine(3, 5, 30) + LoopLine(4, 30, 40) + LoopLine(5, 50, 60));
  ASSERT_TRUE(a.doc.ReadProjectFile(path, false));
  ASSERT_EQ(a.doc.loops().count(), 3);
  EXPECT_EQ(a.doc.loops().Loop(0).name, "L1");
  EXPECT_EQ(a.doc.loops().Loop(1).name, "L4");
  EXPECT_EQ(a.doc.loops().Loop(2).name, "L5");
  EXPECT_EQ(a.doc.loops().pending().start, -1.0);
  EXPECT_EQ(a.doc.loops().pending().end, -1.0);
}

TEST_F(ProjectDocumentTest, CommaLocaleRoundTrip) {
  testing::CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma decimal locale available";
  Populate(a.doc);
  const std::string path = dir.File("de.qvp");
  ASSERT_TRUE(a.doc.WriteProjectFile(path));
  EXPECT_NE(ReadFile(path).find("marker \"Verse one\" 12.500000\r\n"), std::string::npos);
  ASSERT_TRUE(b.doc.ReadProjectFile(path, false));
  EXPECT_EQ(b.doc.markers().At(1).position, 30.123456);
  EXPECT_EQ(b.doc.loops().Loop(1).start, 150.5);
}

TEST_F(ProjectDocumentTest, WriteReplacesAtomically) {
  Populate(a.doc);
  const std::string path = dir.File("p.qvp");
  WriteFile(path, "old contents");
  ASSERT_TRUE(a.doc.WriteProjectFile(path));
  EXPECT_EQ(ReadFile(path).rfind("master_pitch -150\r\n", 0), 0u);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 2);  // the project and the working audio; no temporary left
  EXPECT_FALSE(a.doc.WriteProjectFile(dir.File("no/such/folder/p.qvp")));
  EXPECT_FALSE(a.doc.WriteProjectFile(""));
  EXPECT_TRUE(ui->messages.empty());
}

TEST_F(ProjectDocumentTest, SaveUntitledAsksForAName) {
  Populate(a.doc);
  a.doc.state().project_path = dir.File("Untitled.qvp");
  a.doc.state().saved = 0;
  a.host.playing = true;
  ASSERT_TRUE(a.doc.WriteProjectFile(a.host.state_file));
  // Cancel: nothing written.
  EXPECT_FALSE(a.doc.SaveProject(false));
  EXPECT_EQ(a.host.stops, 1);
  ASSERT_EQ(ui->save_requests.size(), 1u);
  const FileDialogRequest& r = ui->save_requests[0];
  EXPECT_EQ(r.title, "Save Quaverly Project As...");
  ASSERT_EQ(r.filters.size(), 1u);
  EXPECT_EQ(r.filters[0].name, "QVP Files (*.qvp)");
  EXPECT_EQ(r.filters[0].patterns, "*.qvp");
  EXPECT_EQ(r.default_extension, "qvp");
  EXPECT_EQ(r.initial_folder, dir.path());
  EXPECT_EQ(r.initial_name, dir.File("Untitled.qvp"));
  EXPECT_TRUE(r.overwrite_prompt);
  EXPECT_FALSE(PathExists(a.doc.state().audio_path));

  const std::string chosen = dir.File("My Lesson.qvp");
  ui->save_paths.push_back(chosen);
  ASSERT_TRUE(a.doc.SaveProject(false));
  EXPECT_EQ(a.doc.state().project_path, chosen);
  EXPECT_EQ(ReadFile(chosen), ReadFile(a.host.state_file));
  EXPECT_EQ(ReadFile(a.doc.state().audio_path), "RIFF-audio-bytes");
  EXPECT_EQ(a.doc.state().saved, 1);
  ASSERT_EQ(a.host.recent.size(), 1u);
  EXPECT_EQ(a.host.recent[0], chosen);
  EXPECT_EQ(a.host.titles.back().rfind("Quaverly 3: My Lesson.qvp |", 0), 0u);

  // A named project saves without asking; Save As asks again.
  ASSERT_TRUE(a.doc.SaveProject(false));
  EXPECT_EQ(ui->save_requests.size(), 2u);
  EXPECT_FALSE(a.doc.SaveProject(true));
  EXPECT_EQ(ui->save_requests.size(), 3u);
  EXPECT_TRUE(ui->messages.empty());
}

TEST_F(ProjectDocumentTest, SaveFailuresKeepThePreviousProject) {
  Populate(a.doc);
  const std::string project = dir.File("kept.qvp");
  WriteFile(project, "previous project");
  a.doc.state().project_path = project;
  ASSERT_TRUE(a.doc.WriteProjectFile(a.host.state_file));

  // The audio copy fails first: the project is not touched.
  a.host.working_audio = dir.File("gone.wav");
  EXPECT_FALSE(a.doc.SaveProject(false));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].caption, "Could Not Create Audio File");
  EXPECT_EQ(ui->messages[0].text, "Error writing to the Audio File:\n\n\t" +
                                      a.doc.state().audio_path +
                                      "\n\nIs the file write protected, or is the disk full?");
  EXPECT_EQ(ReadFile(project), "previous project");

  // The project copy fails: the previous project stays whole.
  a.host.working_audio = dir.File("snap-000000.wav");
  a.host.state_file = dir.File("gone.qvp");
  EXPECT_FALSE(a.doc.SaveProject(false));
  ASSERT_EQ(ui->messages.size(), 2u);
  EXPECT_EQ(ui->messages[1].caption, "Could Not Create Project File");
  EXPECT_EQ(ui->messages[1].text, "Error writing to the Audio File:\n\n\t" + project +
                                      "\n\nIs the file write protected, or is the disk full?");
  EXPECT_EQ(ReadFile(project), "previous project");
  EXPECT_TRUE(a.host.recent.empty());
}

TEST_F(ProjectDocumentTest, AskSaveChanges) {
  Populate(a.doc);
  a.doc.state().project_path = dir.File("song.qvp");
  ASSERT_TRUE(a.doc.WriteProjectFile(a.host.state_file));
  a.doc.state().saved = 1;
  EXPECT_TRUE(a.doc.AskSaveChanges());
  EXPECT_TRUE(ui->questions.empty());

  a.doc.state().saved = 0;
  ui->answers = {Answer::kCancel, Answer::kNo, Answer::kYes};
  EXPECT_FALSE(a.doc.AskSaveChanges());
  ASSERT_EQ(ui->questions.size(), 1u);
  EXPECT_EQ(ui->questions[0].text, "Save changes to song.qvp?");
  EXPECT_EQ(ui->questions[0].caption, "Save Project?");
  EXPECT_EQ(ui->questions[0].buttons, AskButtons::kYesNoCancel);
  EXPECT_EQ(ui->questions[0].icon, MsgIcon::kExclamation);
  EXPECT_TRUE(a.doc.AskSaveChanges());
  EXPECT_FALSE(PathExists(dir.File("song.qvp")));
  EXPECT_TRUE(a.doc.AskSaveChanges());  // Yes saves
  EXPECT_TRUE(PathExists(dir.File("song.qvp")));
  EXPECT_EQ(a.doc.state().saved, 1);
}

TEST_F(ProjectDocumentTest, SavedStateWritesAStepAndMarksTheTitle) {
  Populate(a.doc);
  a.doc.state().project_path = dir.File("song.qvp");
  a.doc.state().stream = {44100, 2, 2, 1411, 1048576};
  a.doc.SetSavedState(0, true);
  EXPECT_EQ(a.host.steps, 1);
  EXPECT_EQ(ReadFile(a.host.step_file),
            FormatProjectText(a.doc.state(), a.doc.markers(), a.doc.loops()) +
                a.doc.pad_pages().FileText());
  EXPECT_EQ(a.host.titles.back(),
            "Quaverly 3: song.qvp* | 1411 Kbps | 44,100 Hz | 16 Bit | Stereo | 1.00 MB");
  a.doc.SetSavedState(1, false);
  EXPECT_EQ(a.host.steps, 1);
  EXPECT_EQ(a.host.titles.back(),
            "Quaverly 3: song.qvp | 1411 Kbps | 44,100 Hz | 16 Bit | Stereo | 1.00 MB");
}

TEST_F(ProjectDocumentTest, BadFilesNeverCrash) {
  const std::string path = dir.File("bad.qvp");
  std::string garbage = "audio_file_path \"/a.wav\"\n";
  for (int i = 0; i < 50000; ++i) garbage += static_cast<char>((i * 2654435761u) >> 24);
  garbage += "\nloop \"" + std::string(100000, 'x') + "\" 1 2 0 10000 0 \"\" -1 0\n";
  garbage += "marker \"m\" 1e999\nloop \"t\" 3.0 4.";
  WriteFile(path, garbage);
  ASSERT_TRUE(a.doc.ReadProjectFile(path, false));
  ASSERT_EQ(a.doc.loops().count(), 1);
  EXPECT_EQ(a.doc.loops().Loop(0).name.size(), 100000u);
  // It writes back as a readable file.
  a.doc.state().audio_path = "/a.wav";
  const std::string out = dir.File("out.qvp");
  ASSERT_TRUE(a.doc.WriteProjectFile(out));
  ASSERT_TRUE(b.doc.ReadProjectFile(out, false));
  EXPECT_EQ(b.doc.loops().count(), 1);
  EXPECT_EQ(b.doc.markers().count(), a.doc.markers().count());
}

}  // namespace
}  // namespace qv3

namespace qv3 {
namespace {

std::string SourceDir() {
  const char* dir = std::getenv("QV3_SOURCE_DIR");
  return dir ? dir : QV3_TEST_SOURCE_DIR;
}

TEST(StoredProjectsTest, WindowsProjectWithPadPages) {
  ScopedRecordingUi ui;
  ScratchDir dir;
  TestDocument t;
  t.host.song_length = 180.0;
  t.host.presets = {"Flat"};
  t.host.state_file = dir.File("state.qvp");
  const std::string folder = SourceDir() + "/testdata/projects";
  ASSERT_TRUE(t.doc.ReadProjectFile(folder + "/windows_relative.qvp", false));
  ASSERT_EQ(t.host.opened_audio.size(), 1u);
  EXPECT_EQ(t.host.opened_audio[0], MakeAbsolute(folder) + "/song.wav");
  const DocumentState& s = t.doc.state();
  EXPECT_EQ(s.master.pitch, -250);
  EXPECT_EQ(s.master.tempo, 8500);
  EXPECT_EQ(s.master.vocal_reduction, 64);
  EXPECT_EQ(s.mode, PlaybackMode::kTranscribe);
  ASSERT_EQ(t.doc.markers().count(), 3);  // the pad's "marker at bar 5" is text
  EXPECT_EQ(t.doc.markers().At(1).name, "Verse 1");
  EXPECT_EQ(t.doc.markers().At(1).position, 12.345678);
  ASSERT_EQ(t.doc.loops().count(), 2);
  EXPECT_EQ(t.doc.loops().Loop(0).name, "Riff A");
  EXPECT_EQ(t.doc.loops().Loop(0).repeat_count, 3);
  EXPECT_EQ(t.doc.loops().Loop(1).end, 28.25);
  EXPECT_EQ(t.doc.pad_pages().page_count(), 2);
  EXPECT_EQ(t.doc.pad_pages().size(), 3);
  EXPECT_TRUE(ui->messages.empty());
}

TEST(StoredProjectsTest, LinuxProjectReadsAndRewritesItsAudioPath) {
  ScopedRecordingUi ui;
  ScratchDir dir;
  const std::string folder = SourceDir() + "/testdata/projects";
  const std::string copy = dir.File("linux.qvp");
  WriteFile(copy, ReadFile(folder + "/linux_absolute.qvp"));
  EXPECT_EQ(ReadProjectAudioPath(copy),
            "/home/user/Music/Quaverly 3/Projects/Take Five-Copy000001.wav");
  ASSERT_TRUE(RewriteProjectAudioPath(copy, "./Take Five.wav"));
  TestDocument t;
  t.host.presets = {"Flat"};
  t.host.state_file = dir.File("state.qvp");
  ASSERT_TRUE(t.doc.ReadProjectFile(copy, false));
  EXPECT_EQ(t.host.opened_audio[0], dir.File("Take Five.wav"));
  EXPECT_EQ(t.doc.state().master.eq_preset, "Flat");
  EXPECT_TRUE(ui->messages.empty());
  EXPECT_EQ(t.doc.loops().count(), 1);
}

}  // namespace
}  // namespace qv3
