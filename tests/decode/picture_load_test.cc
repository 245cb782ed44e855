// Picture files users meet, made here byte by byte: each loads with exact pixels.
#include <climits>

#include "qtdecode/picture_file.h"
#include "tests/decode/picture_bytes.h"

namespace tvcpix {
namespace {

using namespace test;  // the picture builders
namespace fs = std::filesystem;

struct LoadCase {
  std::string name;              // the file's name
  std::function<Bytes()> bytes;  // made only when the case runs
  int width, height;
  std::function<ColorAt(const Bytes&)> expected;  // every pixel, within the tolerance
  int tolerance = 0;
  std::string label = CaseLabel(name);
};

// The expected colours without looking at the file.
std::function<ColorAt(const Bytes&)> Fixed(ColorAt at) {
  return [at](const Bytes&) { return at; };
}

std::vector<LoadCase> LoadCases() {
  std::vector<LoadCase> cases;
  // Bits, masks, palette entries, rows top-down (the flip is shared by every depth).
  static constexpr int kKinds[][4] = {{1, 0, 2, 0},  {4, 0, 16, 1}, {8, 0, 256, 0}, {16, 1, 0, 1},
                                      {16, 0, 0, 0}, {32, 0, 0, 1}, {32, 1, 0, 0}};
  for (const auto& k : kKinds)
    cases.push_back({"bits" + std::to_string(k[0]) + (k[1] ? "_masks" : "") + ".bmp",
                     [&k] { return BuildBmp(Layout(k[0], k[3], k[1], k[2])); }, kW, kH,
                     Fixed([&k](int x, int y) { return Shown(k[0], k[1], k[2], x, y); })});
  cases.push_back({"short_palette.bmp", [] { return BuildBmp(Layout(8, false, false, 3)); }, kW, kH,
                   Fixed([](int x, int y) { return PaletteColor(Index(x, y, 3)); })});
  for (int bits : {4, 8})
    cases.push_back({"rle" + std::to_string(bits) + ".bmp", [bits] { return BuildBmp(Rle(bits)); },
                     kW, kH,
                     Fixed([bits](int x, int y) { return PaletteColor(Index(x, y, 1 << bits)); })});
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
                   kW, kH, Fixed([](int x, int y) {
                     return PaletteColor(y == kH - 1 && x < 2 ? 1 : y == kH - 2 && x >= 5 ? 2 : 0);
                   })});
  // The OS/2 header, and names as the disk has them: non-ASCII, bytes that are not UTF-8.
  for (const auto& [name, label] : {std::pair<std::string, std::string>{"bits24_os2", ""},
                                    {"été à Győr 日本", "NonAsciiName"},
                                    {"latin1 \xE9t\xE9 #1 50%", "Latin1Name"}}) {
    const int header = name == "bits24_os2" ? 12 : 40;
    cases.push_back({name + ".bmp",
                     [header] { return BuildBmp(Layout(24, false, false, 0, header)); }, kW, kH,
                     Fixed(Rgb)});
    if (!label.empty()) cases.back().label = label;
  }
  cases.push_back(
      {"png named.jpg", [] { return Encode("PNG", 37, 23); }, 37, 23, Fixed(GradientAt)});
  cases.push_back(
      {"tall.bmp", [] { return Encode("BMP", 1, 65535); }, 1, 65535, Fixed(GradientAt)});
  // JPEGs Qt wrote, with Qt's pixels: with bytes after the end marker (as cameras write them),
  // and as wide as JPEG allows (other forms: direct_decode_test.cc).
  const auto qt_reads = [](const Bytes& bytes) { return AsQtReads(bytes); };
  cases.push_back({"trailer.jpg",
                   [] {
                     Bytes trailer = Encode("JPEG", 64, 48);
                     trailer.insert(trailer.end(), 300, 'x');
                     return trailer;
                   },
                   64, 48, qt_reads});
  cases.push_back({"wide.jpg", [] { return Encode("JPEG", 65500, 1); }, 65500, 1, qt_reads});
  // Exact levels: every EXIF orientation of a grey picture (1 is none at all: plain greyscale),
  // and CMYK: red = (255 - C)(255 - K) / 255 from the inverted samples.
  for (int o = 1; o <= 8; ++o)
    cases.push_back({"exif" + std::to_string(o) + ".jpg",
                     [o] { return FlatJpeg(1, Level, o > 1 ? Exif(o) : Bytes{}); },
                     o >= 5 ? 16 : 24, o >= 5 ? 24 : 16,
                     Fixed([o](int x, int y) { return Oriented(o, x, y); })});
  static constexpr int kCmyk[2][4] = {{255, 40, 40, 255}, {200, 200, 90, 128}};
  cases.push_back({"cmyk.jpg",
                   [] { return FlatJpeg(4, [](int c, int bx, int) { return kCmyk[bx][c]; }); }, 16,
                   8, Fixed([](int x, int) {
                     const int* s = kCmyk[x / 8];
                     return MakeColor(s[0] * s[3] / 255, s[1] * s[3] / 255, s[2] * s[3] / 255);
                   }),
                   1});
  // A 42-megapixel photo, which Qt's default allocation limit (128 MB) once refused.
  cases.push_back({"big.jpg", [] { return Encode("JPEG", 7000, 6000, true); }, 7000, 6000,
                   Fixed([](int, int) { return MakeColor(10, 200, 30); }), 12});
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
  const ColorAt expected = c.expected(bytes);
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

}  // namespace
}  // namespace tvcpix
