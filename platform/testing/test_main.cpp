// The main() of every test binary: fills in the environment the tests rely on
// when the runner did not set it (ctest properties cannot carry several
// variables through test discovery), then runs GoogleTest.
#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QV3_AUDIO_DEVICE", "null", 0);
  setenv("QV3_SOURCE_DIR", QV3_TEST_SOURCE_DIR, 0);
  setenv("QV3_BIN_DIR", QV3_TEST_BIN_DIR, 0);
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
