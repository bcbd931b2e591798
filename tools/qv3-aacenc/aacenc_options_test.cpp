// Option parsing, the quality -> bit rate mapping and the WAV stream reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/qv3-aacenc/aacenc_options.h"
#include "tools/qv3-aacenc/wav_stream.h"

namespace qv3::aacenc {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    args.push_back(line.substr(start, i - start));
  }
  return args;
}

TEST(AacEncOptionsTest, ExportCommandLines) {
  Options o;
  std::string error;
  // "%s %s %s -o \"%s\" -" with an empty container option leaves two blanks.
  ASSERT_TRUE(ParseOptions(Split("-q 130 -c 22000 --mpeg-vers 4  -o out.aac -"), &o, &error)) << error;
  EXPECT_EQ(o.quality, 130);
  EXPECT_EQ(o.cutoff_hz, 22000);
  EXPECT_EQ(o.mpeg_version, 4);
  EXPECT_FALSE(o.mp4);
  EXPECT_EQ(o.output, "out.aac");
  EXPECT_EQ(o.input, "-");

  ASSERT_TRUE(ParseOptions({"-q", "70", "-c", "10000", "--mpeg-vers", "4", "-w", "-o",
                            "/music/my song.m4a", "-"},
                           &o, &error));
  EXPECT_TRUE(o.mp4);
  EXPECT_EQ(o.output, "/music/my song.m4a");

  ASSERT_TRUE(ParseOptions({"-q90", "-c14000", "--mpeg-vers=2", "-oout.aac", "in.wav"}, &o, &error));
  EXPECT_EQ(o.quality, 90);
  EXPECT_EQ(o.cutoff_hz, 14000);
  EXPECT_EQ(o.mpeg_version, 2);
  EXPECT_EQ(o.output, "out.aac");
  EXPECT_EQ(o.input, "in.wav");

  ASSERT_TRUE(ParseOptions({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
  EXPECT_NE(HelpText().find("--mpeg-vers"), std::string::npos);
}

TEST(AacEncOptionsTest, BadCommandLines) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-q 5 -o x.aac -", "-q must be 10..500"},
      {"-q 501 -o x.aac -", "-q must be 10..500"},
      {"-q 12x -o x.aac -", "whole number"},
      {"-c 0 -o x.aac -", "-c must be"},
      {"--mpeg-vers 3 -o x.aac -", "2 or 4"},
      {"-q 100 -o x.aac", "no input"},
      {"-q 100 -", "no output"},
      {"-q 100 -o x.aac - other.wav", "more than one input"},
      {"-x -o x.aac -", "unknown option '-x'"},
      {"--quality 100 -o x.aac -", "unknown option"},
      {"-o x.aac - -q", "-q needs a value"},
  };
  for (const auto& [line, expected] : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(ParseOptions(Split(line), &o, &error)) << line;
    EXPECT_NE(error.find(expected), std::string::npos) << line << " -> " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(AacEncOptionsTest, QualityFollowsTheBitrateRows) {
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(130), 218);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(120), 194);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(110), 158);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(100), 129);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(90), 103);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(80), 79);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(70), 62);
  EXPECT_DOUBLE_EQ(QualityToStereoKbps(105), (129 + 158) / 2.0);
  double previous = 0;
  for (int q = kMinQuality; q <= kMaxQuality; ++q) {
    double kbps = QualityToStereoKbps(q);
    EXPECT_GT(kbps, previous) << q;
    previous = kbps;
  }
  EXPECT_GT(QualityToStereoKbps(10), 5);
}

TEST(AacEncOptionsTest, BitRateAndCutoffForTheStream) {
  Options o;
  o.quality = 100;
  EXPECT_EQ(TargetBitRate(o, 44100, 2), 129000);
  EXPECT_EQ(TargetBitRate(o, 48000, 2), 129000);
  EXPECT_EQ(TargetBitRate(o, 44100, 1), 64500);
  EXPECT_EQ(TargetBitRate(o, 22050, 2), 64500);
  o.quality = 500;  // more than AAC carries at 8 kHz: capped
  EXPECT_EQ(TargetBitRate(o, 8000, 2), 6144L * 2 * 8000 / 1024);
  o.abr_kbps_per_channel = 64;
  EXPECT_EQ(TargetBitRate(o, 44100, 2), 128000);

  o.cutoff_hz = 22000;
  EXPECT_EQ(TargetCutoff(o, 44100), 22000);
  EXPECT_EQ(TargetCutoff(o, 32000), 16000);
  o.cutoff_hz = 0;
  EXPECT_EQ(TargetCutoff(o, 44100), 0);
}

