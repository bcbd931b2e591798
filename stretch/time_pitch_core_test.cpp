#include "stretch/time_pitch_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "stretch/stretch_test_util.h"

namespace qv3 {
namespace {

using testing::Cents;
using testing::Db;
using testing::MeasureFrequency;
using testing::Rms;
using testing::Render;
using testing::Sine;

constexpr double kRate = 44100.0;

TEST(TimePitchCoreTest, UnityFactorsKeepLengthAndSignal) {
  const auto in = Sine(440, 0.5, 44100, kRate, 2);
  const auto r = Render(in, kRate, 1.0, 1.0);
  ASSERT_TRUE(r.ok);
  ASSERT_GE(r.out[0].size(), in[0].size());
  // The whole output is the input length, padded only to the last pull.
  const double lvl = Rms(r.out[0], 2000, 40000) / Rms(in[0], 2000, 40000);
  EXPECT_NEAR(Db(lvl), 0.0, 0.5);
}

struct Case {
  double tempo;
  double semis;
};

// A steady tone keeps its level and pitch at every tempo and pitch.
TEST(TimePitchCoreTest, SteadyToneKeepsLevelAndPitch) {
  const Case cases[] = {{25, 0},  {50, 0},  {75, 0},   {100, 12}, {150, 0},
                        {200, 0}, {400, 0}, {100, -24}, {100, 24}, {50, 7},
                        {150, -5}, {80, 3}};
  for (int mode : {200, 206}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << " tempo "
                                        << k.tempo << " semis " << k.semis);
      const double tf = 100.0 / k.tempo;
      const double pf = TimePitchPitchFactor(k.semis);
      const double hz = 440.0;
      const auto in = Sine(hz, 0.5, 44100, kRate, 1);
      const auto r = Render(in, kRate, tf, pf, mode);
      ASSERT_TRUE(r.ok);
      const int64_t expect = std::llround(in[0].size() * tf);
      const int64_t mid = expect / 2;
      const double lvl = Rms(r.out[0], mid - 4000, mid + 4000) / (0.5 / std::sqrt(2.0));
      const double f = MeasureFrequency(r.out[0], mid - 6000, hz * pf, kRate);
      std::printf("mode %d tempo %.0f semis %+.0f: level %+.2f dB pitch %+.2f cents len %zu/%lld\n",
                  mode, k.tempo, k.semis, Db(lvl), Cents(f, hz * pf),
                  r.out[0].size(), static_cast<long long>(expect));
      EXPECT_NEAR(Db(lvl), 0.0, 0.5);
      // The cheap sine of the phase rotation jitters the pitch of a tone
      // lowered by two octaves in mode 200 by about 1.4 cents (0.00 with
      // exact trigonometry).
      const double tol = mode == 200 && k.semis <= -24 ? 2.0 : 1.0;
      EXPECT_NEAR(Cents(f, hz * pf), 0.0, tol);
    }
  }
}

}  // namespace
}  // namespace qv3

namespace qv3 {
namespace {

// Onsets of a click train land within 5 ms of x times the time factor.
TEST(TimePitchCoreTest, ClickOnsetsLandOnTime) {
  const int period = 11025;
  const auto in = testing::Clicks(66150, 4000, period, 2);
  for (int mode : {200, 206}) {
    for (double tempo : {25.0, 50.0, 75.0, 150.0, 400.0}) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << " tempo " << tempo);
      const double tf = 100.0 / tempo;
      const auto r = Render(in, kRate, tf, 1.0, mode);
      const auto got = testing::OnsetTimes(r.out[0], 0.05, static_cast<int>(std::min(3000.0, period * tf / 2)));
      std::vector<double> ideal;
      for (int at = 4000; at < 66150; at += period) ideal.push_back(at * tf);
      ASSERT_GE(got.size(), ideal.size());
      double worst = 0, pre = 0;
      for (size_t i = 0; i < ideal.size(); ++i) {
        worst = std::max(worst, std::fabs(got[i] - ideal[i]) / kRate * 1000.0);
        // Pre-echo: level in the 20 ms before the ideal onset.
        const int64_t at = std::llround(ideal[i]);
        pre = std::max(pre, Rms(r.out[0], at - 882, at - 44));
      }
      std::printf("mode %d tempo %.0f: onset error %.2f ms, pre-echo %.1f dB\n",
                  mode, tempo, worst, Db(pre / 0.8));
      EXPECT_LT(worst, 5.0);
    }
  }
}

