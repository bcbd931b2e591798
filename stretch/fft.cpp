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

void Fft::Complex(float* data, int sign) const {
  const int m = n_ / 2;
  float* re = re_.data();
  float* im = im_.data();
  // Gather in bit-reversed order into split real/imaginary arrays, so the
  // butterflies below run over contiguous memory and vectorise.
  for (int i = 0; i < m; ++i) {
    const int j = bitrev_[i];
    re[i] = data[2 * j];
    im[i] = data[2 * j + 1];
  }
  const float sg = static_cast<float>(sign);
  if (m >= 4) {
    // Stages 1 and 2 together as radix-4 butterflies without multiplies.
    for (int i = 0; i < m; i += 4) {
      const float ar = re[i] + re[i + 1], ai = im[i] + im[i + 1];
      const float br = re[i] - re[i + 1], bi = im[i] - im[i + 1];
      const float cr = re[i + 2] + re[i + 3], ci = im[i + 2] + im[i + 3];
      const float dr = re[i + 2] - re[i + 3], di = im[i + 2] - im[i + 3];
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
  } else if (m == 2) {
    const float r0 = re[0], i0 = im[0];
    re[0] = r0 + re[1];
    im[0] = i0 + im[1];
    re[1] = r0 - re[1];
    im[1] = i0 - im[1];
  }
  for (int s = 4; s < m; s <<= 1) {
    const float* wr = tw_re_.data() + (s - 1);
    const float* ws = tw_im_.data() + (s - 1);
    for (int base = 0; base < m; base += 2 * s) {
      float* ar = re + base;
      float* ai = im + base;
      float* br = ar + s;
      float* bi = ai + s;
      for (int j = 0; j < s; ++j) {
        const float c = wr[j], d = sg * ws[j];
        const float tr = br[j] * c - bi[j] * d;
        const float ti = br[j] * d + bi[j] * c;
        const float xr = ar[j], xi = ai[j];
        ar[j] = xr + tr;
        ai[j] = xi + ti;
        br[j] = xr - tr;
        bi[j] = xi - ti;
      }
    }
  }
  for (int i = 0; i < m; ++i) {
    data[2 * i] = re[i];
    data[2 * i + 1] = im[i];
  }
}

void Fft::Forward(float* data) const {
  const int m = n_ / 2;
  Complex(data, -1);
  const float z0r = data[0], z0i = data[1];
  data[0] = z0r + z0i;
  data[1] = z0r - z0i;
  for (int k = 1; k <= m / 2; ++k) {
    const int l = m - k;
    const float zkr = data[2 * k], zki = data[2 * k + 1];
    const float zlr = data[2 * l], zli = data[2 * l + 1];
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
