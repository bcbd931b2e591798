#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "editing/export_commands.h"
#include "editing/export_external_encoder.h"
#include "editing/export_job.h"
#include "editing/export_render.h"
#include "editing/export_test_support.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

using export_test::DecodedSeconds;
using export_test::Probe;
using export_test::ReadWav16;
using export_test::ScriptedDialogs;
using export_test::WriteSong;

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "qv3_export_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    song_.audio_path = dir_ + "/song.wav";
    song_.source_path = dir_ + "/Original.mp3";
    song_.volume_slider = 100;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  ExportResult Export(const std::string& path, int scope, ExportDialogs* dialogs = nullptr) {
    completes_ = 0;
    ScriptedDialogs fallback;
    return ExportToFile(path, scope, song_, dialogs ? dialogs : &fallback, tools_,
                        [this] { ++completes_; }, &stats_);
  }

  std::string dir_;
  ExportSong song_;
  ExportTools tools_{std::string(QV3_TEST_BIN_DIR) + "/qv3-aacenc"};
  ExportStats stats_;
  int completes_ = 0;
};

TEST(ExportPlanTest, SongSectionsFollowTimeOrderWithoutGapsOrOverlaps) {
  ExportSong song;
  song.master_tempo = 8000;
  song.master_pitch = 100;
  // Created late loop first: the list is in creation order.
  song.loops = {{"B", 3.0, 4.0, 0, 20000}, {"A", 1.0, 2.0, -200, 5000}};
  const auto s = PlanExportSections(song, kExportScopeSong, 1000, 5500);
  ASSERT_EQ(s.size(), 5u);
  int64_t cursor = 0;
  for (const auto& sec : s) {
    EXPECT_EQ(sec.start_frame, cursor);
    cursor = sec.end_frame;
  }
  EXPECT_EQ(cursor, 5500);
  EXPECT_EQ(s[1].start_frame, 1000);
  EXPECT_EQ(s[1].tempo, 5000);
  EXPECT_EQ(s[1].pitch, -200);
  EXPECT_EQ(s[3].tempo, 20000);
  EXPECT_EQ(s[4].tempo, 8000);
  EXPECT_EQ(s[4].pitch, 100);
  // 1000/0.8 + 1000/0.5 + 1000/0.8 + 1000/2 + 1500/0.8 samples x 2 channels.
  EXPECT_DOUBLE_EQ(ExportExpectedSamples(s, 2), 2 * (1250 + 2000 + 1250 + 500 + 1875));

  const auto all = PlanExportSections(song, kExportScopeAllLoops, 1000, 5500);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].start_frame, 3000);  // list order
  EXPECT_EQ(all[1].start_frame, 1000);
  EXPECT_EQ(PlanExportSections(song, 1, 1000, 5500).front().end_frame, 2000);
  EXPECT_TRUE(PlanExportSections(song, 2, 1000, 5500).empty());
  // A loop reaching past the end is clipped to the stream.
  song.loops = {{"C", 5.0, 9.0, 0, 10000}};
  EXPECT_EQ(PlanExportSections(song, 0, 1000, 5500).front().end_frame, 5500);
  EXPECT_EQ(PlanExportSections(song, kExportScopeSong, 1000, 5500).size(), 2u);
}

TEST(ExportPlanTest, FormatByEndingAndSampleConversion) {
  EXPECT_EQ(ExportFormatOfPath("/a/SONG.M4A"), ExportFormat::kMp4);
  EXPECT_EQ(ExportFormatOfPath("/a/x.mp4"), ExportFormat::kMp4);
  EXPECT_EQ(ExportFormatOfPath("/a/x.Mp3"), ExportFormat::kMp3);
  EXPECT_EQ(ExportFormatOfPath("/a/x.aac"), ExportFormat::kAac);
  EXPECT_EQ(ExportFormatOfPath("/a/x.wma"), ExportFormat::kWma);
  EXPECT_EQ(ExportFormatOfPath("/a/x.ogg"), ExportFormat::kWav);
  EXPECT_EQ(ExportFormatOfPath("mp3"), ExportFormat::kWav);
  EXPECT_DOUBLE_EQ(ExportVolumeFactor(100), 0.95);
  EXPECT_EQ(ExportSample16(0.5f), 16384);
  EXPECT_EQ(ExportSample16(-0.99999f), -32767);  // toward zero
  EXPECT_EQ(ExportSample16(1.5f), 32767);
  EXPECT_EQ(ExportSample16(-1.5f), -32768);
  EXPECT_EQ(RateWithComma(44100), "44,100");
  EXPECT_EQ(RateWithComma(8000), "8,000");
}

