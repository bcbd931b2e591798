#include "engine/audio_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/player_test_support.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeProcessorOps;
using testing_support::g_fake;
using testing_support::RecordingOwner;
using testing_support::WaitUntil;
using testing_support::WriteSine;
using testing_support::WriteWav;

constexpr int64_t kStereoSecond = 44100 * 8;  // float bytes of one stereo second
constexpr float kPcmUnit = 21400.0f / 32768.0f;

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioFree();
    ASSERT_TRUE(AudioInitManual(44100, 0));
    g_fake.Clear();
    SetTimerHold(false);
  }
  void TearDown() override {
    player_.reset();
    AudioFree();
    SetTimerHold(false);
  }
  AudioPlayer& MakePlayer(bool fake = true) {
    player_ = std::make_unique<AudioPlayer>(&owner_, fake ? FakeProcessorOps()
                                                          : DefaultProcessorOps());
    return *player_;
  }
  std::string Sine(const std::string& name, double seconds, int channels = 2, int rate = 44100) {
    std::string path = dir_.Sub(name);
    EXPECT_TRUE(WriteSine(path, rate, channels, seconds));
    return path;
  }
  // Opens a sine song with the stand-in processor (mode 200, quality 303).
  AudioPlayer& OpenSine(double seconds, int channels = 2) {
    AudioPlayer& p = MakePlayer();
    EXPECT_EQ(p.OpenSource(Sine("song.wav", seconds, channels), 303, 200, false), 0);
    return p;
  }
  // Runs the manual output clock; `out` collects the mixed stereo floats.
  static void Advance(int64_t frames, std::vector<float>* out = nullptr) {
    std::vector<float> buf(size_t(4096) * 2);
    for (int64_t done = 0; done < frames;) {
      uint32_t n = uint32_t(std::min<int64_t>(4096, frames - done));
      ASSERT_TRUE(AudioAdvanceManual(n, buf.data()));
      if (out) out->insert(out->end(), buf.begin(), buf.begin() + 2 * n);
      done += n;
    }
  }
  // Waits until the output holds `frames` frames queued since the last play
  // (samples_pushed counts a block just before it is queued).
  bool WaitPushedFrames(int64_t frames, int channels = 2) {
    return WaitUntil([&] {
      return ChannelGetLength(player_->output_stream(), kPosByte) >= uint64_t(frames * channels * 2);
    });
  }
  bool WaitWorkerResult(int result, std::chrono::milliseconds timeout = 5000ms) {
    return WaitUntil([&] { return player_->last_worker_result() == result; }, timeout);
  }

  TempDir dir_;
  RecordingOwner owner_;
  std::unique_ptr<AudioPlayer> player_;
};

TEST_F(PlayerTest, EverythingIsNeutralWhileNothingIsOpen) {
  AudioPlayer& p = MakePlayer();
  EXPECT_FALSE(p.IsOpen());
  EXPECT_FALSE(p.IsPlaying());
  EXPECT_FALSE(p.IsPlayingOrStalled());
  EXPECT_FALSE(p.IsPaused());
  EXPECT_FALSE(p.IsStopped());
  EXPECT_EQ(p.LengthBytes(), 0);
  EXPECT_EQ(p.LengthSeconds(), 0.0);
  EXPECT_EQ(p.BytesToSeconds(352800), 0.0);
  EXPECT_EQ(p.SecondsToBytes(1.0), 0);
  EXPECT_EQ(p.SampleRate(), 0u);
  EXPECT_EQ(p.TotalFrames(), 0);
  EXPECT_EQ(p.Position(), 0);
  EXPECT_EQ(p.PositionSeconds(), 0.0);
  EXPECT_EQ(p.Play(1000), 0);
  EXPECT_EQ(p.PauseToggle(), 0);
  EXPECT_EQ(p.Stop(), 0);
  EXPECT_EQ(p.CloseSource(), 0);
  p.SetVolume(0.5f);
  p.SetChannelSolo(true, false);
  EXPECT_EQ(p.pitch_factor(), 1.0);
  EXPECT_EQ(p.time_factor(), 1.0);
  EXPECT_TRUE(owner_.Notes().empty());
}

