// The pair-cost proxy over a reduced picture, then conversions of the finalists.
#include "dither/palette_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "dither/aspect_ordered.h"
#include "dither/filtered_error.h"
#include "dither/linear_light.h"
#include "dither/plain_math.h"

namespace tvcpix {
namespace {

// The distinct colours: 8 is a second black.
constexpr std::array<int, 15> kColours = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15};
constexpr int kPairs = 15 * 14 / 2;
// The reduced picture's largest size.
constexpr int kReducedWidth = 64, kReducedHeight = 60;
// CIELAB's slope stops growing below this luminance (its linear toe).
constexpr double kLabToe = 0.008856;

int PairIndex(int a, int b) {  // positions in kColours, a < b
  return a * 15 - a * (a + 1) / 2 + (b - a - 1);
}

double TableLightness(int index) {
  const PaletteEntry e = Tvc16Color(index);
  return Lightness(e.red, e.green, e.blue);
}

struct Vec {
  double r, g, b;
};

// The proxy's inner product: plain linear RGB plus twice the luminance product, as the
// perceptual method's own distance.
double Dot(const Vec& u, const Vec& v) {
  const double yu = 0.2126 * u.r + 0.7152 * u.g + 0.0722 * u.b;
  const double yv = 0.2126 * v.r + 0.7152 * v.g + 0.0722 * v.b;
  return u.r * v.r + u.g * v.g + u.b * v.b + 2.0 * yu * yv;
}

Vec Linear(const PaletteEntry& e) {
  return {SrgbToLinear(e.red) / 65535.0, SrgbToLinear(e.green) / 65535.0,
          SrgbToLinear(e.blue) / 65535.0};
}

// The reduced picture: block means in linear light.
std::vector<Vec> Reduce(const Surface& preview) {
  const int w = preview.width(), h = preview.height();
  const int bw = std::max(1, (w + kReducedWidth - 1) / kReducedWidth);
  const int bh = std::max(1, (h + kReducedHeight - 1) / kReducedHeight);
  std::vector<Vec> out;
  for (int by = 0; by < h; by += bh) {
    for (int bx = 0; bx < w; bx += bw) {
      Vec sum{0, 0, 0};
      int n = 0;
      for (int y = by; y < std::min(h, by + bh); ++y) {
        const std::uint8_t* p = preview.row(y) + 3 * bx;
        for (int x = bx; x < std::min(w, bx + bw); ++x, p += 3, ++n) {
          sum.r += SrgbToLinear(p[2]);
          sum.g += SrgbToLinear(p[1]);
          sum.b += SrgbToLinear(p[0]);
        }
      }
      const double scale = 1.0 / (65535.0 * n);
      out.push_back({sum.r * scale, sum.g * scale, sum.b * scale});
    }
  }
  return out;
}

// CIELAB's f(t) on 0..1.25 from a table, linearly interpolated (plain arithmetic).
class LabF {
 public:
  LabF() {
    for (int i = 0; i <= kSteps; ++i) {
      const double t = kTop * i / kSteps;
      table_[static_cast<std::size_t>(i)] =
          t > kLabToe ? PlainCubeRoot(t) : 7.787 * t + 16.0 / 116.0;
    }
  }
  double operator()(double t) const {
    const double pos = std::clamp(t, 0.0, kTop) * (kSteps / kTop);
    const int i = std::min(static_cast<int>(pos), kSteps - 1);
    const double a = table_[static_cast<std::size_t>(i)];
    return a + (table_[static_cast<std::size_t>(i) + 1] - a) * (pos - i);
  }