TEST_F(ExportTest, StraightWavIsTheSourceTimesPoint95WithProgressAndCompletion) {
  const auto source = WriteSong(song_.audio_path, 22050, 2, 50000);
  ScopedRecordingUi ui;
  const std::string out = Path("out.wav");
  ASSERT_EQ(Export(out, kExportScopeSong), ExportResult::kDone);
  EXPECT_EQ(completes_, 1);
  const auto got = ReadWav16(out);
  ASSERT_EQ(got.size(), source.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_NEAR(got[i], source[i] * 0.95, 1.0) << i;
  }
  ASSERT_FALSE(ui->status_texts.empty());
  EXPECT_EQ(ui->status_texts.front(), "Export... 44.1 %");  // 22050 of 50000 frames
  EXPECT_EQ(ui->status_texts.back(), "Export... 100.0 %");
  EXPECT_GT(ui->pumps, 0);
  EXPECT_TRUE(ui->messages.empty());
  auto facts = Probe(out);
  EXPECT_EQ(facts["codec_name"], "pcm_s16le");
  EXPECT_EQ(facts["sample_rate"], "22050");
  EXPECT_EQ(facts["channels"], "2");
}

TEST_F(ExportTest, SongWithLoopsAtHalfAndDoubleTempoHasTheExactLength) {
  WriteSong(song_.audio_path, 16000, 1, 64000);  // 4 s mono
  song_.loops = {{"fast", 2.5, 3.5, 0, 20000}, {"slow", 0.5, 1.5, 300, 5000}};
  song_.volume_slider = 50;
  ScopedRecordingUi ui;
  ASSERT_EQ(Export(Path("out.wav"), kExportScopeSong), ExportResult::kDone);
  // 0.5 s + 1 s x 2 + 1 s + 1 s / 2 + 0.5 s.
  const int64_t expected = 8000 + 32000 + 16000 + 8000 + 8000;
  EXPECT_EQ(stats_.frames_written, expected);
  EXPECT_EQ(static_cast<int64_t>(ReadWav16(Path("out.wav")).size()), expected);
  EXPECT_EQ(ui->status_texts.back(), "Export... 100.0 %");
  // Straight sections sit exactly where the walk puts them: the first half
  // second, then the part between the loops after 0.5 + 2 s of output.
  const auto source = ReadWav16(song_.audio_path);
  const auto out = ReadWav16(Path("out.wav"));
  for (int i : {0, 7999, 40000, 55999}) {
    const int src = i < 8000 ? i : i - 40000 + 24000;
    EXPECT_NEAR(out[i], source[src] * 0.475, 1.0) << i;
  }
}