TEST_F(PlayerTest, OpenResultsAndTheLengthCount) {
  AudioPlayer& p = MakePlayer();
  EXPECT_EQ(p.OpenSource(dir_.Sub("missing.wav"), 303, 200, true), kPlayerCannotDecode);
  std::ofstream(dir_.Sub("noise.wav")) << "this is not audio at all, just some text bytes";
  EXPECT_EQ(p.OpenSource(dir_.Sub("noise.wav"), 303, 200, true), kPlayerCannotDecode);

  ASSERT_TRUE(WriteWav(dir_.Sub("six.wav"), 44100, 6, 4410, [](int64_t, int) { return 0.1f; }));
  EXPECT_EQ(p.OpenSource(dir_.Sub("six.wav"), 303, 200, true), kPlayerBadChannels);
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.decode_stream(), 0u);
  EXPECT_EQ(p.CloseSource(), 0);
  EXPECT_TRUE(owner_.Notes().empty());

  std::string song = Sine("song.wav", 1.0);
  ASSERT_EQ(p.OpenSource(song, 303, 200, true), kPlayerOpenOk);
  EXPECT_TRUE(p.IsOpen());
  EXPECT_EQ(p.TotalFrames(), 44100);
  EXPECT_EQ(p.SampleRate(), 44100u);
  EXPECT_EQ(p.LengthBytes(), kStereoSecond);
  EXPECT_DOUBLE_EQ(p.LengthSeconds(), 1.0);
  EXPECT_EQ(p.SecondsToBytes(0.5), kStereoSecond / 2);
  EXPECT_DOUBLE_EQ(p.BytesToSeconds(kStereoSecond / 4), 0.25);
  EXPECT_EQ(p.processing_mode(), 200);
  EXPECT_EQ(p.processing_quality(), 303);
  EXPECT_EQ(owner_.Values(kPlayerNotifyOpened), (std::vector<int64_t>{0}));
  ASSERT_EQ(owner_.published.size(), 1u);
  EXPECT_EQ(owner_.published[0], p.output_stream());

  // Open while open: refused, nothing changes.
  StreamHandle decode = p.decode_stream();
  EXPECT_EQ(p.OpenSource(song, 303, 206, true), kPlayerAlreadyOpen);
  EXPECT_EQ(p.decode_stream(), decode);
  EXPECT_EQ(p.processing_mode(), 200);
  EXPECT_EQ(owner_.Count(kPlayerNotifyOpened), 1);

  EXPECT_EQ(p.CloseSource(), 1);
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.TotalFrames(), 0);
  EXPECT_EQ(owner_.published.back(), 0u);
  EXPECT_EQ(p.CloseSource(), 0);

  // Without the notify flag nothing is posted. At exactly 88200 Hz the count
  // is twice the frame count.
  ASSERT_EQ(p.OpenSource(Sine("fast.wav", 1.0, 2, 88200), 303, 200, false), kPlayerOpenOk);
  EXPECT_EQ(p.TotalFrames(), 2 * 88200);
  EXPECT_EQ(owner_.Count(kPlayerNotifyOpened), 1);
  p.CloseSource();

  g_fake.fail_create = true;
  EXPECT_EQ(p.OpenSource(song, 303, 200, true), kPlayerNoProcessor);
  EXPECT_EQ(p.decode_stream(), 0u);
  g_fake.fail_create = false;
  EXPECT_EQ(p.OpenSource(song, 303, 200, true), kPlayerOpenOk);
}

TEST_F(PlayerTest, PrescanIsChosenByTheLowerCasedExtension) {
  AudioPlayer& p = MakePlayer();
  // WAV content under MP3 names: the decoder goes by content, the flags by name.
  std::string upper = Sine("SONG.MP3", 0.2);
  ASSERT_EQ(p.OpenSource(upper, 303, 200, false), kPlayerOpenOk);
  ChannelInfo info{};
  ASSERT_TRUE(ChannelGetInfo(p.decode_stream(), &info));
  EXPECT_NE(info.flags & kStreamPrescan, 0u);
  EXPECT_NE(info.flags & kSampleFloat, 0u);
  EXPECT_NE(info.flags & kStreamDecode, 0u);
  p.CloseSource();
  ASSERT_EQ(p.OpenSource(Sine("song.mp3.wav", 0.2), 303, 200, false), kPlayerOpenOk);
  ASSERT_TRUE(ChannelGetInfo(p.decode_stream(), &info));
  EXPECT_EQ(info.flags & kStreamPrescan, 0u);
}

