// Runs the built qv3-play on the null device: a short song plays out and the
// program ends by itself; bad arguments and files give their exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/player_test_support.h"
#include "platform/test_env.h"

namespace {

std::string Bin() {
  const char* dir = std::getenv("QV3_BIN_DIR");
  if (dir != nullptr && *dir != '\0') return std::string(dir) + "/qv3-play";
  return QV3_PLAY_PATH;
}

// Runs qv3-play with `args` (already quoted); returns the exit code and the output.
int RunPlay(const std::string& args, std::string* out) {
  std::string cmd = "QV3_AUDIO_DEVICE=null '" + Bin() + "' " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) *out += buf;
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Qv3PlayTest, PlaysAShortSongToTheEndAndExits) {
  qv3::TempDir dir;
  std::string song = dir.Sub("short song.wav");
  ASSERT_TRUE(qv3::testing_support::WriteSine(song, 44100, 2, 0.6));
  std::string out;
  EXPECT_EQ(RunPlay("'" + song + "' --tempo 200 --pitch -2", &out), 0) << out;
  EXPECT_NE(out.find("tempo 200 %, pitch -2"), std::string::npos) << out;
  EXPECT_NE(out.find("state playing"), std::string::npos) << out;
  EXPECT_NE(out.find("state stopped"), std::string::npos) << out;
  EXPECT_NE(out.find("done"), std::string::npos) << out;
}

TEST(Qv3PlayTest, RefusesBadArgumentsAndFiles) {
  qv3::TempDir dir;
  std::string out;
  EXPECT_EQ(RunPlay("", &out), 2);
  EXPECT_EQ(RunPlay("'" + dir.Sub("x.wav") + "' --tempo 9.99", &out), 2);
  EXPECT_EQ(RunPlay("'" + dir.Sub("x.wav") + "' --pitch 25", &out), 2);
  EXPECT_EQ(RunPlay("'" + dir.Sub("x.wav") + "' --tempo fast", &out), 2);
  out.clear();
  EXPECT_EQ(RunPlay("'" + dir.Sub("missing.wav") + "'", &out), 1);
  EXPECT_NE(out.find("cannot decode it (-3)"), std::string::npos) << out;
}

}  // namespace
