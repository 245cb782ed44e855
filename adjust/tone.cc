// Brightness, gamma, colour (saturation) and contrast filters over a surface's channel bytes.
#include "adjust/tone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace tvcpix {
namespace {

using ByteTable = std::array<std::uint8_t, 256>;

// Nearest integer, ties to the even one (the default rounding mode, which nothing changes).
double Nearest(double x) { return std::nearbyint(x); }

std::uint8_t ClampByte(double x) { return static_cast<std::uint8_t>(std::clamp(x, 0.0, 255.0)); }

// The filters read the source into a buffer and write its picture pixels back at (0, 0),
// clipped; only the picture's pixels ever reach a surface, so the bytes are mapped directly
// over the area both surfaces share.
void MapBytes(Surface& destination, const Surface& source, const ByteTable& table) {
  const int width = std::min(source.width(), destination.width());
  const int height = std::min(source.height(), destination.height());
  if (width <= 0 || height <= 0) return;
  const std::uint8_t* t = table.data();
  if (source.width() == destination.width()) {
    const std::size_t n = source.stride() * static_cast<std::size_t>(height);
    const std::uint8_t* in = source.data();
    std::uint8_t* out = destination.data();
    for (std::size_t i = 0; i < n; ++i) out[i] = t[in[i]];
    return;
  }
  const std::size_t n = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source.row(y);
    std::uint8_t* out = destination.row(y);
    for (std::size_t i = 0; i < n; ++i) out[i] = t[in[i]];
  }
}

// Each channel becomes nearest((c - pivot) * factor + pivot).
ByteTable PivotTable(float factor, int pivot) {
  ByteTable t{};
  const double k = factor;
  for (int c = 0; c < 256; ++c) {
    t[static_cast<std::size_t>(c)] = ClampByte(Nearest((c - pivot) * k + pivot));
  }
  return t;
}

}  // namespace

void AdjustBrightness(Surface& destination, const Surface& source, int value) {
  const float factor = static_cast<float>(value) / 50.0f;
  const double f = factor;
  ByteTable t{};
  for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = ClampByte(Nearest(c * f));
  MapBytes(destination, source, t);
}

void AdjustGamma(Surface& destination, const Surface& source, float value) {
  const float gamma = (value + 1.0f) / 50.0f;
  const double exponent = 1.0 / static_cast<double>(gamma);
  ByteTable t{};
  for (int i = 0; i < 256; ++i) {
    t[static_cast<std::size_t>(i)] = ClampByte(Nearest(std::pow(i / 255.0, exponent) * 255.0));
  }
  MapBytes(destination, source, t);
}

void AdjustColor(Surface& destination, const Surface& source, int value) {
  const float factor = static_cast<float>(value / 50.0);
  const double s = factor;
  // nearest(d * s + m) for a whole m equals nearest(d * s + (m mod 2)) + m - (m mod 2): the
  // sum is exact in double, and only the parity of m can move a tie. So one table per parity
  // over d = c - m in -255..255 covers every pixel.
  std::array<std::array<int, 511>, 2> shifted{};
  for (int parity = 0; parity < 2; ++parity) {
    for (int d = -255; d <= 255; ++d) {
      shifted[static_cast<std::size_t>(parity)][static_cast<std::size_t>(d + 255)] =
          static_cast<int>(Nearest(d * s + parity)) - parity;
    }
  }
  const int width = std::min(source.width(), destination.width());
  const int height = std::min(source.height(), destination.height());
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source.row(y);
    std::uint8_t* out = destination.row(y);
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      // nearest(sum / 3) never meets a tie (the fraction is 0, 1/3 or 2/3).
      const int m = (in[0] + in[1] + in[2] + 1) / 3;
      const int* row = shifted[static_cast<std::size_t>(m & 1)].data() + 255 - m;
      for (int ch = 0; ch < 3; ++ch) {
        out[ch] = static_cast<std::uint8_t>(std::clamp(row[in[ch]] + m, 0, 255));
      }
    }
  }
}

void AdjustContrast(Surface& destination, const Surface& source, int value) {
  MapBytes(destination, source, PivotTable(static_cast<float>(value / 50.0), 127));
}

}  // namespace tvcpix