// A dense run of attacks at a strong slow-down: every attack still lands on
// time and the analysis does not drift behind.
TEST(TimePitchCoreTest, DenseOnsetsDoNotDrift) {
  struct Case {
    int mode;
    double tempo;
    int period;
  } cases[] = {{200, 25, 2646}, {200, 50, 2646}, {206, 50, 2646}, {206, 25, 5292}};
  for (const auto& c : cases) {
    const int mode = c.mode, period = c.period;
    const double tempo = c.tempo;
    const auto in = testing::Clicks(88200, 3000, period, 1, 0.8);
    {
      const double tf = 100.0 / tempo;
      const auto r = Render(in, kRate, tf, 1.0, mode);
      const auto got = testing::OnsetTimes(r.out[0], 0.05, static_cast<int>(period * tf / 2));
      std::vector<double> ideal;
      for (int at = 3000; at < 88200; at += period) ideal.push_back(at * tf);
      ASSERT_GE(got.size(), ideal.size()) << mode << " " << tempo;
      double worst = 0;
      for (size_t i = 0; i < ideal.size(); ++i) {
        worst = std::max(worst, std::fabs(got[i] - ideal[i]) / kRate * 1000.0);
      }
      std::printf("dense clicks mode %d tempo %.0f: worst onset error %.2f ms\n", mode, tempo, worst);
      EXPECT_LT(worst, 5.0) << mode << " " << tempo;
    }
  }
}

// High partials above the peak search range keep their level.
TEST(TimePitchCoreTest, HighSinesKeepTheirLevel) {
  for (double hz : {12000.0, 15000.0}) {
    for (double tempo : {50.0, 150.0}) {
      SCOPED_TRACE(::testing::Message() << hz << " Hz tempo " << tempo);
      const auto in = Sine(hz, 0.5, 30000, kRate, 1);
      const auto r = Render(in, kRate, 100.0 / tempo, 1.0, 200);
      const int64_t mid = static_cast<int64_t>(30000 * 100.0 / tempo / 2);
      const double lvl = Rms(r.out[0], mid - 3000, mid + 3000) / (0.5 / std::sqrt(2.0));
      std::printf("%.0f Hz tempo %.0f: %+.2f dB\n", hz, tempo, Db(lvl));
      EXPECT_NEAR(Db(lvl), 0.0, 1.0);
    }
  }
}

}  // namespace
}  // namespace qv3

namespace qv3 {
namespace {

bool AllFinite(const testing::Planar& p) {
  for (const auto& ch : p) {
    for (float v : ch) {
      if (!std::isfinite(v)) return false;
    }
  }
  return true;
}

// Every mode at every rate: sane length, level and no NaN; the callback is
// never asked for more than the cache holds; the end drains before 0.
TEST(TimePitchCoreTest, EveryModeAtEveryRate) {
  for (int mode : {200, 201, 202, 204, 205, 206}) {
    for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 88200.0, 96000.0}) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << " rate " << rate);
      const int frames = static_cast<int>(rate * 0.25);
      const auto in = Sine(rate / 100.0, 0.5, frames, rate, 2, 0.7);
      const double tf = 1.3;
      const auto r = Render(in, rate, tf, 1.1, mode, static_cast<int>(rate));
      ASSERT_TRUE(r.ok);
      ASSERT_TRUE(AllFinite(r.out));
      EXPECT_LE(r.feed.largest_request, r.max_read);
      EXPECT_EQ(r.feed.after_end_calls, 0);
      EXPECT_EQ(r.final_result, 0);
      // Output covers the stretched input and stops within one pull.
      EXPECT_GE(r.out[0].size(), static_cast<size_t>(frames * tf));
      EXPECT_LE(r.out[0].size(), static_cast<size_t>(frames * tf + rate));
      const int64_t mid = static_cast<int64_t>(frames * tf / 2);
      const int64_t w = static_cast<int64_t>(rate * 0.05);
      const double lvl = Rms(r.out[0], mid - w, mid + w) / (0.5 / std::sqrt(2.0));
      EXPECT_NEAR(Db(lvl), 0.0, 0.5);
      // The stereo image (phase offset between channels) is kept.
      const auto a = testing::Probe(r.out[0], mid - w, static_cast<int>(2 * w),
                                    rate / 100.0 * 1.1, rate);
      const auto b = testing::Probe(r.out[1], mid - w, static_cast<int>(2 * w),
                                    rate / 100.0 * 1.1, rate);
      EXPECT_NEAR(std::arg(b / a), 0.7, 0.05);
    }
  }
}

