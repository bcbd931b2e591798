#include "editing/peak_scan.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/recording_ui.h"
#include "platform/testing/wav_fixture.h"

namespace qv3 {
namespace {

// Interleaved samples served in reads; optionally fails after some reads.
class MemorySource : public PeakSource {
 public:
  explicit MemorySource(std::vector<float> samples) : samples_(std::move(samples)) {}
  void Rewind() override {
    pos_ = 0;
    log_.push_back("rewind");
  }
  int64_t Read(float* buffer, int64_t max_floats) override {
    if (fail_after_reads_ >= 0 && reads_ >= fail_after_reads_) return -1;
    ++reads_;
    const int64_t n = std::min<int64_t>(max_floats, samples_.size() - pos_);
    if (n <= 0) return 0;
    std::memcpy(buffer, samples_.data() + pos_, n * sizeof(float));
    pos_ += n;
    log_.push_back("read " + std::to_string(n));
    return n;
  }
  int64_t pos() const { return pos_; }
  const std::vector<std::string>& log() const { return log_; }
  int fail_after_reads_ = -1;

 private:
  std::vector<float> samples_;
  int64_t pos_ = 0;
  int reads_ = 0;
  std::vector<std::string> log_;
};

TEST(PeakScanTest, TwoAndAHalfSecondsMonoGive2500PairsAndRewind) {
  ScopedRecordingUi ui;
  MemorySource source(std::vector<float>(110250, 0.25f));
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 1, 44100, &peaks));
  EXPECT_EQ(peaks.value_count, 5000);
  EXPECT_EQ(peaks.left.size(), 5000u);
  EXPECT_TRUE(peaks.right.empty());
  for (int16_t v : peaks.left) ASSERT_EQ(v, 8192);
  EXPECT_EQ(source.pos(), 0);
  ASSERT_GE(source.log().size(), 2u);
  EXPECT_EQ(source.log().front(), "rewind");
  EXPECT_EQ(source.log().back(), "rewind");
  EXPECT_THAT(source.log(), ::testing::Contains("read 44100"));
  EXPECT_THAT(source.log(), ::testing::Contains("read 22050"));
}

TEST(PeakScanTest, FractionalMillisecondsNeverYieldAnEmptyPair) {
  // 22050 Hz and 11025 Hz have fractional samples per millisecond; a
  // drifting running position used to add one empty millisecond at the end.
  ScopedRecordingUi ui;
  for (int rate : {22050, 11025, 44100}) {
    for (int channels : {1, 2}) {
      MemorySource source(std::vector<float>(static_cast<size_t>(rate) * channels * 3 / 2, -0.5f));
      PeakSet peaks;
      ASSERT_TRUE(ScanPeaks(source, channels, rate, &peaks));
      EXPECT_EQ(peaks.value_count, 3000) << rate << " Hz, " << channels << " channels";
      for (int16_t v : peaks.left) ASSERT_EQ(v, -16384) << rate;
      for (int16_t v : peaks.right) ASSERT_EQ(v, -16384) << rate;
    }
  }
}

TEST(PeakScanTest, SquareWaveGivesExactValuesPerMillisecond) {
  // 48 kHz: 48 samples per millisecond; +0.5 for 10 ms, then -0.75 for 10 ms.
  ScopedRecordingUi ui;
  std::vector<float> samples(48000);
  for (size_t k = 0; k < samples.size(); ++k) samples[k] = (k / 480) % 2 == 0 ? 0.5f : -0.75f;
  MemorySource source(samples);
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 1, 48000, &peaks));
  ASSERT_EQ(peaks.value_count, 2000);
  for (int m = 0; m < 1000; ++m) {
    const int16_t expected = (m / 10) % 2 == 0 ? 16384 : -24576;
    ASSERT_EQ(peaks.left[2 * m], expected) << m;
    ASSERT_EQ(peaks.left[2 * m + 1], expected) << m;
  }
}

TEST(PeakScanTest, MillisecondStartsRoundHalfUpThenDownToEven) {
  // 44.1 samples per millisecond: millisecond 15 starts at 661.5, rounded up
  // to 662 (even). Samples 660 and 661 fall between milliseconds 14 and 15.
  ScopedRecordingUi ui;
  struct Case {
    int spike;
    int millisecond;  // -1: in no millisecond
  };
  for (Case c : {Case{662, 15}, Case{661, -1}, Case{705, 15}, Case{659, 14}, Case{220, 5}, Case{219, 4}}) {
    std::vector<float> samples(44100, 0.0f);
    samples[c.spike] = 0.5f;
    MemorySource source(samples);
    PeakSet peaks;
    ASSERT_TRUE(ScanPeaks(source, 1, 44100, &peaks));
    for (int m = 0; m < 1000; ++m) {
      ASSERT_EQ(peaks.left[2 * m], m == c.millisecond ? 16384 : 0) << "spike " << c.spike << " ms " << m;
      ASSERT_EQ(peaks.left[2 * m + 1], 0);
    }
  }
}