TEST_F(PlayerTest, TempoAndPitchRangesAndFactors) {
  AudioPlayer& p = MakePlayer();
  EXPECT_EQ(p.SetTempo(50), 1);
  EXPECT_DOUBLE_EQ(p.time_factor(), 2.0);
  EXPECT_EQ(p.SetTempo(9.99), 0);
  EXPECT_EQ(p.SetTempo(400.01), 0);
  EXPECT_EQ(p.SetTempo(std::nan("")), 0);
  EXPECT_DOUBLE_EQ(p.time_factor(), 2.0);
  EXPECT_EQ(p.SetTempo(10), 1);
  EXPECT_DOUBLE_EQ(p.time_factor(), 10.0);
  EXPECT_EQ(p.SetTempo(400), 1);
  EXPECT_DOUBLE_EQ(p.time_factor(), 0.25);
  EXPECT_EQ(p.SetTempo(80), 1);
  EXPECT_DOUBLE_EQ(p.time_factor(), 1.25);

  EXPECT_EQ(p.SetPitch(12), 1);
  EXPECT_NEAR(p.pitch_factor(), 2.0, 1e-12);
  EXPECT_EQ(p.SetPitch(24.01), 0);
  EXPECT_EQ(p.SetPitch(-24.01), 0);
  EXPECT_EQ(p.SetPitch(std::nan("")), 0);
  EXPECT_NEAR(p.pitch_factor(), 2.0, 1e-12);
  EXPECT_EQ(p.SetPitch(-12), 1);
  EXPECT_NEAR(p.pitch_factor(), 0.5, 1e-12);
  EXPECT_EQ(p.SetPitch(24), 1);
  EXPECT_NEAR(p.pitch_factor(), 4.0, 1e-12);
  EXPECT_EQ(p.SetPitch(-24), 1);
  EXPECT_NEAR(p.pitch_factor(), 0.25, 1e-12);
  EXPECT_EQ(p.SetPitch(0), 1);
  EXPECT_EQ(p.pitch_factor(), 1.0);
}

struct TempoCase {
  double tempo;
  double source_seconds;  // source time heard in 10 s of output
};

class PositionTest : public PlayerTest, public ::testing::WithParamInterface<TempoCase> {};

TEST_P(PositionTest, TenSecondsOfOutputMapBackThroughTheTimeFactor) {
  AudioPlayer& p = OpenSine(25.0);
  const int64_t start = 2 * kStereoSecond + 8 * 1000;
  ASSERT_EQ(p.SetTempo(GetParam().tempo), 1);
  ASSERT_EQ(p.Play(start), 1);
  EXPECT_EQ(p.Position(), start);
  ASSERT_TRUE(WaitPushedFrames(441000));
  Advance(441000);
  EXPECT_EQ(p.Position(), start + int64_t(GetParam().source_seconds * kStereoSecond));
  EXPECT_NEAR(p.PositionSeconds(), 2.0 + 1000.0 / 44100 + GetParam().source_seconds, 1e-9);
  // A tempo set for the next play does not move the position of this one.
  int64_t before = p.Position();
  ASSERT_EQ(p.SetTempo(100), 1);
  EXPECT_EQ(p.Position(), before);
}

INSTANTIATE_TEST_SUITE_P(Tempos, PositionTest,
                         ::testing::Values(TempoCase{50, 5.0}, TempoCase{200, 20.0},
                                           TempoCase{100, 10.0}));

