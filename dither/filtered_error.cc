// Opponent planes, box-pass Gaussians and CIELAB with a table-driven cube root.
#include "dither/filtered_error.h"

#include <algorithm>
#include <cmath>

#include "dither/linear_light.h"
#include "dither/opponent_filters.h"
#include "dither/plain_math.h"

namespace tvcpix {
namespace {

// The spread of a cut Gaussian, in screen pixels (each stood in for by box passes of it).
double CutSpread(double spread_degrees) {
  const double sigma = spread_degrees * kSamplesPerDegree * 0.70710678118654752;
  const int radius = std::min(static_cast<int>(3.0 * sigma) + 1, kCutRadius);
  return TruncatedSpread(sigma, radius);
}

// x^(1/3) by Newton's method: plain arithmetic only.
double CubeRoot(double x) {
  if (x <= 0) return 0;
  double r = x < 1 ? 1.0 : x;
  for (int i = 0; i < 200; ++i) {
    const double next = r - (r * r * r - x) / (3.0 * r * r);
    if (next == r || std::abs(next - r) < 1e-15) return next;
    r = next;
  }
  return r;
}

// CIELAB's f(t) on 0..2 in 4096 steps, linearly interpolated.
class LabF {
 public:
  LabF() {
    for (int i = 0; i <= kSteps; ++i) {
      const double t = 2.0 * i / kSteps;
      table_[static_cast<std::size_t>(i)] = t > 0.008856 ? CubeRoot(t) : 7.787 * t + 16.0 / 116.0;
    }
  }
  double operator()(double t) const {
    const double pos = std::clamp(t, 0.0, 2.0) * (kSteps / 2.0);
    const int i = std::min(static_cast<int>(pos), kSteps - 1);
    const double frac = pos - i;
    const double a = table_[static_cast<std::size_t>(i)];
    return a + (table_[static_cast<std::size_t>(i) + 1] - a) * frac;
  }

