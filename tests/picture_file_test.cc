// Picture files users meet and hostile ones, made here byte by byte: each loads with exact pixels
// or is refused with the file and the reason, never a hang, by the decoder and tvcpix-cli alike.
#include "qtdecode/picture_file.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <array>
#include <chrono>
#include <climits>

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using ColorAt = std::function<ColorValue(int x, int y)>;
namespace fs = std::filesystem;

// Distinct red, green and blue everywhere, so a channel swap or a flipped row shows.
ColorValue GradientAt(int x, int y) {
  return MakeColor(x * 7 % 256, y * 11 % 256, (x + 3 * y) % 256);
}

Bytes Encode(const char* format, int width, int height, bool progressive = false, bool grey = false,
             bool flat = false) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, flat ? qRgb(10, 200, 30) : qRgb(x * 7, y * 11, x + 3 * y));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(95);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(grey ? image.convertToFormat(QImage::Format_Grayscale8) : image));
  return Bytes(bytes.begin(), bytes.end());
}

// Qt's own reading of the bytes (no EXIF block to honour): the pixels a JPEG Qt wrote loads with.
ColorAt AsQtReads(const Bytes& bytes) {
  const QImage image = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()))
                           .convertToFormat(QImage::Format_RGB888);
  return [image](int x, int y) {
    return MakeColor(qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)), qBlue(image.pixel(x, y)));
  };
}

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

template <std::size_t N>
Bytes Literal(const char (&text)[N]) {
  return Bytes(text, text + N - 1);
}

constexpr int kW = 7, kH = 5;  // an odd width: every row needs padding

struct Bmp {
  int header = 40;                       // 12 (OS/2) or 40
  std::int32_t width = kW, height = kH;  // a negative height stores the rows top-down
  int bits = 24;
  std::uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS (masks after the header)
  std::vector<ColorValue> palette;
  std::array<std::uint32_t, 3> masks{};
  Bytes pixels;
};