TEST(TimePitchCoreTest, SilenceStaysSilentAndFast) {
  const auto in = testing::Planar(2, std::vector<float>(44100 * 60, 0.0f));
  const auto t0 = std::chrono::steady_clock::now();
  const auto r = Render(in, kRate, 1.0, 1.0001, 200, 44100);
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  float peak = 0;
  for (float v : r.out[0]) peak = std::max(peak, std::fabs(v));
  EXPECT_EQ(peak, 0.0f);
  std::printf("a minute of silence: %.2f s\n", secs);
  EXPECT_LT(secs, 20.0);  // generous: denormals would cost far more
}

TEST(TimePitchCoreTest, FullScaleNoiseStaysFinite) {
  const auto in = testing::Noise(44100, 2, 1.0);
  // Factors whose product falls below the floor of 0.03 (and the widest
  // ones) still run to the end.
  const auto short_in = testing::Noise(8000, 2, 1.0);
  for (auto [tf, pf] : {std::pair{0.1, 0.1}, std::pair{10.0, 10.0}, std::pair{0.1, 10.0}}) {
    const auto r = Render(short_in, kRate, tf, pf, 200, 44100);
    EXPECT_TRUE(AllFinite(r.out));
    EXPECT_EQ(r.final_result, 0);
  }
  for (int mode : {200, 206}) {
    for (double tf : {0.25, 0.5, 2.5}) {
      const auto r = Render(in, kRate, tf, tf > 1 ? 1.5 : 0.7, mode);
      EXPECT_TRUE(AllFinite(r.out));
      float peak = 0;
      for (float v : r.out[0]) peak = std::max(peak, std::fabs(v));
      EXPECT_LT(peak, 4.0f);
    }
  }
}

// A tempo of 50 % doubles the length within one block, and the engine's
// 16384-frame pulls end with the queue drained.
TEST(TimePitchCoreTest, LengthFollowsTheTimeFactor) {
  const auto in = Sine(300, 0.4, 50000, kRate, 1);
  for (double tf : {2.0, 1.0, 0.5, 4.0}) {
    testing::Feed feed;
    feed.input = &in;
    TimePitchProcessor* h = TimePitchCreate(200, 303, 1, 44100, testing::FeedRead, &feed);
    TimePitchSetProperty(101, tf, h);
    float** buf = AllocPlanarBuffers(1, 1000);
    int64_t total = 0;
    int got;
    while ((got = TimePitchProcess(buf, 1000, h)) > 0) total += got;
    // The last pull is padded to its size; the audio itself is exact.
    EXPECT_GE(total, std::llround(50000 * tf));
    EXPECT_LT(total, std::llround(50000 * tf) + 1000);
    FreePlanarBuffers(buf, 1);
    TimePitchDestroy(h);
  }
}

// With a pre-roll the start is level at once; without one (the input
// starts at the start position) the start is still level after 5 ms.
TEST(TimePitchCoreTest, StartIsLevel) {
  const int pre = 20000;
  const auto in = Sine(440, 0.5, 60000, kRate, 1);
  for (double tf : {2.0, 0.75}) {
    for (bool preroll : {false, true}) {
      SCOPED_TRACE(::testing::Message() << tf << (preroll ? " preroll" : ""));
      testing::Feed feed;
      feed.input = &in;
      TimePitchProcessor* h =
          TimePitchCreate(200, 303, 1, 44100, testing::FeedRead, &feed);
      TimePitchSetProperty(101, tf, h);
      const int wanted = TimePitchPrerollFrames(h);
      EXPECT_GT(wanted, 2048);
      EXPECT_LT(wanted, pre);
      if (preroll) {
        feed.pos = pre - wanted;
        TimePitchSetProperty(kTimePitchPreroll, wanted, h);
      }
      float** buf = AllocPlanarBuffers(1, 8192);
      ASSERT_EQ(TimePitchProcess(buf, 8192, h), 8192);
      std::vector<float> out(buf[0], buf[0] + 8192);
      const double ref = 0.5 / std::sqrt(2.0);
      for (int at = 220; at + 220 < 8192; at += 110) {
        EXPECT_NEAR(Db(Rms(out, at, at + 220) / ref), 0.0, 1.0) << at;
      }
      FreePlanarBuffers(buf, 1);
      TimePitchDestroy(h);
    }
  }
}

