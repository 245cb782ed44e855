// Pictures users really meet and hostile ones, generated here byte by byte: each loads with the
// right pixels or is refused with the file and the reason, by the decoder and by tvcpix-cli alike.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "core/color.h"
#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "gtest/gtest.h"
#include "output/file_write.h"
#include "output/save.h"
#include "ui/picture_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------- bytes and files

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  if (b.size() < at + static_cast<std::size_t>(n)) b.resize(at + static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = (v >> (8 * i)) & 0xFF;
}

void AppendBe16(Bytes& b, int v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes FromQt(const QByteArray& a) { return Bytes(a.begin(), a.end()); }

Bytes Encode(const QImage& image, const char* format, int quality = 95) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  EXPECT_TRUE(writer.write(image)) << format;
  return FromQt(bytes);
}

// Runs f on its own thread and waits at most `seconds`: a blocking open or read fails the test
// instead of hanging it (the stuck thread is abandoned).
template <typename T>
std::optional<T> WithinSeconds(int seconds, std::function<T()> f) {
  auto result = std::make_shared<std::promise<T>>();
  std::future<T> future = result->get_future();
  std::thread([result, f = std::move(f)] { result->set_value(f()); }).detach();
  if (future.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    return std::nullopt;
  }
  return future.get();
}

// ---------------------------------------------------------------- BMP files by hand

using ColorAt = std::function<ColorValue(int x, int y)>;

struct Bmp {
  int header = 40;  // 12 (OS/2), 40, 108 (V4) or 124 (V5)
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows stored top-down
  int bits = 24;
  std::uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
  std::vector<ColorValue> palette;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue for BITFIELDS
  Bytes pixels;                          // as stored
};

Bytes BuildBmp(const Bmp& b) {
  const bool core = b.header == 12;
  const bool masks_after_header = b.header == 40 && b.compression == 3;
  const std::size_t entry = core ? 3 : 4;
  const std::size_t offset = 14 + static_cast<std::size_t>(b.header) +
                             (masks_after_header ? 12 : 0) + entry * b.palette.size();
  Bytes f(offset, 0);
  f[0] = 'B';
  f[1] = 'M';
  PutLe(f, 10, static_cast<std::uint32_t>(offset), 4);
  PutLe(f, 14, static_cast<std::uint32_t>(b.header), 4);
  if (core) {
    PutLe(f, 18, static_cast<std::uint32_t>(b.width), 2);
    PutLe(f, 20, static_cast<std::uint32_t>(b.height), 2);
    PutLe(f, 22, 1, 2);
    PutLe(f, 24, static_cast<std::uint32_t>(b.bits), 2);
  } else {
    PutLe(f, 18, static_cast<std::uint32_t>(b.width), 4);
    PutLe(f, 22, static_cast<std::uint32_t>(b.height), 4);
    PutLe(f, 26, 1, 2);
    PutLe(f, 28, static_cast<std::uint32_t>(b.bits), 2);
    PutLe(f, 30, b.compression, 4);
    PutLe(f, 34, static_cast<std::uint32_t>(b.pixels.size()), 4);
    PutLe(f, 46, static_cast<std::uint32_t>(b.palette.size()), 4);
    if (b.compression == 3) {
      for (int i = 0; i < 3; ++i)
        PutLe(f, 54 + 4 * static_cast<std::size_t>(i), b.masks[static_cast<std::size_t>(i)], 4);
    }
    if (b.header >= 108) PutLe(f, 70, 0x73524742, 4);  // 'sRGB' colour space
  }
  std::size_t at = 14 + static_cast<std::size_t>(b.header) + (masks_after_header ? 12 : 0);
  for (ColorValue c : b.palette) {
    f[at] = BlueOf(c);
    f[at + 1] = GreenOf(c);
    f[at + 2] = RedOf(c);
    at += entry;
  }
  f.insert(f.end(), b.pixels.begin(), b.pixels.end());
  PutLe(f, 2, static_cast<std::uint32_t>(f.size()), 4);
  return f;
}

// Uncompressed rows of `bits` per pixel, each padded to 4 bytes, in the order the height's sign
// says; value(x, y) is the pixel's stored value (index or packed colour).
Bytes PackRows(int width, int height, int bits, bool top_down,
               const std::function<std::uint32_t(int, int)>& value) {
  const std::size_t row = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  Bytes out(row * static_cast<std::size_t>(height), 0);
  for (int r = 0; r < height; ++r) {
    const int y = top_down ? r : height - 1 - r;
    std::uint8_t* p = out.data() + row * static_cast<std::size_t>(r);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = value(x, y);
      if (bits < 8) {
        const int per_byte = 8 / bits;
        const int shift = 8 - bits * (x % per_byte + 1);
        p[x / per_byte] |= static_cast<std::uint8_t>(v << shift);
      } else {
        for (int i = 0; i < bits / 8; ++i)
          p[static_cast<std::size_t>(x) * (bits / 8) + static_cast<std::size_t>(i)] =
              (v >> (8 * i)) & 0xFF;
      }
    }
  }
  return out;
}

// A palette of n clearly different colours.
std::vector<ColorValue> TestPalette(int n) {
  std::vector<ColorValue> p;
  for (int i = 0; i < n; ++i)
    p.push_back(MakeColor(i * 37 % 256, 255 - i * 11 % 256, i * 73 % 256));
  return p;
}

int TestIndex(int x, int y, int n) { return (x * 3 + y * 5 + x * y) % n; }

constexpr int kW = 7;  // odd: every row needs padding
constexpr int kH = 5;

Bmp Indexed(int bits, bool top_down) {
  const int n = 1 << bits;
  Bmp b;
  b.width = kW;
  b.height = top_down ? -kH : kH;
  b.bits = bits;
  b.palette = TestPalette(n);
  b.pixels = PackRows(kW, kH, bits, top_down,
                      [n](int x, int y) { return static_cast<std::uint32_t>(TestIndex(x, y, n)); });
  return b;
}

ColorValue IndexedColor(int n, int x, int y) {
  return TestPalette(n)[static_cast<std::size_t>(TestIndex(x, y, n))];
}

