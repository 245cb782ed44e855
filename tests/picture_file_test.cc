// Tests of picture decoding: exact pixels, formats told by content, EXIF orientation, and the
// files that must be refused (quickly, with a reason, leaving the picture untouched).
#include "ui/picture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/color.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

QByteArray Encode(const QImage& image, const char* format, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(95);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(image)) << format;
  return bytes;
}

void WriteBytes(const std::string& path, const QByteArray& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

// Distinct red, green and blue everywhere, so a channel swap or a flipped row shows.
QImage Gradient(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.setPixelColor(x, y, QColor(x * 7 % 256, y * 11 % 256, (x + 3 * y) % 256));
  }
  return image;
}

// Flat quarters (red, green / blue, white) survive JPEG compression recognisably.
QImage Quarters(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2;
      const bool bottom = y >= height / 2;
      image.setPixelColor(x, y,
                          !bottom ? (right ? QColor(0, 255, 0) : QColor(255, 0, 0))
                                  : (right ? QColor(255, 255, 255) : QColor(0, 0, 255)));
    }
  }
  return image;
}

// Within JPEG's error of a colour.
::testing::AssertionResult Near(const Surface& s, int x, int y, int r, int g, int b) {
  const ColorValue c = PixelAt(s, x, y);
  if (std::abs(RedOf(c) - r) <= 12 && std::abs(GreenOf(c) - g) <= 12 &&
      std::abs(BlueOf(c) - b) <= 12) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << int(RedOf(c)) << ","
                                       << int(GreenOf(c)) << "," << int(BlueOf(c));
}

void ExpectQuarters(const Surface& s) {
  const int w = s.width();
  const int h = s.height();
  EXPECT_TRUE(Near(s, w / 4, h / 4, 255, 0, 0));
  EXPECT_TRUE(Near(s, 3 * w / 4, h / 4, 0, 255, 0));
  EXPECT_TRUE(Near(s, w / 4, 3 * h / 4, 0, 0, 255));
  EXPECT_TRUE(Near(s, 3 * w / 4, 3 * h / 4, 255, 255, 255));
}

