#include "editing/ui/peak_envelope.h"

#include <algorithm>
#include <random>

#include <gtest/gtest.h>

namespace qv3 {
namespace {

TEST(PeakEnvelopeTest, RangeMatchesAPlainSearchEverywhere) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> value(-32768, 32767);
  for (int ms : {0, 1, 15, 16, 17, 255, 256, 300, 4097, 70001}) {
    std::vector<int16_t> v(2 * ms);
    for (auto& x : v) x = static_cast<int16_t>(value(rng));
    PeakEnvelope env;
    env.Assign(v, static_cast<int32_t>(v.size()));
    ASSERT_EQ(env.Milliseconds(), ms);
    std::uniform_int_distribution<int> pos(-5, ms + 5);
    for (int trial = 0; trial < 300; ++trial) {
      int64_t a = pos(rng), b = pos(rng);
      if (trial % 3 == 0) b = a + trial;  // short ranges too
      int lo = 0, hi = 0;
      const bool any = env.Range(a, b, &lo, &hi);
      const int64_t ca = std::max<int64_t>(a, 0), cb = std::min<int64_t>(b, ms);
      ASSERT_EQ(any, ca < cb) << ms << " " << a << " " << b;
      if (!any) continue;
      const auto [mn, mx] = std::minmax_element(v.begin() + 2 * ca, v.begin() + 2 * cb);
      ASSERT_EQ(lo, *mn) << ms << " " << a << " " << b;
      ASSERT_EQ(hi, *mx) << ms << " " << a << " " << b;
    }
  }
}

TEST(PeakEnvelopeTest, KeepsOnlyTheValueCountGiven) {
  PeakEnvelope env;
  env.Assign({100, -100, 200, -200, 9999, 9999}, 4);
  EXPECT_EQ(env.Milliseconds(), 2);
  EXPECT_EQ(env.MaxAt(1), 200);
  EXPECT_EQ(env.MinAt(1), -200);
  int lo, hi;
  ASSERT_TRUE(env.Range(0, 10, &lo, &hi));
  EXPECT_EQ(hi, 200);
  env.Clear();
  EXPECT_TRUE(env.Empty());
  EXPECT_FALSE(env.Range(0, 10, &lo, &hi));
}

}  // namespace
}  // namespace qv3
