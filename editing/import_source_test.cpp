#include "editing/import_source.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "editing/import_decode.h"
#include "editing/import_ffmpeg.h"
#include "editing/import_peaks.h"
#include "editing/import_test_support.h"
#include "editing/path_names.h"
#include "platform/paths.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

using import_test::Concat;
using import_test::FakeHost;
using import_test::FakeProgressView;
using import_test::FakeViewFactory;
using import_test::FolderFiles;
using import_test::MakeMedia;
using import_test::SineInput;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// lavfi's sine has amplitude 1/8; its mono-to-stereo upmix lowers it by 3 dB.
constexpr int kSineAmplitude = 2896;
constexpr char kDefaultOptions[] = "-vn -acodec pcm_s16le -ar 44100 -ac 2";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

uint32_t U32At(const std::string& s, size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8) |
         (static_cast<unsigned char>(s[at + 2]) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24);
}
uint16_t U16At(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) |
                               (static_cast<unsigned char>(s[at + 1]) << 8));
}

int MaxPeak(const std::vector<int16_t>& values) {
  int m = 0;
  for (int16_t v : values) m = std::max(m, std::abs(static_cast<int>(v)));
  return m;
}

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AudioInit(0, 44100, 0)) << ErrorGetCode();
    temp_ = dir_.MakeDir("Temp");
    project_ = dir_.MakeDir("Project");
    media_ = dir_.MakeDir("media");
    settings_.temp_folder = temp_;
    settings_.project_folder = project_;
    settings_.ffmpeg = "/usr/bin/ffmpeg";
    settings_.ffmpeg_options = kDefaultOptions;
    importer_.set_settings(settings_);
  }
  void TearDown() override {
    host_.ClosePlayerSource();
    AudioFree();
  }

  // A 1.5 s stereo sine encoded with `codec_args` into media/<name>.
  std::string Sine(const std::string& name, const std::vector<std::string>& codec_args,
                   double seconds = 1.5, int rate = 44100) {
    std::string path = media_ + "/" + name;
    EXPECT_TRUE(MakeMedia(path, Concat(SineInput(seconds, rate), codec_args))) << name;
    return path;
  }

  // Every name in the Temp folder that is not one of the converter's own files.
  std::vector<std::string> StrayTempFiles() {
    std::vector<std::string> stray;
    for (const std::string& n : FolderFiles(temp_)) {
      if (n != kProbeScriptName && n != kExtractScriptName && n != kConverterErrorFileName) {
        stray.push_back(n);
      }
    }
    return stray;
  }

  // Checks the state every failed open must leave.
  void ExpectNoSongLeft() {
    EXPECT_TRUE(host_.enabled);
    ASSERT_FALSE(ui_->status_texts.empty());
    EXPECT_EQ(ui_->status_texts.back(), "");
    EXPECT_EQ(host_.stream, 0u);
    EXPECT_TRUE(host_.files.source_path().empty());
    EXPECT_TRUE(host_.files.history().base_path().empty());
    EXPECT_THAT(StrayTempFiles(), ::testing::IsEmpty());
  }

  TempDir dir_;
  std::string temp_, project_, media_;
  ImportSettings settings_;
  ScopedRecordingUi ui_;
  FakeHost host_;
  FakeViewFactory views_;
  SourceImporter importer_{&host_, &views_};
};

