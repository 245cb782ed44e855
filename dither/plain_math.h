// e^-x and cube roots by plain arithmetic (+, *, /), so tables built from them have the same
// bits on every machine whatever its libm.
#ifndef TVCPIX_DITHER_PLAIN_MATH_H_
#define TVCPIX_DITHER_PLAIN_MATH_H_

namespace tvcpix {

// e^-x for x >= 0: halved until small, a Taylor series, then squared back.
inline double ExpNeg(double x) {
  int halvings = 0;
  while (x > 0.5) {
    x *= 0.5;
    ++halvings;
  }
  double term = 1, sum = 1;
  for (int i = 1; i < 20; ++i) {
    term *= -x / i;
    sum += term;
  }
  for (int i = 0; i < halvings; ++i) sum *= sum;
  return sum;
}

// x^(1/3) by Newton's method; 0 for x <= 0.
inline double PlainCubeRoot(double x) {
  if (x <= 0) return 0;
  double r = x < 1 ? 1.0 : x;
  for (int i = 0; i < 200; ++i) {
    const double next = r - (r * r * r - x) / (3.0 * r * r);
    if (next == r) break;
    r = next;
  }
  return r;
}

// The standard deviation of a sampled Gaussian exp(-i^2 / (2 sigma^2)) cut to |i| <= radius.
inline double TruncatedSpread(double sigma, int radius) {
  double sum = 0, moment = 0;
  for (int i = -radius; i <= radius; ++i) {
    const double g = ExpNeg(i * i / (2.0 * sigma * sigma));
    sum += g;
    moment += g * i * i;
  }
  const double var = moment / sum;
  // sqrt by Newton's method as well.
  double r = var > 1 ? var : 1.0;
  for (int k = 0; k < 100 && var > 0; ++k) {
    const double next = 0.5 * (r + var / r);
    if (next == r) break;
    r = next;
  }
  return var > 0 ? r : 0.0;
}

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_PLAIN_MATH_H_