// The 16-bit colours of the test picture as 5-6-5 fields.
int R5(int x, int y) { return (x * 9 + y) % 32; }
int G6(int x, int y) { return (y * 13 + x * 5) % 64; }
int B5(int x, int y) { return (x * y + 31) % 32; }

// Run-length rows: each row starts with an absolute run of three pixels, then runs of two.
// RLE8 stores one index per pixel; RLE4 two per byte, alternating inside a run.
Bytes RleRows(int bits, bool end_marker) {
  const int n = 1 << bits;
  Bytes out;
  for (int r = 0; r < kH; ++r) {
    const int y = kH - 1 - r;  // run-length pictures are always bottom-up
    auto idx = [&](int x) { return static_cast<std::uint8_t>(TestIndex(x, y, n)); };
    out.push_back(0);
    out.push_back(3);  // absolute run of 3
    if (bits == 8) {
      out.insert(out.end(), {idx(0), idx(1), idx(2), 0});  // padded to a 16-bit boundary
    } else {
      out.push_back(static_cast<std::uint8_t>(idx(0) << 4 | idx(1)));
      out.push_back(static_cast<std::uint8_t>(idx(2) << 4));
    }
    for (int x = 3; x < kW; x += 2) {
      const int count = std::min(2, kW - x);
      out.push_back(static_cast<std::uint8_t>(count));
      if (bits == 8) {
        // A run repeats one index; split into single-pixel runs where the two differ.
        if (count == 2 && idx(x) != idx(x + 1)) {
          out.back() = 1;
          out.push_back(idx(x));
          out.push_back(1);
          out.push_back(idx(x + 1));
        } else {
          out.push_back(idx(x));
        }
      } else {
        out.push_back(static_cast<std::uint8_t>(idx(x) << 4 | (count == 2 ? idx(x + 1) : 0)));
      }
    }
    out.insert(out.end(), {0, 0});  // end of line
  }
  if (end_marker) out.insert(out.end(), {0, 1});
  return out;
}

Bmp Rle(int bits) {
  Bmp b;
  b.width = kW;
  b.height = kH;
  b.bits = bits;
  b.compression = bits == 8 ? 1 : 2;
  b.palette = TestPalette(1 << bits);
  b.pixels = RleRows(bits, true);
  return b;
}

// ---------------------------------------------------------------- JPEG files by hand