TEST_F(ImportTest, EveryAudioFormatOpensWithItsPropertiesAndWaveform) {
  struct Case {
    std::string name;
    std::vector<std::string> args;
    int rate;
  };
  const std::vector<Case> cases = {
      {"song.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 44100},
      {"Song.MP3", {"-c:a", "libmp3lame", "-b:a", "128k", "-f", "mp3"}, 44100},
      {"song.m4a", {"-c:a", "aac"}, 44100},
      {"song.aac", {"-c:a", "aac", "-f", "adts"}, 44100},
      {"song.ogg", {"-c:a", "libvorbis"}, 44100},
      {"song.flac", {"-c:a", "flac"}, 44100},
      {"song.wma", {"-c:a", "wmav2", "-f", "asf"}, 44100},
      {"song.aif", {"-c:a", "pcm_s16be", "-f", "aiff"}, 44100},
      {"song.aiff", {"-c:a", "pcm_s16be"}, 44100},
      {"song.opus", {"-c:a", "libopus"}, 48000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Sine(c.name, c.args, 1.5, c.rate);
    host_.calls.clear();
    ui_->status_texts.clear();
    ASSERT_EQ(importer_.OpenSource(path, true, true), OpenOutcome::kOpened);
    EXPECT_TRUE(ui_->messages.empty()) << ui_->messages[0].text;

    EXPECT_EQ(host_.props.sample_rate, c.rate);
    EXPECT_EQ(host_.props.channels, 2);
    EXPECT_EQ(host_.props.bytes_per_sample, 2);
    EXPECT_EQ(host_.props.file_size, FileSize(path));
    const double seconds = static_cast<double>(host_.props.file_size) / (1.5 * 125.0);
    EXPECT_NEAR(host_.props.bit_rate, seconds, seconds * 0.15 + 2);

    // The working WAV: snapshot 0, canonical 16-bit PCM with patched lengths.
    const std::string wav = host_.files.history().SnapshotName(0, ".wav");
    const std::string data = ReadAll(wav);
    ASSERT_GE(data.size(), 44u);
    EXPECT_EQ(data.substr(0, 4), "RIFF");
    EXPECT_EQ(U32At(data, 4), data.size() - 8);
    EXPECT_EQ(U16At(data, 20), 1);
    EXPECT_EQ(U16At(data, 22), 2);
    EXPECT_EQ(U32At(data, 24), static_cast<uint32_t>(c.rate));
    EXPECT_EQ(U16At(data, 34), 16);
    EXPECT_EQ(U32At(data, 40), data.size() - 44);

    EXPECT_NEAR(host_.song_length, 1.5, 0.08);
    EXPECT_EQ(host_.slider_max, host_.PlayerLengthBytes() / 100);
    EXPECT_EQ(host_.slider_page, c.rate * 2 * 4 / 100);
    // One (max, min) pair per millisecond; the sine's amplitude is 1/8.
    EXPECT_NEAR(host_.peaks.value_count, 3000, 160);
    EXPECT_NEAR(MaxPeak(host_.peaks.left), kSineAmplitude, 400);
    EXPECT_NEAR(MaxPeak(host_.peaks.right), kSineAmplitude, 400);

    EXPECT_EQ(host_.source_path, path);
    EXPECT_EQ(host_.files.source_path(), path);
    EXPECT_EQ(host_.project_path, project_ + "/Untitled.qvp");
    EXPECT_EQ(host_.audio_copy_path, project_ + "/" + PathTitle(path) + "-Copy000001.wav");
    EXPECT_EQ(host_.state_written, host_.files.history().SnapshotName(0, ".qvp"));
    EXPECT_THAT(host_.calls,
                ::testing::ElementsAre("disable", "clear wave", "zoom all", "reset controls", "title",
                                       "saved 1", "enable"));
    EXPECT_EQ(ui_->status_texts.front(), "Opening...");
    EXPECT_THAT(ui_->status_texts, ::testing::Contains("Scanning Peaks..."));
    EXPECT_EQ(ui_->status_texts.back(), "");
  }
}

TEST_F(ImportTest, OnlyPlainPcmWavsAreCopied) {
  const std::string pcm16 = Sine("pcm16.wav", {"-c:a", "pcm_s16le"});
  ASSERT_EQ(importer_.OpenSource(pcm16, false, false), OpenOutcome::kOpened);
  EXPECT_EQ(ReadAll(host_.files.history().SnapshotName(0, ".wav")), ReadAll(pcm16));
  EXPECT_EQ(host_.state_written, "");
  EXPECT_FALSE(host_.Contains("reset controls"));

  const std::string pcm8 = Sine("pcm8.wav", {"-c:a", "pcm_u8"});
  ASSERT_EQ(importer_.OpenSource(pcm8, true, true), OpenOutcome::kOpened);
  EXPECT_EQ(ReadAll(host_.files.history().SnapshotName(0, ".wav")), ReadAll(pcm8));
  EXPECT_EQ(host_.props.bytes_per_sample, 1);

  for (const char* codec : {"pcm_s24le", "pcm_f32le", "adpcm_ms", "pcm_s32le"}) {
    SCOPED_TRACE(codec);
    const std::string path = Sine(std::string(codec) + ".wav", {"-c:a", codec});
    EXPECT_FALSE(IsCopyablePcmWav(path));
    ASSERT_EQ(importer_.OpenSource(path, true, true), OpenOutcome::kOpened);
    const std::string data = ReadAll(host_.files.history().SnapshotName(0, ".wav"));
    ASSERT_GE(data.size(), 44u);
    EXPECT_EQ(U16At(data, 20), 1);
    EXPECT_EQ(U16At(data, 34), 16);
    EXPECT_EQ(host_.props.bytes_per_sample, 2);
    EXPECT_NEAR(MaxPeak(host_.peaks.left), kSineAmplitude, 400);
  }
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(ImportTest, WorkingWavPeaksEqualTheDecodingStreamsPeaks) {
  // ffmpeg's WAVs carry a LIST chunk before the data; an odd-sized chunk
  // ahead of "fmt " checks the padding rule.
  std::string pcm16 = ReadAll(Sine("p16.wav", {"-c:a", "pcm_s16le"}, 1.3));
  const std::string odd = std::string("junk") + '\x03' + std::string(3, '\0') + "abc" + '\0';
  pcm16.insert(12, odd);
  const std::string padded = dir_.WriteFile("media/padded.wav", pcm16);
  for (const std::string& path :
       {padded, Sine("p8.wav", {"-c:a", "pcm_u8"}, 1.3), Sine("m16.wav", {"-ac", "1", "-c:a", "pcm_s16le"}, 1.3)}) {
    SCOPED_TRACE(path);
    PeakSet direct;
    bool readable = false;
    ASSERT_TRUE(ScanWorkingWavPeaks(path, &direct, &readable));
    ASSERT_TRUE(readable);
    StreamHandle h = StreamCreateFile(path.c_str(), 0, 0, kSampleFloat | kStreamDecode);
    ASSERT_NE(h, 0u);
    PeakSet decoded;
    ASSERT_TRUE(ScanChannelPeaks(h, &decoded));
    StreamFree(h);
    EXPECT_EQ(direct.value_count, decoded.value_count);
    EXPECT_EQ(direct.left, decoded.left);
    EXPECT_EQ(direct.right, decoded.right);
    EXPECT_GT(MaxPeak(direct.left), 1000);
  }
  PeakSet none;
  bool readable = true;
  EXPECT_FALSE(ScanWorkingWavPeaks(Sine("f.wav", {"-c:a", "pcm_f32le"}), &none, &readable));
  EXPECT_FALSE(readable);
}

TEST_F(ImportTest, BadFilesShowTheirMessageAndLeaveNoSong) {
  const std::string empty = dir_.WriteFile("media/empty.mp3", "");
  // A song is open: a missing source leaves it alone.
  host_.files.set_source_path("/old/song.wav");
  EXPECT_EQ(importer_.OpenSource(empty, true, true), OpenOutcome::kNotFound);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text,
            "The Source file was not found:\n\n\t" + empty + "\n\nSorry, can't continue.");
  EXPECT_EQ(ui_->messages[0].caption, "File Not Found");
  EXPECT_EQ(host_.files.source_path(), "/old/song.wav");
  EXPECT_FALSE(host_.Contains("clear wave"));
  EXPECT_TRUE(host_.enabled);
  host_.files.set_source_path("");

  std::string random(4000, '\0');
  for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 7919 + 13) % 251);
  const std::map<std::string, std::string> unsupported = {
      {dir_.WriteFile("media/random.mp3", random), "Unsupported File Format"},
      {dir_.WriteFile("media/text.wav", "This is not a WAV file at all.\n"), "Unsupported File Format"},
  };
  for (const auto& [path, detail] : unsupported) {
    SCOPED_TRACE(path);
    ui_->messages.clear();
    EXPECT_EQ(importer_.OpenSource(path, true, true), OpenOutcome::kFailed);
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_EQ(ui_->messages[0].text, "Can't open the file:\n\n\t" + path +
                                         "\n\nMore Details:\n\n" + detail +
                                         "\n\nSorry, can't continue.");
    EXPECT_EQ(ui_->messages[0].caption, "Quaverly 3");
    EXPECT_TRUE(host_.Contains("no song"));
    ExpectNoSongLeft();
  }

  const std::string six = Sine("six.flac", {"-ac", "6", "-c:a", "flac"});
  ui_->messages.clear();
  EXPECT_EQ(importer_.OpenSource(six, true, true), OpenOutcome::kFailed);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_THAT(ui_->messages[0].text, HasSubstr("The file has 6 audio channels."));
  ExpectNoSongLeft();

  const std::string notes = dir_.WriteFile("media/notes.txt", "la la la");
  ui_->messages.clear();
  EXPECT_EQ(importer_.OpenSource(notes, true, true), OpenOutcome::kFailed);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text,
            "Can't open the file:\n\n\t" + notes +
                "\n\nMore Details:\n\nThe file you are trying to open is is an unknown file "
                "type.\n\nSorry, can't continue.");
  ExpectNoSongLeft();
}

