// The mixer on the manual clock: push-stream states, stall and end, stop,
// pause, positions and latency, volume, pan and slides, DSP order, mix-time
// syncs with position jumps, the equaliser and resampling.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "audiolib/audiolib.h"
#include "audiolib/test_util.h"

namespace qv3 {
namespace {

using audiolib_test::TestDataDir;
using audiolib_test::WriteWav16;

class MixerTest : public ::testing::Test {
 protected:
  void Init(uint32_t rate = 44100, uint32_t latency = 0) { ASSERT_TRUE(AudioInitManual(rate, latency)); }
  void TearDown() override { AudioFree(); }

  // Advances and returns the mixed stereo output.
  std::vector<float> Advance(uint32_t frames) {
    std::vector<float> out(frames * 2);
    EXPECT_TRUE(AudioAdvanceManual(frames, out.data()));
    return out;
  }

  static std::vector<int16_t> Constant(uint32_t frames, int16_t l, int16_t r) {
    std::vector<int16_t> v(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
      v[2 * i] = l;
      v[2 * i + 1] = r;
    }
    return v;
  }
};

TEST_F(MixerTest, PushStreamStallsUntilItsEndMarkThenStops) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 2, 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
  ASSERT_TRUE(ChannelPlay(h, false));
  EXPECT_EQ(ChannelIsActive(h), kActiveStalled);  // playing, nothing queued

  auto data = Constant(1000, 16384, -8192);
  EXPECT_EQ(StreamPutData(h, data.data(), 4000), 4000u);
  EXPECT_EQ(ChannelIsActive(h), kActivePlaying);
  auto out = Advance(600);
  EXPECT_FLOAT_EQ(out[0], 0.5f);
  EXPECT_FLOAT_EQ(out[1], -0.25f);
  EXPECT_EQ(ChannelGetData(h, nullptr, kDataAvailable), 400u * 4);
  out = Advance(600);
  EXPECT_FLOAT_EQ(out[2 * 399], 0.5f);
  EXPECT_FLOAT_EQ(out[2 * 400], 0.0f);  // ran dry mid-period
  EXPECT_EQ(ChannelIsActive(h), kActiveStalled);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 1000u * 4);
  EXPECT_EQ(ChannelGetLength(h, kPosByte), 1000u * 4);

  // More data resumes; the end mark lets it stop once drained.
  EXPECT_EQ(StreamPutData(h, data.data(), 400 | kStreamEnd), 400u);
  EXPECT_EQ(ChannelIsActive(h), kActivePlaying);
  Advance(99);
  EXPECT_EQ(ChannelIsActive(h), kActivePlaying);
  Advance(1);
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
  EXPECT_EQ(StreamPutData(h, data.data(), 4), kDataError);
  EXPECT_EQ(ErrorGetCode(), kErrorEnded);

  // Stop resets the queue, the end mark and the position.
  ASSERT_TRUE(ChannelStop(h));
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 0u);
  EXPECT_EQ(StreamPutData(h, data.data(), 4000), 4000u);
  ChannelPlay(h, false);
  Advance(10);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 10u * 4);
}

TEST_F(MixerTest, StopDiscardsTheQueuePauseHoldsIt) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 1, 0);
  std::vector<int16_t> ramp(5000);
  for (int i = 0; i < 5000; ++i) ramp[i] = static_cast<int16_t>(i);
  StreamPutData(h, ramp.data(), 10000);
  ChannelPlay(h, false);
  auto out = Advance(100);
  EXPECT_FLOAT_EQ(out[2 * 99], 99 / 32768.0f);
  EXPECT_FLOAT_EQ(out[2 * 99 + 1], 99 / 32768.0f);  // mono to both sides

  ASSERT_TRUE(ChannelPause(h));
  EXPECT_EQ(ChannelIsActive(h), kActivePaused);
  EXPECT_FALSE(ChannelPause(h));
  out = Advance(100);
  EXPECT_FLOAT_EQ(out[10], 0.0f);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 100u * 2);
  ChannelPlay(h, false);
  out = Advance(1);
  EXPECT_FLOAT_EQ(out[0], 100 / 32768.0f);  // resumes at the next sample

  ChannelStop(h);
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 0u);
  EXPECT_EQ(ChannelGetData(h, nullptr, kDataAvailable), 0u);
  ChannelPlay(h, false);
  EXPECT_EQ(ChannelIsActive(h), kActiveStalled);
  out = Advance(50);
  EXPECT_FLOAT_EQ(out[20], 0.0f);
}

