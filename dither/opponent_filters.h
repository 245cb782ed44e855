// The S-CIELAB filters of the three opponent planes at this program's viewing distance,
// shared by the filtered error and the search on it.
#ifndef TVCPIX_DITHER_OPPONENT_FILTERS_H_
#define TVCPIX_DITHER_OPPONENT_FILTERS_H_

namespace tvcpix {

// 480 rows at four picture heights span 480 * 4 * tan(1 degree) screen rows per degree.
inline constexpr double kSamplesPerDegree = 33.5;

// The spreads (degrees; a Gaussian exp(-r^2 / s^2), so sigma = s / sqrt 2) and weights of
// each opponent plane's Gaussians. As in bench/quality/scielab.py (and the metric's reference
// code) each Gaussian is cut to a support of one degree and normalised over it, so the
// luminance plane's very wide negative part acts on the one-degree surround.
struct PlaneFilter {
  double spread[3];
  double weight[3];
};
inline constexpr PlaneFilter kFilters[3] = {
    {{0.0283, 0.133, 4.336}, {0.921, 0.105, -0.108}},
    {{0.0392, 0.494, 0}, {0.531, 0.330, 0}},
    {{0.0536, 0.386, 0}, {0.488, 0.371, 0}},
};
// Half the one-degree support, in screen rows.
inline constexpr int kCutRadius = static_cast<int>(kSamplesPerDegree / 2);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_OPPONENT_FILTERS_H_