TEST_F(PlayerTest, PlayFromZeroWhilePlayingNeedsARestartRequest) {
  AudioPlayer& p = OpenSine(5.0);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitPushedFrames(44100));
  Advance(4410);
  ASSERT_TRUE(p.IsPlaying());
  EXPECT_EQ(g_fake.resets, 1);

  EXPECT_EQ(p.Play(0), 0);  // ignored: same worker, same output
  EXPECT_EQ(g_fake.resets, 1);
  EXPECT_EQ(p.Position(), 4410 * 8);

  p.set_restart_requested(true);
  EXPECT_EQ(p.Play(0), 1);
  p.set_restart_requested(false);
  EXPECT_EQ(g_fake.resets, 2);
  EXPECT_EQ(p.Position(), 0);
  ASSERT_TRUE(WaitPushedFrames(1));
  Advance(4410);
  // A play from elsewhere restarts without the request.
  EXPECT_EQ(p.Play(kStereoSecond), 1);
  EXPECT_EQ(g_fake.resets, 3);
  EXPECT_EQ(p.Position(), kStereoSecond);
}

TEST_F(PlayerTest, PassThroughDataArrivesIntactIncludingLargeReadRequests) {
  g_fake.read_size = 40000;  // more than the 16384-frame read buffer
  AudioPlayer& p = OpenSine(3.0);
  const int64_t start_frame = 1000;
  ASSERT_EQ(p.Play(start_frame * 8), 1);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  EXPECT_EQ(g_fake.max_request, 40000);
  std::vector<float> out;
  Advance(60000, &out);
  for (int64_t i = 0; i < 60000; i += 7) {
    int64_t f = start_frame + i;
    for (int c = 0; c < 2; ++c) {
      float src = 0.5f * float(std::sin(2.0 * M_PI * (440.0 + 110.0 * c) * double(f) / 44100));
      // 16-bit file, 21400 scale, 16-bit output read back as float.
      ASSERT_NEAR(out[size_t(2 * i + c)], src * kPcmUnit, 2.0 / 32768) << i;
    }
  }
}

TEST_F(PlayerTest, PrerollFramesAreReadBeforeTheStartButTheOutputStartsThere) {
  g_fake.preroll = 3000;
  AudioPlayer& p = OpenSine(2.0);
  auto source = [](int64_t frame) {
    return 0.5f * float(std::sin(2.0 * M_PI * 440.0 * double(frame) / 44100)) * kPcmUnit;
  };
  // Far from the start the whole pre-roll is read before it; near the start
  // only what there is. Either way output frame k is source frame start + k.
  for (int64_t start_frame : {int64_t{10000}, int64_t{100}}) {
    p.set_restart_requested(true);
    ASSERT_EQ(p.Play(start_frame * 8), 1);
    p.set_restart_requested(false);
    EXPECT_EQ(p.Position(), start_frame * 8);
    ASSERT_TRUE(WaitPushedFrames(16384));
    std::vector<float> out;
    Advance(16384, &out);  // the first 100 ms may fade in after a stopped worker
    for (int64_t k = 5000; k < 16384; k += 101)
      ASSERT_NEAR(out[size_t(2 * k)], source(start_frame + k), 2.0 / 32768) << start_frame << " " << k;
  }
}

TEST_F(PlayerTest, MonoSourceGivesAMono16BitStream) {
  AudioPlayer& p = OpenSine(0.5, 1);
  ChannelInfo info{};
  ASSERT_TRUE(ChannelGetInfo(p.output_stream(), &info));
  EXPECT_EQ(info.chans, 1u);
  EXPECT_EQ(info.flags & kSampleFloat, 0u);
  EXPECT_EQ(p.TotalFrames(), 22050);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  // 22050 frames: two blocks, one sample (two bytes) per frame.
  EXPECT_EQ(p.samples_pushed(), 2u * 16384);
  EXPECT_EQ(ChannelGetLength(p.output_stream(), kPosByte), 2u * 16384 * 2);
  Advance(22050);
  EXPECT_EQ(p.Position(), 22050 * 4);
}

