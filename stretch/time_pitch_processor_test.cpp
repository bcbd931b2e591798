#include "stretch/time_pitch_processor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "stretch/stretch_test_util.h"
#include "stretch/time_pitch_core.h"

namespace qv3 {
namespace {

int NeverCalled(float**, int, void* user) {
  ++*static_cast<int*>(user);
  return -1;
}

TimePitchProcessor* Make(float rate, int channels, int* calls) {
  return TimePitchCreate(200, 303, channels, rate, NeverCalled, calls);
}

TEST(TimePitchProcessorTest, CreateChecksRateAndChannels) {
  int calls = 0;
  struct Case {
    float rate;
    int channels;
    bool ok;
    const char* message;
  } cases[] = {
      {7999, 2, false, "!!! TIMEPITCH ERROR: Sample rate outside supported range\n"},
      {96001, 2, false, "!!! TIMEPITCH ERROR: Sample rate outside supported range\n"},
      {0, 1, false, "!!! TIMEPITCH ERROR: Sample rate outside supported range\n"},
      {44100, 3, false, "!!! TIMEPITCH ERROR: Number of channels outside supported range\n"},
      {8000, 1, true, ""},
      {96000, 2, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rate << " Hz " << c.channels);
    ::testing::internal::CaptureStdout();
    TimePitchProcessor* h = Make(c.rate, c.channels, &calls);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message);
    EXPECT_EQ(h != nullptr, c.ok);
    if (h != nullptr) {
      EXPECT_EQ(h->error(), 0);
      EXPECT_NE(h->core(), nullptr);
    }
    TimePitchDestroy(h);
  }
  EXPECT_EQ(calls, 0);
  EXPECT_STREQ(TimePitchVersion(), "1.0.0 [2612081200] FULL");
}

TEST(TimePitchProcessorTest, PropertiesClampAndAnswerPerConfiguration) {
  int calls = 0;
  TimePitchProcessor* h = Make(44100, 2, &calls);
  ASSERT_NE(h, nullptr);
  TimePitchCore* core = h->core();
  EXPECT_EQ(TimePitchSetProperty(100, 20.0, h), 0);
  EXPECT_EQ(core->pitch_factor(), 10.0);
  EXPECT_EQ(TimePitchSetProperty(100, 0.01, h), 0);
  EXPECT_EQ(core->pitch_factor(), 0.1);
  EXPECT_EQ(TimePitchSetProperty(102, 50.0, h), 0);
  EXPECT_EQ(core->formant_factor(), 10.0);
  EXPECT_EQ(TimePitchSetProperty(105, 1, h), 249);
  EXPECT_EQ(TimePitchSetProperty(106, 1, h), 249);
  // One band: pitch-correction family applies once the switch is on.
  EXPECT_EQ(TimePitchSetProperty(400, 450, h), 249);
  EXPECT_EQ(TimePitchSetProperty(108, 1, h), 0);
  EXPECT_EQ(TimePitchSetProperty(400, 300, h), 0);
  EXPECT_EQ(core->reference_pitch(), 400.0);
  EXPECT_EQ(TimePitchSetProperty(401, 40, h), 0);
  EXPECT_FLOAT_EQ(core->correction_smoothing(), 20.0f);
  EXPECT_EQ(TimePitchSetProperty(500, 1, h), 0);
  EXPECT_EQ(TimePitchSetProperty(501, 220, h), 0);
  EXPECT_EQ(core->target_frequency(), 220.0f);
  // Band switch is ignored in mode 200.
  const double w = core->weighting();
  EXPECT_EQ(TimePitchSetProperty(103, 1, h), 0);
  EXPECT_EQ(core->weighting(), w);
  // Unknown selector: 255, nothing changes, delays still recomputed.
  EXPECT_EQ(TimePitchSetProperty(999, 1, h), 255);
  EXPECT_EQ(core->pitch_factor(), 0.1);
  EXPECT_EQ(TimePitchSetProperty(104, 99999, h), 0);
  EXPECT_EQ(core->cache().granularity(), 4096);
  TimePitchDestroy(h);

  // Several bands: 108 and 500 are not applicable; 103 halves w.
  TimePitchProcessor* m = TimePitchCreate(202, 303, 1, 44100, NeverCalled, &calls);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(TimePitchSetProperty(108, 1, m), 249);
  EXPECT_EQ(TimePitchSetProperty(500, 1, m), 249);
  EXPECT_EQ(TimePitchSetProperty(401, 1, m), 249);
  const double w2 = m->core()->weighting();
  EXPECT_EQ(TimePitchSetProperty(103, 1, m), 0);
  EXPECT_DOUBLE_EQ(m->core()->weighting(), w2 / 2);
  EXPECT_EQ(TimePitchSetProperty(103, 0, m), 0);
  EXPECT_DOUBLE_EQ(m->core()->weighting(), w2);
  TimePitchSetProperty(101, 2.0, m);  // P = 2: last table value 0.71
  EXPECT_EQ(m->core()->alignment_delay(0), 0);
  EXPECT_EQ(m->core()->alignment_delay(2),
            static_cast<int>(0.71 * (2048 - 512)));
  TimePitchDestroy(m);

  // Without a handle.
  EXPECT_EQ(TimePitchSetProperty(100, 2.0, nullptr), 0);
  EXPECT_EQ(TimePitchProcess(nullptr, 10, nullptr), 0);
  TimePitchReset(true, nullptr);
  TimePitchDestroy(nullptr);
}

TEST(TimePitchProcessorTest, PropertiesLockOnceStartedUntilClearingReset) {
  const auto in = testing::Sine(440, 0.5, 20000, 44100, 1);
  testing::Feed feed;
  feed.input = &in;
  TimePitchProcessor* h =
      TimePitchCreate(200, 303, 1, 44100, testing::FeedRead, &feed);
  ASSERT_NE(h, nullptr);
  float** buf = AllocPlanarBuffers(1, 1024);
  EXPECT_EQ(TimePitchProcess(buf, 0, h), -1);
  EXPECT_EQ(TimePitchProcess(nullptr, 10, h), -1);
  EXPECT_EQ(feed.calls, 0);
  EXPECT_EQ(TimePitchSetProperty(101, 1.25, h), 0);
  EXPECT_EQ(TimePitchProcess(buf, 1024, h), 1024);
  EXPECT_GT(h->peak_load(), 0.0);
  EXPECT_EQ(TimePitchSetProperty(101, 2.0, h), -7);
  EXPECT_EQ(h->core()->time_factor(), 1.25);
  TimePitchReset(false, h);
  EXPECT_EQ(TimePitchSetProperty(101, 2.0, h), -7);
  TimePitchReset(true, h);
  EXPECT_EQ(TimePitchSetProperty(101, 2.0, h), 0);
  EXPECT_EQ(h->core()->time_factor(), 2.0);
  FreePlanarBuffers(buf, 1);
  TimePitchDestroy(h);
}

TEST(TimePitchProcessorTest, FactorConversionsAreExact) {
  EXPECT_NEAR(TimePitchPitchFactor(12), 2.0, 1e-12);
  EXPECT_NEAR(TimePitchPitchFactor(-12), 0.5, 1e-12);
  EXPECT_NEAR(TimePitchPitchFactor(0), 1.0, 0);
  EXPECT_DOUBLE_EQ(TimePitchTimeFactor(80), 1.25);
  EXPECT_DOUBLE_EQ(TimePitchTimeFactor(50), 2.0);
}

TEST(TimePitchProcessorTest, RateScalingOfSizesAndCache) {
  int calls = 0;
  struct Case {
    float rate;
    int size;
    double unit;
  } cases[] = {{8000, 1024, 0.25}, {22050, 2048, 0.5}, {44100, 4096, 1.0},
               {48000, 4096, 1.0}, {88200, 8192, 2.0}, {96000, 8192, 2.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    TimePitchProcessor* h = Make(c.rate, 1, &calls);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->core()->band_size(0), c.size);
    EXPECT_EQ(h->core()->cache().unit(), c.unit);
    EXPECT_EQ(h->core()->cache().capacity(),
              std::max(10000, static_cast<int>(65536 * c.unit)));
    TimePitchDestroy(h);
  }
  TimePitchProcessor* h = Make(44100, 1, &calls);
  EXPECT_EQ(h->core()->block_length(), 683);
  EXPECT_EQ(h->core()->weighting(), 0.29);
  TimePitchDestroy(h);
  h = TimePitchCreate(300, 300, 1, 44100, NeverCalled, &calls);  // quality 300
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->core()->block_length(), 1024);
  EXPECT_FALSE(h->core()->switch_a());
  EXPECT_TRUE(h->core()->switch_b());
  TimePitchDestroy(h);
  h = TimePitchCreate(205, 303, 1, 44100, NeverCalled, &calls);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->core()->band_count(), 11);
  EXPECT_EQ(h->core()->band_size(10), 512);
  EXPECT_DOUBLE_EQ(h->core()->band_low(1), 350 * 44100 * 0.000022675736961451248);
  TimePitchDestroy(h);
}

}  // namespace
}  // namespace qv3