// A baseline JPEG of flat 8 x 8 blocks, every component sampled 1:1, quantiser 1 and only DC
// coefficients, so each decoded sample equals the block's value exactly. value(c, bx, by) is
// component c's sample in block (bx, by). With four components and adobe set, an Adobe marker
// says the samples are inverted CMYK, as print software writes them.
Bytes FlatJpeg(int components, int blocks_x, int blocks_y,
               const std::function<int(int, int, int)>& value, bool adobe = false,
               const Bytes& app1 = {}) {
  Bytes j = {0xFF, 0xD8};
  j.insert(j.end(), app1.begin(), app1.end());
  if (adobe) {
    j.insert(j.end(), {0xFF, 0xEE, 0, 14, 'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});
  }
  j.insert(j.end(), {0xFF, 0xDB, 0, 67, 0});  // one table of ones
  j.insert(j.end(), 64, 1);
  j.insert(j.end(), {0xFF, 0xC0});
  AppendBe16(j, 8 + 3 * components);
  j.push_back(8);
  AppendBe16(j, blocks_y * 8);
  AppendBe16(j, blocks_x * 8);
  j.push_back(static_cast<std::uint8_t>(components));
  for (int c = 0; c < components; ++c)
    j.insert(j.end(), {static_cast<std::uint8_t>(c + 1), 0x11, 0});
  // DC table: categories 0..11, all 4-bit codes (the code is the category). AC table: only
  // end-of-block, code "0".
  j.insert(j.end(), {0xFF, 0xC4, 0, 31, 0x00, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  for (std::uint8_t s = 0; s < 12; ++s) j.push_back(s);
  j.insert(j.end(), {0xFF, 0xC4, 0, 20, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  j.insert(j.end(), {0xFF, 0xDA});
  AppendBe16(j, 6 + 2 * components);
  j.push_back(static_cast<std::uint8_t>(components));
  for (int c = 0; c < components; ++c) j.insert(j.end(), {static_cast<std::uint8_t>(c + 1), 0x00});
  j.insert(j.end(), {0, 63, 0});

  std::uint32_t acc = 0;
  int nbits = 0;
  auto put_bits = [&](std::uint32_t bits, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc = (acc << 1) | ((bits >> i) & 1);
      if (++nbits == 8) {
        j.push_back(static_cast<std::uint8_t>(acc));
        if (acc == 0xFF) j.push_back(0);  // stuffed
        acc = 0;
        nbits = 0;
      }
    }
  };
  std::vector<int> previous(static_cast<std::size_t>(components), 0);
  for (int by = 0; by < blocks_y; ++by) {
    for (int bx = 0; bx < blocks_x; ++bx) {
      for (int c = 0; c < components; ++c) {
        const int dc = 8 * (value(c, bx, by) - 128);
        const int diff = dc - previous[static_cast<std::size_t>(c)];
        previous[static_cast<std::size_t>(c)] = dc;
        int size = 0;
        while ((std::abs(diff) >> size) != 0) ++size;
        put_bits(static_cast<std::uint32_t>(size), 4);
        if (size > 0) {
          put_bits(static_cast<std::uint32_t>(diff >= 0 ? diff : diff + (1 << size) - 1), size);
        }
        put_bits(0, 1);  // end of block
      }
    }
  }
  if (nbits > 0) put_bits(0x7F, 8 - nbits);  // pad with ones
  j.insert(j.end(), {0xFF, 0xD9});
  return j;
}

// An Exif APP1 segment holding only the orientation tag.
Bytes ExifOrientation(int orientation) {
  Bytes payload = {'E',
                   'x',
                   'i',
                   'f',
                   0,
                   0,
                   'I',
                   'I',
                   42,
                   0,
                   8,
                   0,
                   0,
                   0,  // little-endian TIFF
                   1,
                   0,  // one entry
                   0x12,
                   0x01,
                   3,
                   0,
                   1,
                   0,
                   0,
                   0,  // orientation, SHORT
                   static_cast<std::uint8_t>(orientation),
                   0,
                   0,
                   0,  //
                   0,
                   0,
                   0,
                   0};  // no next IFD
  Bytes segment = {0xFF, 0xE1};
  AppendBe16(segment, static_cast<int>(payload.size()) + 2);
  segment.insert(segment.end(), payload.begin(), payload.end());
  return segment;
}

// Offset of the first byte after the start-of-scan header.
std::size_t ScanDataStart(const Bytes& jpeg) {
  for (std::size_t i = 2; i + 3 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return i + 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]);
  }
  ADD_FAILURE() << "no start of scan";
  return jpeg.size();
}

Bytes QtJpeg(const QImage& image) { return Encode(image, "JPEG"); }

QImage Blocks(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixelColor(x, y, QColor((x / 8) * 60 % 256, (y / 8) * 90 % 256, 120));
    }
  }
  return image;
}

// A PNG's chunks carry a CRC-32 over type and data.
std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

// A PNG whose header claims width x height, followed by a few bytes of picture data.
Bytes PngClaiming(std::uint32_t width, std::uint32_t height) {
  Bytes f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&f](const char* type, const Bytes& data) {
    const std::uint32_t n = static_cast<std::uint32_t>(data.size());
    f.insert(f.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                       static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
    const std::size_t start = f.size();
    f.insert(f.end(), type, type + 4);
    f.insert(f.end(), data.begin(), data.end());
    const std::uint32_t crc = Crc32(f.data() + start, f.size() - start);
    f.insert(f.end(), {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                       static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
  };
  chunk("IHDR",
        {static_cast<std::uint8_t>(width >> 24), static_cast<std::uint8_t>(width >> 16),
         static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width),
         static_cast<std::uint8_t>(height >> 24), static_cast<std::uint8_t>(height >> 16),
         static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height), 8, 2, 0, 0, 0});
  chunk("IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00});  // the start of a zlib stream, cut short
  chunk("IEND", {});
  return f;
}

// ---------------------------------------------------------------- fixture

// Qt's image plugins are objects of the thread that first uses them. Without an application
// object, plugins first used on one of the short-lived threads below would outlive that thread's
// data and corrupt the heap when the process ends; so they are loaded here, on the main thread.
void LoadImagePluginsOnMainThread() {
  static const bool loaded = [] {
    for (const char* format : {"JPEG", "PNG", "BMP"}) {
      const Bytes bytes = Encode(QImage(2, 2, QImage::Format_RGB888), format);
      QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
      QBuffer buffer(&data);
      buffer.open(QIODevice::ReadOnly);
      QImageReader(&buffer).read();
    }
    QByteArray junk("neither of them");  // asks every plugin whether it can read this
    QBuffer buffer(&junk);
    buffer.open(QIODevice::ReadOnly);
    QImageReader::imageFormat(&buffer);
    return true;
  }();
  (void)loaded;
}

class HostileTest : public testing::Test {
 protected:
  void SetUp() override {
    LoadImagePluginsOnMainThread();
    char name[] = "/tmp/tvcpix-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Decodes with a time limit into a picture that already holds something.
  DecodeResult Decode(const std::string& path, Surface* out) {
    auto state = std::make_shared<Surface>(*out);
    std::optional<DecodeResult> r = WithinSeconds<DecodeResult>(
        20, [state, path] { return DecodePictureFile(path, state.get()); });
    if (!r) {
      ADD_FAILURE() << path << ": decoding blocked";
      return DecodeResult{false, "blocked"};
    }
    *out = *state;
    return *r;
  }

  Surface Loaded(const std::string& path) {
    Surface s("Pic1", 96, 64, MakeColor(128, 128, 128));
    const DecodeResult r = Decode(path, &s);
    EXPECT_TRUE(r.ok) << r.message;
    return s;
  }

  std::string dir_;
};

// ---------------------------------------------------------------- BMP layouts that load

struct BmpCase {
  const char* name;
  std::function<Bmp()> make;
  ColorAt expected;
};

void PrintTo(const BmpCase& c, std::ostream* os) { *os << c.name; }

class BmpLayoutTest : public HostileTest, public testing::WithParamInterface<BmpCase> {};

TEST_P(BmpLayoutTest, DecodesEveryPixelExactly) {
  const std::string path = Path(std::string(GetParam().name) + ".bmp");
  WriteFile(path, BuildBmp(GetParam().make()));
  const Surface s = Loaded(path);
  ASSERT_EQ(s.width(), kW);
  ASSERT_EQ(s.height(), kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const ColorValue got = PixelAt(s, x, y);
      const ColorValue want = GetParam().expected(x, y);
      ASSERT_EQ(got, want) << "at " << x << "," << y << ": got " << int(RedOf(got)) << ","
                           << int(GreenOf(got)) << "," << int(BlueOf(got)) << ", want "
                           << int(RedOf(want)) << "," << int(GreenOf(want)) << ","
                           << int(BlueOf(want));
    }
  }
}

Bmp Bits16(bool top_down, bool bitfields) {
  Bmp b;
  b.width = kW;
  b.height = top_down ? -kH : kH;
  b.bits = 16;
  if (bitfields) {
    b.compression = 3;
    b.masks = {0xF800, 0x07E0, 0x001F};
    b.pixels = PackRows(kW, kH, 16, top_down, [](int x, int y) {
      return static_cast<std::uint32_t>(R5(x, y) << 11 | G6(x, y) << 5 | B5(x, y));
    });
  } else {  // without masks, 16 bits are 5-5-5
    b.pixels = PackRows(kW, kH, 16, top_down, [](int x, int y) {
      return static_cast<std::uint32_t>(R5(x, y) << 10 | (G6(x, y) >> 1) << 5 | B5(x, y));
    });
  }
  return b;
}

// 5- and 6-bit fields widen by shifting into the high bits, as the platform's DIB conversion does.
ColorValue Expected565(int x, int y) {
  return MakeColor(R5(x, y) << 3, G6(x, y) << 2, B5(x, y) << 3);
}
ColorValue Expected555(int x, int y) {
  return MakeColor(R5(x, y) << 3, (G6(x, y) >> 1) << 3, B5(x, y) << 3);
}

ColorValue Rgb(int x, int y) { return MakeColor(x * 40 + 3, y * 50 + 7, (x * y * 13) % 256); }

Bmp Bits32(bool top_down, bool bitfields) {
  Bmp b;
  b.width = kW;
  b.height = top_down ? -kH : kH;
  b.bits = 32;
  if (bitfields) {  // an unusual order: red in the low byte, blue in byte 2
    b.compression = 3;
    b.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    b.pixels = PackRows(kW, kH, 32, top_down, [](int x, int y) { return Rgb(x, y); });
  } else {
    b.pixels = PackRows(kW, kH, 32, top_down, [](int x, int y) {
      const ColorValue c = Rgb(x, y);
      // The unused fourth byte holds junk that must not matter.
      return static_cast<std::uint32_t>(BlueOf(c) | GreenOf(c) << 8 | RedOf(c) << 16) | 0x5A000000u;
    });
  }
  return b;
}

Bmp Bits24(int header) {
  Bmp b;
  b.header = header;
  b.width = kW;
  b.height = kH;
  b.bits = 24;
  b.pixels = PackRows(kW, kH, 24, false, [](int x, int y) {
    const ColorValue c = Rgb(x, y);
    return static_cast<std::uint32_t>(BlueOf(c) | GreenOf(c) << 8 | RedOf(c) << 16);
  });
  return b;
}

// Run-length data that jumps (delta escape) and ends early: the pixels it never sets take
// palette entry 0, the same on every load.
Bmp RleWithGaps() {
  Bmp b;
  b.width = kW;
  b.height = kH;
  b.bits = 8;
  b.compression = 1;
  b.palette = {MakeColor(10, 20, 30), MakeColor(200, 0, 0), MakeColor(0, 200, 0)};
  // Bottom row: 2 red, jump 3 right and 1 up, 2 green, end of line, end of picture.
  b.pixels = {2, 1, 0, 2, 3, 1, 2, 2, 0, 0, 0, 1};
  return b;
}

Bmp Rle4WithGaps() {
  Bmp b = RleWithGaps();
  b.bits = 4;
  b.compression = 2;
  b.palette.resize(16, MakeColor(99, 99, 99));
  // Bottom row: red, green; jump; red, green; end of picture.
  b.pixels = {2, 0x12, 0, 2, 3, 1, 2, 0x12, 0, 1};
  return b;
}

ColorValue Rle4WithGapsColor(int x, int y) {
  if (y == kH - 1 && x < 2) return x == 0 ? MakeColor(200, 0, 0) : MakeColor(0, 200, 0);
  if (y == kH - 2 && (x == 5 || x == 6))
    return x == 5 ? MakeColor(200, 0, 0) : MakeColor(0, 200, 0);
  return MakeColor(10, 20, 30);
}

ColorValue RleWithGapsColor(int x, int y) {
  if (y == kH - 1 && x < 2) return MakeColor(200, 0, 0);
  if (y == kH - 2 && (x == 5 || x == 6)) return MakeColor(0, 200, 0);
  return MakeColor(10, 20, 30);
}

// An 8-bit picture whose palette lists only the three colours it uses.
Bmp ShortPalette() {
  Bmp b = Indexed(8, false);
  b.palette.resize(3);
  b.pixels = PackRows(kW, kH, 8, false,
                      [](int x, int y) { return static_cast<std::uint32_t>(TestIndex(x, y, 3)); });
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BmpLayoutTest,
    testing::Values(
        BmpCase{"bits1", [] { return Indexed(1, false); },
                [](int x, int y) { return IndexedColor(2, x, y); }},
        BmpCase{"bits1_top_down", [] { return Indexed(1, true); },
                [](int x, int y) { return IndexedColor(2, x, y); }},
        BmpCase{"bits4", [] { return Indexed(4, false); },
                [](int x, int y) { return IndexedColor(16, x, y); }},
        BmpCase{"bits4_top_down", [] { return Indexed(4, true); },
                [](int x, int y) { return IndexedColor(16, x, y); }},
        BmpCase{"bits8", [] { return Indexed(8, false); },
                [](int x, int y) { return IndexedColor(256, x, y); }},
        BmpCase{"bits8_top_down", [] { return Indexed(8, true); },
                [](int x, int y) { return IndexedColor(256, x, y); }},
        BmpCase{"short_palette", ShortPalette, [](int x, int y) { return IndexedColor(3, x, y); }},
        BmpCase{"rle8", [] { return Rle(8); },
                [](int x, int y) { return IndexedColor(256, x, y); }},
        BmpCase{"rle4", [] { return Rle(4); }, [](int x, int y) { return IndexedColor(16, x, y); }},
        BmpCase{"rle8_gaps", RleWithGaps, RleWithGapsColor},
        BmpCase{"rle4_gaps", Rle4WithGaps, Rle4WithGapsColor},
        BmpCase{"bits16_565", [] { return Bits16(false, true); }, Expected565},
        BmpCase{"bits16_565_top_down", [] { return Bits16(true, true); }, Expected565},
        BmpCase{"bits16_555", [] { return Bits16(false, false); }, Expected555},
        BmpCase{"bits16_555_top_down", [] { return Bits16(true, false); }, Expected555},
        BmpCase{"bits24_os2", [] { return Bits24(12); }, Rgb},
        BmpCase{"bits24_v5", [] { return Bits24(124); }, Rgb},
        BmpCase{"bits32", [] { return Bits32(false, false); }, Rgb},
        BmpCase{"bits32_top_down", [] { return Bits32(true, false); }, Rgb},
        BmpCase{"bits32_masks", [] { return Bits32(false, true); }, Rgb},
        BmpCase{"bits32_masks_top_down", [] { return Bits32(true, true); }, Rgb}),
    [](const testing::TestParamInfo<BmpCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- JPEG kinds that load

TEST_F(HostileTest, GreyscaleJpegsLoadAsGrey) {
  // Hand-made: exact levels.
  WriteFile(Path("grey.jpg"),
            FlatJpeg(1, 3, 2, [](int, int bx, int by) { return bx * 90 + by * 40 + 5; }));
  const Surface s = Loaded(Path("grey.jpg"));
  ASSERT_EQ(s.width(), 24);
  ASSERT_EQ(s.height(), 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const int v = (x / 8) * 90 + (y / 8) * 40 + 5;
      ASSERT_EQ(PixelAt(s, x, y), MakeColor(v, v, v)) << x << "," << y;
    }
  }
  // Written by Qt from a grey picture, progressive as well.
  QImage grey(32, 16, QImage::Format_Grayscale8);
  grey.fill(0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 16; x < 32; ++x) grey.setPixelColor(x, y, QColor(220, 220, 220));
  }
  for (bool progressive : {false, true}) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setProgressiveScanWrite(progressive);
    ASSERT_TRUE(writer.write(grey));
    WriteFile(Path("qt grey.jpg"), FromQt(bytes));
    const Surface q = Loaded(Path("qt grey.jpg"));
    ASSERT_EQ(q.width(), 32);
    for (const auto& [x, level] : {std::pair{4, 0}, std::pair{28, 220}}) {
      const ColorValue c = PixelAt(q, x, 8);
      EXPECT_EQ(RedOf(c), GreenOf(c));
      EXPECT_EQ(GreenOf(c), BlueOf(c));
      EXPECT_NEAR(RedOf(c), level, 3) << progressive;
    }
  }
}

// Print software writes CMYK JPEGs with inverted samples and an Adobe marker; they load with
// red = (255 - C)(255 - K) / 255 and likewise for green and blue.
TEST_F(HostileTest, CmykJpegLoadsWithConvertedColours) {
  // Stored (inverted) samples per block: {C', M', Y', K'}.
  const int samples[2][4] = {{255, 40, 40, 255}, {200, 200, 90, 128}};
  WriteFile(
      Path("cmyk.jpg"),
      FlatJpeg(
          4, 2, 1, [&samples](int c, int bx, int) { return samples[bx][c]; }, /*adobe=*/true));
  const Surface s = Loaded(Path("cmyk.jpg"));
  ASSERT_EQ(s.width(), 16);
  ASSERT_EQ(s.height(), 8);
  for (int bx = 0; bx < 2; ++bx) {
    const int k = samples[bx][3];
    const ColorValue c = PixelAt(s, bx * 8 + 3, 4);
    EXPECT_NEAR(RedOf(c), samples[bx][0] * k / 255, 1) << bx;
    EXPECT_NEAR(GreenOf(c), samples[bx][1] * k / 255, 1) << bx;
    EXPECT_NEAR(BlueOf(c), samples[bx][2] * k / 255, 1) << bx;
  }
}

// Every EXIF orientation: the picture comes out as a viewer shows it, sides swapped for 5-8.
TEST_F(HostileTest, EveryExifOrientationIsHonoured) {
  // 3 x 2 blocks of distinct grey levels.
  auto level = [](int bx, int by) { return 20 + bx * 70 + by * 25; };
  constexpr int kBx = 3, kBy = 2;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    WriteFile(Path("turned.jpg"),
              FlatJpeg(
                  1, kBx, kBy, [&](int, int bx, int by) { return level(bx, by); }, false,
                  ExifOrientation(orientation)));
    const Surface s = Loaded(Path("turned.jpg"));
    const bool swap = orientation >= 5;
    ASSERT_EQ(s.width(), swap ? kBy * 8 : kBx * 8);
    ASSERT_EQ(s.height(), swap ? kBx * 8 : kBy * 8);
    const int w = kBx, h = kBy;  // in blocks
    for (int oy = 0; oy < s.height() / 8; ++oy) {
      for (int ox = 0; ox < s.width() / 8; ++ox) {
        int sx = ox, sy = oy;  // which stored block shows at (ox, oy)
        switch (orientation) {
          case 2:
            sx = w - 1 - ox;
            break;
          case 3:
            sx = w - 1 - ox;
            sy = h - 1 - oy;
            break;
          case 4:
            sy = h - 1 - oy;
            break;
          case 5:
            sx = oy;
            sy = ox;
            break;
          case 6:
            sx = oy;
            sy = h - 1 - ox;
            break;
          case 7:
            sx = w - 1 - oy;
            sy = h - 1 - ox;
            break;
          case 8:
            sx = w - 1 - oy;
            sy = ox;
            break;
        }
        const int v = level(sx, sy);
        EXPECT_EQ(PixelAt(s, ox * 8 + 4, oy * 8 + 4), MakeColor(v, v, v)) << ox << "," << oy;
      }
    }
  }
}

