// Vocal reduction: both formulas, the slider mapping, and the DSP on real
// output streams (manual clock): installed once, removed at 0, stereo only,
// moved with the output channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "app/equalizer_bands.h"
#include "app/vocal_reduction.h"
#include "audiolib/audiolib.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

constexpr uint32_t kRate = 44100;

std::vector<int16_t> Frames(size_t frames, int16_t l, int16_t r) {
  std::vector<int16_t> v(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    v[2 * i] = l;
    v[2 * i + 1] = r;
  }
  return v;
}

TEST(VocalReductionFormulaTest, CentreCancelsAndLeftOnlyVanishesAtFullLevel) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> dist(-32768, 32767);
  std::vector<int16_t> same(2000), left_only(2000);
  for (size_t i = 0; i < same.size(); i += 2) {
    same[i] = same[i + 1] = static_cast<int16_t>(dist(rng));
    left_only[i] = static_cast<int16_t>(dist(rng));
    left_only[i + 1] = 0;
  }
  std::atomic<int> level{128};
  VocalReduceInt16(same.data(), same.size() / 2, level);
  for (int16_t s : same) ASSERT_EQ(s, 0);
  level = 256;
  VocalReduceInt16(left_only.data(), left_only.size() / 2, level);
  for (int16_t s : left_only) ASSERT_EQ(s, 0);

  std::vector<float> fsame = {0.5f, 0.5f, -0.25f, -0.25f}, fleft = {0.9f, 0.0f, -1.0f, 0.0f};
  VocalReduceFloat(fsame.data(), 2, 128);
  VocalReduceFloat(fleft.data(), 2, 256);
  for (float s : fsame) EXPECT_EQ(s, 0.0f);
  for (float s : fleft) EXPECT_EQ(s, 0.0f);
}

TEST(VocalReductionFormulaTest, IntegerAndFloatFormsAgree) {
  // ((256 - a) L - a R) >> 9 on both channels; the float form is the same
  // without the floor of the shift.
  std::vector<int16_t> s = {10000, -2000, -32768, 32767, 1, 0, -1, 0};
  std::atomic<int> level{64};
  std::vector<int16_t> v = s;
  VocalReduceInt16(v.data(), 4, level);
  EXPECT_EQ(v[0], (192 * 10000 - 64 * -2000) >> 9);
  EXPECT_EQ(v[1], v[0]);
  EXPECT_EQ(v[2], (192 * -32768 - 64 * 32767) >> 9);
  EXPECT_EQ(v[4], 0);   // 192 >> 9
  EXPECT_EQ(v[6], -1);  // the shift floors negative values
  std::vector<float> f(s.size());
  for (size_t i = 0; i < s.size(); ++i) f[i] = static_cast<float>(s[i]);
  VocalReduceFloat(f.data(), 4, 64);
  for (size_t i = 0; i < s.size(); ++i) EXPECT_NEAR(f[i], v[i], 1.0) << i;
}

TEST(VocalReductionFormulaTest, SliderPositionAndLabel) {
  EXPECT_EQ(VocalReductionSliderPosition(0), 256);
  EXPECT_EQ(VocalReductionSliderPosition(256), 0);
  EXPECT_EQ(VocalReductionLevelFromSlider(56), 200);
  EXPECT_EQ(VocalReductionLevelFromSlider(300), 0);
  EXPECT_EQ(VocalReductionLabel(0), " Off ");
  EXPECT_EQ(VocalReductionLabel(128), " 128 ");
}

class VocalReductionStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AudioInitManual(kRate, 0)); }
  void TearDown() override { AudioFree(); }

  // Plays 16-bit frames through `h`; the output's left and right as 16-bit.
  static std::vector<int> Play(StreamHandle h, const std::vector<int16_t>& in, uint32_t chans = 2) {
    const size_t frames = in.size() / chans;
    EXPECT_NE(StreamPutData(h, in.data(), static_cast<uint32_t>(in.size() * 2)), kDataError);
    ChannelPlay(h, false);
    std::vector<float> out(frames * 2);
    EXPECT_TRUE(AudioAdvanceManual(static_cast<uint32_t>(frames), out.data()));
    std::vector<int> result(out.size());
    for (size_t i = 0; i < out.size(); ++i) result[i] = static_cast<int>(std::lrint(out[i] * 32768.0f));
    return result;
  }
};