TEST_F(ImportTest, TruncatedMp3KeepsWhatDecodes) {
  const std::string whole = Sine("whole.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 3.0);
  std::string data = ReadAll(whole);
  const std::string cut = dir_.WriteFile("media/cut.mp3", data.substr(0, data.size() / 2));
  ASSERT_EQ(importer_.OpenSource(cut, true, true), OpenOutcome::kOpened);
  EXPECT_GT(host_.song_length, 1.0);
  EXPECT_LT(host_.song_length, 2.2);
  EXPECT_NEAR(MaxPeak(host_.peaks.left), kSineAmplitude, 400);
}

TEST_F(ImportTest, DecodeReportsOpenCreateAndDiskFull) {
  const std::string mp3 = Sine("s.mp3", {"-c:a", "libmp3lame"});
  EXPECT_FALSE(DecodeToWav(media_ + "/missing.mp3", temp_ + "/x.wav"));
  EXPECT_FALSE(DecodeToWav(mp3, temp_ + "/no/such/folder/x.wav"));
  EXPECT_FALSE(DecodeToWav(mp3, "/dev/full"));
  ASSERT_EQ(ui_->messages.size(), 3u);
  EXPECT_EQ(ui_->messages[0].text, "Can't open file: \"" + media_ + "/missing.mp3\"");
  EXPECT_EQ(ui_->messages[1].text, "Can't create the output file:\n\n   " + temp_ + "/no/such/folder/x.wav");
  EXPECT_EQ(ui_->messages[2].text, "Unable to write to the output file:\n\n   /dev/full\n\nDisk full.");

  ui_->status_texts.clear();
  ASSERT_TRUE(DecodeToWav(Sine("long.mp3", {"-c:a", "libmp3lame"}, 2.5), temp_ + "/ok.wav"));
  EXPECT_THAT(ui_->status_texts, ::testing::ElementsAre("Opening... 0:01", "Opening... 0:02",
                                                        "Opening... 0:02"));
}

TEST_F(ImportTest, VideoAudioIsExtractedWithProgress) {
  const std::string avi = media_ + "/clip.avi";
  ASSERT_TRUE(MakeMedia(avi, {"-f", "lavfi", "-i", "color=c=blue:s=32x32:r=10:d=2", "-f",
                              "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=2",
                              "-c:v", "mpeg4", "-c:a", "libmp3lame", "-shortest"}));
  FakeProgressView* seen = nullptr;
  std::vector<int> progress;
  std::vector<std::string> lines;
  views_.cancel_when = [&](FakeProgressView& v) {
    seen = &v;
    progress = v.progress;
    lines = v.time_lines;
    return false;
  };
  ASSERT_EQ(importer_.OpenSource(avi, true, true), OpenOutcome::kOpened);
  EXPECT_TRUE(ui_->messages.empty());
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(host_.props.sample_rate, 44100);
  EXPECT_EQ(host_.props.channels, 2);
  EXPECT_EQ(host_.props.bytes_per_sample, 2);
  EXPECT_EQ(host_.props.bit_rate, 0);
  EXPECT_EQ(host_.props.file_size, FileSize(avi));
  EXPECT_NEAR(host_.song_length, 2.0, 0.1);
  EXPECT_NEAR(MaxPeak(host_.peaks.left), kSineAmplitude, 400);
  // The scripts stay in the Temp folder; nothing else is left but the song.
  const std::string script = ReadAll(temp_ + "/ExtractAudioFromVideo.sh");
  EXPECT_EQ(script, "'/usr/bin/ffmpeg' -y -i '" + avi + "' '-vn' '-acodec' 'pcm_s16le' '-ar' "
                    "'44100' '-ac' '2' '" + host_.files.history().SnapshotName(0, ".wav") + "'\n");
  EXPECT_EQ(ReadAll(temp_ + "/VSCmdTmp.sh"), "'/usr/bin/ffmpeg' -i '" + avi + "'\n");
}

TEST_F(ImportTest, ExtractionReportsProgressAgainstTheProbedDuration) {
  const std::string mov = media_ + "/clip.mov";
  ASSERT_TRUE(MakeMedia(mov, {"-f", "lavfi", "-i", "color=c=red:s=32x32:r=10:d=3", "-f", "lavfi",
                              "-i", "sine=frequency=440:sample_rate=44100:duration=3", "-c:v",
                              "mpeg4", "-c:a", "aac", "-shortest"}));
  FakeProgressView view;
  VideoExtraction::Settings s{"/usr/bin/ffmpeg", kDefaultOptions, temp_};
  VideoExtraction extraction(&view, s);
  const std::string out = temp_ + "/out.wav";
  ASSERT_EQ(extraction.Run(mov, out), ExtractResult::kOk);
  EXPECT_NEAR(extraction.duration(), 3.0, 0.1);
  EXPECT_EQ(view.prepared.title, "Extracting Audio From Video");
  EXPECT_EQ(view.shown.first_label, "Importing:");
  EXPECT_EQ(view.shown.second_label, "Saving to \"" + out + "\"");
  EXPECT_TRUE(view.closed_ok);
  // ffmpeg reports its progress at least at the end.
  ASSERT_FALSE(view.progress.empty());
  EXPECT_NEAR(view.progress.back(), 10000, 400);
  EXPECT_THAT(view.time_lines.back(), ::testing::MatchesRegex("[23]\\.[0-9] of 3\\.0 Seconds"));
}

TEST_F(ImportTest, VideoWithoutAudioShowsTheConverterOutput) {
  const std::string mov = media_ + "/silent.mov";
  ASSERT_TRUE(MakeMedia(mov, {"-f", "lavfi", "-i", "color=c=red:s=32x32:r=10:d=1", "-c:v", "mpeg4"}));
  EXPECT_EQ(importer_.OpenSource(mov, true, true), OpenOutcome::kFailed);
  ASSERT_EQ(ui_->messages.size(), 1u);
  const std::string& text = ui_->messages[0].text;
  EXPECT_THAT(text, StartsWith("The conversion command failed.  The output from the converter is:\n\n"));
  // Debian's banner has no "built on" line, so the whole output is shown.
  EXPECT_THAT(text, HasSubstr("ffmpeg version"));
  EXPECT_THAT(text, HasSubstr("does not contain any stream"));
  EXPECT_EQ(ReadAll(temp_ + "/FFMpegErrorOut.txt"), CConsolePipe::CollectedOutput());
  ExpectNoSongLeft();
}

TEST_F(ImportTest, HostileFileNamesRunNothing) {
  // The current folder is where a smuggled "touch" would create its file.
  const std::string cwd = dir_.MakeDir("cwd");
  char old_cwd[4096];
  ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  const std::string folder = dir_.MakeDir("it's $(touch PWNED) `touch PWNED` dir");
  const std::string mp4 = folder + "/it's \"$(touch PWNED)\" a song.mp4";
  const std::string mov = folder + "/it's \"$(touch PWNED)\" a song.mov";
  for (const std::string& path : {mp4, mov}) {
    ASSERT_TRUE(MakeMedia(path, {"-f", "lavfi", "-i", "color=c=red:s=32x32:r=10:d=1", "-f", "lavfi",
                                 "-i", "sine=frequency=440:sample_rate=44100:duration=1", "-c:v",
                                 "mpeg4", "-c:a", "aac", "-shortest"}));
  }
  settings_.temp_folder = dir_.MakeDir("Temp $(touch PWNED) it's");
  importer_.set_settings(settings_);
  for (const std::string& path : {mp4, mov}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(importer_.OpenSource(path, true, true), OpenOutcome::kOpened);
    EXPECT_NEAR(host_.song_length, 1.0, 0.1);
  }
  EXPECT_TRUE(ui_->messages.empty());
  ASSERT_EQ(chdir(old_cwd), 0);
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.path())) {
    EXPECT_NE(e.path().filename(), "PWNED") << e.path();
  }
}