// ---------------------------------------------------------------- sizes and names that load

TEST_F(HostileTest, ExtremeButValidSizesLoad) {
  struct Case {
    std::string name;
    int width, height;
    const char* format;
  };
  const Case cases[] = {{"one.bmp", 1, 1, "BMP"},      {"one.png", 1, 1, "PNG"},
                        {"one.jpg", 1, 1, "JPEG"},     {"wide.bmp", 65535, 1, "BMP"},
                        {"wide.png", 65535, 1, "PNG"}, {"tall.bmp", 1, 65535, "BMP"},
                        {"wide.jpg", 65500, 1, "JPEG"}};  // JPEG's own limit is 65500
  for (const Case& c : cases) {
    QImage image(c.width, c.height, QImage::Format_RGB888);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) image.setPixelColor(x, y, QColor(x % 256, y % 256, 77));
    }
    WriteFile(Path(c.name), Encode(image, c.format, 100));
    const Surface s = Loaded(Path(c.name));
    ASSERT_EQ(s.width(), c.width) << c.name;
    ASSERT_EQ(s.height(), c.height) << c.name;
    if (std::string(c.format) != "JPEG") {
      const int x = c.width - 1, y = c.height - 1;
      EXPECT_EQ(PixelAt(s, x, y), MakeColor(x % 256, y % 256, 77)) << c.name;
    }
  }
}