TEST_F(PlayerTest, NaturalEndPostsOneHundredPlaysOutUnfadedAndReportsStopped) {
  g_fake.use_constant = true;
  g_fake.constant = 0.5f;
  AudioPlayer& p = OpenSine(1.0);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  // The timer has seen the output playing before the manual clock runs it out.
  ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kPlayerNotifyState) >= 1; }));
  EXPECT_EQ(p.progress_percent(), 100);
  std::vector<int64_t> progress = owner_.Values(kPlayerNotifyProgress);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
  EXPECT_GE(progress.front(), 0);

  // 44100 frames render as three blocks (the stand-in pads the last with
  // silence); the song plays at full level to its last frame: the end mark
  // does not fade what is still queued.
  std::vector<float> out;
  Advance(3 * 16384, &out);
  for (size_t i = 0; i < 2 * 44100; ++i) ASSERT_NEAR(out[i], 0.5f * kPcmUnit, 1e-4) << i;
  for (size_t i = 2 * 44100; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
  Advance(4096);
  EXPECT_TRUE(p.IsStopped());
  EXPECT_EQ(ChannelGetData(p.output_stream(), nullptr, kDataAvailable), 0u);
  ASSERT_TRUE(WaitUntil([&] {
    std::vector<int64_t> s = owner_.Values(kPlayerNotifyState);
    return !s.empty() && s.back() == 0;
  }));
  EXPECT_EQ(p.LastOutputState(), 0);
  std::vector<int64_t> states = owner_.Values(kPlayerNotifyState);
  for (size_t i = 1; i < states.size(); ++i) EXPECT_NE(states[i], states[i - 1]);
}