TEST_F(MixerTest, AutoFreeStreamIsFreedAfterItsEnd) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 1, kStreamAutoFree);
  int16_t s[100] = {};
  StreamPutData(h, s, sizeof s | kStreamEnd);
  ChannelPlay(h, false);
  Advance(50);
  ChannelInfo info{};
  EXPECT_TRUE(ChannelGetInfo(h, &info));
  Advance(100);
  EXPECT_FALSE(ChannelGetInfo(h, &info));
  EXPECT_EQ(ErrorGetCode(), kErrorHandle);
}

TEST_F(MixerTest, PartialFramesAreHeldBackUntilComplete) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 2, 0);
  int16_t frame[2] = {1000, -1000};
  StreamPutData(h, frame, 3);  // one and a half samples
  EXPECT_EQ(ChannelGetData(h, nullptr, kDataAvailable), 0u);
  StreamPutData(h, reinterpret_cast<char*>(frame) + 3, 1);
  EXPECT_EQ(ChannelGetData(h, nullptr, kDataAvailable), 4u);
  ChannelPlay(h, false);
  auto out = Advance(1);
  EXPECT_FLOAT_EQ(out[0], 1000 / 32768.0f);
  EXPECT_FLOAT_EQ(out[1], -1000 / 32768.0f);
}

TEST_F(MixerTest, PositionIsWhatHasBeenHeard) {
  Init(44100, 256);
  StreamHandle h = StreamCreatePush(44100, 2, kSampleFloat);
  std::vector<float> zeros(20000 * 2, 0.1f);
  StreamPutData(h, zeros.data(), static_cast<uint32_t>(zeros.size() * 4));
  ChannelPlay(h, false);
  Advance(1000);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), (1000u - 256u) * 8);
  ChannelPause(h);
  Advance(1000);  // the device plays out what it held
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 1000u * 8);
  EXPECT_EQ(AudioGetLatencyFrames(), 256u);
}

TEST_F(MixerTest, VolumeAndPan) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 2, kSampleFloat);
  std::vector<float> half(4000 * 2, 0.5f);
  StreamPutData(h, half.data(), static_cast<uint32_t>(half.size() * 4));
  ChannelPlay(h, false);
  ASSERT_TRUE(ChannelSetAttribute(h, kAttribVol, 0.5f));
  auto out = Advance(10);
  EXPECT_FLOAT_EQ(out[0], 0.25f);
  EXPECT_FLOAT_EQ(out[1], 0.25f);
  ChannelSetAttribute(h, kAttribPan, 1.0f);  // right only
  out = Advance(10);
  EXPECT_FLOAT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[1], 0.25f);
  ChannelSetAttribute(h, kAttribPan, -1.0f);
  out = Advance(10);
  EXPECT_FLOAT_EQ(out[0], 0.25f);
  EXPECT_FLOAT_EQ(out[1], 0.0f);
  float v = 0;
  ASSERT_TRUE(ChannelGetAttribute(h, kAttribPan, &v));
  EXPECT_FLOAT_EQ(v, -1.0f);
  EXPECT_FALSE(ChannelSetAttribute(h, 99, 1.0f));
  EXPECT_EQ(ErrorGetCode(), kErrorIllType);
}

TEST_F(MixerTest, SlideReachesItsTargetInTimeWithoutSteps) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 1, kSampleFloat);
  std::vector<float> ones(10000, 1.0f);
  StreamPutData(h, ones.data(), static_cast<uint32_t>(ones.size() * 4));
  ChannelPlay(h, false);
  ASSERT_TRUE(ChannelSlideAttribute(h, kAttribVol, 0.0f, 100));  // 4410 frames
  EXPECT_TRUE(ChannelIsSliding(h, kAttribVol));
  auto out = Advance(5000);
  double max_step = 0;
  for (int i = 1; i < 4410; ++i) max_step = std::max(max_step, std::fabs(double(out[2 * i]) - out[2 * i - 2]));
  EXPECT_LT(max_step, 1.01 / 4410);  // a straight per-sample line
  EXPECT_NEAR(out[2 * 2205], 0.5, 0.001);
  EXPECT_FLOAT_EQ(out[2 * 4409], 0.0f);
  EXPECT_FLOAT_EQ(out[2 * 4800], 0.0f);
  EXPECT_FALSE(ChannelIsSliding(h, kAttribVol));
  float v = 1;
  ChannelGetAttribute(h, kAttribVol, &v);
  EXPECT_FLOAT_EQ(v, 0.0f);
}

