// Surfaces and scaling.
#include "core/surface.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

namespace tvcpix {

Surface::Surface(std::string name, int width, int height, ColorValue background)
    : name_(std::move(name)), background_(background) {
  Reshape(width, height);
}

void Surface::Clear() { Fill(background_); }

void Surface::Fill(ColorValue color) {
  if (pixels_.empty()) return;
  const std::uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
  std::memcpy(pixels_.data(), bgr, 3);
  // Doubling copies: the filled part is copied onto the part after it.
  for (std::size_t done = 3; done < pixels_.size();) {
    const std::size_t n = std::min(done, pixels_.size() - done);
    std::memcpy(pixels_.data() + done, pixels_.data(), n);
    done += n;
  }
}

void Surface::Reshape(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3);
  Clear();
}

void Surface::Assign(int width, int height, PixelBytes bgr) {
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
  if (x0 > x1 || y0 > y1) return;
  const std::uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
  const std::size_t bytes = static_cast<std::size_t>(x1 - x0 + 1) * 3;
  std::uint8_t* first = row(y0) + static_cast<std::size_t>(x0) * 3;
  for (std::size_t i = 0; i < bytes; i += 3) std::memcpy(first + i, bgr, 3);
  for (int y = y0 + 1; y <= y1; ++y)
    std::memcpy(row(y) + static_cast<std::size_t>(x0) * 3, first, bytes);
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

namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Where the scaled rows go: straight into the destination's rows when the rectangle is no wider
// than the destination, else through one scratch row of which the visible part is copied.
// Rows below the destination are never asked for, so they are not computed at all.
class RowSink {
 public:
  RowSink(Surface& destination, int width, int height)
      : destination_(destination),
        width_(width),
        visible_width_(std::min(width, destination.width())),
        rows_(std::min(height, destination.height())) {
    if (width_ > destination.width()) scratch_.resize(static_cast<std::size_t>(width_) * 3);
  }

  int rows() const { return rows_; }
  // Room for the whole row y (width * 3 bytes); Commit(y) makes it visible.
  std::uint8_t* Row(int y) { return scratch_.empty() ? destination_.row(y) : scratch_.data(); }
  void Commit(int y) {
    if (!scratch_.empty() && visible_width_ > 0)
      std::memcpy(destination_.row(y), scratch_.data(),
                  static_cast<std::size_t>(visible_width_) * 3);
  }

 private:
  Surface& destination_;
  int width_;
  int visible_width_;
  int rows_;
  std::vector<std::uint8_t> scratch_;
};

// Whole-number reduction: each destination pixel is the mean of a KX x KY block of source
// pixels, rounded halves up. This is exactly what the coverage weights of the general path
// give when the ratio is whole (every weight the same), with far less work. The template
// arguments fix the common preview blocks so the compiler unrolls them and divides by shifts;
// 0 means "given at run time". Sum holds a column of KY bytes.
template <int KX, int KY, typename Sum>
void BlockMeans(const Surface& source, int kx, int ky, int width, RowSink& sink, int dy0, int dy1) {
  if constexpr (KX > 0) kx = KX;
  if constexpr (KY > 0) ky = KY;
  const std::uint32_t n = static_cast<std::uint32_t>(kx) * static_cast<std::uint32_t>(ky);
  const std::uint32_t half = n / 2;
  const std::size_t in_bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(kx) * 3;
  std::vector<Sum> columns(in_bytes);
  Sum* __restrict col = columns.data();
  for (int dy = dy0; dy < dy1; ++dy) {
    // Column sums first: a plain pass over bytes that the compiler vectorises.
    const std::uint8_t* __restrict first = source.row(dy * ky);
    for (std::size_t i = 0; i < in_bytes; ++i) col[i] = first[i];
    for (int j = 1; j < ky; ++j) {
      const std::uint8_t* __restrict r = source.row(dy * ky + j);
      for (std::size_t i = 0; i < in_bytes; ++i) col[i] = static_cast<Sum>(col[i] + r[i]);
    }
    std::uint8_t* out = sink.Row(dy);
    const Sum* c = col;
    for (int dx = 0; dx < width; ++dx, out += 3) {
      std::uint32_t b = 0, g = 0, r = 0;
      for (int i = 0; i < kx; ++i, c += 3) {
        b += c[0];
        g += c[1];
        r += c[2];
      }
      out[0] = static_cast<std::uint8_t>((b + half) / n);
      out[1] = static_cast<std::uint8_t>((g + half) / n);
      out[2] = static_cast<std::uint8_t>((r + half) / n);
    }
    sink.Commit(dy);
  }
}

// One source index and its integer weight for a destination index along one axis.
struct Tap {
  int source;
  std::uint32_t weight;
};

// Area coverage along one axis: destination pixel d covers [d*S, (d+1)*S) in units where a
// source pixel is D long, so every weight is an integer and each destination's weights sum to S.
void BuildTaps(int source_size, int dest_size, std::vector<int>& first, std::vector<Tap>& taps) {
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

// General area average: for each destination row, the source rows it covers are first summed
// column by column with their vertical weights (a plain, vectorisable pass over bytes), then
// each destination pixel sums its columns with their horizontal weights. The result is the
// coverage-weighted sum over the whole area divided by sw * sh, rounded halves up; only the
// order of the integer additions differs from summing pixel by pixel. Sum is the column sum
// type: 32 bits while 255 * sh fits, else 64.
template <typename Sum>
void AreaAverageRows(const Surface& source, int width, int height, RowSink& sink, int dy0,
                     int dy1) {
  const int sw = source.width(), sh = source.height();
  std::vector<int> xfirst, yfirst;
  std::vector<Tap> xtaps, ytaps;
  BuildTaps(sw, width, xfirst, xtaps);
  BuildTaps(sh, height, yfirst, ytaps);
  const std::uint64_t total = static_cast<std::uint64_t>(sw) * static_cast<std::uint64_t>(sh);
  const std::size_t in_bytes = source.stride();
  std::vector<Sum> columns(in_bytes);
  Sum* col = columns.data();
  for (int dy = dy0; dy < dy1; ++dy) {
    const int t0 = yfirst[static_cast<std::size_t>(dy)];
    const int t1 = yfirst[static_cast<std::size_t>(dy) + 1];
    for (int t = t0; t < t1; ++t) {
      const Tap& yt = ytaps[static_cast<std::size_t>(t)];
      const std::uint8_t* src = source.row(yt.source);
      const Sum w = static_cast<Sum>(yt.weight);
      if (t == t0) {
        for (std::size_t i = 0; i < in_bytes; ++i) col[i] = w * src[i];
      } else {
        for (std::size_t i = 0; i < in_bytes; ++i) col[i] += w * src[i];
      }
    }
    std::uint8_t* out = sink.Row(dy);
    for (int dx = 0; dx < width; ++dx, out += 3) {
      std::uint64_t b = 0, g = 0, r = 0;
      const int u1 = xfirst[static_cast<std::size_t>(dx) + 1];
      for (int u = xfirst[static_cast<std::size_t>(dx)]; u < u1; ++u) {
        const Tap& xt = xtaps[static_cast<std::size_t>(u)];
        const Sum* c = col + static_cast<std::size_t>(xt.source) * 3;
        b += static_cast<std::uint64_t>(c[0]) * xt.weight;
        g += static_cast<std::uint64_t>(c[1]) * xt.weight;
        r += static_cast<std::uint64_t>(c[2]) * xt.weight;
      }
      out[0] = static_cast<std::uint8_t>((b + total / 2) / total);  // mean, halves up
      out[1] = static_cast<std::uint8_t>((g + total / 2) / total);
      out[2] = static_cast<std::uint8_t>((r + total / 2) / total);
    }
    sink.Commit(dy);
  }
}

// Area-average resampling of destination rows dy0..dy1-1 of the whole source.
void AreaAverageBand(const Surface& source, int width, int height, RowSink& sink, int dy0,
                     int dy1) {
  const int sw = source.width(), sh = source.height();
  if (sw % width == 0 && sh % height == 0) {
    const int kx = sw / width, ky = sh / height;
    using Wide = std::uint32_t;
    if (kx == 1 && ky == 2)
      return BlockMeans<1, 2, std::uint16_t>(source, kx, ky, width, sink, dy0, dy1);
    if (kx == 2 && ky == 2)
      return BlockMeans<2, 2, std::uint16_t>(source, kx, ky, width, sink, dy0, dy1);
    if (kx == 4 && ky == 2)
      return BlockMeans<4, 2, std::uint16_t>(source, kx, ky, width, sink, dy0, dy1);
    // Sums of a block stay inside 32 bits below 2^24 pixels a block.
    if (static_cast<std::uint64_t>(kx) * static_cast<std::uint64_t>(ky) < (1u << 24))
      return BlockMeans<0, 0, Wide>(source, kx, ky, width, sink, dy0, dy1);
  }
  if (static_cast<std::uint64_t>(sh) * 255 <= 0xFFFFFFFFu) {
    AreaAverageRows<std::uint32_t>(source, width, height, sink, dy0, dy1);
  } else {
    AreaAverageRows<std::uint64_t>(source, width, height, sink, dy0, dy1);
  }
}

// Sources from this size on are reduced on two threads: a photograph's reduction costs about
// as much as decoding it, and the two halves of the destination share nothing.
constexpr std::uint64_t kTwoThreadPixels = 1u << 20;

// Area-average resampling of the whole source into a width x height rectangle. Every
// destination row is computed from the source alone, so splitting the rows between threads
// gives the same bytes.
void AreaAverage(const Surface& source, int width, int height, RowSink& sink) {
  const int rows = sink.rows();
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(source.width()) * static_cast<std::uint64_t>(source.height());
  static const bool two_cores = std::thread::hardware_concurrency() > 1;
  if (pixels >= kTwoThreadPixels && rows >= 2 && two_cores) {
    const int half = rows / 2;
    try {
      RowSink other = sink;  // each thread its own scratch row
      std::thread lower([&] { AreaAverageBand(source, width, height, other, half, rows); });
      AreaAverageBand(source, width, height, sink, 0, half);
      lower.join();
      return;
    } catch (const std::system_error&) {
      // No thread to be had: one thread does it all.
    }
  }
  AreaAverageBand(source, width, height, sink, 0, rows);
}

// One row of plain resampling by a whole factor k: every source pixel repeated k times.
void ExpandRow(const std::uint8_t* src, int k, int sw, std::uint8_t* out) {
  for (int x = 0; x < sw; ++x, src += 3) {
    for (int i = 0; i < k; ++i, out += 3) std::memcpy(out, src, 3);
  }
}

// The same for k = 4 with wide stores: one pixel p repeated four times is the 12 bytes
// p | p << 24 | p << 48 (bytes 0-7) and p >> 16 | p << 8 (bytes 8-11).
// Both need a little-endian machine.
void ExpandRow4(const std::uint8_t* src, int sw, std::uint8_t* out) {
  for (int x = 0; x < sw; ++x, src += 3, out += 12) {
    const std::uint64_t p = src[0] | (static_cast<std::uint64_t>(src[1]) << 8) |
                            (static_cast<std::uint64_t>(src[2]) << 16);
    const std::uint64_t low = p | (p << 24) | (p << 48);
    const std::uint32_t high = static_cast<std::uint32_t>((p >> 16) | (p << 8));
    std::memcpy(out, &low, 8);
    std::memcpy(out + 8, &high, 4);
  }
}

// And for k = 2: bytes 0-3 are p | p << 24, bytes 4-5 are p >> 8.
void ExpandRow2(const std::uint8_t* src, int sw, std::uint8_t* out) {
  for (int x = 0; x < sw; ++x, src += 3, out += 6) {
    const std::uint32_t p = src[0] | (static_cast<std::uint32_t>(src[1]) << 8) |
                            (static_cast<std::uint32_t>(src[2]) << 16);
    const std::uint32_t low = p | (p << 24);
    const std::uint16_t high = static_cast<std::uint16_t>(p >> 8);
    std::memcpy(out, &low, 4);
    std::memcpy(out + 4, &high, 2);
  }
}

// Plain resampling: each destination pixel takes the source pixel its position maps to. A
// destination row that maps to the same source row as the one above is a copy of it.
void Replicate(const Surface& source, int width, int height, RowSink& sink) {
  const int sw = source.width(), sh = source.height();
  const std::size_t out_bytes = static_cast<std::size_t>(width) * 3;
  std::vector<int> xmap;
  const bool whole = width % sw == 0;
  const int k = whole ? width / sw : 0;
  if (!whole) {
    xmap.resize(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
      xmap[static_cast<std::size_t>(x)] =
          static_cast<int>(static_cast<std::int64_t>(x) * sw / width);
  }
  int previous_sy = -1;
  const std::uint8_t* previous = nullptr;
  for (int y = 0; y < sink.rows(); ++y) {
    const int sy = static_cast<int>(static_cast<std::int64_t>(y) * sh / height);
    std::uint8_t* out = sink.Row(y);
    if (sy == previous_sy) {
      if (out != previous) std::memcpy(out, previous, out_bytes);
    } else {
      const std::uint8_t* src = source.row(sy);
      if (k == 1) {
        std::memcpy(out, src, out_bytes);
      } else if (k == 2 && kLittleEndian) {
        ExpandRow2(src, sw, out);
      } else if (k == 4 && kLittleEndian) {
        ExpandRow4(src, sw, out);
      } else if (whole) {
        ExpandRow(src, k, sw, out);
      } else {
        for (int x = 0; x < width; ++x)
          std::memcpy(out + static_cast<std::size_t>(x) * 3,
                      src + static_cast<std::size_t>(xmap[static_cast<std::size_t>(x)]) * 3, 3);
      }
    }
    sink.Commit(y);
    previous_sy = sy;
    previous = out;
  }
}

}  // namespace

void ScaleSurface(Surface& destination, const Surface& source, int width, int height, int smooth) {
  if (width <= 0 || height <= 0 || source.width() <= 0 || source.height() <= 0) return;
  const bool same_size = width == source.width() && height == source.height();
  if (same_size && &destination == &source) return;  // a copy onto itself changes nothing
  if (&destination == &source) {
    // The rows are written while the source is still being read: scale from a copy.
    const Surface original = source;
    ScaleSurface(destination, original, width, height, smooth);
    return;
  }
  RowSink sink(destination, width, height);
  if (same_size) {
    // Clip the rectangle to the destination; pixels outside it keep their colours.
    const std::size_t bytes = static_cast<std::size_t>(std::min(width, destination.width())) * 3;
    for (int y = 0; y < sink.rows(); ++y) std::memcpy(destination.row(y), source.row(y), bytes);
  } else if (smooth == 1) {
    AreaAverage(source, width, height, sink);
  } else {
    Replicate(source, width, height, sink);
  }
}

}  // namespace tvcpix