TEST_F(PlayerTest, StoppingFadesWhatIsHeard) {
  g_fake.use_constant = true;
  g_fake.constant = 0.5f;
  AudioPlayer& p = OpenSine(30.0);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitPushedFrames(3 * 16384));
  // The output clock keeps running while Stop waits for the worker's ending.
  std::atomic<bool> quit{false};
  std::vector<float> out;
  std::thread clock([&] {
    std::vector<float> buf(2 * 441);
    while (!quit) {
      if (!AudioAdvanceManual(441, buf.data())) break;
      out.insert(out.end(), buf.begin(), buf.end());
      std::this_thread::sleep_for(1ms);
    }
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(p.Stop(), 1);
  quit = true;
  clock.join();
  ASSERT_GT(out.size(), size_t(2 * 8000));
  EXPECT_NEAR(out[0], 0.5f * kPcmUnit, 1e-4);  // full level before the stop
  // The level falls through the middle to silence before the output stops.
  bool ramp = false;
  for (float v : out) ramp = ramp || (v > 0.05f && v < 0.25f);
  EXPECT_TRUE(ramp);
  size_t last_loud = 0;
  for (size_t i = 0; i < out.size(); i += 2)
    if (out[i] > 0.01f) last_loud = i;
  // The fade is complete before the output stops: what was heard last is silence.
  EXPECT_LT(last_loud + 2, out.size());
  EXPECT_LT(std::abs(out.back()), 0.01f);
}

TEST_F(PlayerTest, StartPositionsOutsideTheSongAreClamped) {
  AudioPlayer& p = OpenSine(1.0);
  ASSERT_EQ(p.Play(-5000), 1);
  EXPECT_EQ(p.start_position(), 0);
  EXPECT_EQ(p.remaining_count(), 44100);
  ASSERT_EQ(p.Play(p.LengthBytes() + 1000000), 1);
  EXPECT_EQ(p.start_position(), p.LengthBytes());
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  EXPECT_EQ(owner_.Values(kPlayerNotifyProgress).back(), 100);
}

TEST_F(PlayerTest, StopMidBlockWaitsForTheEndingAndRewinds) {
  g_fake.block_sleep_ms = 150;  // slow blocks: Stop lands inside one
  AudioPlayer& p = OpenSine(5.0);
  ASSERT_EQ(p.Play(kStereoSecond), 1);
  ASSERT_TRUE(WaitPushedFrames(16384));
  std::this_thread::sleep_for(30ms);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(p.Stop(), 1);
  auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(took, 100ms);  // the fade of the ending sequence at least
  EXPECT_FALSE(p.worker_running());
  EXPECT_EQ(p.last_worker_result(), kWorkerStopped);
  EXPECT_EQ(p.Position(), 0);
  EXPECT_EQ(p.start_position(), 0);
  EXPECT_TRUE(p.IsStopped());
  EXPECT_EQ(ChannelGetData(p.output_stream(), nullptr, kDataAvailable), 0u);
  EXPECT_FALSE(TimerHold());
  // The stop killed the timer: no more ticks.
  owner_.Clear();
  std::this_thread::sleep_for(120ms);
  EXPECT_EQ(owner_.Count(kPlayerNotifyTick), 0);
}

TEST_F(PlayerTest, BoundedRenderAheadWaitsForRoomAndStopsPromptly) {
  AudioPlayer& p = OpenSine(20.0);
  p.set_render_ahead_seconds(2.0);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitPushedFrames(88200 - 16384));
  std::this_thread::sleep_for(100ms);
  uint64_t held = p.samples_pushed();
  EXPECT_LE(held, uint64_t(88200 + 16384) * 2);
  EXPECT_TRUE(p.worker_running());
  EXPECT_EQ(p.last_worker_result(), 0);
  Advance(44100);  // one second heard makes room for more
  ASSERT_TRUE(WaitUntil([&] { return p.samples_pushed() > held; }));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(p.Stop(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1000ms);
  EXPECT_EQ(p.last_worker_result(), kWorkerStopped);
}

TEST_F(PlayerTest, RemainingCountUsesFloatFramesAndNeverReachesZero) {
  AudioPlayer& p = OpenSine(10.0);
  ASSERT_EQ(p.Play(5 * kStereoSecond), 1);
  EXPECT_EQ(p.remaining_count(), 5 * 44100);  // not 0, as 16-bit sizes would give
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  EXPECT_EQ(owner_.Values(kPlayerNotifyProgress).back(), 100);

  owner_.Clear();
  ASSERT_EQ(p.Play(p.LengthBytes()), 1);
  EXPECT_EQ(p.remaining_count(), 1);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  EXPECT_EQ(owner_.Values(kPlayerNotifyProgress), (std::vector<int64_t>{100}));
}

TEST_F(PlayerTest, TicksStopWhilePausedAndStateChangesWaitForTheRestartFlag) {
  g_fake.block_sleep_ms = 10;  // about 1.2 s of rendering: still busy while paused
  AudioPlayer& p = OpenSine(40.0);
  p.set_restart_requested(true);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitPushedFrames(16384));
  Advance(4410);
  ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kPlayerNotifyTick) >= 2; }));
  EXPECT_EQ(owner_.Count(kPlayerNotifyState), 0);  // restart pending: no state reports
  p.set_restart_requested(false);
  ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kPlayerNotifyState) >= 1; }));
  EXPECT_EQ(owner_.Values(kPlayerNotifyState).front(), kOutputPlaying);

  EXPECT_EQ(p.PauseToggle(), 1);
  EXPECT_TRUE(TimerHold());
  EXPECT_TRUE(p.IsPaused());
  std::this_thread::sleep_for(60ms);  // a tick already on its way may land
  owner_.Clear();
  uint64_t pushed = p.samples_pushed();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(owner_.Count(kPlayerNotifyTick), 0);
  EXPECT_EQ(owner_.Count(kPlayerNotifyState), 0);
  EXPECT_GT(p.samples_pushed(), pushed);  // the worker keeps rendering ahead

  EXPECT_EQ(p.PauseToggle(), 1);
  EXPECT_FALSE(TimerHold());
  EXPECT_TRUE(p.IsPlayingOrStalled());
  EXPECT_TRUE(WaitUntil([&] { return owner_.Count(kPlayerNotifyTick) >= 1; }));
}

TEST_F(PlayerTest, FailedProcessorRebuildEndsTheWorkerAndTheSourceStillCloses) {
  AudioPlayer& p = OpenSine(1.0);
  p.SetProcessing(303, 206);
  p.set_recreate_processor(true);
  ASSERT_EQ(p.Play(0), 1);
  EXPECT_FALSE(p.recreate_processor());
  EXPECT_EQ(g_fake.creates, 2);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));

  g_fake.fail_create = true;
  p.set_recreate_processor(true);
  p.set_restart_requested(true);  // the first play's queue is still playing
  ASSERT_EQ(p.Play(0), 1);
  p.set_restart_requested(false);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd));
  EXPECT_EQ(p.progress_percent(), 100);
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.Play(0), 0);
  // Its streams are still held: close frees them so a song can open again.
  EXPECT_EQ(p.CloseSource(), 1);
  g_fake.fail_create = false;
  EXPECT_EQ(p.OpenSource(Sine("next.wav", 0.5), 303, 200, false), kPlayerOpenOk);
}