 private:
  static constexpr int kSteps = 4096;
  static constexpr double kTop = 1.25;
  std::array<double, kSteps + 1> table_{};
};

struct Lab {
  double l, a, b;
};

Lab ToLab(const LabF& f, const Vec& c) {
  const double x = 0.4124 * c.r + 0.3576 * c.g + 0.1805 * c.b;
  const double y = 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
  const double z = 0.0193 * c.r + 0.1192 * c.g + 0.9505 * c.b;
  const double fx = f(x / 0.9505), fy = f(y), fz = f(z / 1.089);
  return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

// cost[pixel * kPairs + pair]: the pixel shown as the best mix of the pair's two colours, in
// the metric's units. The metric blurs colour widely but light hardly at all, so the cost
// has two parts: the CIELAB colour (a, b) of the mix's mean against the pixel's, and the mean
// lightness step of the single pixels of the mix, each a or b, from the pixel's lightness.
std::vector<double> PairCosts(const std::vector<Vec>& pixels) {
  const LabF f;
  std::array<Vec, 15> colour{};
  std::array<double, 15> lightness{};
  for (std::size_t i = 0; i < 15; ++i) {
    colour[i] = Linear(Tvc16Color(kColours[i]));
    lightness[i] = ToLab(f, colour[i]).l;
  }
  std::vector<double> cost;
  cost.resize(pixels.size() * kPairs);
  for (std::size_t p = 0; p < pixels.size(); ++p) {
    const Vec& v = pixels[p];
    const Lab lv = ToLab(f, v);
    for (int a = 0; a < 15; ++a) {
      for (int b = a + 1; b < 15; ++b) {
        const Vec& ca = colour[static_cast<std::size_t>(a)];
        const Vec& cb = colour[static_cast<std::size_t>(b)];
        const Vec ab{cb.r - ca.r, cb.g - ca.g, cb.b - ca.b};
        const Vec av{v.r - ca.r, v.g - ca.g, v.b - ca.b};
        const double t = std::clamp(Dot(av, ab) / Dot(ab, ab), 0.0, 1.0);
        const Lab mean = ToLab(f, {ca.r + t * ab.r, ca.g + t * ab.g, ca.b + t * ab.b});
        const double da = mean.a - lv.a, db = mean.b - lv.b;
        const double n = (1.0 - t) * std::abs(lightness[static_cast<std::size_t>(a)] - lv.l) +
                         t * std::abs(lightness[static_cast<std::size_t>(b)] - lv.l);
        cost[p * kPairs + static_cast<std::size_t>(PairIndex(a, b))] =
            std::sqrt(da * da + db * db + n * n);
      }
    }
  }
  return cost;
}

int Position(int table_index) {
  return static_cast<int>(std::find(kColours.begin(), kColours.end(), table_index) -
                          kColours.begin());
}

double ProxyCost(const std::vector<double>& cost, std::size_t pixels,
                 const std::vector<int>& palette) {
  std::array<int, 6> pairs{};
  int n = 0;
  for (std::size_t i = 0; i < palette.size(); ++i)
    for (std::size_t j = i + 1; j < palette.size(); ++j)
      pairs[static_cast<std::size_t>(n++)] = PairIndex(Position(palette[i]), Position(palette[j]));
  double total = 0;
  for (std::size_t p = 0; p < pixels; ++p) {
    const double* c = cost.data() + p * kPairs;
    double best = c[pairs[0]];
    for (int k = 1; k < n; ++k) best = std::min(best, c[pairs[static_cast<std::size_t>(k)]]);
    total += best;
  }
  return total;
}

std::vector<RankedPalette> ScoreAll(const Surface& preview, TvcMode mode,
                                    const PaletteConvert& convert,
                                    const std::vector<std::vector<int>>& palettes, int keep) {
  const FilteredErrorMeter meter(preview, PixelAspectOf(mode));
  std::vector<RankedPalette> scored;
  Surface work = preview;
  for (const std::vector<int>& indices : palettes) {
    std::copy_n(preview.data(), preview.size_bytes(), work.data());
    convert(work, TvcPalette(indices));
    scored.push_back({indices, meter.Measure(work)});
  }
  // Stable: equal errors keep the candidates' lexicographic order.
  std::stable_sort(
      scored.begin(), scored.end(),
      [](const RankedPalette& a, const RankedPalette& b) { return a.error < b.error; });
  if (static_cast<int>(scored.size()) > keep)
    scored.resize(static_cast<std::size_t>(std::max(keep, 0)));
  return scored;
}

}  // namespace

std::vector<std::vector<int>> CandidatePalettes(TvcMode mode, double min_lightness_contrast) {
  std::vector<std::vector<int>> out;
  if (mode == TvcMode::kGraphics2) {
    for (int a = 0; a < 15; ++a) {
      for (int b = a + 1; b < 15; ++b) {
        const int ia = kColours[static_cast<std::size_t>(a)],
                  ib = kColours[static_cast<std::size_t>(b)];
        if (std::abs(TableLightness(ia) - TableLightness(ib)) >= min_lightness_contrast)
          out.push_back({ia, ib});
      }
    }
  } else if (mode == TvcMode::kGraphics4) {
    for (int a = 0; a < 15; ++a)
      for (int b = a + 1; b < 15; ++b)
        for (int c = b + 1; c < 15; ++c)
          for (int d = c + 1; d < 15; ++d)
            out.push_back(
                {kColours[static_cast<std::size_t>(a)], kColours[static_cast<std::size_t>(b)],
                 kColours[static_cast<std::size_t>(c)], kColours[static_cast<std::size_t>(d)]});
  }
  return out;
}

Palette TvcPalette(const std::vector<int>& indices) {
  Palette palette;
  palette.Resize(static_cast<int>(indices.size()));
  for (std::size_t i = 0; i < indices.size(); ++i)
    palette.Set(static_cast<int>(i), Tvc16Color(indices[i]));
  return palette;
}

std::vector<RankedPalette> SearchPalettes(const Surface& preview, TvcMode mode,
                                          const PaletteConvert& convert,
                                          const PaletteSearchOptions& options) {
  const std::vector<std::vector<int>> candidates =
      CandidatePalettes(mode, options.min_lightness_contrast);
  if (candidates.empty() || preview.width() <= 0 || preview.height() <= 0) return {};
  const std::vector<Vec> pixels = Reduce(preview);
  const std::vector<double> cost = PairCosts(pixels);
  std::vector<double> proxy(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i)
    proxy[i] = ProxyCost(cost, pixels.size(), candidates[i]);
  std::vector<std::size_t> order(candidates.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  const int wanted = options.finalists > 0         ? options.finalists
                     : mode == TvcMode::kGraphics2 ? 8
                                                   : 16;
  const std::size_t finalists = std::min(order.size(), static_cast<std::size_t>(wanted));
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(finalists),
                    order.end(), [&proxy](std::size_t a, std::size_t b) {
                      return proxy[a] < proxy[b] || (proxy[a] == proxy[b] && a < b);
                    });
  order.resize(finalists);
  std::sort(order.begin(), order.end());  // back to lexicographic order for the tie rule
  std::vector<std::vector<int>> chosen;
  for (std::size_t i : order) chosen.push_back(candidates[i]);
  return ScoreAll(preview, mode, convert, chosen, options.keep);
}

std::vector<RankedPalette> SearchPalettesExhaustive(const Surface& preview, TvcMode mode,
                                                    const PaletteConvert& convert,
                                                    const PaletteSearchOptions& options) {
  const std::vector<std::vector<int>> candidates =
      CandidatePalettes(mode, options.min_lightness_contrast);
  if (candidates.empty() || preview.width() <= 0 || preview.height() <= 0) return {};
  return ScoreAll(preview, mode, convert, candidates, options.keep);
}

}  // namespace tvcpix
