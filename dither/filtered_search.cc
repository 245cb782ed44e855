// Correlation fields per opponent plane, window updates per accepted toggle.
#include "dither/filtered_search.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "dither/linear_light.h"
#include "dither/opponent_filters.h"
#include "dither/plain_math.h"

namespace tvcpix {
namespace {

// Linear RGB -> XYZ -> opponent planes.
constexpr double kRgbToXyz[3][3] = {
    {0.4124, 0.3576, 0.1805}, {0.2126, 0.7152, 0.0722}, {0.0193, 0.1192, 0.9505}};
constexpr double kXyzToOpp[3][3] = {
    {0.279, 0.72, -0.107}, {-0.449, 0.29, -0.077}, {0.086, -0.59, 0.501}};
constexpr double kOppToXyz[3][3] = {
    {0.62655, -1.86718, -0.15316}, {1.36986, 0.93481, 0.43614}, {1.50502, 1.42132, 2.53645}};

// A 2-D kernel of odd sides, centre in the middle, row-major; with its Gaussians kept apart
// as 1-D factors (each cut to its own radius inside the kernel's) for fast convolution.
struct Kernel {
  int rx = 0, ry = 0;
  std::vector<double> v;
  std::array<double, 3> weight{};
  std::array<std::vector<double>, 3> fx, fy;  // each of the kernel's full sides
  double at(int dx, int dy) const {
    return v[static_cast<std::size_t>((dy + ry) * (2 * rx + 1) + dx + rx)];
  }
};

// One Gaussian along one axis over pixels `step` screen pixels long: the weight a block of
// `step` equal screen pixels gives the block i places away, the Gaussian taken at every pair
// of their screen pixels (cut at `cut` screen pixels); normalised, laid into 2r+1 places.
// Sampling only the blocks' centres would lose the narrow Gaussians, which blur across a
// block's edge, and with them most of what the metric sees of a fine dither.
std::vector<double> Gaussian1d(int r, int step, double s, int cut) {
  std::vector<double> g(static_cast<std::size_t>(2 * r + 1), 0.0);
  double sum = 0;
  for (int i = -r; i <= r; ++i) {
    for (int a = 0; a < step; ++a) {
      for (int b = 0; b < step; ++b) {
        const double d = i * step + b - a;
        if (d * d > static_cast<double>(cut) * cut) continue;
        g[static_cast<std::size_t>(i + r)] += ExpNeg(d * d / (s * s));
      }
    }
    sum += g[static_cast<std::size_t>(i + r)];
  }
  for (double& v : g) v /= sum;
  return g;
}

// A plane's filter on the preview grid.
Kernel PlaneKernel(const PlaneFilter& f, PixelAspect aspect) {
  Kernel k;
  int widest = 0;
  std::array<int, 3> cut{};
  for (std::size_t g = 0; g < 3; ++g) {
    if (f.weight[g] == 0) continue;
    const double sigma = f.spread[g] * kSamplesPerDegree * 0.70710678118654752;
    cut[g] = std::min(static_cast<int>(3.0 * sigma) + 1, kCutRadius);
    widest = std::max(widest, cut[g]);
  }
  k.rx = (widest + aspect.width - 1) / aspect.width;
  k.ry = (widest + aspect.height - 1) / aspect.height;
  const int sx = 2 * k.rx + 1, sy = 2 * k.ry + 1;
  k.v.assign(static_cast<std::size_t>(sx * sy), 0.0);
  const double total = f.weight[0] + f.weight[1] + f.weight[2];
  for (std::size_t g = 0; g < 3; ++g) {
    if (f.weight[g] == 0) continue;
    const double s = f.spread[g] * kSamplesPerDegree;
    k.weight[g] = f.weight[g] / total;
    k.fx[g] = Gaussian1d(k.rx, aspect.width, s, cut[g]);
    k.fy[g] = Gaussian1d(k.ry, aspect.height, s, cut[g]);
    for (int y = 0; y < sy; ++y)
      for (int x = 0; x < sx; ++x)
        k.v[static_cast<std::size_t>(y * sx + x)] += k.weight[g] *
                                                     k.fx[g][static_cast<std::size_t>(x)] *
                                                     k.fy[g][static_cast<std::size_t>(y)];
  }
  return k;
}

// The correlation of two kernels (sides the sum of theirs): how a unit error at one pixel
// shows through filter a against filter b at each offset.
Kernel Correlation(const Kernel& ka, const Kernel& kb) {
  Kernel c;
  c.rx = ka.rx + kb.rx;
  c.ry = ka.ry + kb.ry;
  const int sx = 2 * c.rx + 1;
  c.v.assign(static_cast<std::size_t>(sx * (2 * c.ry + 1)), 0.0);
  for (int dy = -c.ry; dy <= c.ry; ++dy) {
    for (int dx = -c.rx; dx <= c.rx; ++dx) {
      double sum = 0;
      for (int y = std::max(-ka.ry, -kb.ry - dy); y <= std::min(ka.ry, kb.ry - dy); ++y)
        for (int x = std::max(-ka.rx, -kb.rx - dx); x <= std::min(ka.rx, kb.rx - dx); ++x)
          sum += ka.at(x, y) * kb.at(x + dx, y + dy);
      c.v[static_cast<std::size_t>((dy + c.ry) * sx + dx + c.rx)] = sum;
    }
  }
  return c;
}

// out = k * in over a w x h plane, zero outside (the error is zero beyond the picture), one
// 1-D pass along rows and one along columns per Gaussian.
std::vector<double> Convolve(const std::vector<double>& in, int w, int h, const Kernel& k) {
  std::vector<double> out(in.size(), 0.0), rows(in.size());
  for (std::size_t g = 0; g < 3; ++g) {
    if (k.weight[g] == 0) continue;
    const std::vector<double>& fx = k.fx[g];
    const std::vector<double>& fy = k.fy[g];
    for (int y = 0; y < h; ++y) {
      const double* src = in.data() + static_cast<std::size_t>(y) * w;
      double* dst = rows.data() + static_cast<std::size_t>(y) * w;
      for (int x = 0; x < w; ++x) {
        double sum = 0;
        for (int d = std::max(-k.rx, -x); d <= std::min(k.rx, w - 1 - x); ++d)
          sum += fx[static_cast<std::size_t>(d + k.rx)] * src[x + d];
        dst[x] = sum;
      }
    }
    for (int y = 0; y < h; ++y) {
      double* dst = out.data() + static_cast<std::size_t>(y) * w;
      for (int d = std::max(-k.ry, -y); d <= std::min(k.ry, h - 1 - y); ++d) {
        const double f = k.weight[g] * fy[static_cast<std::size_t>(d + k.ry)];
        const double* src = rows.data() + static_cast<std::size_t>(y + d) * w;
        for (int x = 0; x < w; ++x) dst[x] += f * src[x];
      }
    }
  }
  return out;
}

}  // namespace

void RefineByFilteredError(const Surface& source, const Palette& palette, PixelAspect aspect,
                           Surface& result, int passes) {
  const int w = source.width(), h_dim = source.height(), n = palette.size();
  if (n == 0 || w <= 0 || h_dim <= 0 || result.width() != w || result.height() != h_dim) return;
  const auto opponent = [](const std::uint8_t* p, std::array<double, 3>& o) {
    // Encoded values: the metric's light filter is close to a single pixel, so what counts is
    // each pixel's lightness, which encoded values follow far better than a slope in linear
    // light does for the large steps between palette colours.
    const double rgb[3] = {p[2] / 255.0, p[1] / 255.0, p[0] / 255.0};
    double xyz[3];
    for (int i = 0; i < 3; ++i)
      xyz[i] = kRgbToXyz[i][0] * rgb[0] + kRgbToXyz[i][1] * rgb[1] + kRgbToXyz[i][2] * rgb[2];
    for (int k = 0; k < 3; ++k)
      o[static_cast<std::size_t>(k)] =
          kXyzToOpp[k][0] * xyz[0] + kXyzToOpp[k][1] * xyz[1] + kXyzToOpp[k][2] * xyz[2];
  };
  // The metric's CIELAB difference, linearised in encoded values at a neutral colour: L from
  // Y, a from X - Y, b from Y - Z (scaled as encoded values span them). A filtered error F in
  // the opponent planes costs F' Q F with Q = (M P)' (M P), P the opponent-to-XYZ matrix.
  double mp[3][3];
  for (int k = 0; k < 3; ++k) {
    const double x = kOppToXyz[0][k] / 0.9505, y = kOppToXyz[1][k], z = kOppToXyz[2][k] / 1.089;
    mp[0][k] = 100 * y;
    mp[1][k] = 430 * (x - y);
    mp[2][k] = 172 * (y - z);
  }
  double q[3][3];
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b)
      q[a][b] = mp[0][a] * mp[0][b] + mp[1][a] * mp[1][b] + mp[2][a] * mp[2][b];
  // Palette colours in the opponent planes; identical entries are one candidate.
  std::vector<std::array<double, 3>> colour(static_cast<std::size_t>(n));
  std::vector<int> candidates;
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = palette[i];
    const std::uint8_t bgr[3] = {e.blue, e.green, e.red};
    opponent(bgr, colour[static_cast<std::size_t>(i)]);
    bool repeat = false;
    for (int j : candidates) repeat = repeat || palette[j] == e;
    if (!repeat) candidates.push_back(i);
  }
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h_dim);
  std::vector<std::uint8_t> index(count);
  std::array<std::vector<double>, 3> err;
  for (auto& e : err) e.resize(count);
  for (int y = 0; y < h_dim; ++y) {
    const std::uint8_t* s = source.row(y);
    const std::uint8_t* r = result.row(y);
    for (int x = 0; x < w; ++x, s += 3, r += 3) {
      const std::size_t i = static_cast<std::size_t>(y) * w + x;
      std::array<double, 3> o;
      opponent(s, o);
      const int k = NearestIndex(palette, r[2], r[1], r[0]);
      index[i] = static_cast<std::uint8_t>(k);
      for (std::size_t c = 0; c < 3; ++c) err[c][i] = colour[static_cast<std::size_t>(k)][c] - o[c];
    }
  }
  // g[k] = sum over j of Q[k][j] (h_k (x) h_j) * err_j: the gradient of the cost in plane k.
  std::array<Kernel, 3> h;
  std::array<std::vector<double>, 3> filtered;
  for (std::size_t c = 0; c < 3; ++c) {
    h[c] = PlaneKernel(kFilters[c], aspect);
    filtered[c] = Convolve(err[c], w, h_dim, h[c]);
  }
  // The combined windows: window[k][j] = Q[k][j] * correlation of h_k and h_j.
  std::array<std::array<Kernel, 3>, 3> window;
  for (std::size_t k = 0; k < 3; ++k) {
    for (std::size_t j = 0; j < 3; ++j) {
      window[k][j] = Correlation(h[k], h[j]);
      for (double& v : window[k][j].v) v *= q[k][j];
    }
  }
  std::array<std::vector<double>, 3> grad;
  for (std::size_t k = 0; k < 3; ++k) {
    grad[k].assign(count, 0.0);
    for (std::size_t j = 0; j < 3; ++j) {
      const std::vector<double> part = Convolve(filtered[j], w, h_dim, h[k]);
      for (std::size_t i = 0; i < count; ++i) grad[k][i] += q[k][j] * part[i];
    }
  }
  std::array<std::array<double, 3>, 3> centre{};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t j = 0; j < 3; ++j) centre[k][j] = window[k][j].at(0, 0);

  for (int pass = 0; pass < passes; ++pass) {
    int changed = 0;
    for (int y = 0; y < h_dim; ++y) {
      for (int x = 0; x < w; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * w + x;
        const int now = index[i];
        int best = now;
        double best_gain = 0;
        std::array<double, 3> best_d{};
        for (int k : candidates) {
          if (k == now) continue;
          double change = 0;
          std::array<double, 3> d;
          for (std::size_t c = 0; c < 3; ++c)
            d[c] =
                colour[static_cast<std::size_t>(k)][c] - colour[static_cast<std::size_t>(now)][c];
          for (std::size_t a = 0; a < 3; ++a) {
            change += 2 * d[a] * grad[a][i];
            for (std::size_t b = 0; b < 3; ++b) change += d[a] * d[b] * centre[a][b];
          }
          if (change < best_gain) {
            best_gain = change;
            best = k;
            best_d = d;
          }
        }
        if (best == now) continue;
        ++changed;
        index[i] = static_cast<std::uint8_t>(best);
        for (std::size_t k = 0; k < 3; ++k) {
          for (std::size_t j = 0; j < 3; ++j) {
            if (best_d[j] == 0) continue;
            const Kernel& a = window[k][j];
            const int sx = 2 * a.rx + 1;
            for (int dy = std::max(-a.ry, -y); dy <= std::min(a.ry, h_dim - 1 - y); ++dy) {
              double* row = grad[k].data() + static_cast<std::size_t>(y + dy) * w + x;
              const double* ar = a.v.data() + static_cast<std::size_t>((dy + a.ry) * sx + a.rx);
              for (int dx = std::max(-a.rx, -x); dx <= std::min(a.rx, w - 1 - x); ++dx)
                row[dx] += best_d[j] * ar[dx];
            }
          }
        }
      }
    }
    if (changed == 0) break;
  }
  for (int y = 0; y < h_dim; ++y) {
    std::uint8_t* r = result.row(y);
    for (int x = 0; x < w; ++x, r += 3) {
      const PaletteEntry& e = palette[index[static_cast<std::size_t>(y) * w + x]];
      r[0] = e.blue;
      r[1] = e.green;
      r[2] = e.red;
    }
  }
}

}  // namespace tvcpix