TEST(PeakScanTest, FullScaleIsClampedAndSmallValuesTruncateTowardZero) {
  ScopedRecordingUi ui;
  // Four milliseconds at 2 kHz mono: two samples each.
  MemorySource source({1.0f, 1.0f, -1.0f, -1.0f, 1.5f, -2.0f, -0.00002f, 0.00002f});
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 1, 2000, &peaks));
  ASSERT_EQ(peaks.value_count, 8);
  EXPECT_THAT(peaks.left, ::testing::ElementsAre(32767, 32767, -32768, -32768, 32767, -32768, 0, 0));
}

TEST(PeakScanTest, NanSamplesNeverBecomePeaks) {
  ScopedRecordingUi ui;
  const float nan = std::nanf("");
  // 2 kHz stereo: two frames per millisecond, 20 frames (enough for the
  // vector path) with NaNs among ordinary samples, and one all-NaN ms.
  std::vector<float> samples;
  for (int f = 0; f < 20; ++f) {
    samples.push_back(f == 3 ? nan : (f == 5 ? 0.5f : 0.0f));
    samples.push_back(f == 3 ? -0.25f : (f == 4 ? nan : 0.0f));
  }
  samples.push_back(nan);
  samples.push_back(nan);
  samples.push_back(nan);
  samples.push_back(nan);
  MemorySource source(samples);
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 2, 2000, &peaks));
  ASSERT_EQ(peaks.value_count, 22);
  EXPECT_EQ(peaks.left[2], 0);  // ms 1: frames 2, 3 (NaN)
  EXPECT_EQ(peaks.left[3], 0);
  EXPECT_EQ(peaks.right[3], -8192);
  EXPECT_EQ(peaks.left[4], 16384);  // ms 2: frames 4 (right NaN), 5
  EXPECT_EQ(peaks.right[4], 0);
  // A millisecond of nothing but NaN keeps the search's start values.
  EXPECT_EQ(peaks.left[20], -32768);
  EXPECT_EQ(peaks.left[21], 32767);
}

TEST(PeakScanTest, ReadEndingInsideAFrameGivesTheLeftSampleOnly) {
  ScopedRecordingUi ui;
  MemorySource source({0.5f, -0.5f, 0.25f, -0.25f, 0.125f});  // 2 kHz stereo, half a third frame
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 2, 2000, &peaks));
  ASSERT_EQ(peaks.value_count, 4);
  EXPECT_THAT(peaks.left, ::testing::ElementsAre(16384, 8192, 4096, 4096));
  EXPECT_THAT(peaks.right, ::testing::ElementsAre(-8192, -16384, -32768, 32767));
}

TEST(PeakScanTest, LongMillisecondsMatchAPlainSearch) {
  // 96 kHz stereo: 96 frames per millisecond through the vector path, with
  // the extremes placed in every lane position.
  ScopedRecordingUi ui;
  std::vector<float> samples(2 * 96000);
  uint32_t rng = 1;
  for (float& x : samples) {
    rng = rng * 1664525u + 1013904223u;
    x = static_cast<float>(static_cast<int32_t>(rng) / 2147483648.0 * 0.9);
  }
  MemorySource source(samples);
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 2, 96000, &peaks));
  ASSERT_EQ(peaks.value_count, 2000);
  for (int m = 0; m < 1000; ++m) {
    for (int c = 0; c < 2; ++c) {
      float mx = -1.0f, mn = 1.0f;
      for (int f = 96 * m; f < 96 * m + 96; ++f) {
        mx = std::max(mx, samples[2 * f + c]);
        mn = std::min(mn, samples[2 * f + c]);
      }
      const std::vector<int16_t>& out = c == 0 ? peaks.left : peaks.right;
      ASSERT_EQ(out[2 * m], static_cast<int16_t>(mx * 32768.0)) << m;
      ASSERT_EQ(out[2 * m + 1], static_cast<int16_t>(mn * 32768.0)) << m;
    }
  }
}

