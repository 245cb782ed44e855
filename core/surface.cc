// Surfaces, reading and writing pixel buffers, and scaling.
#include "core/surface.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tvcpix {

Surface::Surface(std::string name, int width, int height, ColorValue background)
    : name_(std::move(name)), background_(background) {
  Reshape(width, height);
}

void Surface::Clear() { Fill(background_); }

void Surface::Fill(ColorValue color) {
  const std::uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
  for (std::size_t i = 0; i < pixels_.size(); i += 3) std::memcpy(&pixels_[i], bgr, 3);
}

void Surface::Reshape(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0);
  Clear();
}

void Surface::Assign(int width, int height, std::vector<std::uint8_t> bgr) {
  width_ = width;
  height_ = height;
  pixels_ = std::move(bgr);
  pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0);
}

void Surface::AdoptPixels(Surface&& other) {
  width_ = other.width_;
  height_ = other.height_;
  pixels_ = std::move(other.pixels_);
  other.width_ = other.height_ = 0;
  other.pixels_.clear();
}

void Surface::SetPixel(int x, int y, ColorValue color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 3;
  p[0] = BlueOf(color);
  p[1] = GreenOf(color);
  p[2] = RedOf(color);
}

void Surface::FillRect(int x0, int y0, int x1, int y1, ColorValue color) {
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_ - 1);
  y1 = std::min(y1, height_ - 1);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) SetPixel(x, y, color);
}

void Surface::DrawBox(int x0, int y0, int x1, int y1, ColorValue color) {
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  for (int x = x0; x <= x1; ++x) {
    SetPixel(x, y0, color);
    SetPixel(x, y1, color);
  }
  for (int y = y0; y <= y1; ++y) {
    SetPixel(x0, y, color);
    SetPixel(x1, y, color);
  }
}

ColorValue PixelAt(const Surface& surface, int x, int y) {
  if (x < 0 || y < 0 || x >= surface.width() || y >= surface.height()) return surface.background();
  const std::uint8_t* p = surface.row(y) + static_cast<std::size_t>(x) * 3;
  return MakeColor(p[2], p[1], p[0]);
}

PixelBuffer ReadSurface(const Surface& surface, bool wide) {
  PixelBuffer buffer;
  buffer.width = surface.width();
  buffer.height = surface.height();
  buffer.row_pixels = surface.width() + PadFor(surface.width()) + (wide ? 8 : 0);
  buffer.bytes.assign(buffer.row_bytes() * static_cast<std::size_t>(buffer.height), 0);
  for (int y = 0; y < buffer.height; ++y)
    std::memcpy(buffer.bytes.data() + buffer.Offset(0, y), surface.row(y), surface.stride());
  return buffer;
}

void WriteSurface(const PixelBuffer& buffer, Surface& surface) {
  const int w = std::min(buffer.width, surface.width());
  const int h = std::min(buffer.height, surface.height());
  for (int y = 0; y < h; ++y)
    std::memcpy(surface.row(y), buffer.bytes.data() + buffer.Offset(0, y),
                static_cast<std::size_t>(w) * 3);
}