// Vibrato moves partials between bins: no onsets should be taken there,
// while a click on top of the tone is.
TEST(TimePitchCoreTest, VibratoIsNoOnsetButAClickIs) {
  std::vector<float> x(88200);
  double ph = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double f = 440 * std::pow(2.0, 0.5 / 12 * std::sin(2 * M_PI * 5.5 * i / kRate));
    ph += 2 * M_PI * f / kRate;
    x[i] = static_cast<float>(0.3 * std::sin(ph) + 0.1 * std::sin(3 * ph));
  }
  testing::Planar in{x};
  testing::Feed feed;
  feed.input = &in;
  TimePitchProcessor* h = TimePitchCreate(200, 303, 1, 44100, testing::FeedRead, &feed);
  TimePitchSetProperty(101, 2.0, h);
  float** buf = AllocPlanarBuffers(1, 44100);
  while (TimePitchProcess(buf, 44100, h) > 0) {
  }
  EXPECT_EQ(h->core()->onsets_used(), 0);
  TimePitchDestroy(h);
  testing::Add(in, testing::Clicks(88200, 30000, 40000, 1, 0.6));
  feed = testing::Feed();
  feed.input = &in;
  h = TimePitchCreate(200, 303, 1, 44100, testing::FeedRead, &feed);
  TimePitchSetProperty(101, 2.0, h);
  while (TimePitchProcess(buf, 44100, h) > 0) {
  }
  EXPECT_EQ(h->core()->onsets_used(), 2);
  FreePlanarBuffers(buf, 1);
  TimePitchDestroy(h);
}

}  // namespace
}  // namespace qv3

#include "stretch/transcription_processor.h"

