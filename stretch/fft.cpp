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
  twiddle_.clear();
  twiddle_.reserve(2 * m);
  for (int s = 1; s < m; s <<= 1) {
    for (int j = 0; j < s; ++j) {
      const int idx = j * (n / (2 * s));
      twiddle_.push_back(Cos(idx));
      twiddle_.push_back(Sin(idx));
    }
  }
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
  for (int i = 0; i < m; ++i) {
    const int j = bitrev_[i];
    if (j > i) {
      std::swap(data[2 * i], data[2 * j]);
      std::swap(data[2 * i + 1], data[2 * j + 1]);
    }
  }
  // Stages 1 and 2 together as radix-4 butterflies without multiplies.
  if (m >= 4) {
    for (int i = 0; i < m; i += 4) {
      float* p = data + 2 * i;
      const float a_re = p[0] + p[2], a_im = p[1] + p[3];
      const float b_re = p[0] - p[2], b_im = p[1] - p[3];
      const float c_re = p[4] + p[6], c_im = p[5] + p[7];
      const float d_re = p[4] - p[6], d_im = p[5] - p[7];
      // d x w, w = exp(sign x i pi / 2) = sign x i
      const float e_re = -sign * d_im, e_im = sign * d_re;
      p[0] = a_re + c_re;
      p[1] = a_im + c_im;
      p[4] = a_re - c_re;
      p[5] = a_im - c_im;
      p[2] = b_re + e_re;
      p[3] = b_im + e_im;
      p[6] = b_re - e_re;
      p[7] = b_im - e_im;
    }
  }
  const float* tw = twiddle_.data() + 2 * (1 + 2);  // rows for s = 1, 2 done
  const float sg = static_cast<float>(sign);
  for (int s = 4; s < m; s <<= 1) {
    for (int base = 0; base < m; base += 2 * s) {
      float* a = data + 2 * base;
      float* b = a + 2 * s;
      for (int j = 0; j < s; ++j) {
        const float wr = tw[2 * j];
        const float wi = sg * tw[2 * j + 1];  // forward: exp(-i x)
        const float br = b[2 * j], bi = b[2 * j + 1];
        const float tr = br * wr - bi * wi;
        const float ti = br * wi + bi * wr;
        const float ar = a[2 * j], ai = a[2 * j + 1];
        a[2 * j] = ar + tr;
        a[2 * j + 1] = ai + ti;
        b[2 * j] = ar - tr;
        b[2 * j + 1] = ai - ti;
      }
    }
    tw += 2 * s;
  }
  if (m == 2) {
    const float r0 = data[0], i0 = data[1];
    data[0] = r0 + data[2];
    data[1] = i0 + data[3];
    data[2] = r0 - data[2];
    data[3] = i0 - data[3];
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
