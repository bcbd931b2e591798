#include "stretch/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace qv3 {
namespace {

std::vector<std::complex<double>> NaiveDft(const std::vector<float>& x) {
  const int n = static_cast<int>(x.size());
  std::vector<std::complex<double>> out(n / 2 + 1);
  for (int k = 0; k <= n / 2; ++k) {
    std::complex<double> s = 0;
    for (int i = 0; i < n; ++i) {
      s += static_cast<double>(x[i]) *
           std::polar(1.0, -2.0 * M_PI * static_cast<double>(k) * i / n);
    }
    out[k] = s;
  }
  return out;
}

TEST(FftTest, RefusesSizesOutsideTheRange) {
  Fft f;
  EXPECT_FALSE(f.Init(8));
  EXPECT_FALSE(f.Init(0));
  EXPECT_FALSE(f.Init(1000));
  EXPECT_FALSE(f.Init(1 << 21));
  EXPECT_TRUE(f.Init(16));
  EXPECT_TRUE(f.Init(1 << 20));
  EXPECT_EQ(f.quarter_table().size(), static_cast<size_t>((1 << 18) + 1));
}

TEST(FftTest, MatchesNaiveDftAndRoundTrips) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int n : {16, 32, 64, 256, 1024, 4096}) {
    SCOPED_TRACE(n);
    std::vector<float> x(n);
    for (float& v : x) v = u(rng);
    Fft f;
    ASSERT_TRUE(f.Init(n));
    std::vector<float> y = x;
    f.Forward(y.data());
    if (n > 1024) {  // the naive transform is slow; round trip only
      f.Inverse(y.data());
      for (int i = 0; i < n; ++i) EXPECT_NEAR(y[i] / n, x[i], 1e-5);
      continue;
    }
    const auto ref = NaiveDft(x);
    double err = 0, mag = 0;
    for (int k = 0; k <= n / 2; ++k) {
      std::complex<double> got;
      if (k == 0) got = {y[0], 0};
      else if (k == n / 2) got = {y[1], 0};
      else got = {y[2 * k], y[2 * k + 1]};
      err = std::max(err, std::abs(got - ref[k]));
      mag = std::max(mag, std::abs(ref[k]));
    }
    EXPECT_LT(err / mag, 2e-5);
    f.Inverse(y.data());
    double rt = 0;
    for (int i = 0; i < n; ++i) rt = std::max(rt, static_cast<double>(std::abs(y[i] / n - x[i])));
    EXPECT_LT(rt, 1e-5);
  }
}

TEST(FftTest, ToneLandsInItsBinAtLargeSizes) {
  const int n = 1 << 16;
  Fft f;
  ASSERT_TRUE(f.Init(n));
  std::vector<float> x(n);
  for (int i = 0; i < n; ++i) x[i] = std::cos(2 * M_PI * 1234.0 * i / n);
  f.Forward(x.data());
  EXPECT_NEAR(x[2 * 1234], n / 2.0, n * 1e-4);
  EXPECT_NEAR(x[2 * 1235], 0.0, n * 1e-4);
  f.Inverse(x.data());
  EXPECT_NEAR(x[5] / n, std::cos(2 * M_PI * 1234.0 * 5 / n), 1e-4);
}

}  // namespace
}  // namespace qv3