TEST_F(HostileTest, NamesWithSpacesAndNonAsciiLoad) {
  const Bytes bmp = BuildBmp(Bits24(40));
  for (const std::string& name : std::vector<std::string>{
           "holiday photo 2.bmp", "  leading and trailing  .bmp", "été à Győr.bmp", "日本 写真.bmp",
           "tab\there.bmp", "#1 50% (copy) [x] {y} 'q'.bmp", "-starts-with-dash.bmp",
           std::string("latin1 \xE9t\xE9.bmp")}) {  // not UTF-8: the bytes as the disk has them
    WriteFile(Path(name), bmp);
    const Surface s = Loaded(Path(name));
    EXPECT_EQ(s.width(), kW) << name;
    EXPECT_EQ(PixelAt(s, 2, 3), Rgb(2, 3)) << name;
  }
}

// ---------------------------------------------------------------- files that are refused

struct RefusedCase {
  const char* name;
  std::function<void(const std::string& path)> make;
  const char* reason;  // the message is "<path>: " followed by this
};

Bytes JpegBytes() { return QtJpeg(Blocks(64, 48)); }

Bytes CutRle(int bits) {
  Bmp b = Rle(bits);
  b.pixels = RleRows(bits, false);
  b.pixels.resize(b.pixels.size() / 2);
  return BuildBmp(b);
}