namespace {

// One source index and its integer weight for a destination index along one axis.
struct Tap {
  int source;
  std::uint32_t weight;
};

// Area coverage along one axis: destination pixel d covers [d*S, (d+1)*S) in units where a
// source pixel is D long, so every weight is an integer and each destination's weights sum to S.
void BuildTaps(int source_size, int dest_size, std::vector<int>& first,
               std::vector<Tap>& taps) {
  first.assign(static_cast<std::size_t>(dest_size) + 1, 0);
  taps.clear();
  const std::int64_t s = source_size, dn = dest_size;
  for (std::int64_t d = 0; d < dn; ++d) {
    first[static_cast<std::size_t>(d)] = static_cast<int>(taps.size());
    const std::int64_t lo = d * s, hi = (d + 1) * s;
    for (std::int64_t k = lo / dn; k * dn < hi && k < s; ++k) {
      const std::int64_t a = std::max(lo, k * dn), b = std::min(hi, (k + 1) * dn);
      if (b > a) taps.push_back({static_cast<int>(k), static_cast<std::uint32_t>(b - a)});
    }
  }
  first[static_cast<std::size_t>(dest_size)] = static_cast<int>(taps.size());
}

// Area-average resampling of the whole source into a width x height picture (top-down BGR).
std::vector<std::uint8_t> AreaAverage(const Surface& source, int width, int height) {
  const int sw = source.width(), sh = source.height();
  std::vector<int> xfirst, yfirst;
  std::vector<Tap> xtaps, ytaps;
  BuildTaps(sw, width, xfirst, xtaps);
  BuildTaps(sh, height, yfirst, ytaps);
  const std::uint64_t total = static_cast<std::uint64_t>(sw) * static_cast<std::uint64_t>(sh);
  const std::size_t out_stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> out(out_stride * static_cast<std::size_t>(height));
  std::vector<std::uint64_t> acc(out_stride);
  // Rows of the source contribute to consecutive destination rows; walk destination rows.
  for (int dy = 0; dy < height; ++dy) {
    std::fill(acc.begin(), acc.end(), 0);
    for (int t = yfirst[static_cast<std::size_t>(dy)]; t < yfirst[static_cast<std::size_t>(dy) + 1];
         ++t) {
      const Tap& yt = ytaps[static_cast<std::size_t>(t)];
      const std::uint8_t* src = source.row(yt.source);
      for (int dx = 0; dx < width; ++dx) {
        // Row sums weighted by coverage stay below 255 * sw, well inside 32 bits.
        std::uint32_t b = 0, g = 0, r = 0;
        for (int u = xfirst[static_cast<std::size_t>(dx)];
             u < xfirst[static_cast<std::size_t>(dx) + 1]; ++u) {
          const Tap& xt = xtaps[static_cast<std::size_t>(u)];
          const std::uint8_t* p = src + static_cast<std::size_t>(xt.source) * 3;
          b += p[0] * xt.weight;
          g += p[1] * xt.weight;
          r += p[2] * xt.weight;
        }
        std::uint64_t* a = &acc[static_cast<std::size_t>(dx) * 3];
        a[0] += static_cast<std::uint64_t>(b) * yt.weight;
        a[1] += static_cast<std::uint64_t>(g) * yt.weight;
        a[2] += static_cast<std::uint64_t>(r) * yt.weight;
      }
    }
    std::uint8_t* o = out.data() + out_stride * static_cast<std::size_t>(dy);
    for (std::size_t i = 0; i < out_stride; ++i)
      o[i] = static_cast<std::uint8_t>((acc[i] + total / 2) / total);  // mean, halves up
  }
  return out;
}

// Plain resampling: each destination pixel takes the source pixel its position maps to.
std::vector<std::uint8_t> Replicate(const Surface& source, int width, int height) {
  const std::size_t out_stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> out(out_stride * static_cast<std::size_t>(height));
  std::vector<int> xmap(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    xmap[static_cast<std::size_t>(x)] = static_cast<int>(
        static_cast<std::int64_t>(x) * source.width() / width);
  for (int y = 0; y < height; ++y) {
    const int sy = static_cast<int>(static_cast<std::int64_t>(y) * source.height() / height);
    const std::uint8_t* src = source.row(sy);
    std::uint8_t* o = out.data() + out_stride * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x)
      std::memcpy(o + static_cast<std::size_t>(x) * 3,
                  src + static_cast<std::size_t>(xmap[static_cast<std::size_t>(x)]) * 3, 3);
  }
  return out;
}

}  // namespace

void ScaleSurface(Surface& destination, const Surface& source, int width, int height,
                  int smooth) {
  if (width <= 0 || height <= 0 || source.width() <= 0 || source.height() <= 0) return;
  const bool same_size = width == source.width() && height == source.height();
  if (same_size && &destination == &source) return;  // a copy onto itself changes nothing
  std::vector<std::uint8_t> scaled;
  const std::uint8_t* pixels;
  if (same_size) {
    pixels = source.data();
  } else {
    scaled = smooth == 1 ? AreaAverage(source, width, height) : Replicate(source, width, height);
    pixels = scaled.data();
  }
  // Clip the rectangle to the destination; pixels outside it keep their colours.
  const int w = std::min(width, destination.width());
  const int h = std::min(height, destination.height());
  const std::size_t in_stride = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < h; ++y)
    std::memcpy(destination.row(y), pixels + in_stride * static_cast<std::size_t>(y),
                static_cast<std::size_t>(w) * 3);
}

}  // namespace tvcpix