TEST(PeakScanTest, StereoChannelsAreKeptApart) {
  ScopedRecordingUi ui;
  std::vector<float> samples;
  for (int f = 0; f < 44100; ++f) {
    samples.push_back(f % 2 == 0 ? 0.5f : 0.25f);   // left: 0.25 .. 0.5
    samples.push_back(f % 3 == 0 ? -0.5f : -0.125f);  // right: -0.5 .. -0.125
  }
  MemorySource source(samples);
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 2, 44100, &peaks));
  ASSERT_EQ(peaks.value_count, 2000);
  ASSERT_EQ(peaks.right.size(), 2000u);
  for (int m = 0; m < 1000; ++m) {
    ASSERT_EQ(peaks.left[2 * m], 16384);
    ASSERT_EQ(peaks.left[2 * m + 1], 8192);
    ASSERT_EQ(peaks.right[2 * m], -4096);
    ASSERT_EQ(peaks.right[2 * m + 1], -16384);
  }
}

TEST(PeakScanTest, OnlyOneOrTwoChannelsAreScanned) {
  ScopedRecordingUi ui;
  PeakSet peaks;
  peaks.left.assign(10, 5);
  peaks.value_count = 10;
  MemorySource six(std::vector<float>(6 * 4410, 0.1f));
  EXPECT_FALSE(ScanPeaks(six, 6, 44100, &peaks));
  EXPECT_EQ(peaks.value_count, 0);
  EXPECT_TRUE(peaks.left.empty());
  EXPECT_FALSE(ScanPeaks(six, 0, 44100, &peaks));
  // A rate with no sample in a millisecond is refused rather than invented.
  EXPECT_FALSE(ScanPeaks(six, 1, 0, &peaks));
  EXPECT_FALSE(ScanPeaks(six, 1, 999, &peaks));
  EXPECT_TRUE(ui->status_texts.empty());
  EXPECT_TRUE(ui->messages.empty());

  // The callers' report of the refusal.
  EXPECT_FALSE(ScanPeaksOrReport(six, 6, 44100, &peaks));
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "Failed to Scan the Audio Peaks.");
  EXPECT_EQ(ui->messages[0].caption, "Read Error");
  MemorySource mono(std::vector<float>(4410, 0.1f));
  EXPECT_TRUE(ScanPeaksOrReport(mono, 1, 44100, &peaks));
  EXPECT_EQ(ui->messages.size(), 1u);
}

TEST(PeakScanTest, ShortLastReadStopsAtTheDataRead) {
  ScopedRecordingUi ui;
  // One loud second, then 100 quiet samples: the rest of the buffer still
  // holds the loud second and must not leak into the last milliseconds.
  std::vector<float> samples(44100, 0.9f);
  samples.insert(samples.end(), 100, 0.125f);
  MemorySource source(samples);
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 1, 44100, &peaks));
  ASSERT_EQ(peaks.value_count, 2006);  // milliseconds starting at 0, 44.1, 88.2
  for (int m = 1000; m < 1003; ++m) {
    EXPECT_EQ(peaks.left[2 * m], 4096) << m;
    EXPECT_EQ(peaks.left[2 * m + 1], 4096) << m;
  }
}

TEST(PeakScanTest, FileShorterThanASecondUsesOnlyItsSamples) {
  ScopedRecordingUi ui;
  MemorySource source(std::vector<float>(2 * 300, -0.25f));  // 300 frames stereo
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 2, 44100, &peaks));
  ASSERT_EQ(peaks.value_count, 14);  // 300 / 44.1 = 6.8: seven started milliseconds
  for (int16_t v : peaks.left) EXPECT_EQ(v, -8192);
  for (int16_t v : peaks.right) EXPECT_EQ(v, -8192);
}

TEST(PeakScanTest, ReadErrorKeepsWhatWasScanned) {
  ScopedRecordingUi ui;
  MemorySource source(std::vector<float>(3 * 8000, 0.0f));
  source.fail_after_reads_ = 2;
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 1, 8000, &peaks));
  EXPECT_EQ(peaks.value_count, 4000);
  EXPECT_EQ(source.pos(), 0);
}

