// Picture files made byte by byte for the loading tests: BMPs of every layout, run-length data,
// headers that claim sizes, JPEGs of flat blocks with EXIF orientations or CMYK, and Qt-written
// files.
#ifndef TVCPIX_TESTS_DECODE_PICTURE_BYTES_H_
#define TVCPIX_TESTS_DECODE_PICTURE_BYTES_H_

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <array>
#include <cstdlib>
#include <functional>

#include "tests/support/tool_run.h"

namespace tvcpix::test {

using ColorAt = std::function<ColorValue(int x, int y)>;

// Distinct red, green and blue everywhere, so a channel swap or a flipped row shows.
inline ColorValue GradientAt(int x, int y) {
  return MakeColor(x * 7 % 256, y * 11 % 256, (x + 3 * y) % 256);
}

inline Bytes Encode(const char* format, int width, int height, bool flat = false) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, flat ? qRgb(10, 200, 30) : qRgb(x * 7, y * 11, x + 3 * y));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(95);
  EXPECT_TRUE(writer.write(image));
  return Bytes(bytes.begin(), bytes.end());
}

// Qt's own reading of the bytes (no EXIF block to honour): the pixels a JPEG Qt wrote loads with.
inline ColorAt AsQtReads(const Bytes& bytes) {
  const QImage image = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()))
                           .convertToFormat(QImage::Format_RGB888);
  return [image](int x, int y) {
    return MakeColor(qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)), qBlue(image.pixel(x, y)));
  };
}