Bytes WithCompression(std::uint32_t compression, int bits) {
  Bmp b = Bits24(40);
  b.bits = bits;
  b.compression = compression;
  return BuildBmp(b);
}

// The header claims the width and height given; the file holds a few bytes of pixels.
Bytes ClaimedBmp(std::int32_t width, std::int32_t height, int bits = 24) {
  Bmp b;
  b.width = width;
  b.height = height;
  b.bits = bits;
  if (bits <= 8) b.palette = TestPalette(1 << bits);
  b.pixels = Bytes(64, 0x55);
  return BuildBmp(b);
}

Bytes JpegClaiming(int width, int height) {
  Bytes j = JpegBytes();
  for (std::size_t i = 2; i + 8 < j.size(); ++i) {
    if (j[i] == 0xFF && j[i + 1] == 0xC0) {
      j[i + 5] = static_cast<std::uint8_t>(height >> 8);
      j[i + 6] = static_cast<std::uint8_t>(height);
      j[i + 7] = static_cast<std::uint8_t>(width >> 8);
      j[i + 8] = static_cast<std::uint8_t>(width);
      break;
    }
  }
  return j;
}

void Link(const std::string& target, const std::string& path) { fs::create_symlink(target, path); }

const RefusedCase kRefused[] = {
    // Run-length pictures whose data stops part way: never a partly random picture.
    {"cut_rle8.bmp", [](const std::string& p) { WriteFile(p, CutRle(8)); }, "truncated BMP"},
    {"cut_rle4.bmp", [](const std::string& p) { WriteFile(p, CutRle(4)); }, "truncated BMP"},
    {"pixels_beyond_end.bmp",
     [](const std::string& p) {
       Bytes b = BuildBmp(Bits24(40));
       PutLe(b, 10, 5000, 4);  // pixel data said to start past the end of the file
       WriteFile(p, b);
     },
     "truncated BMP"},
    {"height_int_min.bmp", [](const std::string& p) { WriteFile(p, ClaimedBmp(4, INT_MIN)); }, ""},
    {"huge_width.bmp", [](const std::string& p) { WriteFile(p, ClaimedBmp(INT_MAX, 1, 1)); },
     "picture too large"},
    {"zero_height.bmp", [](const std::string& p) { WriteFile(p, ClaimedBmp(8, 0)); }, ""},
    {"65535_square.bmp", [](const std::string& p) { WriteFile(p, ClaimedBmp(65535, 65535, 8)); },
     "picture too large"},
    {"claims_9000_square.bmp", [](const std::string& p) { WriteFile(p, ClaimedBmp(9000, 9000)); },
     "truncated BMP"},
    {"bits0.bmp", [](const std::string& p) { WriteFile(p, WithCompression(0, 0)); }, ""},
    {"bits33.bmp", [](const std::string& p) { WriteFile(p, WithCompression(0, 33)); }, ""},
    {"compression9.bmp", [](const std::string& p) { WriteFile(p, WithCompression(9, 24)); }, ""},
    {"rle8_on_24_bits.bmp", [](const std::string& p) { WriteFile(p, WithCompression(1, 24)); }, ""},
    {"huge_palette.bmp",
     [](const std::string& p) {
       Bytes b = BuildBmp(Indexed(8, false));
       PutLe(b, 46, 0xFFFFFFFFu, 4);  // colours used
       WriteFile(p, b);
     },
     ""},
    {"text starting BM.bmp",
     [](const std::string& p) {
       const std::string t = "BM is how this note starts, it is not a picture at all.\n";
       WriteFile(p, Bytes(t.begin(), t.end()));
     },
     ""},
    {"cut_in_header.bmp",
     [](const std::string& p) {
       Bytes b = BuildBmp(Bits24(40));
       b.resize(30);
       WriteFile(p, b);
     },
     "truncated BMP: 30 bytes, the header needs 54"},
    // JPEG: data that stops early or carries a stray marker is not a picture to convert.
    {"scan_cut_to_end_marker.jpg",
     [](const std::string& p) {
       Bytes j = JpegBytes();
       j.resize(ScanDataStart(j) + 20);
       j.insert(j.end(), {0xFF, 0xD9});
       WriteFile(p, j);
     },
     "damaged JPEG"},
    {"garbage_marker_in_scan.jpg",
     [](const std::string& p) {
       Bytes j = JpegBytes();
       const std::size_t at = ScanDataStart(j) + 30;
       for (std::size_t i = 0; i < 40; ++i) j[at + i] = static_cast<std::uint8_t>(i * 67 + 1);
       j[at + 10] = 0xFF;  // a restart marker where none belongs
       j[at + 11] = 0xD3;
       WriteFile(p, j);
     },
     "damaged JPEG"},
    {"cut_in_tables.jpg",
     [](const std::string& p) {
       Bytes j = JpegBytes();
       j.resize(ScanDataStart(j) - 40);
       WriteFile(p, j);
     },
     ""},
    {"claims_65500_square.jpg",
     [](const std::string& p) { WriteFile(p, JpegClaiming(65500, 65500)); }, "picture too large"},
    {"zero_width.jpg", [](const std::string& p) { WriteFile(p, JpegClaiming(0, 48)); }, ""},
    {"only_start_marker.jpg",
     [](const std::string& p) {
       WriteFile(p, Bytes{0xFF, 0xD8});
     },
     ""},
    // PNG.
    {"bomb.png", [](const std::string& p) { WriteFile(p, PngClaiming(60000, 60000)); },
     "picture too large"},
    {"data_cut.png", [](const std::string& p) { WriteFile(p, PngClaiming(64, 48)); }, ""},
    // Things in a folder that are not plain files, named like pictures.
    {"null.bmp", [](const std::string& p) { Link("/dev/null", p); }, "not a regular file"},
    {"urandom.jpg", [](const std::string& p) { Link("/dev/urandom", p); }, "not a regular file"},
    {"link_to_fifo.jpg",
     [](const std::string& p) {
       ASSERT_EQ(mkfifo((p + ".fifo").c_str(), 0600), 0);
       Link(p + ".fifo", p);
     },
     "not a regular file"},
    {"dangling.jpg", [](const std::string& p) { Link(p + ".nowhere", p); },
     "No such file or directory"},
    {"loop.bmp", [](const std::string& p) { Link(p, p); }, "Too many levels of symbolic links"},
    {"proc_file.bmp", [](const std::string& p) { Link("/proc/self/status", p); }, "empty file"},
    {"inside_a_file.bmp/x.bmp",
     [](const std::string& p) { WriteFile(fs::path(p).parent_path(), Bytes{1}); },
     "Not a directory"},
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedTest : public HostileTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTest, RefusedWithReasonAndPictureUntouched) {
  const std::string path = Path(GetParam().name);
  GetParam().make(path);
  Surface picture("Pic1", 96, 64, MakeColor(128, 128, 128));
  picture.SetPixel(5, 6, MakeColor(1, 2, 3));
  const Surface before = picture;
  const DecodeResult r = Decode(path, &picture);
  EXPECT_FALSE(r.ok);
  const std::string prefix = path + ": " + GetParam().reason;
  EXPECT_EQ(r.message.rfind(prefix, 0), 0u) << r.message;
  EXPECT_GT(r.message.size(), path.size() + 2) << "no reason given";
  EXPECT_EQ(picture, before);
  EXPECT_EQ(picture.name(), "Pic1");
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedTest, testing::ValuesIn(kRefused),
                         [](const testing::TestParamInfo<RefusedCase>& info) {
                           std::string n;
                           for (char c : std::string(info.param.name))
                             n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

// A file far larger than any picture within the pixel limit (here a sparse one: a JPEG header
// and then a hole) is refused at once, not read to its end.
TEST_F(HostileTest, HugeFileIsRefusedWithoutReadingIt) {
  const std::string path = Path("sparse.jpg");
  Bytes head = JpegBytes();
  head.resize(ScanDataStart(head));
  WriteFile(path, head);
  ASSERT_EQ(truncate(path.c_str(), 64LL << 30), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  if (st.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "this file system has no sparse files";
  Surface picture;
  const auto start = std::chrono::steady_clock::now();
  const DecodeResult r = Decode(path, &picture);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.rfind(path + ": file too large", 0), 0u) << r.message;
}

TEST_F(HostileTest, UnreadableFileIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const std::string path = Path("secret.bmp");
  WriteFile(path, BuildBmp(Bits24(40)));
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  Surface picture;
  const DecodeResult r = Decode(path, &picture);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, path + ": Permission denied");
}

// Random damage inside JPEG data (no stray marker) either decodes to a picture of the header's
// size or is refused with a reason; never anything else, and the same answer every time.
TEST_F(HostileTest, DamagedJpegDataGivesAPictureOrAReason) {
  const Bytes clean = JpegBytes();
  const std::size_t scan = ScanDataStart(clean);
  std::uint32_t seed = 12345;
  for (int round = 0; round < 40; ++round) {
    Bytes j = clean;
    for (int k = 0; k < 8; ++k) {
      seed = seed * 1664525u + 1013904223u;
      const std::size_t at = scan + (seed >> 8) % (clean.size() - scan - 2);
      j[at] = static_cast<std::uint8_t>((seed >> 3) & 0x7F);  // no 0xFF: no new marker
    }
    const std::string path = Path("damaged.jpg");
    WriteFile(path, j);
    Surface first, second;
    const DecodeResult a = Decode(path, &first);
    const DecodeResult b = Decode(path, &second);
    EXPECT_EQ(a.ok, b.ok);
    EXPECT_EQ(a.message, b.message);
    if (a.ok) {
      EXPECT_EQ(first.width(), 64);
      EXPECT_EQ(first.height(), 48);
      EXPECT_EQ(first, second);
    } else {
      EXPECT_EQ(a.message.rfind(path + ": ", 0), 0u) << a.message;
    }
  }
}

// ---------------------------------------------------------------- the same files through the CLI

struct CliRun {
  int code = -1;
  std::string out, err;
};

CliRun RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), kCliName);
  std::optional<CliRun> r = WithinSeconds<CliRun>(60, [args] {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    CliRun run;
    run.code = RunCli(static_cast<int>(copy.size()), argv.data(), out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
  });
  if (!r) {
    ADD_FAILURE() << "tvcpix-cli blocked";
    return CliRun{};
  }
  return *r;
}

