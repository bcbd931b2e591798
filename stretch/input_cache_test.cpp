#include "stretch/input_cache.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv3 {
namespace {

struct Counter {
  int64_t next = 0;     // value of the next frame delivered
  int64_t total = 100000;
  std::vector<int> requests;
};

// Frame i carries the value i, so positions can be checked.
int Ramp(float** b, int n, void* user) {
  auto* c = static_cast<Counter*>(user);
  c->requests.push_back(n);
  if (c->next >= c->total) return -1;
  const int m = static_cast<int>(std::min<int64_t>(n, c->total - c->next));
  for (int i = 0; i < m; ++i) b[0][i] = static_cast<float>(c->next + i);
  c->next += m;
  return m;
}

TEST(InputCacheTest, FetchesMissingFramesPlusGranularityWithinCapacity) {
  InputCache cache;
  cache.Init(1, 1.0, Ramp);
  Counter c;
  std::vector<float> out(5000);
  float* d[1] = {out.data()};
  EXPECT_EQ(cache.Read(0, 4096, d, &c), 4096);
  ASSERT_EQ(c.requests.size(), 1u);
  EXPECT_EQ(c.requests[0], 4096 + 4096);
  EXPECT_EQ(out[4095], 4095.0f);
  // Already cached: no request.
  EXPECT_EQ(cache.Read(1000, 4096, d, &c), 4096);
  EXPECT_EQ(c.requests.size(), 1u);
  EXPECT_EQ(out[0], 1000.0f);
  // Far ahead: the window slides; frames keep their positions.
  EXPECT_EQ(cache.Read(90000, 4096, d, &c), 4096);
  EXPECT_EQ(out[10], 90010.0f);
  for (int r : c.requests) EXPECT_LE(r, cache.capacity());
  // Before the window: silence, window kept.
  EXPECT_EQ(cache.Read(0, 16, d, &c), 16);
  EXPECT_EQ(out[0], 0.0f);
  // Past the end: the rest of the input, then nothing; the end is exact.
  EXPECT_EQ(cache.Read(99000, 4096, d, &c), 1000);
  EXPECT_TRUE(cache.ended());
  EXPECT_EQ(cache.end_position(), 100000);
  EXPECT_EQ(out[999], 99999.0f);
  EXPECT_EQ(out[1000], 0.0f);
  const size_t calls = c.requests.size();
  EXPECT_EQ(cache.Read(100000, 10, d, &c), 0);
  EXPECT_EQ(c.requests.size(), calls);  // never asked again after the end
}

TEST(InputCacheTest, GranularityAndUnit) {
  InputCache cache;
  cache.Init(2, 96000 / 44100.0, Ramp);
  EXPECT_EQ(cache.unit(), 2.0);
  EXPECT_EQ(cache.capacity(), 131072);
  EXPECT_EQ(cache.granularity(), 8192);
  cache.SetGranularity(10);
  EXPECT_EQ(cache.granularity(), 20);
  cache.SetGranularity(-5);
  EXPECT_EQ(cache.granularity(), 0);
  InputCache small;
  small.Init(1, 8000 / 44100.0, Ramp);
  EXPECT_EQ(small.capacity(), 16384);
}

}  // namespace
}  // namespace qv3