TEST_F(ExportTest, AllLoopsAreWrittenBackToBackInListOrder) {
  const auto source = WriteSong(song_.audio_path, 8000, 2, 40000);
  song_.loops = {{"L2", 3.0, 4.0, 0, 10000}, {"L1", 0.5, 1.25, 0, 10000}};
  ScopedRecordingUi ui;
  ASSERT_EQ(Export(Path("loops.wav"), kExportScopeAllLoops), ExportResult::kDone);
  const auto out = ReadWav16(Path("loops.wav"));
  ASSERT_EQ(out.size(), (8000u + 6000u) * 2);
  for (size_t i = 0; i < out.size(); ++i) {
    const size_t src = i < 16000 ? 48000 + i : 8000 + (i - 16000);
    ASSERT_NEAR(out[i], source[src] * 0.95, 1.0) << i;
  }
  // With a tempo, the second loop takes twice its length.
  song_.loops[1].tempo = 5000;
  ASSERT_EQ(Export(Path("loops2.wav"), kExportScopeAllLoops), ExportResult::kDone);
  EXPECT_EQ(ReadWav16(Path("loops2.wav")).size(), (8000u + 12000u) * 2);
  // One loop alone.
  ASSERT_EQ(Export(Path("one.wav"), 1), ExportResult::kDone);
  EXPECT_EQ(ReadWav16(Path("one.wav")).size(), 12000u * 2);
}

TEST_F(ExportTest, EachFormatIsWhatAnIndependentDecoderSees) {
  WriteSong(song_.audio_path, 44100, 2, 44100 * 3 / 2);
  ScopedRecordingUi ui;
  struct Case {
    std::string name, codec, container;
  } cases[] = {
      {"a.mp3", "mp3", "mp3"},       {"SONG.M4A", "aac", "mov,mp4,m4a,3gp,3g2,mj2"},
      {"b.mp4", "aac", "mov,mp4,m4a,3gp,3g2,mj2"}, {"c.aac", "aac", "aac"},
      {"d.wma", "wmav2", "asf"},     {"e.ogg", "pcm_s16le", "wav"},
  };
  for (const auto& c : cases) {
    if (c.codec == "aac" && access(tools_.aac_encoder.c_str(), X_OK) != 0) continue;
    ScriptedDialogs dialogs;
    ASSERT_EQ(Export(Path(c.name), kExportScopeSong, &dialogs), ExportResult::kDone) << c.name;
    auto facts = Probe(Path(c.name));
    EXPECT_EQ(facts["codec_name"], c.codec) << c.name;
    EXPECT_EQ(facts["format_name"], c.container) << c.name;
    EXPECT_EQ(facts["sample_rate"], "44100") << c.name;
    EXPECT_EQ(facts["channels"], "2") << c.name;
    EXPECT_NEAR(DecodedSeconds(Path(c.name), 44100, 2), 1.5, 0.06) << c.name;
  }
  EXPECT_TRUE(ui->messages.empty()) << ui->messages.front().text;
}

TEST_F(ExportTest, CancelInAChooserWritesNothingAndShowsNothing) {
  WriteSong(song_.audio_path, 44100, 2, 4410);
  ScopedRecordingUi ui;
  for (const char* name : {"a.mp3", "b.m4a", "c.aac", "d.wma"}) {
    ScriptedDialogs dialogs;
    dialogs.cancel = true;
    EXPECT_EQ(Export(Path(name), kExportScopeSong, &dialogs), ExportResult::kCancelled);
    EXPECT_FALSE(std::filesystem::exists(Path(name))) << name;
  }
  EXPECT_TRUE(ui->messages.empty());
  EXPECT_TRUE(ui->status_texts.empty());
  EXPECT_EQ(completes_, 0);
}

TEST_F(ExportTest, OfferedFormatsAndTheRateWithoutAnMp3Format) {
  WriteSong(song_.audio_path, 96000, 1, 9600);
  ScopedRecordingUi ui;
  ScriptedDialogs dialogs;
  EXPECT_EQ(Export(Path("x.mp3"), kExportScopeSong, &dialogs), ExportResult::kFailed);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "Could not start the encoder.  Error code was 37 - format not available.\n\nOne "
            "possible solution: Try a Sample Rate that is the same as the original (96,000Hz)");
  EXPECT_FALSE(std::filesystem::exists(Path("x.mp3")));

  // The chooser lists only the stream's rate and channel count.
  WriteSong(song_.audio_path, 22050, 1, 2205);
  ASSERT_EQ(Export(Path("y.mp3"), kExportScopeSong, &dialogs), ExportResult::kDone);
  ASSERT_FALSE(dialogs.offered_mp3.empty());
  for (const auto& f : dialogs.offered_mp3) {
    EXPECT_EQ(f.sample_rate, 22050);
    EXPECT_EQ(f.channels, 1);
    EXPECT_LE(f.kbps, 160);
  }
  EXPECT_EQ(dialogs.offered_mp3.front().description, "160 kBit/s, 22,050 Hz, Mono");
  // The WMA dialog offers the CD-quality rates; a 22050 Hz mono stream takes one.
  ASSERT_EQ(Export(Path("y.wma"), kExportScopeSong, &dialogs), ExportResult::kDone);
  EXPECT_EQ(dialogs.offered_wma, WmaEncodeGetRates(44100, 2));
  EXPECT_FALSE(dialogs.offered_wma.empty());
}