struct DspLog {
  std::vector<int> order;
  uint32_t last_len = 0;
};

template <int Id>
void LogDsp(DspHandle, StreamHandle, void* buf, uint32_t len, void* user) {
  auto* log = static_cast<DspLog*>(user);
  log->order.push_back(Id);
  log->last_len = len;
  // Each DSP adds its id to the first left sample, so the order shows in the data too.
  auto* s = static_cast<int16_t*>(buf);
  s[0] = static_cast<int16_t>(s[0] * 10 + Id);
}

TEST_F(MixerTest, DspRunsByPriorityOnTheChannelFormat) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 2, 0);
  DspLog log;
  ChannelSetDSP(h, LogDsp<1>, &log, 1);
  DspHandle d3 = ChannelSetDSP(h, LogDsp<3>, &log, 3);
  ChannelSetDSP(h, LogDsp<2>, &log, 2);
  ChannelSetDSP(h, LogDsp<4>, &log, 2);  // same priority: after the earlier one
  auto data = Constant(100, 0, 0);
  StreamPutData(h, data.data(), 400);
  ChannelPlay(h, false);
  auto out = Advance(100);
  ASSERT_EQ(log.order, (std::vector<int>{3, 2, 4, 1}));
  EXPECT_EQ(log.last_len, 100u * 4);  // 16-bit stereo samples
  EXPECT_FLOAT_EQ(out[0], 3241 / 32768.0f);
  ASSERT_TRUE(ChannelRemoveDSP(h, d3));
  EXPECT_FALSE(ChannelRemoveDSP(h, d3));
  log.order.clear();
  StreamPutData(h, data.data(), 400);
  Advance(100);
  EXPECT_EQ(log.order, (std::vector<int>{2, 4, 1}));
}

// A 16-bit mono WAV whose sample i holds i, so positions show in the output.
std::string RampWav() {
  const std::string path = TestDataDir() + "/ramp.wav";
  std::vector<int16_t> v(30000);
  for (int i = 0; i < 30000; ++i) v[i] = static_cast<int16_t>(i);
  WriteWav16(path, v, 44100, 1);
  return path;
}

int SampleAt(const std::vector<float>& out, size_t frame) {
  return static_cast<int>(std::lround(out[2 * frame] * 32768.0f));
}

struct Slice {
  StreamHandle stream = 0;
  uint32_t start = 0;
  bool repeat = true;
  int calls = 0;
};

void EndOfSlice(SyncHandle, StreamHandle ch, uint32_t, void* user) {
  auto* s = static_cast<Slice*>(user);
  ++s->calls;
  if (!s->repeat) ChannelPause(ch);
  ChannelSetPosition(ch, s->start * 2, kPosByte);
}

TEST_F(MixerTest, MixtimeSyncRepeatsASliceSampleExactly) {
  Init();
  StreamHandle h = StreamCreateFile(RampWav().c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  ChannelInfo info{};
  ChannelGetInfo(h, &info);
  const uint32_t bpf = info.origres / 8 * info.chans;
  ASSERT_EQ(bpf, 2u);
  Slice slice{h, 1000, true, 0};
  const uint32_t duration = 300;
  ChannelPause(h);
  ASSERT_TRUE(ChannelSetPosition(h, slice.start * bpf, kPosByte));
  ASSERT_NE(ChannelSetSync(h, kSyncPos | kSyncMixtime, (slice.start + duration) * bpf, EndOfSlice, &slice), 0u);
  ChannelPlay(h, false);
  auto out = Advance(1000);  // periods of 1000 frames cut the slice anywhere
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(SampleAt(out, i), 1000 + static_cast<int>(i % duration)) << i;
  EXPECT_EQ(slice.calls, 3);

  // Auto repeat off: plays to the end once more and waits at the start.
  slice.repeat = false;
  out = Advance(400);
  EXPECT_EQ(SampleAt(out, 199), 1299);
  EXPECT_EQ(SampleAt(out, 200), 0);  // paused: silence from the sync on
  EXPECT_EQ(ChannelIsActive(h), kActivePaused);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), slice.start * bpf);
}