Bytes BuildBmp(const Bmp& b) {
  const std::size_t entry = b.header == 12 ? 3 : 4, n = b.header == 12 ? 2 : 4;  // OS/2: 16 bits
  std::size_t at = 14 + static_cast<std::size_t>(b.header) + (b.compression == 3 ? 12 : 0);
  Bytes f(at + entry * b.palette.size(), 0);
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

ColorValue PaletteColor(int i) { return MakeColor(i * 37 % 256, 255 - i * 11 % 256, i * 73 % 256); }
int Index(int x, int y, int n) { return (x * 3 + y * 5 + x * y) % n; }
int R5(int x, int y) { return (x * 9 + y) % 32; }
int G6(int x, int y) { return (y * 13 + x * 5) % 64; }
int B5(int x, int y) { return (x * y + 31) % 32; }
ColorValue Rgb(int x, int y) { return MakeColor(x * 40 + 3, y * 50 + 7, (x * y * 13) % 256); }

// A layout's stored value and shown colour at (x, y): indices into n palette entries; 16 bits
// 5-6-5 with masks and 5-5-5 without, fields widened by shifting into the high bits; 32 bits
// with masks red in the low byte, without them a junk fourth byte to ignore.
std::uint32_t Stored(int bits, bool masks, int n, int x, int y) {
  if (n > 0) return static_cast<std::uint32_t>(Index(x, y, n));
  if (bits == 16) return R5(x, y) << (masks ? 11 : 10) | (G6(x, y) >> !masks) << 5 | B5(x, y);
  if (masks) return Rgb(x, y);
  return BlueOf(Rgb(x, y)) | GreenOf(Rgb(x, y)) << 8 | RedOf(Rgb(x, y)) << 16 |
         (bits == 32) * 0x5A000000u;
}
ColorValue Shown(int bits, bool masks, int n, int x, int y) {
  if (n > 0) return PaletteColor(Index(x, y, n));
  if (bits == 16)
    return MakeColor(R5(x, y) << 3, G6(x, y) >> !masks << (2 + !masks), B5(x, y) << 3);
  return Rgb(x, y);
}

Bmp Layout(int bits, bool top_down, bool masks = false, int n = 0, int header = 40) {
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
Bmp Rle(int bits, bool complete = true) {
  Bmp b = Layout(bits, false, false, 1 << bits);
  b.compression = bits == 8 ? 1 : 2;
  b.pixels.clear();
  for (int y = kH - 1; y >= 0; --y) {
    auto i = [&](int x) { return Index(x, y, 1 << bits); };
    const std::vector<int> row =
        bits == 8 ? std::vector{0, 3, i(0), i(1), i(2), 0, 1, i(3), 1, i(4), 1, i(5), 1, i(6), 0, 0}
                  : std::vector{
                        0, 3, i(0) << 4 | i(1), i(2) << 4, 2, i(3) << 4 | i(4), 2, i(5) << 4 | i(6),
                        0, 0};
    b.pixels.insert(b.pixels.end(), row.begin(), row.end());
  }
  b.pixels.insert(b.pixels.end(), {0, 1});
  if (!complete) b.pixels = Bytes(b.pixels.begin(), b.pixels.begin() + b.pixels.size() / 2);
  return b;
}

// The header claims width x height (and bits); the file holds 64 bytes of pixels.
Bytes Claimed(std::int32_t width, std::int32_t height, int bits = 24) {
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
Bytes FlatJpeg(int n, const std::function<int(int, int, int)>& value, const Bytes& app1 = {}) {
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
int Level(int, int bx, int by) { return 20 + bx * 70 + by * 25; }
ColorValue Oriented(int orientation, int x, int y) {
  const int ox = x / 8, oy = y / 8;
  const std::pair<int, int> at[] = {{ox, oy}, {2 - ox, oy}, {2 - ox, 1 - oy}, {ox, 1 - oy},
                                    {oy, ox}, {oy, 1 - ox}, {2 - oy, 1 - ox}, {2 - oy, ox}};
  const int v = Level(0, at[orientation - 1].first, at[orientation - 1].second);
  return MakeColor(v, v, v);
}
Bytes Exif(int orientation) {  // an Exif segment with only the orientation tag
  Bytes b = Literal("\xFF\xE1\0\42Exif\0\0II*\0\10\0\0\0\1\0\22\1\3\0\1\0\0\0");
  b.insert(b.end(), {static_cast<std::uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0});
  return b;
}

std::size_t Find(const Bytes& j, std::uint8_t marker) {  // the offset of a marker's segment
  std::size_t i = 2;
  for (; i + 3 < j.size() && (j[i] != 0xFF || j[i + 1] != marker);) ++i;
  return i;
}

using PictureFileTest = test::ScratchTest;

struct LoadCase {
  std::string name;
  Bytes bytes;
  int width, height;
  ColorAt expected;  // every pixel, within the tolerance
  int tolerance = 0;
};

std::vector<LoadCase> LoadCases() {
  std::vector<LoadCase> cases;
  // Bits, masks, palette entries, rows top-down (the flip is shared by every depth).
  const int kinds[][4] = {{1, 0, 2, 0},  {4, 0, 16, 1}, {8, 0, 256, 0}, {16, 1, 0, 1},
                          {16, 0, 0, 0}, {32, 0, 0, 1}, {32, 1, 0, 0}};
  for (const auto& k : kinds)
    cases.push_back({"bits" + std::to_string(k[0]) + (k[1] ? "_masks" : "") + ".bmp",
                     BuildBmp(Layout(k[0], k[3], k[1], k[2])), kW, kH,
                     [k](int x, int y) { return Shown(k[0], k[1], k[2], x, y); }});
  cases.push_back({"short_palette.bmp", BuildBmp(Layout(8, false, false, 3)), kW, kH,
                   [](int x, int y) { return PaletteColor(Index(x, y, 3)); }});
  for (int bits : {4, 8})
    cases.push_back({"rle" + std::to_string(bits) + ".bmp", BuildBmp(Rle(bits)), kW, kH,
                     [bits](int x, int y) { return PaletteColor(Index(x, y, 1 << bits)); }});
  // Run-length data that jumps (delta escape) and ends early: two red pixels at the bottom left,
  // two green three right and one up; the pixels it never sets take palette entry 0 (they once
  // showed stray memory).
  Bmp gaps = Layout(8, false, false, 3);
  gaps.compression = 1;
  gaps.pixels = {2, 1, 0, 2, 3, 1, 2, 2, 0, 0, 0, 1};
  cases.push_back({"rle8_gaps.bmp", BuildBmp(gaps), kW, kH, [](int x, int y) {
                     return PaletteColor(y == kH - 1 && x < 2 ? 1 : y == kH - 2 && x >= 5 ? 2 : 0);
                   }});
  // The OS/2 header, and names as the disk has them: non-ASCII, bytes that are not UTF-8.
  for (const std::string name : {"bits24_os2", "été à Győr 日本", "latin1 \xE9t\xE9 #1 50%"})
    cases.push_back({name + ".bmp",
                     BuildBmp(Layout(24, false, false, 0, name == "bits24_os2" ? 12 : 40)), kW, kH,
                     Rgb});
  cases.push_back({"png named.jpg", Encode("PNG", 37, 23), 37, 23, GradientAt});
  cases.push_back({"tall.bmp", Encode("BMP", 1, 65535), 1, 65535, GradientAt});
  // JPEGs Qt wrote, with Qt's pixels: with bytes after the end marker (as cameras write them),
  // progressive, grey and progressive, and as wide as JPEG allows.
  Bytes trailer = Encode("JPEG", 64, 48);
  trailer.insert(trailer.end(), 300, 'x');
  const std::tuple<const char*, Bytes, int, int> jpegs[] = {
      {"trailer.jpg", trailer, 64, 48},
      {"progressive.jpg", Encode("JPEG", 64, 48, true), 64, 48},
      {"grey progressive.jpg", Encode("JPEG", 32, 16, true, true), 32, 16},
      {"wide.jpg", Encode("JPEG", 65500, 1), 65500, 1}};
  for (const auto& [name, bytes, w, h] : jpegs)
    cases.push_back({name, bytes, w, h, AsQtReads(bytes)});
  // Exact levels: every EXIF orientation of a grey picture (1 is none at all: plain greyscale),
  // and CMYK: red = (255 - C)(255 - K) / 255 from the inverted samples.
  for (int o = 1; o <= 8; ++o)
    cases.push_back({"exif" + std::to_string(o) + ".jpg",
                     FlatJpeg(1, Level, o > 1 ? Exif(o) : Bytes{}), o >= 5 ? 16 : 24,
                     o >= 5 ? 24 : 16, [o](int x, int y) { return Oriented(o, x, y); }});
  static constexpr int kCmyk[2][4] = {{255, 40, 40, 255}, {200, 200, 90, 128}};
  cases.push_back({"cmyk.jpg", FlatJpeg(4, [](int c, int bx, int) { return kCmyk[bx][c]; }), 16, 8,
                   [](int x, int) {
                     const int* s = kCmyk[x / 8];
                     return MakeColor(s[0] * s[3] / 255, s[1] * s[3] / 255, s[2] * s[3] / 255);
                   },
                   1});
  // A 42-megapixel photo, which Qt's default allocation limit (128 MB) once refused.
  cases.push_back({"big.jpg", Encode("JPEG", 7000, 6000, false, false, true), 7000, 6000,
                   [](int, int) { return MakeColor(10, 200, 30); }, 12});
  return cases;
}

// Each loads with exact pixels; the small ones then convert through the tool to exactly the
// window's result for the picture the decoder gives, and a bad one among them fails only itself.
TEST_F(PictureFileTest, EveryLayoutLoadsWithExactPixelsAndConvertsSoThroughTheTool) {
  test::WriteBytes(Path("cut.bmp"), BuildBmp(Rle(8, false)));
  std::vector<std::string> args = {"-O", Path("out"), Path("cut.bmp")};
  std::vector<Surface> pictures;
  for (const LoadCase& c : LoadCases()) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(Path(c.name), c.bytes);
    Surface s("Pic1", 96, 64, MakeColor(128, 128, 128));
    const Result r = DecodePictureFile(Path(c.name), &s);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(std::tuple(s.name(), s.width(), s.height()), std::tuple("Pic1", c.width, c.height));
    for (int i = 0, wrong = 0; i < c.width * c.height; ++i) {
      const ColorValue got = PixelAt(s, i % c.width, i / c.width),
                       want = c.expected(i % c.width, i / c.width);
      const int d =
          std::max({std::abs(RedOf(got) - RedOf(want)), std::abs(GreenOf(got) - GreenOf(want)),
                    std::abs(BlueOf(got) - BlueOf(want))});
      if (d > c.tolerance && ++wrong <= 3) ADD_FAILURE() << i << ": " << got;
    }
    if (c.width * c.height <= 2000) args.push_back(Path(c.name)), pictures.push_back(std::move(s));
  }
  const test::ToolResult r = Run(args);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("tvcpix-cli: " + Path("cut.bmp") + ": truncated BMP", 0), 0u) << r.err;
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    Model model;  // the tool's defaults are the window's: "Graphics 16", "Pattern TVC"
    model.LoadSourcePicture(std::move(pictures[k]));
    const std::string base = Path("out/" + fs::path(args[k + 3]).stem().string());
    EXPECT_TRUE(test::ReadBytes(base + ".bmp") == test::BmpBytes(model.pic2())) << base;
    EXPECT_NE(r.out.find(base + ": "), std::string::npos) << base;
  }
}

struct RefusedCase {
  std::string name;
  Bytes bytes;         // the file's content, unless make makes something else
  std::string reason;  // the message is "<path>: <reason>"
  std::function<void(const std::string& path)> make = nullptr;
};

Bytes Cut(const Bytes& b, std::size_t size) { return Bytes(b.begin(), b.begin() + size); }

std::vector<RefusedCase> RefusedCases() {
  auto link = [](std::string to) {
    return [to](const std::string& p) { fs::create_symlink(to, p); };
  };
  const Bytes jpeg = Encode("JPEG", 64, 48), big_jpeg = Encode("JPEG", 200, 150);
  const std::size_t scan = Find(jpeg, 0xDA) + 2 + (jpeg[Find(jpeg, 0xDA) + 3]),
                    sof = Find(jpeg, 0xC0);
  Bytes stray = jpeg, bomb = jpeg;
  for (std::size_t i = 0; i < 40; ++i) stray[scan + 30 + i] = static_cast<std::uint8_t>(i * 67 + 1);
  stray[scan + 40] = 0xFF, stray[scan + 41] = 0xD3;  // a restart marker where none belongs
  bomb[sof + 5] = bomb[sof + 7] = 0xFF, bomb[sof + 6] = bomb[sof + 8] = 0xDC;  // 65500 x 65500
  const std::string qt = "not a picture Qt can read: ",
                    bad = qt + "damaged or truncated picture data",
                    large = " pixels (limit 100000000)", regular = "not a regular file";
  const auto sparse = [](const std::string& p) {
    test::WriteBytes(p, {0xFF, 0xD8});
    EXPECT_EQ(truncate(p.c_str(), 64LL << 30), 0);
  };
  std::vector<RefusedCase> cases = {
      // Cut short: these once loaded with stray memory or grey for the missing part.
      {"cut_rle8.bmp", BuildBmp(Rle(8, false)),
       "truncated BMP: the run-length data ends before the picture does"},
      {"cut_in_header.bmp", Cut(BuildBmp(Layout(24, false)), 30),
       "truncated BMP: 30 bytes, the header needs 54"},
      {"cut in data.jpg", Cut(big_jpeg, big_jpeg.size() / 2),
       "truncated JPEG: the picture data ends before its end marker"},
      {"stray_marker.jpg", stray, "damaged JPEG: Corrupt JPEG data: premature end of data segment"},
      {"cut_in_tables.jpg", Cut(jpeg, scan - 40), bad},
      // Sizes: refused before any pixel memory is spent.
      {"bomb.bmp", Claimed(60000, 60000), "picture too large: 60000 x 60000" + large},
      {"height_int_min.bmp", Claimed(4, INT_MIN, 1), "picture too large: 4 x 2147483648" + large},
      {"claims_9000_square.bmp", Claimed(9000, 9000),
       "truncated BMP: 118 bytes, the header needs 243000054"},
      {"bomb.jpg", bomb, "picture too large: 65500 x 65500" + large},
      {"negative.bmp", Claimed(-5, 10), "invalid picture size: -5 x 10 pixels"},
      // Nonsense in the header, or no picture at all.
      {"bits33.bmp", Claimed(kW, kH, 33), bad},
      {"empty.jpg", {}, "empty file"},
      {"text.bmp", Literal("hello\n"), qt + "Unsupported image format"},
      {"other.jpg", Encode("PPM", 8, 8),
       "unsupported picture format \"ppm\" (JPEG, BMP or PNG expected)"},
      // Not plain files, named like pictures: refused at once, never a hang.
      {"fifo.jpg", {}, regular, [](const std::string& p) { mkfifo(p.c_str(), 0600); }},
      {"zero.jpg", {}, regular, link("/dev/zero")},
      {"dangling.jpg", {}, "No such file or directory", link("/nowhere/at/all")},
      {"loop.bmp",
       {},
       "Too many levels of symbolic links",
       [](const std::string& p) { fs::create_symlink(p, p); }},
      // Far larger than any picture within the pixel limit (sparse): refused unread, at once.
      {"sparse.jpg", {}, "file too large: 68719476736 bytes (limit 1073741824)", sparse}};
  if (geteuid() != 0)  // permissions do not stop root
    cases.push_back({"secret.bmp", {}, "Permission denied", [](const std::string& p) {
                       test::WriteBytes(p, {1}), chmod(p.c_str(), 0);
                     }});
  return cases;
}

// Each is refused by the decoder at once with the file and the reason, the picture untouched,
// and by the tool with exit code 1 and the same message; what the tool wrote before stays.
TEST_F(PictureFileTest, HostileFilesAreRefusedByTheDecoderAndTheToolAlike) {
  test::WriteBytes(Path("good.bmp"), BuildBmp(Layout(24, false)));
  ASSERT_EQ(Run({"-o", Path("out"), Path("good.bmp")}).code, 0);
  auto outputs = [&] { return test::ReadText(Path("out.bmp")) + test::ReadText(Path("out.tim")); };
  const std::string before_outputs = outputs();
  for (const RefusedCase& c : RefusedCases()) {
    c.make ? c.make(Path(c.name)) : test::WriteBytes(Path(c.name), c.bytes);
    Surface picture("Pic1", 96, 64, MakeColor(128, 128, 128));
    picture.SetPixel(5, 6, MakeColor(1, 2, 3));
    const Surface before = picture;
    const auto start = std::chrono::steady_clock::now();
    const std::string message = Path(c.name) + ": " + c.reason;
    EXPECT_EQ(DecodePictureFile(Path(c.name), &picture).message, message);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    EXPECT_TRUE(picture == before) << c.name;
    const test::ToolResult r = Run({"-q", "-o", Path("out"), Path(c.name)});
    const std::string line = "tvcpix-cli: " + message + "\n";  // after anything Qt said itself
    EXPECT_EQ(std::to_string(r.code) + r.out +
                  r.err.substr(r.err.size() - std::min(r.err.size(), line.size())),
              "1" + line);
  }
  EXPECT_EQ(outputs(), before_outputs);
}

}  // namespace
}  // namespace tvcpix
