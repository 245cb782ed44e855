// Picture files made here byte by byte: those users meet load with exact pixels; hostile ones
// are refused at once with the file and the reason, never a hang, by the decoder and tvcpix-cli
// alike, and the tool's earlier outputs stay. The direct JPEG and BMP decoders give exactly Qt's
// pixels, and leave every other form, and damage, to Qt.
#include "qtdecode/picture_file.h"

#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "decode/direct_decode.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using namespace test;

using ColorAt = std::function<ColorValue(int x, int y)>;

// Distinct red, green and blue everywhere, so a channel swap or a flipped row shows.
ColorValue GradientAt(int x, int y) {
  return MakeColor(x * 7 % 256, y * 11 % 256, (x + 3 * y) % 256);
}

// Written by Qt, flat green or the gradient, with `trailer` bytes after the end (as cameras do).
Bytes Encode(const char* format, int width, int height, bool flat = false, int trailer = 0) {
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
  bytes.append(trailer, 'x');
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
  int header = 40;                       // 12 (OS/2), 40 or 124 (V5)
  std::int32_t width = kW, height = kH;  // a negative height stores the rows top-down
  int bits = 24;
  std::uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS (masks after the header)
  std::vector<ColorValue> palette;
  std::array<std::uint32_t, 3> masks{};
  Bytes pixels;
  int gap = 0;  // bytes between the palette and the pixels
};

