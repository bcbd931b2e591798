#include "editing/wav_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

uint32_t U32(const std::string& d, size_t at) {
  return static_cast<uint8_t>(d[at]) | static_cast<uint8_t>(d[at + 1]) << 8 |
         static_cast<uint8_t>(d[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d[at + 3])) << 24;
}
uint32_t U16(const std::string& d, size_t at) {
  return static_cast<uint8_t>(d[at]) | static_cast<uint8_t>(d[at + 1]) << 8;
}

TEST(WavWriterTest, EmptyStreamGivesACompleteHeader) {
  TempDir temp;
  WavWriter w;
  ASSERT_TRUE(w.Open(temp.Sub("e.wav"), 2, 44100, 32));
  ASSERT_TRUE(w.Finish());
  std::string d;
  ASSERT_TRUE(ReadWholeFile(temp.Sub("e.wav"), &d));
  ASSERT_EQ(d.size(), 44u);
  EXPECT_EQ(d.substr(0, 4), "RIFF");
  EXPECT_EQ(U32(d, 4), 36u);
  EXPECT_EQ(d.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(U32(d, 16), 16u);
  EXPECT_EQ(U16(d, 20), 1u);
  EXPECT_EQ(U16(d, 22), 2u);
  EXPECT_EQ(U32(d, 24), 44100u);
  EXPECT_EQ(U32(d, 28), 44100u * 4);
  EXPECT_EQ(U16(d, 32), 4u);
  EXPECT_EQ(U16(d, 34), 16u);  // anything but an 8-bit stream is written as 16-bit
  EXPECT_EQ(d.substr(36, 4), "data");
  EXPECT_EQ(U32(d, 40), 0u);
}

TEST(WavWriterTest, LengthsArePatchedAndTheFileReadsBack) {
  TempDir temp;
  WavWriter w;
  ASSERT_TRUE(w.Open(temp.Sub("s.wav"), 2, 48000, 16));
  const int16_t frames[] = {1, -1, 32767, -32768, 1000, -1000};
  ASSERT_TRUE(w.Write(frames, sizeof frames));
  const float more[] = {0.5f, -0.5f, 2.0f, -2.0f, 0.0000153f, -1.0f};
  ASSERT_TRUE(w.WriteFloat(more, 6));
  EXPECT_EQ(w.data_bytes(), 24u);
  ASSERT_TRUE(w.Finish());

  std::string d;
  ASSERT_TRUE(ReadWholeFile(temp.Sub("s.wav"), &d));
  ASSERT_EQ(d.size(), 44u + 24u);
  EXPECT_EQ(U32(d, 4), d.size() - 8);
  EXPECT_EQ(U32(d, 40), 24u);

  SF_INFO info{};
  SNDFILE* f = sf_open(temp.Sub("s.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 48000);
  EXPECT_EQ(info.frames, 6);
  std::vector<short> got(12);
  sf_read_short(f, got.data(), 12);
  sf_close(f);
  EXPECT_EQ(got, (std::vector<short>{1, -1, 32767, -32768, 1000, -1000, 16384, -16384, 32767,
                                     -32768, 1, -32768}));
}

TEST(WavWriterTest, EightBitStreamsStayEightBitUnsigned) {
  TempDir temp;
  WavWriter w;
  ASSERT_TRUE(w.Open(temp.Sub("m.wav"), 1, 8000, 8));
  const float s[] = {0.0f, 1.0f, -1.0f};
  ASSERT_TRUE(w.WriteFloat(s, 3));
  ASSERT_TRUE(w.Finish());
  std::string d;
  ASSERT_TRUE(ReadWholeFile(temp.Sub("m.wav"), &d));
  ASSERT_EQ(d.size(), 47u);
  EXPECT_EQ(U16(d, 32), 1u);
  EXPECT_EQ(U16(d, 34), 8u);
  EXPECT_EQ(U32(d, 28), 8000u);
  EXPECT_EQ(U32(d, 40), 3u);
  EXPECT_EQ(U32(d, 4), 39u);
  EXPECT_EQ(static_cast<uint8_t>(d[44]), 128);
  EXPECT_EQ(static_cast<uint8_t>(d[45]), 255);
  EXPECT_EQ(static_cast<uint8_t>(d[46]), 0);
}

TEST(WavWriterTest, WriteErrorsAreReported) {
  TempDir temp;
  WavWriter missing;
  EXPECT_FALSE(missing.Open(temp.Sub("no/such/folder/x.wav"), 2, 44100, 16));
  EXPECT_FALSE(missing.Write("ab", 2));
  EXPECT_FALSE(missing.Finish());

  // /dev/full accepts the open and fails every write that reaches it.
  WavWriter full;
  ASSERT_TRUE(full.Open("/dev/full", 2, 44100, 16));
  std::vector<char> block(1 << 16);
  bool all_ok = true;
  for (int i = 0; i < 4; ++i) all_ok = full.Write(block.data(), block.size()) && all_ok;
  EXPECT_FALSE(all_ok && full.Finish());
}

TEST(WavWriterTest, StreamsKeepZeroLengthsAndStayOpen) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  FILE* out = fdopen(fds[1], "wb");
  ASSERT_NE(out, nullptr);
  WavWriter w;
  ASSERT_TRUE(w.OpenStream(out, 1, 22050, 16));
  const int16_t s[] = {7, -7};
  ASSERT_TRUE(w.Write(s, sizeof s));
  ASSERT_TRUE(w.Finish());
  std::fclose(out);  // still the caller's to close
  std::string d(64, '\0');
  ssize_t n = read(fds[0], d.data(), d.size());
  close(fds[0]);
  ASSERT_EQ(n, 48);
  d.resize(48);
  EXPECT_EQ(d.substr(0, 4), "RIFF");
  EXPECT_EQ(U32(d, 4), 0u);
  EXPECT_EQ(U32(d, 24), 22050u);
  EXPECT_EQ(U32(d, 40), 0u);
  EXPECT_EQ(U16(d, 44), 7u);
}

}  // namespace
}  // namespace qv3
