// Integration with a real sound server: a private PulseAudio daemon with a
// null sink, reached through PortAudio's default device (ALSA's pulse
// plugin). A 1 kHz tone is played and the sink's monitor recorded with
// parec; the recording must hold the tone for its length, and the reported
// position must follow what was played.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audiolib/audiolib.h"

extern char** environ;

namespace qv3 {
namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::string& out_file) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void EndChild(pid_t pid, int sig) {
  if (pid <= 0) return;
  kill(pid, sig);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Goertzel power of one frequency, relative to the signal's power.
double ToneShare(const std::vector<float>& x, double freq, double rate) {
  const double w = 2 * M_PI * freq / rate;
  double s1 = 0, s2 = 0, energy = 0;
  for (float v : x) {
    const double s = v + 2 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s;
    energy += v * static_cast<double>(v);
  }
  const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
  return energy > 0 ? 2 * power / (x.size() * energy) : 0;
}

class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qv3_pulse_XXXXXX";
    if (!mkdtemp(tmpl)) GTEST_SKIP() << "no temporary folder";
    dir_ = tmpl;
    socket_ = dir_ + "/native";
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("PULSE_RUNTIME_PATH", dir_.c_str(), 1);
    setenv("PULSE_STATE_PATH", dir_.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    unsetenv("QV3_AUDIO_DEVICE");
    // ALSA's default device goes to the pulse plugin for this process.
    std::ofstream(dir_ + "/.asoundrc") << "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
    daemon_ = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--disable-shm=yes",
                     "--use-pid-file=no", "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                     "-L", "module-null-sink sink_name=qv3sink rate=44100 channels=2"},
                    dir_ + "/pulseaudio.log");
    for (int i = 0; i < 100 && !std::filesystem::exists(socket_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (daemon_ <= 0 || !std::filesystem::exists(socket_))
      GTEST_SKIP() << "PulseAudio could not start here (see " << dir_ << "/pulseaudio.log); skipping";
  }

  void TearDown() override {
    AudioFree();
    EndChild(recorder_, SIGINT);
    EndChild(daemon_, SIGTERM);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::string dir_, socket_;
  pid_t daemon_ = -1;
  pid_t recorder_ = -1;
};

TEST_F(PulseTest, ToneThroughTheDefaultDeviceReachesTheSink) {
  const std::string raw = dir_ + "/monitor.raw";
  recorder_ = Spawn({"parec", "-s", "unix:" + socket_, "-d", "qv3sink.monitor", "--format=float32le",
                     "--rate=44100", "--channels=2", "--raw"},
                    raw);
  ASSERT_GT(recorder_, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  if (!AudioInit(-1, 44100, 0)) GTEST_SKIP() << "PortAudio found no device through ALSA's pulse plugin, error "
                                             << ErrorGetCode();
  const uint32_t rate = 44100;
  StreamHandle h = StreamCreatePush(rate, 2, kSampleFloat);
  ASSERT_NE(h, 0u);
  std::vector<float> tone(rate * 2);  // one second
  for (uint32_t i = 0; i < rate; ++i) tone[2 * i] = tone[2 * i + 1] = static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * i / rate));
  StreamPutData(h, tone.data(), static_cast<uint32_t>(tone.size() * 4) | kStreamEnd);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ChannelPlay(h, false));
  // The server may take a while to start consuming; once it does, the
  // heard position advances at real time (the device latency accounted
  // for, so it does not jump ahead by a buffer).
  double p1 = 0;
  while ((p1 = ChannelBytes2Seconds(h, ChannelGetPosition(h, kPosByte))) < 0.1 &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const auto t1 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const double p2 = ChannelBytes2Seconds(h, ChannelGetPosition(h, kPosByte));
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
  std::printf("latency %u frames; position advanced %.3f s in %.3f s\n", AudioGetLatencyFrames(), p2 - p1, wall);
  EXPECT_NEAR(p2 - p1, wall, 0.08);
  while (ChannelIsActive(h) != kActiveStopped && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // let the device play it out
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), rate * 8u);
  AudioFree();
  EndChild(recorder_, SIGINT);
  recorder_ = -1;

  std::vector<float> samples;
  {
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    const auto bytes = static_cast<size_t>(in.tellg());
    samples.resize(bytes / 4);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4));
  }
  std::vector<float> left;
  for (size_t i = 0; i + 1 < samples.size(); i += 2) left.push_back(samples[i]);
  size_t loud = 0, first = left.size(), last = 0;
  for (size_t i = 0; i < left.size(); ++i) {
    if (std::fabs(left[i]) <= 0.05f) continue;
    ++loud;
    first = std::min(first, i);
    last = i;
  }
  std::vector<float> tone_part;
  if (first < last) tone_part.assign(left.begin() + static_cast<long>(first), left.begin() + static_cast<long>(last));
  ASSERT_GT(left.size(), rate / 2) << "the recorder captured too little";
  // About one second of tone (loud samples of a sine: ~90 % of its samples).
  EXPECT_NEAR(static_cast<double>(loud) / rate, 0.92, 0.12);
  EXPECT_GT(ToneShare(tone_part, 1000.0, rate), 0.5);
}

}  // namespace
}  // namespace qv3