Bytes BuildBmp(const Bmp& b) {
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

Bytes Cut(const Bytes& b, std::size_t size) { return Bytes(b.begin(), b.begin() + size); }
Bytes Half(const Bytes& b) { return Cut(b, b.size() / 2); }

// Run-length rows, bottom-up: an absolute run of three pixels, then encoded runs (RLE8 one pixel
// each, RLE4 two alternating pixels each); cut in half when not complete.
Bmp Rle(int bits, bool complete = true) {
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
  if (!complete) b.pixels = Half(b.pixels);
  return b;
}

// The header claims width x height (and bits); the file holds 64 bytes of pixels.
Bytes Claimed(std::int32_t width, std::int32_t height, int bits = 24) {
  Bmp b;
  b.width = width, b.height = height, b.bits = bits, b.pixels = Bytes(64, 0x55);
  b.palette.resize(bits == 1 ? 2 : 0);
  return BuildBmp(b);
}

// The flat level of block (bx, by) of the 3 x 2 pictures, and the colour at (x, y) under each
// EXIF orientation: the picture as a viewer shows it, sides swapped for 5 to 8.
int Level(int bx, int by) { return 20 + bx * 70 + by * 25; }
ColorValue Oriented(int orientation, int x, int y) {
  const int ox = x / 8, oy = y / 8;
  const std::pair<int, int> at[] = {{ox, oy}, {2 - ox, oy}, {2 - ox, 1 - oy}, {ox, 1 - oy},
                                    {oy, ox}, {oy, 1 - ox}, {2 - oy, 1 - ox}, {2 - oy, ox}};
  const int v = Level(at[orientation - 1].first, at[orientation - 1].second);
  return MakeColor(v, v, v);
}
Bytes Exif(int orientation) {  // an Exif segment's data with only the orientation tag
  Bytes b = Literal("Exif\0\0II*\0\10\0\0\0\1\0\22\1\3\0\1\0\0\0");
  b.insert(b.end(), {static_cast<std::uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0});
  return b;
}

struct JpegForm {
  const char* name;
  int components, h_sampling, v_sampling;  // of the first component: 2 2 = 4:2:0, 2 1 = 4:2:2
  bool progressive;
  int restart_rows, exif_orientation;  // 0: no EXIF block
  bool expect_direct;
};

// A picture written with libjpeg: noisy (edges everywhere, so every rounding step shows), or
// sample(component, x, y) at quality 100, where quantiser 1 keeps flat 8 x 8 blocks exact. Four
// components are CMYK, which libjpeg marks as Adobe's inverted samples, as print software does.
using SampleAt = std::function<int(int c, int x, int y)>;
Bytes MakeJpeg(const JpegForm& form, int width, int height, unsigned seed,
               const SampleAt& sample = nullptr) {
  std::mt19937 random(seed);
  const int n = form.components;
  Bytes pixels(static_cast<std::size_t>(width) * height * n);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint8_t>(sample ? sample(i % n, i / n % width, i / n / width)
                                                 : (i * 7 + random() % 64) & 0xFF);
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&info, &out, &out_size);
  info.image_width = static_cast<JDIMENSION>(width), info.input_components = n;
  info.image_height = static_cast<JDIMENSION>(height);
  info.in_color_space = n == 1 ? JCS_GRAYSCALE : n == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  if (std::string(form.name) == "stored_rgb") jpeg_set_colorspace(&info, JCS_RGB);
  jpeg_set_quality(&info, sample ? 100 : 87, TRUE);
  info.comp_info[0].h_samp_factor = form.h_sampling, info.restart_in_rows = form.restart_rows;
  info.comp_info[0].v_samp_factor = form.v_sampling;
  if (form.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  const Bytes exif = Exif(form.exif_orientation);
  if (form.exif_orientation != 0)
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = pixels.data() + std::size_t{info.next_scanline} * width * n;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  Bytes bytes(out, out + out_size);
  jpeg_destroy_compress(&info);
  std::free(out);
  return bytes;
}

std::size_t Find(const Bytes& j, std::uint8_t marker) {  // the offset of a marker's segment
  std::size_t i = 2;
  for (; i + 3 < j.size() && (j[i] != 0xFF || j[i + 1] != marker);) ++i;
  return i;
}

// A gtest case name from a file name: its ASCII letters and digits ("trailer.jpg": "trailerjpg").
std::string CaseLabel(const std::string& file_name) {
  std::string label;
  for (const unsigned char c : file_name)
    label += c < 0x80 && std::isalnum(c) ? std::string(1, c) : "";
  return label;
}
namespace fs = std::filesystem;

struct LoadCase {
  std::string name;              // the file's name
  std::function<Bytes()> bytes;  // made only when the case runs
  int width, height;
  ColorAt expected;  // every pixel, within the tolerance; empty: as Qt reads the bytes
  int tolerance = 0;
  std::string label = CaseLabel(name);
};

std::vector<LoadCase> LoadCases() {
  std::vector<LoadCase> cases;
  // Bits, masks, palette entries, rows top-down (the flip is shared by every depth).
  static constexpr int kKinds[][4] = {{1, 0, 2, 0},  {4, 0, 16, 1}, {8, 0, 256, 0}, {16, 1, 0, 1},
                                      {16, 0, 0, 0}, {32, 0, 0, 1}, {32, 1, 0, 0}};
  for (const auto& k : kKinds)
    cases.push_back({"bits" + std::to_string(k[0]) + (k[1] ? "_masks" : "") + ".bmp",
                     [&k] { return BuildBmp(Layout(k[0], k[3], k[1], k[2])); }, kW, kH,
                     [&k](int x, int y) { return Shown(k[0], k[1], k[2], x, y); }});
  cases.push_back({"short_palette.bmp", [] { return BuildBmp(Layout(8, false, false, 3)); }, kW, kH,
                   [](int x, int y) { return PaletteColor(Index(x, y, 3)); }});
  for (int bits : {4, 8})
    cases.push_back({"rle" + std::to_string(bits) + ".bmp", [bits] { return BuildBmp(Rle(bits)); },
                     kW, kH,
                     [bits](int x, int y) { return PaletteColor(Index(x, y, 1 << bits)); }});
  // Run-length data that jumps (delta escape) and ends early: two red pixels at the bottom left,
  // two green three right and one up; the pixels it never sets take palette entry 0 (they once
  // showed stray memory).
  cases.push_back({"rle8_gaps.bmp",
                   [] {
                     Bmp gaps = Layout(8, false, false, 3);
                     gaps.compression = 1;
                     gaps.pixels = {2, 1, 0, 2, 3, 1, 2, 2, 0, 0, 0, 1};
                     return BuildBmp(gaps);
                   },
                   kW, kH,
                   [](int x, int y) {
                     return PaletteColor(y == kH - 1 && x < 2 ? 1 : y == kH - 2 && x >= 5 ? 2 : 0);
                   }});
  // The OS/2 header, and names as the disk has them: non-ASCII, bytes that are not UTF-8.
  for (const char* name : {"bits24_os2.bmp", "été à Győr 日本.bmp", "latin1 \xE9t\xE9 #1 50%.bmp"})
    cases.push_back({name,
                     [name] { return BuildBmp(Layout(24, 0, 0, 0, name[0] == 'b' ? 12 : 40)); }, kW,
                     kH, Rgb});
  cases[cases.size() - 2].label = "NonAsciiName", cases.back().label = "Latin1Name";
  cases.push_back({"png named.jpg", [] { return Encode("PNG", 37, 23); }, 37, 23, GradientAt});
  cases.push_back({"tall.bmp", [] { return Encode("BMP", 1, 65535); }, 1, 65535, GradientAt});
  // JPEGs Qt wrote, with Qt's pixels: with bytes after the end marker (as cameras write them),
  // and as wide as JPEG allows (other forms: the direct decoder tests below).
  cases.push_back(
      {"trailer.jpg", [] { return Encode("JPEG", 64, 48, false, 300); }, 64, 48, nullptr});
  cases.push_back({"wide.jpg", [] { return Encode("JPEG", 65500, 1); }, 65500, 1, nullptr});
  // Exact levels: every EXIF orientation of a grey picture (1 is none at all: plain greyscale),
  // and CMYK: red = (255 - C)(255 - K) / 255 from the inverted samples.
  for (int o = 1; o <= 8; ++o)
    cases.push_back({"exif" + std::to_string(o) + ".jpg",
                     [o] {
                       return MakeJpeg({"", 1, 1, 1, false, 0, o > 1 ? o : 0, true}, 24, 16, 0,
                                       [](int, int x, int y) { return Level(x / 8, y / 8); });
                     },
                     o >= 5 ? 16 : 24, o >= 5 ? 24 : 16,
                     [o](int x, int y) { return Oriented(o, x, y); }});
  static constexpr int kCmyk[2][4] = {{255, 40, 40, 255}, {200, 200, 90, 128}};
  cases.push_back({"cmyk.jpg",
                   [] {
                     return MakeJpeg({"", 4, 1, 1, false, 0, 0, true}, 16, 8, 0,
                                     [](int c, int x, int) { return kCmyk[x / 8][c]; });
                   },
                   16, 8,
                   [](int x, int) {
                     const int* s = kCmyk[x / 8];
                     return MakeColor(s[0] * s[3] / 255, s[1] * s[3] / 255, s[2] * s[3] / 255);
                   },
                   1});
  // A 42-megapixel photo, which Qt's default allocation limit (128 MB) once refused.
  cases.push_back({"big.jpg", [] { return Encode("JPEG", 7000, 6000, true); }, 7000, 6000,
                   [](int, int) { return MakeColor(10, 200, 30); }, 12});
  return cases;
}

class PictureLoadTest : public ScratchTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(PictureLoadTest, LoadsWithExactPixels) {
  const LoadCase& c = GetParam();
  const Bytes bytes = c.bytes();
  WriteBytes(Path(c.name), bytes);
  Surface s("Pic1", 96, 64, MakeColor(128, 128, 128));
  const Result r = DecodePictureFile(Path(c.name), &s);
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(std::tuple(s.name(), s.width(), s.height()), std::tuple("Pic1", c.width, c.height));
  const ColorAt expected = c.expected ? c.expected : AsQtReads(bytes);
  for (int i = 0, wrong = 0; i < c.width * c.height; ++i) {
    const ColorValue got = PixelAt(s, i % c.width, i / c.width),
                     want = expected(i % c.width, i / c.width);
    const int d =
        std::max({std::abs(RedOf(got) - RedOf(want)), std::abs(GreenOf(got) - GreenOf(want)),
                  std::abs(BlueOf(got) - BlueOf(want))});
    if (d > c.tolerance && ++wrong <= 3) ADD_FAILURE() << i << ": " << got;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PictureLoadTest, testing::ValuesIn(LoadCases()),
                         [](const testing::TestParamInfo<LoadCase>& info) {
                           return info.param.label;
                         });

struct RefusedCase {
  const char* label;
  std::string name;
  std::function<Bytes()> bytes;  // the file's content, unless make makes something else
  std::string reason;            // the message is "<path>: <reason>"
  std::function<void(const std::string& path)> make = nullptr;
};

Bytes QtJpeg() { return Encode("JPEG", 64, 48); }

// Where the entropy-coded data of a JPEG begins.
std::size_t ScanData(const Bytes& jpeg) {
  const std::size_t sos = Find(jpeg, 0xDA);
  return sos + 2 + jpeg[sos + 3];
}

std::vector<RefusedCase> RefusedCases() {
  auto link = [](std::string to) {
    return [to](const std::string& p) { fs::create_symlink(to, p); };
  };
  const std::string qt = "not a picture Qt can read: ",
                    bad = qt + "damaged or truncated picture data",
                    large = " pixels (limit 100000000)", regular = "not a regular file";
  const auto sparse = [](const std::string& p) {
    WriteBytes(p, {0xFF, 0xD8});
    EXPECT_EQ(truncate(p.c_str(), 64LL << 30), 0);
  };
  std::vector<RefusedCase> cases = {
      // Cut short: these once loaded with stray memory or grey for the missing part.
      {"TruncatedRle8Bmp", "cut_rle8.bmp", [] { return BuildBmp(Rle(8, false)); },
       "truncated BMP: the run-length data ends before the picture does"},
      {"CutInHeaderBmp", "cut_in_header.bmp", [] { return Cut(BuildBmp(Layout(24, false)), 30); },
       "truncated BMP: 30 bytes, the header needs 54"},
      {"CutInDataJpg", "cut in data.jpg", [] { return Half(Encode("JPEG", 200, 150)); },
       "truncated JPEG: the picture data ends before its end marker"},
      {"StrayMarkerJpg", "stray_marker.jpg",
       [] {
         Bytes stray = QtJpeg();
         const std::size_t scan = ScanData(stray);
         for (std::size_t i = 0; i < 40; ++i)
           stray[scan + 30 + i] = static_cast<std::uint8_t>(i * 67 + 1);
         stray[scan + 40] = 0xFF, stray[scan + 41] = 0xD3;  // a restart marker where none belongs
         return stray;
       },
       "damaged JPEG: Corrupt JPEG data: premature end of data segment"},
      {"CutInTablesJpg", "cut_in_tables.jpg",
       [] {
         const Bytes jpeg = QtJpeg();
         return Cut(jpeg, ScanData(jpeg) - 40);
       },
       bad},
      // Sizes: refused before any pixel memory is spent.
      {"BombBmp", "bomb.bmp", [] { return Claimed(60000, 60000); },
       "picture too large: 60000 x 60000" + large},
      {"HeightIntMinBmp", "height_int_min.bmp", [] { return Claimed(4, INT_MIN, 1); },
       "picture too large: 4 x 2147483648" + large},
      {"Claims9000SquareBmp", "claims_9000_square.bmp", [] { return Claimed(9000, 9000); },
       "truncated BMP: 118 bytes, the header needs 243000054"},
      {"BombJpg", "bomb.jpg",
       [] {
         Bytes bomb = QtJpeg();
         const std::size_t sof = Find(bomb, 0xC0);
         bomb[sof + 5] = bomb[sof + 7] = 0xFF, bomb[sof + 6] = bomb[sof + 8] = 0xDC;  // 65500²
         return bomb;
       },
       "picture too large: 65500 x 65500" + large},
      {"NegativeWidthBmp", "negative.bmp", [] { return Claimed(-5, 10); },
       "invalid picture size: -5 x 10 pixels"},
      // Nonsense in the header, or no picture at all.
      {"Bits33Bmp", "bits33.bmp", [] { return Claimed(kW, kH, 33); }, bad},
      {"EmptyJpg", "empty.jpg", [] { return Bytes{}; }, "empty file"},
      {"TextBmp", "text.bmp", [] { return Literal("hello\n"); }, qt + "Unsupported image format"},
      {"PpmNamedJpg", "other.jpg", [] { return Encode("PPM", 8, 8); },
       "unsupported picture format \"ppm\" (JPEG, BMP or PNG expected)"},
      // Not plain files, named like pictures: refused at once, never a hang.
      {"FifoJpg", "fifo.jpg", nullptr, regular,
       [](const std::string& p) { mkfifo(p.c_str(), 0600); }},
      {"LinkToDevZeroJpg", "zero.jpg", nullptr, regular, link("/dev/zero")},
      {"DanglingLinkJpg", "dangling.jpg", nullptr, "No such file or directory",
       link("/nowhere/at/all")},
      {"LinkLoopBmp", "loop.bmp", nullptr, "Too many levels of symbolic links",
       [](const std::string& p) { fs::create_symlink(p, p); }},
      // Far larger than any picture within the pixel limit (sparse): refused unread, at once.
      {"SparseHugeJpg", "sparse.jpg", nullptr,
       "file too large: 68719476736 bytes (limit 1073741824)", sparse}};
  if (geteuid() != 0)  // permissions do not stop root
    cases.push_back({"UnreadableBmp", "secret.bmp", nullptr, "Permission denied",
                     [](const std::string& p) { WriteBytes(p, {1}), chmod(p.c_str(), 0); }});
  return cases;
}

class HostileFileTest : public ScratchTest, public testing::WithParamInterface<RefusedCase> {};

// Refused by the decoder at once with the file and the reason, the picture untouched, and by the
// tool with exit code 1 and the same message; the files the tool wrote before stay.
TEST_P(HostileFileTest, IsRefusedByTheDecoderAndTheToolAlike) {
  const RefusedCase& c = GetParam();
  const std::string path = Path(c.name);
  c.make ? c.make(path) : WriteBytes(path, c.bytes());
  for (const char* ext : {".bmp", ".bin", ".tim"}) WriteBytes(Path("out") + ext, {'o', 'l', 'd'});
  Surface picture("Pic1", 96, 64, MakeColor(128, 128, 128));
  picture.SetPixel(5, 6, MakeColor(1, 2, 3));
  const Surface before = picture;
  const auto start = std::chrono::steady_clock::now();
  const std::string message = path + ": " + c.reason;
  EXPECT_EQ(DecodePictureFile(path, &picture).message, message);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(picture == before);
  const ToolResult r = Run({"-q", "-o", Path("out"), path});
  const std::string line = "tvcpix-cli: " + message + "\n";  // after anything Qt said itself
  EXPECT_EQ(std::to_string(r.code) + r.out +
                r.err.substr(r.err.size() - std::min(r.err.size(), line.size())),
            "1" + line);
  for (const char* ext : {".bmp", ".bin", ".tim"})
    EXPECT_EQ(ReadBytes(Path("out") + ext), (Bytes{'o', 'l', 'd'})) << ext;
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFileTest, testing::ValuesIn(RefusedCases()),
                         [](const testing::TestParamInfo<RefusedCase>& info) {
                           return std::string(info.param.label);
                         });

// A 24-bit BMP of random pixels; `gap` extra bytes between the headers and the pixels.
Bytes MakeBmp(int width, int height, bool top_down, bool v5, int gap, unsigned seed) {
  std::mt19937 random(seed);
  Bmp b;
  b.header = v5 ? 124 : 40, b.width = width, b.height = top_down ? -height : height, b.gap = gap;
  b.pixels.resize((static_cast<std::size_t>(width) * 3 + 3) / 4 * 4 * height);
  for (std::uint8_t& byte : b.pixels) byte = static_cast<std::uint8_t>(random());
  return BuildBmp(b);
}

class DirectDecodeTest : public test::ScratchTest {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    return test::WriteBytes(Path(name), bytes), Path(name);
  }

  // Decodes the file both ways; the direct way must either decline or match Qt exactly, and what
  // the program loads is Qt's picture (or Qt's refusal) either way. Returns the load's message.
  std::string ExpectSameAsQt(const std::string& path, bool expect_direct, bool qt_ok = true) {
    SCOPED_TRACE(path);
    const int fd = open(path.c_str(), O_RDONLY);
    const long long size = static_cast<long long>(fs::file_size(path));
    Surface direct("Pic1", 2, 2, 0), qt, loaded;
    const bool took = DecodeDirect(fd, size, &direct);
    const Result by_qt = DecodeWithQt(path, fd, size, &qt);
    close(fd);
    EXPECT_EQ(by_qt.ok, qt_ok) << by_qt.message;
    EXPECT_EQ(took, expect_direct);
    EXPECT_TRUE(took || direct.width() == 2);  // untouched when declined
    EXPECT_TRUE(!took || (direct.name() == "Pic1" && direct == qt))
        << "direct " << direct.width() << "x" << direct.height() << ", Qt " << qt.width() << "x"
        << qt.height();
    const Result result = DecodePictureFile(path, &loaded);
    EXPECT_EQ(std::pair(result.ok, result.message), std::pair(by_qt.ok, by_qt.message));
    EXPECT_TRUE(loaded == qt);
    return result.message;
  }
};

class JpegFormTest : public DirectDecodeTest, public testing::WithParamInterface<JpegForm> {};

TEST_P(JpegFormTest, MatchesQtOrIsLeftToIt) {
  const JpegForm& form = GetParam();
  unsigned seed = 1;
  for (const auto& [w, h] : {std::pair(1, 1), {37, 23}, {257, 9}, {64, 48}})
    ExpectSameAsQt(Write(form.name + std::to_string(w) + ".jpg", MakeJpeg(form, w, h, seed++)),
                   form.expect_direct);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Forms, JpegFormTest, testing::Values(
    JpegForm{"420", 3, 2, 2, false, 0, 0, true}, JpegForm{"422", 3, 2, 1, false, 0, 0, true},
    JpegForm{"444", 3, 1, 1, false, 0, 0, true}, JpegForm{"grey", 1, 1, 1, false, 0, 0, true},
    JpegForm{"progressive", 3, 2, 2, true, 0, 0, true},
    JpegForm{"restarts", 3, 2, 2, false, 1, 0, true},
    JpegForm{"exif1", 3, 2, 2, false, 0, 1, true}, JpegForm{"exif6", 3, 2, 2, false, 0, 6, false},
    JpegForm{"exif3", 1, 1, 1, true, 0, 3, false},
    JpegForm{"stored_rgb", 3, 1, 1, false, 0, 0, true}), test::CaseName<JpegForm>);
// clang-format on

// Top-down rows, the V5 header and a gap between the headers and the pixels.
TEST_F(DirectDecodeTest, BmpFormsMatchQt) {
  const struct {
    const char* name;
    int width, height;
    bool top_down, v5;
    int gap;
  } forms[] = {{"one_pixel", 1, 1, false, false, 0},
               {"top_down", 6, 4, true, false, 0},
               {"v5", 33, 7, false, true, 0},
               {"v5_top_down", 7, 5, true, true, 0},
               {"gap", 9, 4, false, false, 12}};
  for (const auto& [name, w, h, down, v5, gap] : forms)
    ExpectSameAsQt(Write(std::string(name) + ".bmp", MakeBmp(w, h, down, v5, gap, w)), true);
}

TEST_F(DirectDecodeTest, BundledPhotosMatchQt) {
  for (const auto& entry : fs::directory_iterator(TVCPIX_SAMPLES_DIR)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".jpg" || ext == ".bmp") ExpectSameAsQt(entry.path().string(), true);
  }
}

// Damage is never decided here: the direct decoder declines, and Qt's reader refuses with its
// own message, as it did before the direct decoders existed.
TEST_F(DirectDecodeTest, DamagedFilesAreLeftToQt) {
  const Bytes jpeg = MakeJpeg({"", 3, 2, 2, false, 0, 0, true}, 64, 48, 7),
              bmp = MakeBmp(9, 9, false, false, 0, 3);
  Bytes garbled = jpeg;
  for (std::size_t i = garbled.size() / 2; i < garbled.size() / 2 + 40; ++i) garbled[i] = 0x55;
  const std::string cut = Write("cut.jpg", Half(jpeg));
  EXPECT_EQ(ExpectSameAsQt(cut, false, false).rfind(cut + ": truncated JPEG", 0), 0u);
  ExpectSameAsQt(Write("garbled.jpg", garbled), false);  // Qt loads it, as a warning only
  ExpectSameAsQt(Write("short.bmp", Bytes(bmp.begin(), bmp.end() - 5)), false, false);  // rows cut
}

}  // namespace
}  // namespace tvcpix
