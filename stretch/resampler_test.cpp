#include "stretch/resampler.h"

#include <gtest/gtest.h>

#include <cmath>

#include "stretch/stretch_test_util.h"

namespace qv3 {
namespace {

using testing::Db;
using testing::Probe;

// Resamples a sine of `hz` (at rate 1 = 44100) by `step` in uneven blocks.
std::vector<float> Resample(double hz, double step, int tag, int frames) {
  Resampler r;
  r.Init(1, tag, 4096);
  r.SetStep(step);
  const auto in = testing::Sine(hz, 0.5, frames, 44100.0, 1);
  std::vector<float> out(static_cast<size_t>(frames / step) + 64);
  int written = 0;
  for (int at = 0; at < frames;) {
    const int n = std::min(frames - at, 500 + (at % 7) * 300);
    const float* ip[1] = {in[0].data() + at};
    float* op[1] = {out.data() + written};
    written += r.Process(ip, n, op, static_cast<int>(out.size()) - written);
    at += n;
  }
  out.resize(written);
  return out;
}

TEST(ResamplerTest, PassBandKeepsLevelAndFrequency) {
  for (double step : {0.25, 0.5, 0.8909, 1.4983, 2.0, 4.0}) {
    SCOPED_TRACE(step);
    const double hz = 3000.0;
    const auto out = Resample(hz, step, 303, 60000);
    const double got = std::abs(Probe(out, 2000, 8192, hz * step, 44100.0));
    EXPECT_NEAR(Db(got / 0.5), 0.0, 0.05);
    // Output frame j is input position j x step: no delay.
    const double ph = std::arg(Probe(out, 4000, 4096, hz * step, 44100.0));
    EXPECT_NEAR(std::remainder(ph - (-M_PI / 2), 2 * M_PI), 0.0, 0.02);
  }
}

TEST(ResamplerTest, StopBandIsBelowNinetyDecibels) {
  // Decimating: content above the lower Nyquist frequency must vanish,
  // not fold back.
  struct Case {
    double hz, step;
  } cases[] = {{15000, 2.0}, {13000, 2.0}, {8000, 4.0} /* +24 semitones */,
               {20000, 1.25}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hz);
    const auto out = Resample(c.hz, c.step, 303, 120000);
    const double total = testing::Rms(out, 4000, static_cast<int64_t>(out.size()) - 4000);
    EXPECT_LT(Db(total / (0.5 / std::sqrt(2.0))), -90.0);
  }
  // Interpolating: images above the original band stay below -90 dB.
  const auto up = Resample(10000, 0.5, 303, 60000);
  const double image = std::abs(Probe(up, 4000, 16384, (44100 - 10000) * 0.5, 44100.0));
  EXPECT_LT(Db(image / 0.5), -90.0);
  // The light kernel still rejects strongly.
  const auto light = Resample(15000, 2.0, 300, 60000);
  EXPECT_LT(Db(testing::Rms(light, 4000, 20000) / 0.35), -60.0);
}

}  // namespace
}  // namespace qv3