// An EXIF block holding only the orientation tag, inserted right after the start marker.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation) {
  const char tiff[] = {'M',  'M',  0, 42, 0, 0, 0, 8,  // big-endian, IFD at 8
                       0,    1,                        // one entry
                       0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, static_cast<char>(orientation),
                       0,    0,    0, 0,  0, 0};  // no next IFD
  QByteArray payload("Exif\0\0", 6);
  payload.append(tiff, sizeof(tiff));
  QByteArray segment("\xFF\xE1", 2);
  const int length = static_cast<int>(payload.size()) + 2;
  segment.append(static_cast<char>(length >> 8));
  segment.append(static_cast<char>(length & 0xFF));
  segment.append(payload);
  return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray Bmp(std::int32_t width, std::int32_t height, int bits, int pixel_bytes) {
  QByteArray f(54 + pixel_bytes, '\0');
  auto put = [&f](int at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put(2, static_cast<std::uint32_t>(f.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, static_cast<std::uint32_t>(bits), 2);
  return f;
}

class PictureFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/tvcpix-pic-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Decodes into a fresh Pic1 and expects success.
  Surface Load(const std::string& path) {
    Surface s("Pic1", 96, 64, MakeColor(128, 128, 128));
    const DecodeResult r = DecodePictureFile(path, &s);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(s.name(), "Pic1");
    return s;
  }

  std::string dir_;
};

TEST_F(PictureFileTest, BmpAndPngNamedJpgDecodeExactly) {
  const QImage image = Gradient(37, 23);
  WriteBytes(Path("a.bmp"), Encode(image, "BMP"));
  WriteBytes(Path("png named.jpg"), Encode(image, "PNG"));
  // Top-down BMP: the height field is negative.
  QByteArray top_down = Encode(image, "BMP");
  const QByteArray bottom_up = top_down;
  const int row = (37 * 3 + 3) / 4 * 4;
  for (int y = 0; y < 23; ++y)
    top_down.replace(54 + y * row, row, bottom_up.mid(54 + (22 - y) * row, row));
  const std::int32_t neg = -23;
  top_down.replace(22, 4, QByteArray(reinterpret_cast<const char*>(&neg), 4));
  WriteBytes(Path("top-down.bmp"), top_down);

  for (const std::string name : {"a.bmp", "png named.jpg", "top-down.bmp"}) {
    const Surface s = Load(Path(name));
    ASSERT_EQ(s.width(), 37) << name;
    ASSERT_EQ(s.height(), 23) << name;
    for (int y = 0; y < 23; ++y) {
      for (int x = 0; x < 37; ++x) {
        ASSERT_EQ(PixelAt(s, x, y), MakeColor(x * 7 % 256, y * 11 % 256, (x + 3 * y) % 256))
            << name << " at " << x << "," << y;
      }
    }
  }
}

// The JPEG reader is a plugin; it must load with and without an application object.
TEST_F(PictureFileTest, JpegLoadsWithAndWithoutAnApplicationObject) {
  WriteBytes(Path("q.jpg"), Encode(Quarters(64, 48), "JPEG"));
  WriteBytes(Path("progressive.jpg"), Encode(Quarters(64, 48), "JPEG", true));
  // Bytes after the end marker, as some cameras write them.
  WriteBytes(Path("trailer.jpg"), Encode(Quarters(64, 48), "JPEG") + QByteArray(300, 'x'));
  for (const char* name : {"q.jpg", "progressive.jpg", "trailer.jpg"}) {
    const Surface s = Load(Path(name));
    ASSERT_EQ(s.width(), 64) << name;
    ExpectQuarters(s);
  }
  if (QCoreApplication::instance() == nullptr) {
    int argc = 1;
    char arg0[] = "tvcpix_tests";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    const Surface s = Load(Path("q.jpg"));
    ASSERT_EQ(s.height(), 48);
    ExpectQuarters(s);
  }
}

// Orientation 6: the stored picture is shown turned a quarter clockwise, so its left column
// becomes the top row.
TEST_F(PictureFileTest, ExifOrientationIsHonoured) {
  QImage image(40, 24, QImage::Format_RGB888);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 40; ++x)
      image.setPixelColor(x, y, x < 20 ? QColor(255, 0, 0) : QColor(0, 0, 255));
  }
  WriteBytes(Path("phone.jpg"), WithOrientation(Encode(image, "JPEG"), 6));
  const Surface s = Load(Path("phone.jpg"));
  ASSERT_EQ(s.width(), 24);
  ASSERT_EQ(s.height(), 40);
  EXPECT_TRUE(Near(s, 12, 8, 255, 0, 0));
  EXPECT_TRUE(Near(s, 12, 32, 0, 0, 255));
}

// Qt's default allocation limit (128 MB) would refuse this ordinary 42-megapixel photo.
TEST_F(PictureFileTest, LargePhotoWithinTheLimitLoads) {
  {
    QImage image(7000, 6000, QImage::Format_RGB888);
    image.fill(QColor(10, 200, 30));
    WriteBytes(Path("big.jpg"), Encode(image, "JPEG"));
  }
  const Surface s = Load(Path("big.jpg"));
  EXPECT_EQ(s.width(), 7000);
  EXPECT_EQ(s.height(), 6000);
  EXPECT_TRUE(Near(s, 6999, 5999, 10, 200, 30));
}

struct RefusalCase {
  const char* name;  // the file's name in the test folder
  std::function<void(const std::string& path)> make;
  const char* reason;  // expected after "<path>: "
};

class PictureRefusalTest : public PictureFileTest,
                           public testing::WithParamInterface<RefusalCase> {};