TEST_F(MixerTest, ZeroLengthSliceIsSilentAndSlicePastTheEndStops) {
  Init();
  StreamHandle h = StreamCreateFile(RampWav().c_str(), 0, 0, 0);
  Slice slice{h, 500, true, 0};
  ChannelSetPosition(h, 500 * 2, kPosByte);
  SyncHandle s = ChannelSetSync(h, kSyncPos | kSyncMixtime, 500 * 2, EndOfSlice, &slice);
  ChannelPlay(h, false);
  auto out = Advance(2048);
  for (size_t i = 0; i < 2048; ++i) ASSERT_EQ(SampleAt(out, i), 0);
  EXPECT_GE(slice.calls, 2);  // restarts at once, every period
  ASSERT_TRUE(ChannelRemoveSync(h, s));

  // A sync beyond the end is never reached; the stream stops at the end.
  ChannelSetPosition(h, 29000 * 2, kPosByte);
  ChannelSetSync(h, kSyncPos | kSyncMixtime, 40000 * 2, EndOfSlice, &slice);
  const int calls = slice.calls;
  out = Advance(1500);
  EXPECT_EQ(SampleAt(out, 999), 29999);
  EXPECT_EQ(SampleAt(out, 1000), 0);
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
  EXPECT_EQ(slice.calls, calls);
}

void JumpFar(SyncHandle, StreamHandle ch, uint32_t, void*) { ChannelSetPosition(ch, 250000 * 2, kPosByte); }

