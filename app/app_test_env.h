// Test fixture for start-up code: HOME, the XDG folders and TMPDIR inside a
// fresh temporary folder, a recording UI, and fake tool programs.
#ifndef QV3_APP_APP_TEST_ENV_H_
#define QV3_APP_APP_TEST_ENV_H_

#include <gtest/gtest.h>

#include <string>

#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {

class AppEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("HOME", tmp_.MakeDir("home"));
    env_.Set("XDG_CONFIG_HOME", tmp_.Sub("home/.config"));
    env_.Set("XDG_CACHE_HOME", tmp_.Sub("home/.cache"));
    env_.Set("XDG_MUSIC_DIR", tmp_.Sub("home/Music"));
    env_.Set("TMPDIR", tmp_.MakeDir("tmp"));
    tmp_.MakeDir("home/.config/Quaverly 3");
  }
  // An executable, non-empty script standing in for a tool.
  std::string FakeTool(const std::string& name) {
    return tmp_.WriteFile("tools/" + name, "#!/bin/sh\nexit 0\n", 0755);
  }
  std::string Ini() const { return tmp_.Sub("home/.config/Quaverly 3/Quaverly3.ini"); }

  TempDir tmp_;
  ScopedEnv env_;
  ScopedRecordingUi ui_;
};

}  // namespace qv3

#endif  // QV3_APP_APP_TEST_ENV_H_
