// Hostile picture files, made here byte by byte: each is refused at once with the file and the
// reason, never a hang, by the decoder and tvcpix-cli alike, and the tool's earlier outputs stay.
#include <sys/stat.h>

#include <chrono>
#include <climits>

#include "qtdecode/picture_file.h"
#include "tests/decode/picture_bytes.h"

namespace tvcpix {
namespace {

using namespace test;  // the picture builders
namespace fs = std::filesystem;

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