TEST(PeakScanTest, ProgressTextAfterThe999thPairAndEvery1000After) {
  ScopedRecordingUi ui;
  MemorySource source(std::vector<float>(60500, 0.0f));  // 60.5 s at 1 kHz
  PeakSet peaks;
  ASSERT_TRUE(ScanPeaks(source, 1, 1000, &peaks));
  EXPECT_EQ(peaks.value_count, 121000);
  ASSERT_EQ(ui->status_texts.size(), 60u);
  EXPECT_EQ(ui->status_texts[0], "Scanning Peaks... 0:01");
  EXPECT_EQ(ui->status_texts[58], "Scanning Peaks... 0:59");
  EXPECT_EQ(ui->status_texts[59], "Scanning Peaks... 1:00");
  EXPECT_GE(ui->pumps, 60);

  ScopedRecordingUi ui2;
  MemorySource just_short(std::vector<float>(998, 0.0f));
  ASSERT_TRUE(ScanPeaks(just_short, 1, 1000, &peaks));
  EXPECT_TRUE(ui2->status_texts.empty());
  MemorySource exactly(std::vector<float>(999, 0.0f));
  ASSERT_TRUE(ScanPeaks(exactly, 1, 1000, &peaks));
  EXPECT_THAT(ui2->status_texts, ::testing::ElementsAre("Scanning Peaks... 0:01"));
}

// ---- Through the audio library's float decoding stream ----

using ::qv3::testing_support::WriteWav16;

class AudiolibPeakScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("qv3_peak_scan_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_TRUE(AudioInit(0, 44100, 0));
  }
  void TearDown() override {
    AudioFree();
    std::filesystem::remove_all(dir_);
  }
  StreamHandle Open(const std::vector<int16_t>& samples, int rate, int channels) {
    const std::string path = (dir_ / ("song" + std::to_string(files_++) + ".wav")).string();
    if (!WriteWav16(path, samples, rate, channels)) return 0;
    return StreamCreateFile(path.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  }
  std::filesystem::path dir_;
  int files_ = 0;
};

TEST_F(AudiolibPeakScanTest, MonoSquareWaveAndStereoChannelsFromAWav) {
  ScopedRecordingUi ui;
  // 2.5 s mono at 44.1 kHz: 10 ms at +0.5, 10 ms at -0.5 (441 samples each).
  std::vector<int16_t> mono(110250);
  for (size_t k = 0; k < mono.size(); ++k) mono[k] = (k / 441) % 2 == 0 ? 16384 : -16384;
  const StreamHandle m = Open(mono, 44100, 1);
  ASSERT_NE(m, 0u) << ErrorGetCode();
  ChannelGetData(m, std::vector<float>(1000).data(), 4000 | kDataFloat);  // not at 0 before
  PeakSet peaks;
  ASSERT_TRUE(ScanChannelPeaks(m, &peaks));
  EXPECT_EQ(peaks.value_count, 5000);
  EXPECT_EQ(ChannelGetPosition(m, kPosByte), 0u);
  EXPECT_EQ(peaks.left[2 * 3], 16384);
  EXPECT_EQ(peaks.left[2 * 3 + 1], 16384);
  EXPECT_EQ(peaks.left[2 * 13], -16384);
  EXPECT_EQ(peaks.left[2 * 2499 + 1], -16384);
  StreamFree(m);

  std::vector<int16_t> stereo;
  for (int f = 0; f < 30000; ++f) {
    stereo.push_back(8192);
    stereo.push_back(-16384);
  }
  const StreamHandle s = Open(stereo, 44100, 2);
  ASSERT_NE(s, 0u);
  ASSERT_TRUE(ScanChannelPeaks(s, &peaks));
  EXPECT_EQ(peaks.value_count, 2 * 681);  // 30000 / 44.1 = 680.3 milliseconds
  for (int i = 0; i < peaks.value_count; ++i) {
    ASSERT_EQ(peaks.left[i], 8192) << i;
    ASSERT_EQ(peaks.right[i], -16384) << i;
  }
  StreamFree(s);
  EXPECT_THAT(ui->status_texts, ::testing::ElementsAre("Scanning Peaks... 0:01", "Scanning Peaks... 0:02"));
}

TEST_F(AudiolibPeakScanTest, SixChannelsAreRefused) {
  ScopedRecordingUi ui;
  const StreamHandle h = Open(std::vector<int16_t>(6 * 4410, 1000), 44100, 6);
  ASSERT_NE(h, 0u) << ErrorGetCode();
  PeakSet peaks;
  EXPECT_FALSE(ScanChannelPeaks(h, &peaks));
  EXPECT_EQ(peaks.value_count, 0);
  StreamFree(h);
}

}  // namespace
}  // namespace qv3