TEST_F(VocalReductionStreamTest, LevelZeroRemovesAndMovingBackInstallsOnce) {
  StreamHandle h = StreamCreatePush(kRate, 2, 0);
  VocalReduction vr;
  vr.SetChannel(h);
  EXPECT_FALSE(vr.installed());
  vr.SetLevel(128);
  EXPECT_TRUE(vr.installed());
  EXPECT_EQ(Play(h, Frames(100, 12000, 12000)), std::vector<int>(200, 0));

  vr.SetLevel(0);
  EXPECT_FALSE(vr.installed());
  EXPECT_EQ(Play(h, Frames(100, 12000, -3000))[0], 12000);

  // Back on, and moved further: a second copy of the procedure would run the
  // formula twice (56 x 16000 / 512 = 1750, twice gives -492).
  vr.SetLevel(128);
  vr.SetLevel(200);
  std::vector<int> out = Play(h, Frames(100, 16000, 0));
  EXPECT_EQ(out[0], 1750);
  EXPECT_EQ(out[1], 1750);
  EXPECT_EQ(out[199], 1750);
  vr.SetLevel(256);
  EXPECT_EQ(Play(h, Frames(100, 16000, 0)), std::vector<int>(200, 0));
}

TEST_F(VocalReductionStreamTest, ReductionRunsBeforeTheEqualiser) {
  // Seen through 16-bit saturation: a loud left-only 1 kHz tone at level 128
  // becomes a quarter, then +15 dB brings it back to full scale. The other
  // order would clip first and end at a quarter of full scale.
  StreamHandle h = StreamCreatePush(kRate, 2, 0);
  EqualizerEffects eq;
  EqGains gains{};
  gains[4] = 15;
  ASSERT_TRUE(eq.Add(h, gains));  // set first, still runs second
  VocalReduction vr;
  vr.SetChannel(h);
  vr.SetLevel(128);
  std::vector<int16_t> in(8820 * 2, 0);
  for (size_t i = 0; i < in.size() / 2; ++i) {
    in[2 * i] = static_cast<int16_t>(std::lrint(30000 * std::sin(2 * M_PI * 1000.0 * i / kRate)));
  }
  std::vector<int> out = Play(h, in);
  int peak = 0;
  for (size_t i = out.size() / 2; i < out.size(); ++i) peak = std::max(peak, std::abs(out[i]));
  EXPECT_GT(peak, 30000);
}

TEST_F(VocalReductionStreamTest, MonoIsLeftAloneAndANewOutputChannelGetsTheDsp) {
  StreamHandle mono = StreamCreatePush(kRate, 1, 0);
  VocalReduction vr;
  vr.SetChannel(mono);
  vr.SetLevel(128);
  EXPECT_FALSE(vr.installed());
  std::vector<int16_t> ramp(200);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(100 * i);
  std::vector<int> out = Play(mono, ramp, 1);
  for (size_t i = 0; i < ramp.size(); ++i) ASSERT_EQ(out[2 * i], ramp[i]) << i;

  // The engine recreates its output: the reduction follows at its level.
  StreamFree(mono);
  StreamHandle stereo = StreamCreatePush(kRate, 2, 0);
  vr.SetChannel(stereo);
  EXPECT_TRUE(vr.installed());
  EXPECT_EQ(Play(stereo, Frames(50, -7000, -7000)), std::vector<int>(100, 0));
}

TEST_F(VocalReductionStreamTest, ExportStreamsOfFloatSamplesUseTheFloatFormula) {
  VocalReduction vr;
  StreamHandle f = StreamCreatePush(kRate, 2, kSampleFloat);
  EXPECT_EQ(vr.InstallOn(f), 0u);  // off
  vr.SetLevel(256);
  ASSERT_NE(vr.InstallOn(f), 0u);
  EXPECT_EQ(vr.InstallOn(StreamCreatePush(kRate, 1, kSampleFloat)), 0u);  // mono
  std::vector<float> in = {0.8f, 0.0f, -0.6f, 0.0f, 0.3f, 0.3f};
  ASSERT_NE(StreamPutData(f, in.data(), static_cast<uint32_t>(in.size() * 4)), kDataError);
  ChannelPlay(f, false);
  std::vector<float> out(6);
  ASSERT_TRUE(AudioAdvanceManual(3, out.data()));
  EXPECT_FLOAT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[3], 0.0f);
  EXPECT_FLOAT_EQ(out[4], -0.3f * 256 / 512);
  EXPECT_FLOAT_EQ(out[5], -0.3f * 256 / 512);
}