TEST_F(MixerTest, MixtimeJumpBeyondTheBufferContinuesAtTheTarget) {
  Init();
  // 300 000 frames whose sample i holds i % 30000: far more than the
  // stream keeps decoded around its position.
  const std::string path = TestDataDir() + "/long_ramp.wav";
  std::vector<int16_t> v(300000);
  for (int i = 0; i < 300000; ++i) v[i] = static_cast<int16_t>(i % 30000);
  WriteWav16(path, v, 44100, 1);
  StreamHandle h = StreamCreateFile(path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  ChannelSetSync(h, kSyncPos | kSyncMixtime | kSyncOnetime, 1000 * 2, JumpFar, nullptr);
  ChannelPlay(h, false);
  std::vector<float> all;
  for (int i = 0; i < 400 && all.size() < 2 * 6000; ++i) {
    auto out = Advance(100);
    all.insert(all.end(), out.begin(), out.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(SampleAt(all, i), static_cast<int>(i));
  // Silence while the decoder seeks, then frame 250000 onwards without a gap.
  size_t first = 1000;
  while (first < all.size() / 2 && SampleAt(all, first) == 0) ++first;
  ASSERT_LT(first, all.size() / 2);
  const int base = 250000 % 30000;
  for (size_t i = first; i < all.size() / 2; ++i) ASSERT_EQ(SampleAt(all, i), base + static_cast<int>(i - first)) << i;
  EXPECT_GE(ChannelGetPosition(h, kPosByte), 250000u * 2);
}

TEST_F(MixerTest, NonMixtimeSyncsArriveOnTheirThread) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 1, 0);
  struct Got {
    int pos = 0, end = 0;
  } got;
  ChannelSetSync(h, kSyncPos, 100 * 2, [](SyncHandle, StreamHandle, uint32_t, void* u) {
    ++static_cast<Got*>(u)->pos;
  }, &got);
  ChannelSetSync(h, kSyncEnd, 0, [](SyncHandle, StreamHandle, uint32_t, void* u) {
    ++static_cast<Got*>(u)->end;
  }, &got);
  std::vector<int16_t> data(300, 1);
  StreamPutData(h, data.data(), 600 | kStreamEnd);
  ChannelPlay(h, false);
  Advance(1000);
  EXPECT_EQ(got.pos, 1);
  EXPECT_EQ(got.end, 1);
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
}

double RmsDb(const std::vector<float>& out, size_t from, size_t to) {
  double s = 0;
  for (size_t i = from; i < to; ++i) s += out[2 * i] * static_cast<double>(out[2 * i]);
  return 10 * std::log10(s / (to - from));
}

TEST_F(MixerTest, EqualiserGainAtCentreAndBypassNearNyquist) {
  for (uint32_t rate : {44100u, 32000u}) {
    Init(rate);
    auto sine = [&](double hz, uint32_t frames) {
      std::vector<float> v(frames);
      for (uint32_t i = 0; i < frames; ++i) v[i] = static_cast<float>(0.1 * std::sin(2 * M_PI * hz * i / rate));
      return v;
    };
    for (float gain : {6.0f, -15.0f, 15.0f}) {
      StreamHandle h = StreamCreatePush(rate, 1, kSampleFloat);
      FxHandle fx = ChannelSetFX(h, kFxParamEq, 0);
      ParamEqParameters p{1000.0f, 12.0f, gain};
      ASSERT_TRUE(FXSetParameters(fx, &p));
      ParamEqParameters back{};
      ASSERT_TRUE(FXGetParameters(fx, &back));
      EXPECT_FLOAT_EQ(back.gain, gain);
      auto in = sine(1000, rate);
      StreamPutData(h, in.data(), static_cast<uint32_t>(in.size() * 4));
      ChannelPlay(h, false);
      auto out = Advance(rate);
      const double ref = 10 * std::log10(0.005);  // RMS of a 0.1 sine
      EXPECT_NEAR(RmsDb(out, rate / 2, rate) - ref, gain, 0.5) << rate << " " << gain;
      StreamFree(h);
    }
    // The 16 kHz band of the equaliser at 32 kHz sits above 0.45 x rate:
    // it must pass the signal unchanged instead of ringing up.
    StreamHandle h = StreamCreatePush(rate, 1, kSampleFloat);
    FxHandle fx = ChannelSetFX(h, kFxParamEq, 0);
    ParamEqParameters p{16000.0f, 12.0f, 15.0f};
    FXSetParameters(fx, &p);
    auto in = sine(5000, rate / 4);
    StreamPutData(h, in.data(), static_cast<uint32_t>(in.size() * 4));
    ChannelPlay(h, false);
    auto out = Advance(rate / 4);
    for (size_t i = 0; i < in.size(); ++i) {
      if (rate == 32000) {
        ASSERT_FLOAT_EQ(out[2 * i], in[i]);
      } else {
        ASSERT_TRUE(std::isfinite(out[2 * i]) && std::fabs(out[2 * i]) < 1.0f);
      }
    }
    AudioFree();
  }
}

TEST_F(MixerTest, BoostedSixteenBitStreamClipsInsteadOfWrapping) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 2, 0);
  FxHandle fx = ChannelSetFX(h, kFxParamEq, 0);
  ParamEqParameters p{1000.0f, 12.0f, 15.0f};
  FXSetParameters(fx, &p);
  std::vector<int16_t> in(44100 * 2);
  for (size_t i = 0; i < 44100; ++i)
    in[2 * i] = in[2 * i + 1] = static_cast<int16_t>(29000 * std::sin(2 * M_PI * 1000 * i / 44100.0));
  StreamPutData(h, in.data(), static_cast<uint32_t>(in.size() * 2));
  ChannelPlay(h, false);
  auto out = Advance(44100);
  float hi = 0, lo = 0;
  int clipped = 0;
  for (size_t i = 4410; i < 44100; ++i) {
    hi = std::max(hi, out[2 * i]);
    lo = std::min(lo, out[2 * i]);
    clipped += out[2 * i] >= 32767 / 32768.0f;
    // A wrapped sample would jump across zero between neighbours.
    ASSERT_LT(std::fabs(out[2 * i] - out[2 * i - 2]), 1.0f) << i;
  }
  EXPECT_EQ(hi, 32767 / 32768.0f);
  EXPECT_EQ(lo, -1.0f);
  EXPECT_GT(clipped, 1000);
}

TEST_F(MixerTest, StreamsOfOtherRatesAreResampledBandLimited) {
  Init(44100);
  // 1 kHz at 22 050 Hz keeps its pitch and level at 44 100 Hz.
  StreamHandle h = StreamCreatePush(22050, 1, kSampleFloat);
  std::vector<float> in(22050);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 1000 * i / 22050.0));
  StreamPutData(h, in.data(), static_cast<uint32_t>(in.size() * 4));
  ChannelPlay(h, false);
  auto out = Advance(44100);
  int crossings = 0;
  for (size_t i = 4410 + 1; i < 4410 + 44100 / 2; ++i) crossings += (out[2 * i - 2] < 0) != (out[2 * i] < 0);
  EXPECT_NEAR(crossings, 1000, 2);  // 500 periods in half a second
  EXPECT_NEAR(RmsDb(out, 4410, 30000), 10 * std::log10(0.125), 0.2);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 22050u * 4);
  StreamFree(h);

  // 18 kHz at 48 000 Hz lies above the mixer's Nyquist frequency: filtered out.
  h = StreamCreatePush(48000, 1, kSampleFloat);
  std::vector<float> high(48000);
  for (size_t i = 0; i < high.size(); ++i) high[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 23000 * i / 48000.0));
  StreamPutData(h, high.data(), static_cast<uint32_t>(high.size() * 4));
  ChannelPlay(h, false);
  out = Advance(22050);
  EXPECT_LT(RmsDb(out, 1000, 20000) - 10 * std::log10(0.125), -40.0);
}

