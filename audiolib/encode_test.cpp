#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audiolib/encode.h"

namespace qv3 {
namespace {

std::vector<float> Tone(int rate, int channels, int frames) {
  std::vector<float> x(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      x[static_cast<size_t>(i) * channels + c] = 0.5f * std::sin(2 * M_PI * 440 * i / rate);
    }
  }
  return x;
}

TEST(EncodeTest, Mp3FormatsFollowTheMpegVersionOfTheRate) {
  const auto cd = Mp3Formats(44100, 2);
  ASSERT_EQ(cd.size(), 14u);
  EXPECT_EQ(cd.front().kbps, 320);
  EXPECT_EQ(cd.back().kbps, 32);
  EXPECT_EQ(cd[3].description, "192 kBit/s, 44,100 Hz, Stereo");
  EXPECT_EQ(Mp3Formats(24000, 1).front().kbps, 160);
  EXPECT_EQ(Mp3Formats(8000, 1).front().kbps, 64);
  EXPECT_TRUE(Mp3Formats(96000, 2).empty());
  EXPECT_TRUE(Mp3Formats(44100, 3).empty());
}

TEST(EncodeTest, Mp3EncoderRefusesFormatsItDoesNotOfferAndReportsWriteErrors) {
  const std::string path = ::testing::TempDir() + "qv3_encode_" + std::to_string(getpid()) + ".mp3";
  Mp3Encoder enc;
  Mp3Format odd = Mp3Formats(44100, 2).front();
  odd.kbps = 150;
  EXPECT_FALSE(enc.Start(path, odd));
  EXPECT_EQ(enc.error(), 37);
  ASSERT_TRUE(enc.Start(path, Mp3Formats(44100, 2)[3]));
  const auto x = Tone(44100, 2, 44100);
  ASSERT_TRUE(enc.Write(x.data(), 44100));
  ASSERT_TRUE(enc.Stop());
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_NEAR(std::ftell(f), 192000 / 8, 3000);  // one second at 192 kbps
  std::fclose(f);
  std::remove(path.c_str());

  Mp3Encoder full;
  ASSERT_TRUE(full.Start("/dev/full", Mp3Formats(44100, 2)[3]));
  bool ok = true;
  for (int i = 0; i < 4 && ok; ++i) ok = full.Write(x.data(), 44100);
  EXPECT_FALSE(ok && full.Stop());
}

TEST(EncodeTest, WmaRatesAndFile) {
  const auto rates = WmaEncodeGetRates(44100, 2);
  ASSERT_FALSE(rates.empty());
  EXPECT_NE(std::find(rates.begin(), rates.end(), 128000), rates.end());
  EXPECT_TRUE(std::is_sorted(rates.rbegin(), rates.rend()));
  EXPECT_TRUE(WmaEncodeGetRates(44100, 3).empty());
  WmaEncoder enc;
  EXPECT_FALSE(enc.Open("/tmp/never.wma", 44100, 3, 128000));
  EXPECT_EQ(enc.error(), 37);
  const std::string path = ::testing::TempDir() + "qv3_encode_" + std::to_string(getpid()) + ".wma";
  ASSERT_TRUE(enc.Open(path, 44100, 2, 128000));
  std::vector<int16_t> s(44100 * 2, 1000);
  ASSERT_TRUE(enc.Write(s.data(), 44100));
  ASSERT_TRUE(enc.Close());
  EXPECT_EQ(access(path.c_str(), R_OK), 0);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace qv3