TEST_F(ImportTest, CancelEndsTheConverterAndRemovesThePartialWav) {
  const std::string avi = media_ + "/long.avi";
  ASSERT_TRUE(MakeMedia(avi, {"-f", "lavfi", "-i", "color=c=red:s=16x16:r=1:d=60", "-f", "lavfi",
                              "-i", "sine=frequency=440:sample_rate=44100:duration=60", "-c:v",
                              "mpeg4", "-c:a", "pcm_s16le", "-shortest"}));
  // The converter works in real time here, so the import is still running
  // when Cancel comes.
  settings_.ffmpeg_options = "-vn -af arealtime -acodec pcm_s16le -ar 44100 -ac 2";
  importer_.set_settings(settings_);
  std::string working;
  views_.cancel_when = [&](FakeProgressView& v) {
    if (v.progress.empty()) return false;
    working = host_.files.history().SnapshotName(0, ".wav");
    EXPECT_TRUE(PathExists(working));
    return true;
  };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(importer_.OpenSource(avi, true, true), OpenOutcome::kFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "Import cancelled.");
  EXPECT_EQ(ui_->messages[0].caption, "Quaverly 3");
  ASSERT_FALSE(working.empty());
  EXPECT_FALSE(PathExists(working));
  ExpectNoSongLeft();
}