// Each refused file fails the tool with exit code 1 and the decoder's reason on stderr, and the
// files an earlier run wrote under the same output base stay byte for byte.
TEST_F(HostileTest, CliRefusesEveryHostileFileAndKeepsEarlierOutputs) {
  fs::create_directory(Path("in"));
  WriteFile(Path("in/good.bmp"), BuildBmp(Bits24(40)));
  const std::string base = Path("out/result");
  fs::create_directory(Path("out"));
  CliRun first = RunTool({"-m", "4", "-d", "floyd", "-o", base, Path("in/good.bmp")});
  ASSERT_EQ(first.code, 0) << first.err;
  const Bytes bmp = ReadFile(base + ".bmp"), bin = ReadFile(base + ".bin"),
              tim = ReadFile(base + ".tim");
  ASSERT_EQ(tim.size(), 16400u);

  for (const RefusedCase& c : kRefused) {
    const std::string input = Path("in/") + c.name;
    c.make(input);
    Surface ignored;
    const std::string reason = DecodePictureFile(input, &ignored).message;
    const CliRun r = RunTool({"-q", "-o", base, input});
    EXPECT_EQ(r.code, 1) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.err, std::string(kCliName) + ": " + reason + "\n") << c.name;
    EXPECT_EQ(r.err.rfind(std::string(kCliName) + ": " + input + ": " + c.reason, 0), 0u) << r.err;
  }
  EXPECT_EQ(ReadFile(base + ".bmp"), bmp);
  EXPECT_EQ(ReadFile(base + ".bin"), bin);
  EXPECT_EQ(ReadFile(base + ".tim"), tim);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Path("out"))) names.push_back(e.path().filename());
  EXPECT_EQ(names.size(), 3u) << "a temporary or partial file was left";
}

