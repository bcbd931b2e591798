#include "notefinder/note_finder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace qv3 {
namespace {

constexpr uint32_t kRate = 8000;
constexpr uint32_t kChans = 2;

enum class WavKind { kPcm16, kPcm24, kFloat };

// Writes interleaved stereo samples (already multiples of 1/32768, so every
// format holds them exactly) as a canonical WAV of the given kind.
void WriteWav(const std::string& path, const std::vector<float>& samples, WavKind kind) {
  const uint16_t bits = kind == WavKind::kPcm16 ? 16 : kind == WavKind::kPcm24 ? 24 : 32;
  const uint16_t tag = kind == WavKind::kFloat ? 3 : 1;
  const uint32_t block = kChans * bits / 8;
  const uint32_t data = static_cast<uint32_t>(samples.size() / kChans) * block;
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(tag);
  u16(kChans);
  u32(kRate);
  u32(kRate * block);
  u16(static_cast<uint16_t>(block));
  u16(bits);
  std::fwrite("data", 1, 4, f);
  u32(data);
  for (float s : samples) {
    if (kind == WavKind::kFloat) {
      std::fwrite(&s, 4, 1, f);
    } else {
      const int32_t v = static_cast<int32_t>(std::lrint(s * 32768.0f));
      if (kind == WavKind::kPcm16) {
        const int16_t v16 = static_cast<int16_t>(v);
        std::fwrite(&v16, 2, 1, f);
      } else {
        const int32_t v24 = v * 256;
        std::fwrite(&v24, 3, 1, f);  // little-endian low three bytes
      }
    }
  }
  std::fclose(f);
}

class NoteFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AudioInitManual(kRate, 0));
    dir_ = std::filesystem::temp_directory_path() / ("qv3_notefinder_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    finder_.FreeStream();
    AudioFree();
    std::filesystem::remove_all(dir_);
  }

  // Noise, so a shift of one frame anywhere shows.
  std::string MakeFile(size_t frames, WavKind kind = WavKind::kPcm16) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> dist(-16000, 16000);
    source_.resize(frames * kChans);
    for (float& s : source_) s = static_cast<float>(dist(rng)) / 32768.0f;
    const std::string path = (dir_ / ("song" + std::to_string(static_cast<int>(kind)) + ".wav")).string();
    WriteWav(path, source_, kind);
    return path;
  }

  std::vector<float> Advance(uint32_t frames) {
    std::vector<float> out(static_cast<size_t>(frames) * 2);
    EXPECT_TRUE(AudioAdvanceManual(frames, out.data()));
    return out;
  }

  // Frames of `out` that differ from the source frame `expected(i)` (or from
  // silence when it returns -1).
  template <typename F>
  int Mismatches(const std::vector<float>& out, F expected) {
    int bad = 0;
    for (size_t i = 0; i < out.size() / 2; ++i) {
      const long src = expected(i);
      for (uint32_t c = 0; c < 2; ++c) {
        const float want = src < 0 ? 0.0f : source_[static_cast<size_t>(src) * kChans + c];
        if (std::fabs(out[i * 2 + c] - want) > 1.5f / 32768.0f) {
          ++bad;
          break;
        }
      }
    }
    return bad;
  }

  std::filesystem::path dir_;
  std::vector<float> source_;
  NoteFinder finder_;
};

TEST_F(NoteFinderTest, SliceRepeatsSampleExactlyForEveryFileResolution) {
  for (WavKind kind : {WavKind::kPcm16, WavKind::kPcm24, WavKind::kFloat}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const std::string path = MakeFile(8000, kind);
    finder_.SetSampleRate(kRate);
    finder_.SetStart(0.125);  // frame 1000
    finder_.SetDurationFrames(300);
    ASSERT_TRUE(finder_.OpenStream(path));
    // The stream plays 16-bit samples whatever the file holds: a frame is
    // 4 bytes, not the file's 6 (24-bit) or 8 (float).
    EXPECT_EQ(finder_.bytes_per_frame(), 4u);
    EXPECT_EQ(finder_.start_frame(), 1000);
    const auto out = Advance(1650);
    EXPECT_EQ(Mismatches(out, [](size_t i) { return static_cast<long>(1000 + i % 300); }), 0);
    finder_.FreeStream();
  }
}

TEST_F(NoteFinderTest, ZeroFrameSliceStaysSilentAtItsStartAndLoopsOnceLengthened) {
  const std::string path = MakeFile(8000);
  finder_.SetSampleRate(kRate);
  finder_.SetStart(0.25);  // frame 2000
  finder_.SetDuration(0.0);
  ASSERT_TRUE(finder_.OpenStream(path));
  // The sync sits on the start itself: every mixer pass restarts at once
  // and the mixer returns (no endless loop inside it).
  const auto out = Advance(5000);
  EXPECT_EQ(Mismatches(out, [](size_t) { return -1L; }), 0);
  EXPECT_EQ(ChannelIsActive(finder_.stream()), kActivePlaying);
  EXPECT_EQ(ChannelGetPosition(finder_.stream(), kPosByte), 2000u * 4u);

  finder_.SetDurationFrames(100);
  const auto looped = Advance(450);
  EXPECT_EQ(Mismatches(looped, [](size_t i) { return static_cast<long>(2000 + i % 100); }), 0);
}