TEST_F(ImportTest, CancelledConverterGroupIsGone) {
  const std::string avi = media_ + "/long.avi";
  ASSERT_TRUE(MakeMedia(avi, {"-f", "lavfi", "-i", "color=c=red:s=16x16:r=1:d=30", "-f", "lavfi",
                              "-i", "sine=frequency=440:sample_rate=44100:duration=30", "-c:v",
                              "mpeg4", "-c:a", "pcm_s16le", "-shortest"}));
  FakeProgressView view;
  view.cancel_when = [](FakeProgressView& v) { return !v.progress.empty(); };
  VideoExtraction::Settings s{"/usr/bin/ffmpeg", "-vn -af arealtime -acodec pcm_s16le", temp_};
  VideoExtraction extraction(&view, s);
  const std::string out = temp_ + "/out.wav";
  EXPECT_EQ(extraction.Run(avi, out), ExtractResult::kCancelled);
  EXPECT_TRUE(view.closed);
  EXPECT_FALSE(view.closed_ok);
  EXPECT_FALSE(PathExists(out));
  ASSERT_GT(extraction.converter_pid(), 0);
  // Neither the shell nor ffmpeg (same group) is left; an orphaned member
  // may take a moment to be reaped by init.
  bool gone = false;
  for (int i = 0; i < 300 && !gone; ++i) {
    gone = ::kill(-extraction.converter_pid(), 0) == -1 && errno == ESRCH;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone);
}

