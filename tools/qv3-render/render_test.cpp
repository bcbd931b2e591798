#include "tools/qv3-render/render.h"

#include "document/loop_list.h"
#include "document/marker_list.h"
#include "document/project_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <fstream>
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

std::vector<float> ReadFloats(const std::string& path, SF_INFO* info) {
  *info = SF_INFO{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, info);
  std::vector<float> x;
  if (!f) return x;
  x.resize(static_cast<size_t>(info->frames) * info->channels);
  sf_readf_float(f, x.data(), info->frames);
  sf_close(f);
  return x;
}

double Rms(const std::vector<float>& x) {
  double s = 0;
  for (float v : x) s += double{v} * v;
  return x.empty() ? 0 : std::sqrt(s / x.size());
}

bool RunRender(std::vector<std::string> args, std::string* error) {
  RenderOptions o;
  return Parse(std::move(args), &o, error) && Render(o, error);
}

// A project over `audio` with two loops made in reverse time order.
std::string WriteProject(const std::string& audio, double length) {
  DocumentState state;
  state.audio_path = audio;
  state.master.tempo = 8000;
  MarkerList markers;
  LoopList loops;
  loops.set_song_length(length);
  LoopValues v;
  v.name = "late";
  v.tempo = 20000;
  v.position = 2.0;
  loops.SetLoopStart(v);
  v.position = 2.5;
  loops.SetLoopEnd(v);
  v.name = "early";
  v.tempo = 5000;
  v.pitch = 200;
  v.position = 0.5;
  loops.SetLoopStart(v);
  v.position = 1.0;
  loops.SetLoopEnd(v);
  EXPECT_EQ(loops.count(), 2);
  const std::string path = TempPath("song.qvp");
  std::ofstream(path, std::ios::binary) << FormatProjectText(state, markers, loops);
  return path;
}

TEST(RenderTest, ProjectScopesRenderWhatTheExportCommandsRender) {
  const std::string in = TempPath("proj_in.wav");
  WriteWav(in, 8000, 2, 24000, 300);  // 3 s
  const std::string project = WriteProject(in, 3.0);
  const std::string out = TempPath("proj_out.wav");
  std::string e;
  struct Case {
    std::string scope;
    sf_count_t frames;
  } cases[] = {
      // 0.5 s / 0.8 + 0.5 s x 2 + 1 s / 0.8 + 0.5 s / 2 + 0.5 s / 0.8
      {"song", 5000 + 8000 + 10000 + 2000 + 5000},
      {"loops", 2000 + 8000},  // list order: "late" first
      {"loop:1", 8000},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(RunRender({"--project", project, "--scope", c.scope, out}, &e)) << e;
    EXPECT_EQ(Info(out).frames, c.frames) << c.scope;
  }
  // The project's master tempo gives way to --tempo.
  ASSERT_TRUE(RunRender({"--project", project, "--tempo", "100", out}, &e)) << e;
  EXPECT_EQ(Info(out).frames, 4000 + 8000 + 8000 + 2000 + 4000);
  EXPECT_FALSE(RunRender({"--project", project, "--scope", "loop:2", out}, &e));
  EXPECT_NE(e.find("2 loops"), std::string::npos);
  EXPECT_FALSE(RunRender({"--scope", "loops", in, out}, &e));
  EXPECT_FALSE(RunRender({"--scope", "loop:x", "--project", project, out}, &e));
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(project.c_str());
}

TEST(RenderTest, VolumeVocalReductionAndEqualiser) {
  const std::string in = TempPath("fx_in.wav");
  const std::string out = TempPath("fx_out.wav");
  SF_INFO info;
  std::string e;
  // Identical channels: vocal reduction at 128 cancels them.
  {
    SF_INFO w{};
    w.samplerate = 22050;
    w.channels = 2;
    w.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &w);
    std::vector<float> x(22050 * 2);
    for (int i = 0; i < 22050; ++i) x[2 * i] = x[2 * i + 1] = 0.5f * std::sin(2 * M_PI * 80 * i / 22050.0);
    sf_writef_float(f, x.data(), 22050);
    sf_close(f);
  }
  const double source = Rms(ReadFloats(in, &info));
  ASSERT_TRUE(RunRender({"--volume", "100", in, out}, &e)) << e;
  EXPECT_NEAR(Rms(ReadFloats(out, &info)) / source, 0.95, 0.001);
  ASSERT_TRUE(RunRender({"--volume", "50", "--vocal-reduction", "128", in, out}, &e)) << e;
  EXPECT_LT(Rms(ReadFloats(out, &info)), 1e-4);
  // "Bass Cut" takes 15 dB off the 80 Hz band.
  ASSERT_TRUE(RunRender({"--eq-preset", "Bass Cut", in, out}, &e)) << e;
  EXPECT_LT(Rms(ReadFloats(out, &info)) / source, 0.25);
  EXPECT_FALSE(RunRender({"--eq-preset", "No Such Preset", in, out}, &e));
  EXPECT_NE(e.find("No Such Preset"), std::string::npos);
  EXPECT_FALSE(RunRender({"--volume", "101", in, out}, &e));
  EXPECT_FALSE(RunRender({"--vocal-reduction", "257", in, out}, &e));
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(RenderTest, FormatByExtensionWithTheChosenBitrate) {
  const std::string in = TempPath("fmt_in.wav");
  WriteWav(in, 44100, 2, 44100, 440);
  std::string e;
  const std::string mp3 = TempPath("fmt.mp3");
  ASSERT_TRUE(RunRender({"--bitrate", "128", in, mp3}, &e)) << e;
  FILE* p = ::popen(("ffprobe -v error -show_entries stream=codec_name,bit_rate -of csv=p=0 '" +
                     mp3 + "'").c_str(), "r");
  char line[128] = {};
  ASSERT_NE(std::fgets(line, sizeof line, p), nullptr);
  ::pclose(p);
  EXPECT_EQ(std::string(line), "mp3,128000\n");
  const std::string ogg = TempPath("fmt.ogg");
  ASSERT_TRUE(RunRender({"--tempo", "50", in, ogg}, &e)) << e;
  EXPECT_EQ(Info(ogg).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(Info(ogg).frames, 88200);
  EXPECT_FALSE(RunRender({"--aac-encoder", "/nonexistent/enc", in, TempPath("x.m4a")}, &e));
  EXPECT_EQ(e, "Could not start the AAC encoder.  Error code was 2");
  for (const auto& f : {mp3, ogg, in}) std::remove(f.c_str());
}

}  // namespace
}  // namespace qv3