 private:
  static constexpr int kSteps = 4096;
  std::array<double, kSteps + 1> table_{};
};

const LabF& F() {
  static const LabF f;
  return f;
}

// One box pass of width 2r+1 along rows (step 1) or columns (step = width), edges repeated.
void BoxPass(std::vector<float>& plane, int w, int h, int r, bool along_rows,
             std::vector<float>& line) {
  if (r <= 0) return;
  const int n = along_rows ? w : h, lines = along_rows ? h : w;
  const std::size_t step = along_rows ? 1 : static_cast<std::size_t>(w);
  line.resize(static_cast<std::size_t>(n));
  const double scale = 1.0 / (2 * r + 1);
  for (int l = 0; l < lines; ++l) {
    float* base =
        plane.data() + (along_rows ? static_cast<std::size_t>(l) * w : static_cast<std::size_t>(l));
    for (int i = 0; i < n; ++i) line[static_cast<std::size_t>(i)] = base[step * i];
    const auto at = [&](int i) { return line[static_cast<std::size_t>(std::clamp(i, 0, n - 1))]; };
    double sum = 0;
    for (int i = -r; i <= r; ++i) sum += at(i);
    for (int i = 0; i < n; ++i) {
      base[step * i] = static_cast<float>(sum * scale);
      sum += at(i + r + 1) - at(i - r);
    }
  }
}

// Box radius whose three passes come closest to a Gaussian of the given spread (pixels).
int BoxRadius(double sigma) {
  const double width = std::sqrt(4.0 * sigma * sigma + 1.0);
  return std::max(0, static_cast<int>((width - 1.0) / 2.0 + 0.5));
}

// One pass of a Gaussian of spread `sigma` screen pixels over pixels `step` screen pixels long,
// along rows or columns, edges repeated. The weights are those a block of `step` equal screen
// pixels gives its neighbours: the Gaussian sampled at every screen pixel of both blocks and
// averaged over the block, cut at three spreads, normalised. For the narrow spreads, where
// three boxes of a whole-pixel radius round to no blur at all: the metric's finest luminance
// Gaussian (under one pixel) still takes most of a one-pixel checkerboard's contrast away, and
// the error of two-colour dithers hangs on it.
void GaussPass(std::vector<float>& plane, int w, int h, double sigma, int step_px, bool along_rows,
               std::vector<float>& line) {
  if (sigma <= 0) return;
  const int r = static_cast<int>(std::ceil((3.0 * sigma + step_px - 1) / step_px));
  std::vector<double> k(static_cast<std::size_t>(2 * r + 1), 0.0);
  double total = 0;
  for (int i = -r; i <= r; ++i) {
    double sum = 0;
    for (int a = 0; a < step_px; ++a) {
      for (int b = 0; b < step_px; ++b) {
        const double d = i * step_px + b - a;
        if (std::abs(d) <= 3.0 * sigma) sum += ExpNeg(0.5 * d * d / (sigma * sigma));
      }
    }
    total += k[static_cast<std::size_t>(i + r)] = sum;
  }
  for (double& v : k) v /= total;
  const int n = along_rows ? w : h, lines = along_rows ? h : w;
  const std::size_t step = along_rows ? 1 : static_cast<std::size_t>(w);
  line.resize(static_cast<std::size_t>(n));
  for (int l = 0; l < lines; ++l) {
    float* base =
        plane.data() + (along_rows ? static_cast<std::size_t>(l) * w : static_cast<std::size_t>(l));
    for (int i = 0; i < n; ++i) line[static_cast<std::size_t>(i)] = base[step * i];
    for (int i = 0; i < n; ++i) {
      double sum = 0;
      for (int j = -r; j <= r; ++j)
        sum += k[static_cast<std::size_t>(j + r)] *
               line[static_cast<std::size_t>(std::clamp(i + j, 0, n - 1))];
      base[step * i] = static_cast<float>(sum);
    }
  }
}

// Spreads below this (in the picture's own pixels) are weighted exactly; wider ones are three
// box passes.
constexpr double kExactSpread = 2.0;

// sigma in screen pixels; step_px screen pixels a picture pixel along this axis.
void BlurAxis(std::vector<float>& plane, int w, int h, double sigma, int step_px, bool along_rows,
              std::vector<float>& line) {
  if (sigma / step_px < kExactSpread) {
    GaussPass(plane, w, h, sigma, step_px, along_rows, line);
    return;
  }
  const int r = BoxRadius(sigma / step_px);
  for (int pass = 0; pass < 3; ++pass) BoxPass(plane, w, h, r, along_rows, line);
}

void Blur(std::vector<float>& plane, int w, int h, double sigma, PixelAspect aspect) {
  std::vector<float> line;
  BlurAxis(plane, w, h, sigma, aspect.width, true, line);
  BlurAxis(plane, w, h, sigma, aspect.height, false, line);
}

}  // namespace

double Lightness(int red, int green, int blue) {
  const double y = Luminance(SrgbToLinear(static_cast<std::uint8_t>(red)),
                             SrgbToLinear(static_cast<std::uint8_t>(green)),
                             SrgbToLinear(static_cast<std::uint8_t>(blue))) /
                   static_cast<double>(kLinearOne);
  return 116.0 * F()(y) - 16.0;
}

FilteredErrorMeter::FilteredErrorMeter(const Surface& reference, PixelAspect aspect)
    : width_(reference.width()), height_(reference.height()), aspect_(aspect) {
  Planes lab = Filtered(reference);
  ref_l_ = std::move(lab[0]);
  ref_a_ = std::move(lab[1]);
  ref_b_ = std::move(lab[2]);
}

FilteredErrorMeter::Planes FilteredErrorMeter::Filtered(const Surface& picture) const {
  const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  Planes opp;
  for (auto& p : opp) p.resize(n);
  const auto& lin = SrgbToLinearTable();
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* s = picture.row(y);
    for (int x = 0; x < width_; ++x, s += 3) {
      const double r = lin[s[2]] / 65535.0, g = lin[s[1]] / 65535.0, b = lin[s[0]] / 65535.0;
      const double X = 0.4124 * r + 0.3576 * g + 0.1805 * b;
      const double Y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
      const double Z = 0.0193 * r + 0.1192 * g + 0.9505 * b;
      const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
      opp[0][i] = static_cast<float>(0.279 * X + 0.72 * Y - 0.107 * Z);
      opp[1][i] = static_cast<float>(-0.449 * X + 0.29 * Y - 0.077 * Z);
      opp[2][i] = static_cast<float>(0.086 * X - 0.59 * Y + 0.501 * Z);
    }
  }
  for (int c = 0; c < 3; ++c) {
    const std::vector<float> plane = opp[static_cast<std::size_t>(c)];
    std::vector<float>& out = opp[static_cast<std::size_t>(c)];
    const PlaneFilter& f = kFilters[c];
    const double sum = f.weight[0] + f.weight[1] + f.weight[2];
    std::fill(out.begin(), out.end(), 0.0f);
    for (int k = 0; k < 3; ++k) {
      if (f.weight[k] == 0) continue;
      std::vector<float> part = plane;
      const double sigma = CutSpread(f.spread[k]);
      Blur(part, width_, height_, sigma, aspect_);
      const double w = f.weight[k] / sum;
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(out[i] + w * part[i]);
    }
  }
  // Opponent back to XYZ (the inverse of the matrix above), then CIELAB.
  const LabF& f = F();
  Planes lab;
  for (auto& p : lab) p.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double o1 = opp[0][i], o2 = opp[1][i], o3 = opp[2][i];
    const double X = 0.62655 * o1 - 1.86718 * o2 - 0.15316 * o3;
    const double Y = 1.36986 * o1 + 0.93481 * o2 + 0.43614 * o3;
    const double Z = 1.50502 * o1 + 1.42132 * o2 + 2.53645 * o3;
    const double fx = f(X / 0.9505), fy = f(Y), fz = f(Z / 1.089);
    lab[0][i] = static_cast<float>(116.0 * fy - 16.0);
    lab[1][i] = static_cast<float>(500.0 * (fx - fy));
    lab[2][i] = static_cast<float>(200.0 * (fy - fz));
  }
  return lab;
}

double FilteredErrorMeter::Measure(const Surface& picture) const {
  const Planes lab = Filtered(picture);
  const std::size_t n = ref_l_.size();
  double total = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double dl = lab[0][i] - ref_l_[i], da = lab[1][i] - ref_a_[i], db = lab[2][i] - ref_b_[i];
    total += std::sqrt(dl * dl + da * da + db * db);
  }
  return n == 0 ? 0.0 : total / static_cast<double>(n);
}

}  // namespace tvcpix