// ---- Drop, Open and dispatch ----

TEST_F(ImportTest, DropRefusesWithItsMessagesAndKeepsTheSavedState) {
  const std::string mp3 = Sine("drop.mp3", {"-c:a", "libmp3lame"});
  EXPECT_FALSE(importer_.Drop({mp3, mp3}));
  EXPECT_FALSE(importer_.Drop({media_ + "/README"}));
  EXPECT_FALSE(importer_.Drop({media_ + "/notes.TxT"}));
  ASSERT_EQ(ui_->messages.size(), 3u);
  EXPECT_EQ(ui_->messages[0].text, "Please Drag & Drop only one file at a time, thanks.");
  EXPECT_EQ(ui_->messages[1].text, "A file extension was not found for the file dropped.");
  EXPECT_EQ(ui_->messages[2].text,
            "Can't open the file that was dropped - unsupported file extension \"TxT\".");
  for (const auto& m : ui_->messages) EXPECT_EQ(m.caption, "Quaverly 3");
  // Refused drops ask first but never mark the current song as saved.
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "ask"), 3);
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "foreground"), 3);
  EXPECT_FALSE(host_.Contains("saved 1"));
  EXPECT_TRUE(host_.pad_codes.empty());

  host_.ask_answer = false;
  ui_->messages.clear();
  EXPECT_FALSE(importer_.Drop({mp3, mp3}));
  EXPECT_TRUE(ui_->messages.empty());

  host_.ask_answer = true;
  EXPECT_TRUE(importer_.Drop({mp3}));
  EXPECT_THAT(host_.recent, ::testing::ElementsAre(mp3));
  EXPECT_THAT(host_.pad_codes, ::testing::ElementsAre(2005));
  EXPECT_TRUE(host_.Contains("saved 1"));
}