TEST_F(MixerTest, FloatInputIsSanitisedAndSixteenBitSaturates) {
  Init();
  StreamHandle h = StreamCreatePush(44100, 1, kSampleFloat);
  const float bad[4] = {std::nanf(""), INFINITY, -INFINITY, 0.25f};
  StreamPutData(h, bad, sizeof bad);
  ChannelPlay(h, false);
  auto out = Advance(4);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_TRUE(std::isfinite(out[2]) && std::isfinite(out[4]));
  EXPECT_EQ(out[6], 0.25f);

  // A float file played as a 16-bit stream: over-range samples clip to the
  // 16-bit limits instead of wrapping around.
  const std::string path = TestDataDir() + "/loud_float.wav";
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    const float samples[4] = {2.0f, -2.0f, std::nanf(""), 0.5f};
    auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + 16);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(3);
    u16(1);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(32);
    std::fwrite("data", 1, 4, f);
    u32(16);
    std::fwrite(samples, 4, 4, f);
    std::fclose(f);
  }
  StreamHandle d = StreamCreateFile(path.c_str(), 0, 0, kStreamDecode);
  ASSERT_NE(d, 0u);
  int16_t s[4];
  ASSERT_EQ(ChannelGetData(d, s, sizeof s), sizeof s);
  EXPECT_EQ(s[0], 32767);
  EXPECT_EQ(s[1], -32768);
  EXPECT_EQ(s[2], 0);
  EXPECT_EQ(s[3], 16384);
}

TEST_F(MixerTest, SetUpErrorsAndRules) {
  Init();
  EXPECT_FALSE(AudioInit(0, 44100, 0));
  EXPECT_EQ(ErrorGetCode(), kErrorAlready);
  EXPECT_EQ(AudioGetVersion() >> 16, 0x0204u);
  EXPECT_NE(AudioPluginLoad("bass_aac.dll", 0), 0u);
  // Mix-time-only calls are refused from a DSP procedure.
  StreamHandle h = StreamCreatePush(44100, 1, 0);
  static int refused = 0;
  ChannelSetDSP(h, [](DspHandle, StreamHandle ch, void*, uint32_t, void*) {
    if (!ChannelStop(ch) && ErrorGetCode() == kErrorNotAvail) ++refused;
  }, nullptr, 0);
  int16_t one[8] = {};
  StreamPutData(h, one, sizeof one);
  ChannelPlay(h, false);
  Advance(8);
  EXPECT_EQ(refused, 1);
  AudioFree();
  EXPECT_FALSE(AudioInit(-7, 44100, 0));
  EXPECT_EQ(ErrorGetCode(), kErrorDevice);
  EXPECT_EQ(StreamCreatePush(44100, 2, 0), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorInit);
}

TEST_F(MixerTest, NullDeviceConsumesAtRealTime) {
  // QV3_AUDIO_DEVICE=null selects the null device for the default device.
  setenv("QV3_AUDIO_DEVICE", "null", 1);
  ASSERT_TRUE(AudioInit(-1, 44100, 0)) << ErrorGetCode();
  EXPECT_EQ(AudioGetInfoRate(), 44100u);
  StreamHandle h = StreamCreatePush(44100, 2, 0);
  std::vector<int16_t> data(4410 * 2, 100);  // 100 ms
  StreamPutData(h, data.data(), static_cast<uint32_t>(data.size() * 2) | kStreamEnd);
  const auto start = std::chrono::steady_clock::now();
  ChannelPlay(h, false);
  while (ChannelIsActive(h) != kActiveStopped &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(elapsed, 0.08);
  EXPECT_LT(elapsed, 2.0);
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 4410u * 4);
}

}  // namespace
}  // namespace qv3
