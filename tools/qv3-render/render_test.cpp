#include "tools/qv3-render/render.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

namespace qv3 {
namespace {

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "qv3_render_" + std::to_string(getpid()) + "_" + name;
}

void WriteWav(const std::string& path, int rate, int channels, int frames,
              double hz) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<float> x(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      x[static_cast<size_t>(i) * channels + c] =
          static_cast<float>(0.4 * std::sin(2 * M_PI * hz * i / rate + c));
    }
  }
  sf_writef_float(f, x.data(), frames);
  sf_close(f);
}

SF_INFO Info(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f) sf_close(f);
  return info;
}

bool Parse(std::vector<std::string> args, RenderOptions* o, std::string* e) {
  std::vector<char*> argv;
  static std::string prog = "qv3-render";
  argv.push_back(prog.data());
  for (auto& a : args) argv.push_back(a.data());
  return ParseRenderArgs(static_cast<int>(argv.size()), argv.data(), o, e);
}

TEST(RenderTest, WritesExactlyTheStretchedFrameCount) {
  const std::string in = TempPath("in.wav");
  WriteWav(in, 44100, 2, 30001, 440);
  struct Case {
    std::vector<std::string> extra;
    sf_count_t frames;
  } cases[] = {
      {{"--tempo", "50"}, 60002},
      {{"--tempo", "75", "--mode", "transcribe"}, 40001},
      {{"--tempo", "150", "--pitch", "7"}, 20001},
      {{"--pitch", "-5"}, 30001},
      {{}, 30001},
  };
  for (const auto& c : cases) {
    const std::string out = TempPath("out.wav");
    std::vector<std::string> args = c.extra;
    args.push_back(in);
    args.push_back(out);
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse(args, &o, &error)) << error;
    ASSERT_TRUE(Render(o, &error)) << error;
    const SF_INFO info = Info(out);
    EXPECT_EQ(info.frames, c.frames);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::remove(out.c_str());
  }
  std::remove(in.c_str());
}

TEST(RenderTest, RefusesBadArgumentsAndInputs) {
  RenderOptions o;
  std::string e;
  EXPECT_FALSE(Parse({"--tempo", "9", "a", "b"}, &o, &e));
  EXPECT_NE(e.find("10 to 400"), std::string::npos);
  EXPECT_FALSE(Parse({"--tempo", "401", "a", "b"}, &o, &e));
  EXPECT_FALSE(Parse({"--pitch", "24.5", "a", "b"}, &o, &e));
  EXPECT_FALSE(Parse({"--pitch", "x", "a", "b"}, &o, &e));
  EXPECT_FALSE(Parse({"--mode", "fast", "a", "b"}, &o, &e));
  EXPECT_FALSE(Parse({"a"}, &o, &e));
  EXPECT_TRUE(Parse({"--tempo", "400", "--pitch", "-24", "a", "b"}, &o, &e));

  o.input = TempPath("missing.wav");
  o.output = TempPath("never.wav");
  EXPECT_FALSE(Render(o, &e));
  EXPECT_EQ(e.find('\n'), std::string::npos);
  const std::string three = TempPath("three.wav");
  WriteWav(three, 44100, 3, 100, 440);
  o.input = three;
  EXPECT_FALSE(Render(o, &e));
  EXPECT_NE(e.find("channels"), std::string::npos);
  const std::string fast = TempPath("fast.wav");
  WriteWav(fast, 192000, 1, 100, 440);
  o.input = fast;
  EXPECT_FALSE(Render(o, &e));
  EXPECT_NE(e.find("sample rate"), std::string::npos);
  std::remove(three.c_str());
  std::remove(fast.c_str());
}

}  // namespace
}  // namespace qv3