TEST_F(NoteFinderTest, SliceRunningPastTheEndStopsAtTheEndOfTheFile) {
  const std::string path = MakeFile(2000);
  finder_.SetSampleRate(kRate);
  finder_.SetStart(1900.0 / kRate);
  finder_.SetDurationFrames(500);
  ASSERT_TRUE(finder_.OpenStream(path));
  const auto out = Advance(1000);
  EXPECT_EQ(Mismatches(out, [](size_t i) { return i < 100 ? static_cast<long>(1900 + i) : -1L; }), 0);
  EXPECT_EQ(ChannelIsActive(finder_.stream()), kActiveStopped);
}

TEST_F(NoteFinderTest, AutoRepeatOffPausesAtOnceAndLaterSlicesPlayOnceToTheirNewEnd) {
  const std::string path = MakeFile(8000);
  finder_.SetSampleRate(kRate);
  finder_.SetStart(0.125);
  finder_.SetDurationFrames(300);
  ASSERT_TRUE(finder_.OpenStream(path));
  Advance(150);
  finder_.SetAutoRepeat(false);
  EXPECT_EQ(ChannelIsActive(finder_.stream()), kActivePaused);
  EXPECT_EQ(finder_.sync(), 0u);
  EXPECT_EQ(Mismatches(Advance(400), [](size_t) { return -1L; }), 0);

  // A longer slice with auto repeat off plays once to its new end (the sync
  // of the short slice is gone, not merely forgotten) and waits at its start.
  finder_.SetDurationFrames(600);
  const auto once = Advance(1000);
  EXPECT_EQ(Mismatches(once, [](size_t i) { return i < 600 ? static_cast<long>(1000 + i) : -1L; }), 0);
  EXPECT_EQ(ChannelIsActive(finder_.stream()), kActivePaused);
  EXPECT_EQ(ChannelGetPosition(finder_.stream(), kPosByte), 1000u * 4u);

  finder_.SetAutoRepeat(true);
  const auto again = Advance(1300);
  EXPECT_EQ(Mismatches(again, [](size_t i) { return static_cast<long>(1000 + i % 600); }), 0);
}

TEST_F(NoteFinderTest, SessionKeepsTheDurationAcrossOpeningsAndTakesClicksWhileOpen) {
  const std::string path = MakeFile(16000);
  NoteFinderSession session;
  double seconds = -1;
  EXPECT_FALSE(session.Click(&finder_, 500, 2.0, &seconds));

  session.Open(&finder_, kRate, 0.5, path);
  EXPECT_TRUE(session.is_open());
  EXPECT_EQ(finder_.duration_frames(), 0);  // nothing remembered yet
  EXPECT_EQ(finder_.start_frame(), 4000);
  EXPECT_NE(finder_.stream(), 0u);
  finder_.SetDurationFrames(400);
  session.Close(&finder_);
  EXPECT_FALSE(session.is_open());
  EXPECT_EQ(finder_.stream(), 0u);
  EXPECT_DOUBLE_EQ(session.remembered_duration(), 0.05);

  session.Open(&finder_, kRate, 1.0, path);
  EXPECT_EQ(finder_.duration_frames(), 400);
  EXPECT_TRUE(session.Click(&finder_, 1500, 2.0, &seconds));
  EXPECT_DOUBLE_EQ(seconds, 1.5);
  EXPECT_EQ(finder_.start_frame(), 12000);
  EXPECT_TRUE(session.Click(&finder_, 2000, 2.0, &seconds));  // the end itself counts
  EXPECT_FALSE(session.Click(&finder_, 2001, 2.0, &seconds));
  EXPECT_FALSE(session.Click(&finder_, -1, 2.0, &seconds));
  EXPECT_EQ(finder_.start_frame(), 16000);
  const auto out = Advance(900);
  // Frame 16000 is past the last one: the slice ends at once, silent.
  EXPECT_EQ(Mismatches(out, [](size_t) { return -1L; }), 0);
  session.Close(&finder_);
}

TEST_F(NoteFinderTest, StreamFailureIsSilentAndKeepsTheValues) {
  finder_.SetSampleRate(kRate);
  finder_.SetStart(0.5);
  finder_.SetDuration(0.01);
  EXPECT_FALSE(finder_.OpenStream((dir_ / "missing.wav").string()));
  EXPECT_EQ(finder_.stream(), 0u);
  EXPECT_EQ(finder_.start_frame(), 4000);
  EXPECT_EQ(finder_.duration_frames(), 80);
  finder_.SetAutoRepeat(false);  // no stream: nothing to do, no crash
  finder_.SetAutoRepeat(true);
  EXPECT_EQ(NoteFinder::FormatSeconds(0.01), "0.0100000");
  EXPECT_EQ(NoteFinder::FormatFrames(80), "80");
}

}  // namespace
}  // namespace qv3
