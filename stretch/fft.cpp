#include "stretch/fft.h"

#include <cmath>
#include <utility>

namespace qv3 {

bool Fft::Init(int n) {
  int bits = 0;
  while ((1 << bits) < n && bits < 31) ++bits;
  if (n <= 0 || (1 << bits) != n || bits < 4 || bits > 20) return false;
  n_ = n;
  quarter_.resize(n / 4 + 1);
  for (int i = 0; i <= n / 4; ++i) {
    quarter_[i] = static_cast<float>(std::cos(2.0 * M_PI * i / n));
  }
  const int m = n / 2;  // complex points
  bitrev_.assign(m, 0);
  for (int i = 0, j = 0; i < m; ++i) {
    bitrev_[i] = j;
    int bit = m >> 1;
    while (bit > 0 && (j & bit)) {
      j ^= bit;
      bit >>= 1;
    }
    j |= bit;
  }
  // Stage rows: for half-size s the twiddles exp(-2 pi i j / (2 s)),
  // j < s, i.e. table index j * n / (2 s).
  // Row for half-size s starts at s - 1 (1 + 2 + ... + s/2 before it).
  tw_re_.assign(m, 0.0f);
  tw_im_.assign(m, 0.0f);
  for (int s = 1; s < m; s <<= 1) {
    for (int j = 0; j < s; ++j) {
      const int idx = j * (n / (2 * s));
      tw_re_[s - 1 + j] = Cos(idx);
      tw_im_[s - 1 + j] = Sin(idx);
    }
  }
  tw_im_neg_.resize(m);
  for (int i = 0; i < m; ++i) tw_im_neg_[i] = -tw_im_[i];
  re_.assign(m, 0.0f);
  im_.assign(m, 0.0f);
  post_.resize(2 * (m / 2 + 1));
  for (int k = 0; k <= m / 2; ++k) {
    post_[2 * k] = Cos(k);
    post_[2 * k + 1] = Sin(k);
  }
  return true;
}

float Fft::Cos(int i) const {
  const int q = n_ / 4;
  i &= n_ - 1;
  if (i <= q) return quarter_[i];
  if (i <= 2 * q) return -quarter_[2 * q - i];
  if (i <= 3 * q) return -quarter_[i - 2 * q];
  return quarter_[n_ - i];
}

float Fft::Sin(int i) const { return Cos(i - n_ / 4); }

namespace {

// One radix-2 stage over a block: a +- w x b for s points.
void Butterflies(float* __restrict ar, float* __restrict ai,
                 float* __restrict br, float* __restrict bi,
                 const float* __restrict wr, const float* __restrict wi,
                 int s) {
  for (int j = 0; j < s; ++j) {
    const float c = wr[j], d = wi[j];
    const float tr = br[j] * c - bi[j] * d;
    const float ti = br[j] * d + bi[j] * c;
    const float xr = ar[j], xi = ai[j];
    ar[j] = xr + tr;
    ai[j] = xi + ti;
    br[j] = xr - tr;
    bi[j] = xi - ti;
  }
}

// Two radix-2 stages at once (half-sizes s and 2s) over a block of 4s
// points: fewer passes over memory.
void Radix4(float* __restrict r0, float* __restrict i0, float* __restrict r1,
            float* __restrict i1, float* __restrict r2, float* __restrict i2,
            float* __restrict r3, float* __restrict i3,
            const float* __restrict w1r, const float* __restrict w1i,
            const float* __restrict w2r, const float* __restrict w2i, float sg,
            int s) {
  for (int j = 0; j < s; ++j) {
    const float c1 = w1r[j], d1 = w1i[j];
    const float t1r = r1[j] * c1 - i1[j] * d1, t1i = r1[j] * d1 + i1[j] * c1;
    const float t3r = r3[j] * c1 - i3[j] * d1, t3i = r3[j] * d1 + i3[j] * c1;
    const float b0r = r0[j] + t1r, b0i = i0[j] + t1i;
    const float b1r = r0[j] - t1r, b1i = i0[j] - t1i;
    const float b2r = r2[j] + t3r, b2i = i2[j] + t3i;
    const float b3r = r2[j] - t3r, b3i = i2[j] - t3i;
    const float c2 = w2r[j], d2 = w2i[j];
    const float ur = b2r * c2 - b2i * d2, ui = b2r * d2 + b2i * c2;
    // (sign x i) x w2 x b3
    const float pr = b3r * c2 - b3i * d2, pi = b3r * d2 + b3i * c2;
    const float vr = -sg * pi, vi = sg * pr;
    r0[j] = b0r + ur;
    i0[j] = b0i + ui;
    r2[j] = b0r - ur;
    i2[j] = b0i - ui;
    r1[j] = b1r + vr;
    i1[j] = b1i + vi;
    r3[j] = b1r - vr;
    i3[j] = b1i - vi;
  }
}

}  // namespace

void Fft::Complex(float* data, int sign) const {
  ComplexSplit(data, sign);
  const int m = n_ / 2;
  const float* re = re_.data();
  const float* im = im_.data();
  for (int i = 0; i < m; ++i) {
    data[2 * i] = re[i];
    data[2 * i + 1] = im[i];
  }
}

void Fft::ComplexSplit(const float* data, int sign) const {
  const int m = n_ / 2;
  float* re = re_.data();
  float* im = im_.data();
  const float sg = static_cast<float>(sign);
  if (m >= 4) {
    // Gather in bit-reversed order into split real/imaginary arrays (so the
    // butterflies below run over contiguous memory and vectorise), doing
    // the first two stages on the way: points i .. i+3 come from j, j + m/2,
    // j + m/4 and j + 3m/4 for j the reversal of i.
    const int h = m / 2, q = m / 4;
    for (int i = 0; i < m; i += 4) {
      const float* p0 = data + 2 * bitrev_[i];
      const float* p1 = p0 + 2 * h;
      const float* p2 = p0 + 2 * q;
      const float* p3 = p0 + 2 * (h + q);
      const float ar = p0[0] + p1[0], ai = p0[1] + p1[1];
      const float br = p0[0] - p1[0], bi = p0[1] - p1[1];
      const float cr = p2[0] + p3[0], ci = p2[1] + p3[1];
      const float dr = p2[0] - p3[0], di = p2[1] - p3[1];
      const float er = -sg * di, ei = sg * dr;  // d x (sign x i)
      re[i] = ar + cr;
      im[i] = ai + ci;
      re[i + 2] = ar - cr;
      im[i + 2] = ai - ci;
      re[i + 1] = br + er;
      im[i + 1] = bi + ei;
      re[i + 3] = br - er;
      im[i + 3] = bi - ei;
    }
  } else {
    for (int i = 0; i < m; ++i) {
      re[i] = data[2 * bitrev_[i]];
      im[i] = data[2 * bitrev_[i] + 1];
    }
    if (m == 2) {
      const float r0 = re[0], i0 = im[0];
      re[0] = r0 + re[1];
      im[0] = i0 + im[1];
      re[1] = r0 - re[1];
      im[1] = i0 - im[1];
    }
  }
  const float* twi = sign < 0 ? tw_im_neg_.data() : tw_im_.data();
  int s = 4;
  for (; 4 * s <= m; s <<= 2) {
    const float* w1r = tw_re_.data() + (s - 1);
    const float* w1i = twi + (s - 1);
    const float* w2r = tw_re_.data() + (2 * s - 1);
    const float* w2i = twi + (2 * s - 1);
    for (int base = 0; base < m; base += 4 * s) {
      float* r = re + base;
      float* q = im + base;
      Radix4(r, q, r + s, q + s, r + 2 * s, q + 2 * s, r + 3 * s, q + 3 * s,
             w1r, w1i, w2r, w2i, sg, s);
    }
  }
  for (; s < m; s <<= 1) {
    const float* wr = tw_re_.data() + (s - 1);
    const float* wi = twi + (s - 1);
    for (int base = 0; base < m; base += 2 * s) {
      Butterflies(re + base, im + base, re + base + s, im + base + s, wr, wi,
                  s);
    }
  }
}

void Fft::Forward(float* data) const {
  const int m = n_ / 2;
  ComplexSplit(data, -1);
  // Split the half-size complex transform into the real one, reading the
  // split arrays and writing the packed output in one pass.
  const float* re = re_.data();
  const float* im = im_.data();
  data[0] = re[0] + im[0];
  data[1] = re[0] - im[0];
  for (int k = 1; k <= m / 2; ++k) {
    const int l = m - k;
    const float zkr = re[k], zki = im[k];
    const float zlr = re[l], zli = im[l];
    // E = (Zk + conj Zl) / 2, O = -i (Zk - conj Zl) / 2
    const float er = 0.5f * (zkr + zlr), ei = 0.5f * (zki - zli);
    const float dr = 0.5f * (zkr - zlr), di = 0.5f * (zki + zli);
    const float or_ = di, oi = -dr;
    const float wr = post_[2 * k], wi = -post_[2 * k + 1];
    const float tr = wr * or_ - wi * oi, ti = wr * oi + wi * or_;
    data[2 * k] = er + tr;
    data[2 * k + 1] = ei + ti;
    if (l != k) {
      data[2 * l] = er - tr;
      data[2 * l + 1] = -(ei - ti);
    }
  }
}

void Fft::Inverse(float* data) const {
  const int m = n_ / 2;
  const float x0 = data[0], xm = data[1];
  data[0] = x0 + xm;
  data[1] = x0 - xm;
  for (int k = 1; k <= m / 2; ++k) {
    const int l = m - k;
    const float xkr = data[2 * k], xki = data[2 * k + 1];
    const float xlr = data[2 * l], xli = data[2 * l + 1];
    // E = Xk + conj Xl ; WO = Xk - conj Xl ; O = conj(W) WO ; Z = E + i O
    const float er = xkr + xlr, ei = xki - xli;
    const float fr = xkr - xlr, fi = xki + xli;
    const float wr = post_[2 * k], wi = post_[2 * k + 1];  // conj W
    const float or_ = wr * fr - wi * fi, oi = wr * fi + wi * fr;
    data[2 * k] = er - oi;
    data[2 * k + 1] = ei + or_;
    if (l != k) {
      // For index l: E_l = conj(E_k), O_l = conj(O_k).
      data[2 * l] = er + oi;
      data[2 * l + 1] = -ei + or_;
    }
  }
  Complex(data, +1);
}

}  // namespace qv3