TEST_F(VocalReductionStreamTest, ExportChainOnADecodedFileReducesThenEqualises) {
  // The export path: a file decoded as floats inside the tempo wrapper, the
  // reduction (priority 2) and the nine bands (priority 0) on it. The shared
  // 300 Hz tone cancels at level 128; the left-only 1 kHz tone becomes a
  // quarter on both channels, then +12 dB (x 3.98) in the 1K band.
  TempDir tmp;
  const std::string path = tmp.Sub("mix.wav");
  constexpr uint32_t kFrames = 22050;
  std::vector<int16_t> pcm(kFrames * 2);
  for (uint32_t i = 0; i < kFrames; ++i) {
    const double centre = 0.3 * std::sin(2 * M_PI * 300.0 * i / kRate);
    const double left = 0.2 * std::sin(2 * M_PI * 1000.0 * i / kRate);
    pcm[2 * i] = static_cast<int16_t>(std::lrint((centre + left) * 32767));
    pcm[2 * i + 1] = static_cast<int16_t>(std::lrint(centre * 32767));
  }
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const uint32_t data = kFrames * 4, riff = 36 + data, fmt_size = 16, rate = kRate, bytes = kRate * 4;
    const uint16_t pcm_tag = 1, chans = 2, align = 4, bits = 16;
    std::fwrite("RIFF", 1, 4, f), std::fwrite(&riff, 4, 1, f), std::fwrite("WAVEfmt ", 1, 8, f);
    std::fwrite(&fmt_size, 4, 1, f), std::fwrite(&pcm_tag, 2, 1, f), std::fwrite(&chans, 2, 1, f);
    std::fwrite(&rate, 4, 1, f), std::fwrite(&bytes, 4, 1, f), std::fwrite(&align, 2, 1, f);
    std::fwrite(&bits, 2, 1, f), std::fwrite("data", 1, 4, f), std::fwrite(&data, 4, 1, f);
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    std::fclose(f);
  }
  StreamHandle decode = StreamCreateFile(path.c_str(), 0, 0, kSampleFloat | kStreamDecode);
  ASSERT_NE(decode, 0u);
  StreamHandle tempo = TempoCreate(decode, kStreamDecode | kSampleFloat | kFxFreeSource);
  ASSERT_NE(tempo, 0u);
  VocalReduction vr;
  vr.SetLevel(128);
  ASSERT_NE(vr.InstallOn(tempo), 0u);
  EqualizerEffects eq;
  EqGains gains{};
  gains[4] = 12;
  ASSERT_TRUE(eq.Add(tempo, gains));

  std::vector<float> out(kFrames * 2);
  uint32_t got = 0;
  while (got < out.size() * 4) {
    const uint32_t n = ChannelGetData(tempo, reinterpret_cast<char*>(out.data()) + got,
                                      (static_cast<uint32_t>(out.size() * 4) - got) | kDataFloat);
    if (n == kDataError || n == 0) break;
    got += n;
  }
  ASSERT_EQ(got, out.size() * 4);
  double s1 = 0, c1 = 0, s3 = 0, c3 = 0, diff = 0;
  for (uint32_t i = kFrames / 2; i < kFrames; ++i) {
    const double p1 = 2 * M_PI * 1000.0 * i / kRate, p3 = 2 * M_PI * 300.0 * i / kRate;
    s1 += out[2 * i] * std::sin(p1), c1 += out[2 * i] * std::cos(p1);
    s3 += out[2 * i] * std::sin(p3), c3 += out[2 * i] * std::cos(p3);
    diff = std::max(diff, static_cast<double>(std::fabs(out[2 * i] - out[2 * i + 1])));
  }
  const double n = kFrames / 2.0;
  EXPECT_NEAR(2 * std::hypot(s1, c1) / n, 0.2 / 4 * std::pow(10.0, 12.0 / 20), 0.2 / 4 * 0.06);
  EXPECT_LT(2 * std::hypot(s3, c3) / n, 1e-4);
  EXPECT_EQ(diff, 0.0);
  StreamFree(tempo);
}

}  // namespace
}  // namespace qv3