namespace qv3 {
namespace {

testing::RunResult RenderWith(const testing::Planar& in, int mode, int quality,
                              std::initializer_list<std::pair<int, double>> props,
                              int block = 4096) {
  testing::RunResult r;
  r.feed.input = &in;
  const int ch = static_cast<int>(in.size());
  TimePitchProcessor* h = TimePitchCreate(mode, quality, ch, 44100, testing::FeedRead, &r.feed);
  if (h == nullptr) return r;
  for (const auto& [sel, v] : props) TimePitchSetProperty(sel, v, h);
  float** buf = AllocPlanarBuffers(ch, block);
  r.out.assign(ch, {});
  int got;
  while ((got = TimePitchProcess(buf, block, h)) > 0 &&
         r.out[0].size() < in[0].size() * 4) {
    for (int c = 0; c < ch; ++c) r.out[c].insert(r.out[c].end(), buf[c], buf[c] + got);
  }
  FreePlanarBuffers(buf, ch);
  TimePitchDestroy(h);
  r.ok = true;
  return r;
}

// The constant-load path resamples at the output: pitch by the factor,
// length by the time factor.
TEST(TimePitchCoreTest, ConstantLoadPathShiftsPitchKeepsLength) {
  const auto in = Sine(440, 0.4, 44100, kRate, 1);
  const auto r = RenderWith(in, 200, 303, {{100, 1.5}, {101, 1.0}, {107, 1}});
  ASSERT_TRUE(r.ok);
  EXPECT_NEAR(static_cast<double>(r.out[0].size()), 44100.0, 4096.0);
  const double f = MeasureFrequency(r.out[0], 15000, 660, kRate);
  EXPECT_NEAR(Cents(f, 660), 0.0, 3.0);
  EXPECT_NEAR(Db(Rms(r.out[0], 10000, 30000) / (0.4 / std::sqrt(2.0))), 0.0, 1.0);
}

// Pitch correction pulls a slightly sharp tone onto the nearest semitone of
// the reference (and of a given target frequency).
TEST(TimePitchCoreTest, PitchCorrectionPullsToTheSemitone) {
  const auto in = Sine(452, 0.4, 88200, kRate, 1);
  auto r = RenderWith(in, 200, 303, {{108, 1}, {401, 0}});
  ASSERT_TRUE(r.ok);
  double f = MeasureFrequency(r.out[0], 50000, 440, kRate);
  EXPECT_NEAR(Cents(f, 440), 0.0, 10.0);
  r = RenderWith(in, 200, 303, {{108, 1}, {401, 2}, {501, 430}});
  f = MeasureFrequency(r.out[0], 60000, 430, kRate);
  EXPECT_NEAR(Cents(f, 430), 0.0, 10.0);
}

// Formant correction moves the spectral envelope, not the pitch.
TEST(TimePitchCoreTest, FormantFactorMovesTheEnvelopeNotThePitch) {
  // A buzz (many harmonics of 200 Hz) through a resonance near 1 kHz.
  std::vector<float> x(44100, 0.0f);
  for (int h = 1; h <= 40; ++h) {
    const double f = 200.0 * h;
    const double g = 1.0 / (1.0 + std::pow((f - 1000.0) / 150.0, 2));
    for (size_t i = 0; i < x.size(); ++i) x[i] += static_cast<float>(0.1 * g * std::sin(2 * M_PI * f * i / kRate));
  }
  testing::Planar in{x};
  const auto plain = RenderWith(in, 202, 303, {});
  const auto moved = RenderWith(in, 202, 303, {{102, 1.6}});
  ASSERT_TRUE(plain.ok && moved.ok);
  auto level = [&](const std::vector<float>& y, double f) {
    return std::abs(testing::Probe(y, 20000, 8192, f, kRate));
  };
  // The fundamental stays; energy moves from 1000 Hz up towards 1600 Hz.
  EXPECT_NEAR(Cents(MeasureFrequency(moved.out[0], 20000, 200, kRate), 200), 0.0, 2.0);
  const double before = level(plain.out[0], 1600) / level(plain.out[0], 1000);
  const double after = level(moved.out[0], 1600) / level(moved.out[0], 1000);
  EXPECT_GT(Db(after / before), 10.0);
}

// Qualities 300 and 302 run their pre-analysis; the output stays sane.
TEST(TimePitchCoreTest, PreAnalysisQualitiesWork) {
  const auto in = Sine(330, 0.4, 30000, kRate, 2);
  for (int q : {300, 301, 302}) {
    const auto r = RenderWith(in, 200, q, {{101, 1.5}});
    ASSERT_TRUE(r.ok) << q;
    const double lvl = Rms(r.out[0], 15000, 30000) / (0.4 / std::sqrt(2.0));
    EXPECT_NEAR(Db(lvl), 0.0, 1.5) << q;
    EXPECT_NEAR(Cents(MeasureFrequency(r.out[0], 15000, 330, kRate), 330), 0.0, 3.0) << q;
  }
}

TEST(TranscriptionProcessorTest, AllocatorMessagesAndFixedPoints) {
  ::testing::internal::CaptureStdout();
  deallocf(nullptr, 2);
  float** a = allocf(2, 16);
  ASSERT_NE(a, nullptr);
  std::free(a[1]);
  a[1] = nullptr;
  deallocf(a, 2);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "(2) ERROR freeing memory in deallocf()\n"
            "(1) ERROR freeing memory in deallocf()\n");
  TranscriptionProcessor t;
  ASSERT_TRUE(t.Init(303, 2, 96000, 96000 / 44100.0));
  EXPECT_EQ(t.type(), 4);
  EXPECT_EQ(t.frame_size(), 8192);
  TranscriptionProcessor u;
  ASSERT_TRUE(u.Init(300, 1, 44100, 1.0));
  EXPECT_EQ(u.type(), 1);
  EXPECT_EQ(u.frame_size(), 4096);
}

}  // namespace
}  // namespace qv3