// Each refusal names the file and the reason, comes back at once (a FIFO or device must never
// block) and leaves the picture as it was.
TEST_P(PictureRefusalTest, RefusedWithReasonAndPictureUntouched) {
  const std::string path = Path(GetParam().name);
  GetParam().make(path);

  Surface before("Pic1", 96, 64, MakeColor(128, 128, 128));
  before.SetPixel(3, 4, MakeColor(1, 2, 3));
  auto state = std::make_shared<std::pair<Surface, DecodeResult>>(before, DecodeResult{});
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread([state, done, path] {
    state->second = DecodePictureFile(path, &state->first);
    done->set_value();
  }).detach();
  ASSERT_EQ(finished.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << path << " blocked";

  const DecodeResult& r = state->second;
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.rfind(path + ": " + GetParam().reason, 0), 0u) << r.message;
  EXPECT_EQ(state->first, before);
  EXPECT_EQ(state->first.name(), "Pic1");
}

QByteArray Jpeg() { return Encode(Quarters(64, 48), "JPEG"); }

INSTANTIATE_TEST_SUITE_P(
    Files, PictureRefusalTest,
    testing::Values(
        RefusalCase{"missing.jpg", [](const std::string&) {}, "No such file or directory"},
        RefusalCase{"folder.bmp", [](const std::string& p) { fs::create_directory(p); },
                    "not a regular file"},
        RefusalCase{"fifo.jpg", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
                    "not a regular file"},
        RefusalCase{"zero.jpg", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
                    "not a regular file"},
        RefusalCase{"empty.jpg", [](const std::string& p) { WriteBytes(p, QByteArray()); },
                    "empty file"},
        RefusalCase{"text.bmp",
                    [](const std::string& p) { WriteBytes(p, "hello, not a picture\n"); },
                    "not a picture Qt can read"},
        RefusalCase{"cut in header.jpg",
                    [](const std::string& p) { WriteBytes(p, Jpeg().left(100)); },
                    "not a picture Qt can read"},
        RefusalCase{"cut in data.jpg",
                    [](const std::string& p) {
                      const QByteArray jpeg = Encode(Gradient(200, 150), "JPEG");
                      WriteBytes(p, jpeg.left(jpeg.size() / 2));
                    },
                    "truncated JPEG"},
        RefusalCase{
            "cut.bmp",
            [](const std::string& p) { WriteBytes(p, Encode(Gradient(30, 20), "BMP").left(1000)); },
            "truncated BMP: 1000 bytes, the header needs 1894"},
        RefusalCase{"cut.png",
                    [](const std::string& p) {
                      WriteBytes(p, Encode(Gradient(30, 20), "PNG").chopped(40));
                    },
                    "not a picture Qt can read"},
        RefusalCase{"bomb.bmp",
                    [](const std::string& p) { WriteBytes(p, Bmp(60000, 60000, 24, 16)); },
                    "picture too large: 60000 x 60000 pixels (limit 100000000)"},
        RefusalCase{"wide.bmp",
                    [](const std::string& p) { WriteBytes(p, Bmp(100001, 1000, 1, 16)); },
                    "picture too large: 100001 x 1000 pixels"},
        RefusalCase{"no width.bmp", [](const std::string& p) { WriteBytes(p, Bmp(0, 10, 24, 16)); },
                    "invalid picture size: 0 x 10 pixels"},
        RefusalCase{"negative.bmp",
                    [](const std::string& p) { WriteBytes(p, Bmp(-5, 10, 24, 16)); },
                    "invalid picture size: -5 x 10 pixels"},
        RefusalCase{"bits.bmp", [](const std::string& p) { WriteBytes(p, Bmp(4, 4, 7, 64)); },
                    "not a picture Qt can read"},
        RefusalCase{"other.jpg",
                    [](const std::string& p) { WriteBytes(p, Encode(Gradient(8, 8), "PPM")); },
                    "unsupported picture format \"ppm\""}),
    [](const testing::TestParamInfo<RefusalCase>& info) {
      std::string name;
      for (const char* c = info.param.name; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
      }
      return name;
    });

}  // namespace
}  // namespace tvcpix
