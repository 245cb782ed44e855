// Picture files made here byte by byte: those users meet load with exact pixels; hostile ones
// are refused at once with the file and the reason, never a hang, by the decoder and tvcpix-cli
// alike, and the tool's earlier outputs stay.
#include "qtdecode/picture_file.h"

#include <sys/stat.h>

#include <chrono>
#include <climits>

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

struct RefusedCase {
  const char* label;
  std::string name;
  std::function<Bytes()> bytes;  // the file's content, unless make makes something else
  std::string reason;            // the message is "<path>: <reason>"
  std::function<void(const std::string& path)> make = nullptr;
};

Bytes Cut(const Bytes& b, std::size_t size) { return Bytes(b.begin(), b.begin() + size); }

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
      {"CutInDataJpg", "cut in data.jpg",
       [] {
         const Bytes jpeg = Encode("JPEG", 200, 150);
         return Cut(jpeg, jpeg.size() / 2);
       },
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

}  // namespace
}  // namespace tvcpix