inline void PutLe(Bytes& b, std::size_t at, std::uint32_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

template <std::size_t N>
inline Bytes Literal(const char (&text)[N]) {
  return Bytes(text, text + N - 1);
}

inline constexpr int kW = 7, kH = 5;  // an odd width: every row needs padding

struct Bmp {
  int header = 40;                       // 12 (OS/2), 40 or 124 (V5)
  std::int32_t width = kW, height = kH;  // a negative height stores the rows top-down
  int bits = 24;
  std::uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS (masks after the header)
  std::vector<ColorValue> palette;
  std::array<std::uint32_t, 3> masks{};
  Bytes pixels;
  int gap = 0;  // bytes between the palette and the pixels
};

inline Bytes BuildBmp(const Bmp& b) {
  const std::size_t entry = b.header == 12 ? 3 : 4, n = b.header == 12 ? 2 : 4;  // OS/2: 16 bits
  std::size_t at = 14 + static_cast<std::size_t>(b.header) + (b.compression == 3 ? 12 : 0);
  Bytes f(at + entry * b.palette.size() + static_cast<std::size_t>(b.gap), 0);
  f[0] = 'B', f[1] = 'M';
  PutLe(f, 10, static_cast<std::uint32_t>(f.size()), 4);
  PutLe(f, 14, static_cast<std::uint32_t>(b.header), 4);
  PutLe(f, 18, static_cast<std::uint32_t>(b.width), n);
  PutLe(f, 18 + n, static_cast<std::uint32_t>(b.height), n);
  PutLe(f, 18 + 2 * n, 1, 2);
  PutLe(f, 20 + 2 * n, static_cast<std::uint32_t>(b.bits), 2);
  if (n == 4) {
    PutLe(f, 30, b.compression, 4);
    PutLe(f, 46, static_cast<std::uint32_t>(b.palette.size()), 4);
    for (std::size_t i = 0; i < 3 && b.compression == 3; ++i) PutLe(f, 54 + 4 * i, b.masks[i], 4);
  }
  for (ColorValue c : b.palette)
    f[at] = BlueOf(c), f[at + 1] = GreenOf(c), f[at + 2] = RedOf(c), at += entry;
  f.insert(f.end(), b.pixels.begin(), b.pixels.end());
  PutLe(f, 2, static_cast<std::uint32_t>(f.size()), 4);
  return f;
}

inline ColorValue PaletteColor(int i) {
  return MakeColor(i * 37 % 256, 255 - i * 11 % 256, i * 73 % 256);
}
inline int Index(int x, int y, int n) { return (x * 3 + y * 5 + x * y) % n; }
inline int R5(int x, int y) { return (x * 9 + y) % 32; }
inline int G6(int x, int y) { return (y * 13 + x * 5) % 64; }
inline int B5(int x, int y) { return (x * y + 31) % 32; }
inline ColorValue Rgb(int x, int y) {
  return MakeColor(x * 40 + 3, y * 50 + 7, (x * y * 13) % 256);
}

// A layout's stored value and shown colour at (x, y): indices into n palette entries; 16 bits
// 5-6-5 with masks and 5-5-5 without, fields widened by shifting into the high bits; 32 bits
// with masks red in the low byte, without them a junk fourth byte to ignore.
inline std::uint32_t Stored(int bits, bool masks, int n, int x, int y) {
  if (n > 0) return static_cast<std::uint32_t>(Index(x, y, n));
  if (bits == 16) return R5(x, y) << (masks ? 11 : 10) | (G6(x, y) >> !masks) << 5 | B5(x, y);
  if (masks) return Rgb(x, y);
  return BlueOf(Rgb(x, y)) | GreenOf(Rgb(x, y)) << 8 | RedOf(Rgb(x, y)) << 16 |
         (bits == 32) * 0x5A000000u;
}
inline ColorValue Shown(int bits, bool masks, int n, int x, int y) {
  if (n > 0) return PaletteColor(Index(x, y, n));
  if (bits == 16)
    return MakeColor(R5(x, y) << 3, G6(x, y) >> !masks << (2 + !masks), B5(x, y) << 3);
  return Rgb(x, y);
}

inline Bmp Layout(int bits, bool top_down, bool masks = false, int n = 0, int header = 40) {
  Bmp b;
  b.header = header, b.height = top_down ? -kH : kH, b.bits = bits, b.compression = masks ? 3 : 0;
  b.masks = bits == 16 ? std::array<std::uint32_t, 3>{0xF800, 0x07E0, 0x1F}
                       : std::array<std::uint32_t, 3>{0xFF, 0xFF00, 0xFF0000};
  for (int i = 0; i < n; ++i) b.palette.push_back(PaletteColor(i));
  const std::size_t row = (static_cast<std::size_t>(kW) * bits + 31) / 32 * 4;
  b.pixels.resize(row * kH);
  for (int r = 0; r < kH; ++r) {
    std::uint8_t* p = b.pixels.data() + row * static_cast<std::size_t>(r);
    for (int x = 0; x < kW; ++x) {
      const std::uint32_t v = Stored(bits, masks, n, x, top_down ? r : kH - 1 - r);
      if (bits < 8) p[x * bits / 8] |= static_cast<std::uint8_t>(v << (8 - bits - x * bits % 8));
      for (int i = 0; i < bits / 8; ++i) p[x * (bits / 8) + i] = (v >> (8 * i)) & 0xFF;
    }
  }
  return b;
}

// Run-length rows, bottom-up: an absolute run of three pixels, then encoded runs (RLE8 one pixel
// each, RLE4 two alternating pixels each); cut in half when not complete.
inline Bmp Rle(int bits, bool complete = true) {
  Bmp b = Layout(bits, false, false, 1 << bits);
  b.compression = bits == 8 ? 1 : 2;
  b.pixels.clear();
  for (int y = kH - 1; y >= 0; --y) {
    auto i = [&](int x) { return Index(x, y, 1 << bits); };
    // clang-format off
    const std::vector<int> row =
        bits == 8 ? std::vector{0, 3, i(0), i(1), i(2), 0, 1, i(3), 1, i(4), 1, i(5), 1, i(6), 0, 0}
                  : std::vector{0, 3, i(0) << 4 | i(1), i(2) << 4, 2, i(3) << 4 | i(4), 2,
                  i(5) << 4 | i(6), 0, 0};
    // clang-format on
    b.pixels.insert(b.pixels.end(), row.begin(), row.end());
  }
  b.pixels.insert(b.pixels.end(), {0, 1});
  if (!complete) b.pixels = Bytes(b.pixels.begin(), b.pixels.begin() + b.pixels.size() / 2);
  return b;
}

// The header claims width x height (and bits); the file holds 64 bytes of pixels.
inline Bytes Claimed(std::int32_t width, std::int32_t height, int bits = 24) {
  return BuildBmp({40,
                   width,
                   height,
                   bits,
                   0,
                   std::vector<ColorValue>(bits == 1 ? 2 : 0),
                   {},
                   Bytes(64, 0x55)});
}

// A baseline JPEG of 3 x 2 or 2 x 1 flat 8 x 8 blocks (1 or 4 components) with quantiser 1 and
// only DC coefficients, so each decoded sample is exactly value(component, bx, by). With four
// components an Adobe marker says the samples are inverted CMYK, as print software writes them.
inline Bytes FlatJpeg(int n, const std::function<int(int, int, int)>& value,
                      const Bytes& app1 = {}) {
  const int bw = n == 1 ? 3 : 2, bh = n == 1 ? 2 : 1;
  Bytes j = {0xFF, 0xD8};
  j.reserve(1024);  // GCC 12 otherwise warns of a bogus out-of-bounds copy below
  j.insert(j.end(), app1.begin(), app1.end());
  if (n == 4)
    j.insert(j.end(), {0xFF, 0xEE, 0, 14, 'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});
  j.insert(j.end(), {0xFF, 0xDB, 0, 67, 0});
  j.insert(j.end(), 64, 1);
  for (int v : {0xFF, 0xC0, 0, 8 + 3 * n, 8, 0, bh * 8, 0, bw * 8, n})
    j.push_back(static_cast<std::uint8_t>(v));
  for (int c = 1; c <= n; ++c) j.insert(j.end(), {static_cast<std::uint8_t>(c), 0x11, 0});
  // DC: categories 0..11 as 4-bit codes equal to the category; AC: only end-of-block, "0".
  const Bytes tables = Literal(
      "\xFF\xC4\0\x1F\0\0\0\0\x0C\0\0\0\0\0\0\0\0\0\0\0\0\0\1\2\3\4\5\6\7\x08\x09\x0A\x0B"
      "\xFF\xC4\0\x14\x10\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0");
  j.insert(j.end(), tables.begin(), tables.end());
  for (int v : {0xFF, 0xDA, 0, 6 + 2 * n, n}) j.push_back(static_cast<std::uint8_t>(v));
  for (int c = 1; c <= n; ++c) j.insert(j.end(), {static_cast<std::uint8_t>(c), 0});
  j.insert(j.end(), {0, 63, 0});
  std::uint32_t acc = 0, nbits = 0;
  auto put = [&](std::uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc = acc << 1 | (bits >> i & 1);
      if (++nbits < 8) continue;
      j.push_back(static_cast<std::uint8_t>(acc));
      if (acc == 0xFF) j.push_back(0);  // stuffed
      acc = 0, nbits = 0;
    }
  };
  int previous[4] = {};
  for (int k = 0; k < bw * bh * n; ++k) {  // block by block, component by component
    const int c = k % n, dc = 8 * (value(c, k / n % bw, k / n / bw) - 128), diff = dc - previous[c];
    int size = 0;
    while ((std::abs(diff) >> size) != 0) ++size;
    put(static_cast<std::uint32_t>(size), 4);  // then the bits, then end of block ("0")
    put(static_cast<std::uint32_t>(diff >= 0 ? diff : diff + (1 << size) - 1) << 1, size + 1);
    previous[c] = dc;
  }
  put(0x7F, static_cast<int>(8 - nbits) % 8);  // pad with ones
  j.insert(j.end(), {0xFF, 0xD9});
  return j;
}

// The flat level of block (bx, by) of the 3 x 2 pictures, and the colour at (x, y) under each
// EXIF orientation: the picture as a viewer shows it, sides swapped for 5 to 8.
inline int Level(int, int bx, int by) { return 20 + bx * 70 + by * 25; }
inline ColorValue Oriented(int orientation, int x, int y) {
  const int ox = x / 8, oy = y / 8;
  const std::pair<int, int> at[] = {{ox, oy}, {2 - ox, oy}, {2 - ox, 1 - oy}, {ox, 1 - oy},
                                    {oy, ox}, {oy, 1 - ox}, {2 - oy, 1 - ox}, {2 - oy, ox}};
  const int v = Level(0, at[orientation - 1].first, at[orientation - 1].second);
  return MakeColor(v, v, v);
}
inline Bytes Exif(int orientation) {  // an Exif segment with only the orientation tag
  Bytes b = Literal("\xFF\xE1\0\42Exif\0\0II*\0\10\0\0\0\1\0\22\1\3\0\1\0\0\0");
  b.insert(b.end(), {static_cast<std::uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0});
  return b;
}

inline std::size_t Find(const Bytes& j, std::uint8_t marker) {  // the offset of a marker's segment
  std::size_t i = 2;
  for (; i + 3 < j.size() && (j[i] != 0xFF || j[i + 1] != marker);) ++i;
  return i;
}

// A gtest case name from a file name: its ASCII letters and digits ("cut in data.jpg":
// "cutindatajpg").
inline std::string CaseLabel(const std::string& file_name) {
  std::string label;
  for (const char c : file_name)
    if (static_cast<unsigned char>(c) < 0x80 && std::isalnum(static_cast<unsigned char>(c)))
      label += c;
  return label;
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_DECODE_PICTURE_BYTES_H_