// A WAV header with the given format fields and data length, then `data`.
std::string Wav(uint16_t tag, int channels, int rate, int bits, uint32_t data_length,
                const std::string& data, const std::string& extra_chunk = "") {
  auto le16 = [](uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
  auto le32 = [](uint32_t v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
  };
  std::string fmt = le16(tag) + le16(channels) + le32(rate) + le32(rate * channels * bits / 8) +
                    le16(channels * bits / 8) + le16(bits);
  if (tag == 0xFFFE) {
    fmt += le16(22) + le16(bits) + le32(0) + le16(3) + std::string(14, '\x01');  // float GUID
  }
  return "RIFF" + le32(data_length ? data_length + 36 : 0) + "WAVE" + extra_chunk + "fmt " +
         le32(fmt.size()) + fmt + "data" + le32(data_length) + data;
}

struct Stream {
  explicit Stream(const std::string& bytes) : text(bytes) {
    file = fmemopen(text.data(), text.size(), "rb");
  }
  ~Stream() {
    if (file) std::fclose(file);
  }
  std::string text;
  std::FILE* file;
};

std::string Int16Samples(std::initializer_list<int16_t> samples) {
  std::string s;
  for (int16_t v : samples) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
  }
  return s;
}

TEST(WavStreamTest, ReadsPcmToTheGivenLength) {
  std::string data = Int16Samples({16384, -16384, 32767, -32768});
  Stream in(Wav(1, 2, 44100, 16, 8, data + Int16Samples({1, 2})));  // two bytes beyond the chunk
  WavStreamReader reader(in.file);
  std::string error;
  ASSERT_TRUE(reader.ReadHeader(&error)) << error;
  EXPECT_EQ(reader.format().channels, 2);
  EXPECT_EQ(reader.format().sample_rate, 44100);
  EXPECT_TRUE(reader.format().length_known);
  float out[16];
  ASSERT_EQ(reader.ReadFrames(out, 8), 2u);
  EXPECT_FLOAT_EQ(out[0], 0.5f);
  EXPECT_FLOAT_EQ(out[1], -0.5f);
  EXPECT_FLOAT_EQ(out[3], -1.0f);
  EXPECT_EQ(reader.ReadFrames(out, 8), 0u);
}

TEST(WavStreamTest, UnknownLengthsReadToTheEnd) {
  for (uint32_t length : {0u, 0xFFFFFFFFu}) {
    float samples[] = {0.25f, -0.75f, 2.0f};
    std::string data(reinterpret_cast<const char*>(samples), sizeof samples);
    data += "xy";  // a partial last frame is dropped
    Stream in(Wav(0xFFFE, 1, 48000, 32, length, data, std::string("LIST") + std::string("\x02\0\0\0ab", 6)));
    WavStreamReader reader(in.file);
    std::string error;
    ASSERT_TRUE(reader.ReadHeader(&error)) << error;
    EXPECT_FALSE(reader.format().length_known);
    EXPECT_TRUE(reader.format().is_float);
    float out[8];
    ASSERT_EQ(reader.ReadFrames(out, 2), 2u);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[1], -0.75f);
    ASSERT_EQ(reader.ReadFrames(out, 8), 1u);
    EXPECT_FLOAT_EQ(out[0], 1.0f);  // held to full scale
    EXPECT_EQ(reader.ReadFrames(out, 8), 0u);
  }
}

TEST(WavStreamTest, OtherSampleSizes) {
  std::string data24 = std::string("\x00\x00\x40", 3) + std::string("\x00\x00\xC0", 3);
  Stream in24(Wav(1, 1, 22050, 24, 6, data24));
  WavStreamReader r24(in24.file);
  std::string error;
  ASSERT_TRUE(r24.ReadHeader(&error));
  float out[4];
  ASSERT_EQ(r24.ReadFrames(out, 4), 2u);
  EXPECT_FLOAT_EQ(out[0], 0.5f);
  EXPECT_FLOAT_EQ(out[1], -0.5f);

  Stream in8(Wav(1, 1, 8000, 8, 2, std::string("\x80\xC0", 2)));
  WavStreamReader r8(in8.file);
  ASSERT_TRUE(r8.ReadHeader(&error));
  ASSERT_EQ(r8.ReadFrames(out, 4), 2u);
  EXPECT_FLOAT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[1], 0.5f);
}

TEST(WavStreamTest, RejectsWhatItCannotEncode) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "too short"},
      {"not a wav file at all", "RIFF/WAVE"},
      {Wav(2, 2, 44100, 16, 0, ""), "sample format 2"},
      {Wav(1, 6, 44100, 16, 0, ""), "channel count 6"},
      {Wav(1, 2, 44100, 12, 0, ""), "12 bits"},
      {Wav(3, 2, 44100, 16, 0, ""), "float sample size"},
      {Wav(1, 2, 0, 16, 0, ""), "sample rate 0"},
      {std::string("RIFF\0\0\0\0WAVEfmt ", 16), "no format chunk"},
      {std::string("RIFF\0\0\0\0WAVEdata\0\0\0\0", 20), "before the format"},
      {Wav(1, 2, 44100, 16, 0, "").substr(0, 36), "no data chunk"},
  };
  for (const auto& [bytes, expected] : cases) {
    Stream in(bytes);
    WavStreamReader reader(in.file);
    std::string error;
    EXPECT_FALSE(reader.ReadHeader(&error)) << expected;
    EXPECT_NE(error.find(expected), std::string::npos) << expected << " -> " << error;
  }
}

}  // namespace
}  // namespace qv3::aacenc
