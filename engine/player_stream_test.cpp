#include "engine/player_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/player_test_support.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

using testing_support::WriteWav;

TEST(ConvertToPcm16Test, ScalesBy21400TruncatesAndSaturates) {
  EXPECT_EQ(ScaleToPcm16(1.0f), 21400);
  EXPECT_EQ(ScaleToPcm16(-0.5f), -10700);
  EXPECT_EQ(ScaleToPcm16(0.99999f), 21399);
  EXPECT_EQ(ScaleToPcm16(-0.99999f), -21399);  // toward zero, not down
  EXPECT_EQ(ScaleToPcm16(0.0f), 0);
  // Beyond about 1.53 of full scale the product leaves the 16-bit range.
  EXPECT_EQ(ScaleToPcm16(1.5f), 32100);
  EXPECT_EQ(ScaleToPcm16(1.6f), 32767);
  EXPECT_EQ(ScaleToPcm16(-1.6f), -32768);
  EXPECT_EQ(ScaleToPcm16(1e30f), 32767);
  EXPECT_EQ(ScaleToPcm16(std::numeric_limits<float>::infinity()), 32767);
  EXPECT_EQ(ScaleToPcm16(-std::numeric_limits<float>::infinity()), -32768);
  EXPECT_EQ(ScaleToPcm16(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(ConvertToPcm16Test, InterleavesStereoAndKeepsMonoOneSamplePerFrame) {
  std::vector<float> l = {1.0f, 0.5f, -1.0f}, r = {-0.5f, 0.25f, 2.0f};
  float* planar[2] = {l.data(), r.data()};
  std::vector<int16_t> out(6, 7);
  ConvertToPcm16(planar, 2, 3, out.data());
  EXPECT_EQ(out, (std::vector<int16_t>{21400, -10700, 10700, 5350, -21400, 32767}));

  std::vector<int16_t> mono(4, 7);
  ConvertToPcm16(planar, 1, 3, mono.data());
  EXPECT_EQ(mono, (std::vector<int16_t>{21400, 10700, -21400, 7}));  // nothing past 3 frames
}

class SourceReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioFree();
    ASSERT_TRUE(AudioInitManual(44100, 0));
  }
  void TearDown() override {
    if (s_.decode_stream) StreamFree(s_.decode_stream);
    AudioFree();
  }
  // A float stereo file: left (frame index mod 16384) / 32768, right its negation.
  void OpenRamp(int64_t frames) {
    std::string path = dir_.Sub("ramp.wav");
    ASSERT_TRUE(WriteWav(path, 44100, 2, frames,
                         [](int64_t i, int c) { return float(c ? -(i % 16384) : (i % 16384)) / 32768.0f; },
                         SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    s_.decode_stream = StreamCreateFile(path.c_str(), 0, 0, kSampleFloat | kStreamDecode);
    ASSERT_NE(s_.decode_stream, 0u);
    ASSERT_TRUE(ChannelGetInfo(s_.decode_stream, &s_.channel_info));
    read_buffer_.assign(size_t(2) * kPlayerBlockFrames + 16, 12345.0f);
    s_.read_buffer = read_buffer_.data();
  }
  TempDir dir_;
  PlayerStream s_;
  std::vector<float> read_buffer_;
};

TEST_F(SourceReadTest, ServesRequestsLargerThanItsBufferInParts) {
  OpenRamp(50000);
  std::vector<float> l(40000), r(40000);
  float* bufs[2] = {l.data(), r.data()};
  int got = PlayerSourceRead(bufs, 40000, &s_);
  EXPECT_EQ(got, 40000 * 8);  // bytes, as the library counts them
  for (int i = 0; i < 40000; i += 997) {
    ASSERT_FLOAT_EQ(l[size_t(i)], float(i % 16384) / 32768.0f) << i;
    ASSERT_FLOAT_EQ(r[size_t(i)], -float(i % 16384) / 32768.0f) << i;
  }
  // Never wrote past its buffer of channels x 16384 floats.
  EXPECT_EQ(read_buffer_[size_t(2) * kPlayerBlockFrames], 12345.0f);

  // The rest: 10000 frames then the end; frames not supplied stay as they were.
  std::fill(l.begin(), l.end(), 0.0f);
  got = PlayerSourceRead(bufs, 40000, &s_);
  EXPECT_EQ(got, 10000 * 8);
  EXPECT_FLOAT_EQ(l[9999], float(49999 % 16384) / 32768.0f);
  EXPECT_EQ(l[10000], 0.0f);
  EXPECT_LE(PlayerSourceRead(bufs, 100, &s_), 0);
}

TEST_F(SourceReadTest, RejectsMissingBuffersAndUserData) {
  OpenRamp(100);
  std::vector<float> l(10), r(10);
  float* bufs[2] = {l.data(), r.data()};
  EXPECT_EQ(PlayerSourceRead(bufs, 10, nullptr), -1);
  EXPECT_EQ(PlayerSourceRead(nullptr, 10, &s_), -1);
  EXPECT_EQ(PlayerSourceRead(bufs, 0, &s_), -1);
}

}  // namespace
}  // namespace qv3
