// The building blocks: sample conversions, the peaking band's design, the
// device timestamp check, the push queue across threads, and hooks removed
// while the null device mixes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "audiolib/audiolib.h"
#include "audiolib/dsp_chain.h"
#include "audiolib/output_device.h"
#include "audiolib/push_queue.h"
#include "audiolib/sample_convert.h"

namespace qv3::audio_internal {
namespace {

TEST(SampleConvertTest, FloatToInt16SaturatesAndMapsNanToZero) {
  EXPECT_EQ(FloatToInt16(0.0f), 0);
  EXPECT_EQ(FloatToInt16(0.5f), 16384);
  EXPECT_EQ(FloatToInt16(-0.5f), -16384);
  EXPECT_EQ(FloatToInt16(1.0f), 32767);
  EXPECT_EQ(FloatToInt16(-1.0f), -32768);
  EXPECT_EQ(FloatToInt16(1.53f), 32767);
  EXPECT_EQ(FloatToInt16(-7e30f), -32768);
  EXPECT_EQ(FloatToInt16(INFINITY), 32767);
  EXPECT_EQ(FloatToInt16(-INFINITY), -32768);
  EXPECT_EQ(FloatToInt16(std::nanf("")), 0);
  EXPECT_EQ(SanitizeSample(std::nanf("")), 0.0f);
  EXPECT_EQ(SanitizeSample(1e9f), 64.0f);
}

TEST(ParamEqTest, GainAtCentreAndBypassAtOrAboveNearNyquist) {
  for (uint32_t rate : {22050u, 32000u, 44100u, 48000u, 96000u}) {
    for (float centre : {80.0f, 1000.0f, 8000.0f}) {
      if (centre >= 0.45f * rate) continue;
      for (float gain : {-15.0f, -3.0f, 6.0f, 15.0f}) {
        const ParamEqParameters p{centre, 12.0f, gain};
        EXPECT_NEAR(ParamEq::ResponseDb(p, rate, centre), gain, 0.05) << rate << " " << centre;
        // One octave either side (12 semitones of bandwidth) is well inside.
        EXPECT_LT(std::fabs(ParamEq::ResponseDb(p, rate, centre * 8)), std::fabs(gain));
      }
    }
  }
  EXPECT_EQ(ParamEq::ResponseDb({16000.0f, 12.0f, 15.0f}, 32000, 10000), 0.0);
  EXPECT_EQ(ParamEq::ResponseDb({16000.0f, 12.0f, 15.0f}, 22050, 10000), 0.0);
  EXPECT_NE(ParamEq::ResponseDb({14000.0f, 12.0f, 15.0f}, 32000, 14000), 0.0);

  // Parameters are clamped: gains to +-15 dB, bandwidth to 1..36 semitones.
  ParamEq eq;
  eq.SetParameters({1000.0f, 100.0f, 40.0f});
  EXPECT_EQ(eq.GetParameters().gain, 15.0f);
  EXPECT_EQ(eq.GetParameters().bandwidth, 36.0f);
}

TEST(TimestampCheckTest, PlausibleTimesAreUsedOthersFallBack) {
  TimestampCheck check;
  EXPECT_NEAR(check.Latency(10.0, 10.05, 0.2), 0.05, 1e-9);
  EXPECT_DOUBLE_EQ(check.Latency(10.0, 10.05, 0.2), 0.2);  // stuck clock
  EXPECT_NEAR(check.Latency(10.01, 10.06, 0.2), 0.05, 1e-9);
  EXPECT_DOUBLE_EQ(check.Latency(0.0, 0.0, 0.2), 0.2);     // missing
  EXPECT_DOUBLE_EQ(check.Latency(11.0, 9.0, 0.2), 0.2);    // DAC time in the past
  EXPECT_DOUBLE_EQ(check.Latency(12.0, 20.0, 0.2), 0.2);   // absurd latency
  EXPECT_DOUBLE_EQ(check.Latency(std::nan(""), 1.0, 0.2), 0.2);
}

TEST(PushQueueTest, BytesArriveInOrderAcrossThreads) {
  PushQueue q;
  constexpr uint32_t kCount = 200000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    uint32_t next = 0;
    while (next < kCount) {
      uint32_t block[37];
      uint32_t n = std::min<uint32_t>(37, kCount - next);
      for (uint32_t i = 0; i < n; ++i) block[i] = next + i;
      ASSERT_TRUE(q.Put(block, n * 4));
      next += n;
    }
    done = true;
  });
  uint32_t expect = 0;
  uint32_t buf[64];
  while (expect < kCount) {
    uint32_t got = q.Read(buf, sizeof buf) / 4;
    for (uint32_t i = 0; i < got; ++i) ASSERT_EQ(buf[i], expect++);
    if (!got) std::this_thread::yield();
  }
  producer.join();
  EXPECT_EQ(q.queued(), 0u);
  EXPECT_EQ(q.consumed_total(), kCount * 4ull);
}

std::atomic<int> g_calls_after_removal{0};
std::atomic<bool> g_removed{false};

void CountingDsp(DspHandle, StreamHandle, void*, uint32_t, void*) {
  if (g_removed.load()) ++g_calls_after_removal;
}

TEST(HookRemovalTest, RemovedProceduresAreNeverCalledAgainWhileMixing) {
  ASSERT_TRUE(AudioInit(0, 44100, 0));  // the null device mixes on its own thread
  StreamHandle h = StreamCreatePush(44100, 2, 0);
  std::vector<int16_t> data(44100 * 2 * 2, 100);
  StreamPutData(h, data.data(), static_cast<uint32_t>(data.size() * 2));
  ChannelPlay(h, false);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < end) {
    g_removed = false;
    DspHandle d = ChannelSetDSP(h, CountingDsp, nullptr, rounds % 3);
    FxHandle fx = ChannelSetFX(h, kFxParamEq, 1);
    ParamEqParameters p{1000.0f, 12.0f, 3.0f};
    FXSetParameters(fx, &p);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    ASSERT_TRUE(ChannelRemoveDSP(h, d));
    g_removed = true;
    ASSERT_TRUE(ChannelRemoveFX(h, fx));
    ChannelSetAttribute(h, kAttribVol, (rounds % 10) / 10.0f);
    ++rounds;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(g_calls_after_removal.load(), 0);
  EXPECT_GT(rounds, 50);
  EXPECT_TRUE(StreamFree(h));
  EXPECT_TRUE(AudioFree());
}

}  // namespace
}  // namespace qv3::audio_internal
