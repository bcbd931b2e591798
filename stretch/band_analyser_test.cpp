#include "stretch/band_analyser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qv3 {
namespace {

TEST(BandAnalyserTest, CheapTrigonometryFollowsItsFormulas) {
  double worst_ref = 0, worst_true = 0, worst_sin = 0;
  for (int i = 0; i < 3600; ++i) {
    const double t = -M_PI + 2 * M_PI * i / 3600.0;
    for (double r : {0.001, 1.0, 1000.0}) {
      const float x = static_cast<float>(r * std::cos(t));
      const float y = static_cast<float>(r * std::sin(t));
      const float a = FastAtan2(y, x);
      worst_ref = std::max(worst_ref, std::fabs(std::remainder(a - FastAtan2Reference(y, x), 2 * M_PI)));
      worst_true = std::max(worst_true, std::fabs(std::remainder(a - std::atan2(y, x), 2 * M_PI)));
    }
    worst_sin = std::max(worst_sin, std::fabs(ParabolicSin(static_cast<float>(t)) - std::sin(t)));
    worst_sin = std::max(worst_sin, std::fabs(ParabolicCos(static_cast<float>(t)) - std::cos(t)));
  }
  EXPECT_LT(worst_ref, 1e-5);
  EXPECT_LT(worst_true, 0.0055);  // the formula's own error
  EXPECT_LT(worst_sin, 0.06);
  EXPECT_GT(worst_sin, 0.05);     // it is the parabola, not libm
  EXPECT_EQ(FastAtan2(0.0f, 0.0f), 0.0f);
  EXPECT_GT(ParabolicPhasorMeanGain(), 1.02);
  EXPECT_LT(ParabolicPhasorMeanGain(), 1.04);
  EXPECT_NEAR(WrapPhase(7.0), 7.0 - 2 * M_PI, 1e-12);
}

// A steady tone analysed frame after frame: its period is found from the
// true frequency, and a zero or negative hop (the analysis standing still
// or moving back) gives no NaN and still a sane period.
TEST(BandAnalyserTest, DominantPeriodAndGuardedHop) {
  const int n = 4096;
  BandAnalyser a;
  ASSERT_TRUE(a.Init(n, 1, 44100.0f, 0.0, 22050.0, BandAnalyser::Overlap::kCrossfade));
  a.SetHop(683, 1.0);
  std::vector<float> frame(n), out(683);
  const double hz = 441.3;
  int64_t pos = 0;
  for (int hop : {0, 683, 683, 0, -200, 500}) {
    pos += hop;
    for (int i = 0; i < n; ++i) frame[i] = std::sin(2 * M_PI * hz * (pos + i) / 44100.0);
    const float* f[1] = {frame.data()};
    const double period = a.Analyse(f, hop, false, 0.0);
    EXPECT_NEAR(period, 44100.0 / hz, 0.5) << hop;
    float* o[1] = {out.data()};
    std::fill(out.begin(), out.end(), 0.0f);
    a.Synthesise(683, 1.0f, o);
    for (float v : out) ASSERT_TRUE(std::isfinite(v));
  }
}

}  // namespace
}  // namespace qv3