TEST_F(ImportTest, DispatchSendsProjectsToTheLoaderAndTellsThePadAfterMedia) {
  const std::string qvp = dir_.WriteFile("media/song.QVP", "x");
  EXPECT_TRUE(importer_.Drop({qvp}));
  EXPECT_TRUE(host_.Contains("project " + qvp));
  EXPECT_THAT(host_.recent, ::testing::ElementsAre(qvp));
  EXPECT_TRUE(host_.pad_codes.empty());

  host_.project_ok = false;
  EXPECT_FALSE(importer_.OpenMediaOrProject(qvp));
  EXPECT_EQ(host_.recent.size(), 1u);

  // A failed media open still tells the pad, and adds nothing to the list.
  const std::string bad = dir_.WriteFile("media/bad.ogg", "not an ogg");
  EXPECT_FALSE(importer_.OpenMediaOrProject(bad));
  EXPECT_THAT(host_.pad_codes, ::testing::ElementsAre(2005));
  EXPECT_EQ(host_.recent.size(), 1u);
  ExpectNoSongLeft();
}

class ScriptedChooser : public SourceChooser {
 public:
  std::string ChooseSource(const FileDialogRequest& request) override {
    requests.push_back(request);
    return answer;
  }
  std::string answer;
  std::vector<FileDialogRequest> requests;
};

TEST_F(ImportTest, OpenCommandAsksShowsTheDialogAndOpens) {
  ScopedEnv env;
  env.Set("XDG_CONFIG_HOME", dir_.MakeDir("config").c_str());
  const std::string audio_folder = dir_.MakeDir("My Audio");
  dir_.WriteFile("config/Quaverly 3/Quaverly3.ini", "[Quaverly 3]\r\nAudioFilePath=" + audio_folder + "/\r\n");
  SourceImporter::set_open_dialog_folder("");

  ScriptedChooser chooser;
  EXPECT_FALSE(importer_.OpenCommand(&chooser));
  ASSERT_EQ(chooser.requests.size(), 1u);
  const FileDialogRequest& r = chooser.requests[0];
  EXPECT_EQ(r.title, "Select Source File...");
  EXPECT_EQ(r.initial_folder, audio_folder);
  ASSERT_EQ(r.filters.size(), 4u);
  EXPECT_EQ(r.filters[0].name, "All Openable Files (Audio, Video & Project Files)");
  EXPECT_THAT(r.filters[1].patterns, HasSubstr("*.flac;*.opus;*.aiff"));
  EXPECT_EQ(r.filters[2].patterns, "*.avi;*.mp4;*.m4v;*.mpg;*.mov;*.flv;*.wmv;*.rm");
  EXPECT_EQ(r.filters[3].patterns, "*.qvp");
  // A cancelled dialog leaves the unsaved song unsaved.
  EXPECT_FALSE(host_.Contains("saved 1"));

  chooser.answer = Sine("chosen.ogg", {"-c:a", "libvorbis"});
  EXPECT_TRUE(importer_.OpenCommand(&chooser));
  EXPECT_EQ(host_.source_path, chooser.answer);
  EXPECT_THAT(host_.recent, ::testing::ElementsAre(chooser.answer));
  // The next opening starts where the last file was chosen.
  chooser.answer.clear();
  EXPECT_FALSE(importer_.OpenCommand(&chooser));
  EXPECT_EQ(chooser.requests.back().initial_folder, media_);

  host_.ask_answer = false;
  const size_t before = chooser.requests.size();
  EXPECT_FALSE(importer_.OpenCommand(&chooser));
  EXPECT_EQ(chooser.requests.size(), before);
}

}  // namespace
}  // namespace qv3