TEST_F(PlayerTest, VolumeAndChannelSolo) {
  AudioPlayer& p = OpenSine(0.5);
  float v = 0;
  p.SetVolume(0.25f);
  EXPECT_EQ(p.volume(), 0.25f);
  ASSERT_TRUE(ChannelGetAttribute(p.output_stream(), kAttribVol, &v));
  EXPECT_EQ(v, 0.25f);
  p.SetChannelSolo(true, false);
  ASSERT_TRUE(ChannelGetAttribute(p.output_stream(), kAttribPan, &v));
  EXPECT_EQ(v, 1.0f);
  p.SetChannelSolo(true, true);  // both: unchanged
  ASSERT_TRUE(ChannelGetAttribute(p.output_stream(), kAttribPan, &v));
  EXPECT_EQ(v, 1.0f);
  p.SetChannelSolo(false, true);
  ASSERT_TRUE(ChannelGetAttribute(p.output_stream(), kAttribPan, &v));
  EXPECT_EQ(v, -1.0f);
  p.SetChannelSolo(false, false);
  ASSERT_TRUE(ChannelGetAttribute(p.output_stream(), kAttribPan, &v));
  EXPECT_EQ(v, 0.0f);
  // A reopened source plays at the stored volume.
  p.CloseSource();
  ASSERT_EQ(p.OpenSource(Sine("b.wav", 0.5), 303, 200, false), kPlayerOpenOk);
  ASSERT_TRUE(ChannelGetAttribute(p.output_stream(), kAttribVol, &v));
  EXPECT_EQ(v, 0.25f);
}

TEST_F(PlayerTest, DestroyingWhileRenderingJoinsTheWorkerAndTimer) {
  g_fake.block_sleep_ms = 20;
  AudioPlayer& p = OpenSine(30.0);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitPushedFrames(16384));
  size_t published = owner_.published.size();
  player_.reset();  // must not crash, leak a running thread or call a freed owner
  EXPECT_EQ(owner_.published.size(), published);  // a dying player tells its owner nothing
  std::this_thread::sleep_for(100ms);
  size_t notes = owner_.Notes().size();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(owner_.Notes().size(), notes);
}

// The real processor, end to end.
TEST_F(PlayerTest, RealProcessorRendersHalfTempoToTheEnd) {
  AudioPlayer& p = MakePlayer(false);
  ASSERT_EQ(p.OpenSource(Sine("song.wav", 1.5), kTimePitchQuality, kTimePitchModePerformance,
                         false),
            kPlayerOpenOk);
  ASSERT_EQ(p.SetTempo(50), 1);
  ASSERT_EQ(p.SetPitch(3), 1);
  ASSERT_EQ(p.Play(0), 1);
  ASSERT_TRUE(WaitWorkerResult(kWorkerReachedEnd, 30000ms));
  EXPECT_EQ(owner_.Values(kPlayerNotifyProgress).back(), 100);
  uint64_t frames = p.samples_pushed() / 2;
  EXPECT_GE(frames, uint64_t(3.0 * 44100));
  EXPECT_LE(frames, uint64_t(3.0 * 44100) + 3 * 16384);
  std::vector<float> out;
  Advance(int64_t(frames) + 4096, &out);
  double energy = 0;
  for (size_t i = 0; i < size_t(2 * 3 * 44100); ++i) energy += double(out[i]) * out[i];
  EXPECT_GT(energy / (2 * 3 * 44100), 0.01);  // a real signal, not silence
  EXPECT_TRUE(p.IsStopped());
  EXPECT_EQ(p.Position(), int64_t(double(frames) * 4 * 2 / 2.0));
}

}  // namespace
}  // namespace qv3