TEST_F(ExportTest, AacEncoderFailuresAreReportedNotCompleted) {
  WriteSong(song_.audio_path, 44100, 2, 44100);
  ScopedRecordingUi ui;
  tools_.aac_encoder = Path("no such encoder");
  EXPECT_EQ(Export(Path("a.aac"), kExportScopeSong), ExportResult::kFailed);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "Could not start the AAC encoder.  Error code was 2");
  // An encoder that reads nothing and exits: the broken pipe ends the export
  // with its exit status instead of a SIGPIPE ending this program.
  tools_.aac_encoder = "/bin/false";
  EXPECT_EQ(Export(Path("b.aac"), kExportScopeSong), ExportResult::kFailed);
  ASSERT_EQ(ui->messages.size(), 2u);
  EXPECT_EQ(ui->messages[1].text, "Could not start the AAC encoder.  Error code was 1");
  EXPECT_EQ(completes_, 0);
}

TEST(ExportEncoderTest, ArgumentsKeepAPathWithQuotesWhole) {
  const auto argv = AacEncoderArguments("/opt/my enc/faac", "-q 100 -c 16000 --mpeg-vers 4", "-w",
                                        "/m/it's \"x\".m4a");
  const std::vector<std::string> expected = {"/opt/my enc/faac", "-q", "100", "-c", "16000",
                                             "--mpeg-vers", "4", "-w", "-o",
                                             "/m/it's \"x\".m4a", "-"};
  EXPECT_EQ(argv, expected);
  EXPECT_EQ(AacEncoderArguments("faac", "-q 90", "", "o.aac").size(), 6u);
}

TEST_F(ExportTest, AFullDiskIsReportedAndLeavesNoFileLookingComplete) {
  WriteSong(song_.audio_path, 44100, 2, 44100 * 2);
  ScopedRecordingUi ui;
  EXPECT_EQ(Export("/dev/full", kExportScopeSong), ExportResult::kFailed);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_NE(ui->messages[0].text.find("/dev/full"), std::string::npos);
  EXPECT_EQ(completes_, 0);

  // A file size limit stands in for a disk that fills up mid-export.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100000;
  setrlimit(RLIMIT_FSIZE, &small);
  const ExportResult wav = Export(Path("full.wav"), kExportScopeSong);
  const ExportResult mp3 = Export(Path("full.mp3"), kExportScopeSong);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(wav, ExportResult::kFailed);
  EXPECT_FALSE(std::filesystem::exists(Path("full.wav")));
  EXPECT_EQ(mp3, ExportResult::kDone);  // 2 s of MP3 fit the limit
  ASSERT_EQ(ui->messages.size(), 2u);
  EXPECT_EQ(ui->messages[1].text,
            "Error writing to the Export File:\n\n\t" + Path("full.wav") +
                "\n\nIs the file write protected, or is the disk full?");
}

TEST_F(ExportTest, MissingAudioIsReported) {
  ScopedRecordingUi ui;
  EXPECT_EQ(Export(Path("x.wav"), kExportScopeSong), ExportResult::kFailed);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "Can't open file: \"" + song_.audio_path + "\"");
  EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));
}

}  // namespace
}  // namespace qv3