// Unusual but sound pictures convert through the tool; a bad one among them fails only itself.
TEST_F(HostileTest, CliConvertsSoundOddPicturesNextToBadOnes) {
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"rle4.bmp", BuildBmp(Rle(4))},
      {"bits16.bmp", BuildBmp(Bits16(true, true))},
      {"cmyk.jpg",
       FlatJpeg(
           4, 2, 2, [](int c, int bx, int by) { return 60 + 50 * c + 30 * bx + by; }, true)},
      {"phone.jpg",
       FlatJpeg(
           1, 3, 2, [](int, int bx, int) { return 40 * bx; }, false, ExifOrientation(6))},
      {"png named.jpg", Encode(Blocks(20, 10), "PNG")},
      {"été 1×1.png", Encode(Blocks(1, 1), "PNG")},
      {"cut.bmp", CutRle(8)},
  };
  std::vector<std::string> args = {"-O", Path("out")};
  for (const auto& [name, bytes] : files) {
    WriteFile(Path(name), bytes);
    args.push_back(Path(name));
  }
  const CliRun r = RunTool(args);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind(std::string(kCliName) + ": " + Path("cut.bmp") + ": truncated BMP", 0), 0u)
      << r.err;
  for (const char* stem : {"rle4", "bits16", "cmyk", "phone", "png named", "été 1×1"}) {
    EXPECT_EQ(fs::file_size(Path("out/") + stem + ".tim"), 16400u) << stem;
    EXPECT_NE(r.out.find(Path("out/") + stem + ": "), std::string::npos) << r.out;
  }
  EXPECT_FALSE(fs::exists(Path("out/cut.bmp")));
}

// ---------------------------------------------------------------- odd things at the output names

// A FIFO, a link to another file and a link to /dev/full where the outputs go: the save neither
// blocks nor writes through the links; each name ends up a complete regular file.
TEST_F(HostileTest, SaveReplacesOddThingsAtTheFinalNames) {
  fs::create_directory(Path("elsewhere"));
  WriteFile(Path("elsewhere/victim"), Bytes{'k', 'e', 'e', 'p'});
  const std::string base = Path("out");
  fs::create_symlink(Path("elsewhere/victim"), base + ".bmp");
  ASSERT_EQ(mkfifo((base + ".bin").c_str(), 0600), 0);
  fs::create_symlink("/dev/full", base + ".tim");

  Palette palette;
  BuildPalette16(palette);
  const Surface view("Pic2", 512, 480, MakeColor(9, 8, 7));
  const Surface preview("TVC16", 128, 240, MakeColor(255, 255, 255));
  const std::optional<SaveResult> r = WithinSeconds<SaveResult>(
      20, [=] { return SaveAll(base, view, preview, TvcMode::kGraphics16, palette); });
  ASSERT_TRUE(r.has_value()) << "saving blocked";
  EXPECT_TRUE(r->ok) << r->message;
  EXPECT_EQ(ReadFile(Path("elsewhere/victim")), (Bytes{'k', 'e', 'e', 'p'}));
  const std::uintmax_t sizes[] = {54 + 512 * 480 * 3, 16384, 16400};
  int i = 0;
  for (const char* ext : {".bmp", ".bin", ".tim"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(base + ext))) << ext;
    EXPECT_EQ(fs::file_size(base + ext), sizes[i++]) << ext;
  }
}

// The disk fills up while the tool writes the first input's .bin file: that input fails with the
// file, the reason and what was already replaced; the next input is still converted.
TEST_F(HostileTest, CliReportsAFailedSaveAndGoesOn) {
  WriteFile(Path("first.bmp"), BuildBmp(Bits24(40)));
  WriteFile(Path("second.bmp"), BuildBmp(Indexed(4, true)));
  InjectWriteFaultForTesting(WriteStep::kWrite, 2, ENOSPC);
  // One input at a time, so the second write of the run is the first input's .bin file.
  const CliRun r = RunTool({"-j", "1", "-O", Path("out"), Path("first.bmp"), Path("second.bmp")});
  InjectWriteFaultForTesting(WriteStep::kNone, 0, 0);
  EXPECT_EQ(r.code, 1);
  const std::string base = Path("out/first");
  const std::string line = std::string(kCliName) + ": " + Path("first.bmp") + ": " + base +
                           ".bin: " + std::strerror(ENOSPC) + " (already replaced: " + base +
                           ".bmp)\n";
  EXPECT_EQ(r.err.substr(0, line.size()), line);
  EXPECT_EQ(r.out.find(base), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(Path("out/second") + ": "), std::string::npos) << r.out;
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(Path("out"))) names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"first.bmp", "second.bmp", "second.bin", "second.tim"}));
}

}  // namespace
}  // namespace tvcpix
