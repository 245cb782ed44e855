// The direct JPEG/BMP decoders give exactly Qt's pixels, and leave every other form to Qt.
#include "ui/direct_decode.h"

#include <fcntl.h>
#include <jpeglib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "ui/picture_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

struct JpegForm {
  const char* name;
  int components;  // 1 grey, 3 colour
  int h_sampling;  // of the first component (2 2 = 4:2:0, 2 1 = 4:2:2, 1 1 = 4:4:4)
  int v_sampling;
  bool progressive;
  int restart_rows;
  int exif_orientation;  // 0: no EXIF block
  bool expect_direct;
};

std::vector<std::uint8_t> ExifBlock(int orientation) {
  // "Exif\0\0", little-endian TIFF header, IFD0 with one SHORT entry: Orientation.
  std::vector<std::uint8_t> b = {'E', 'x', 'i', 'f', 0,    0,    'I', 'I', 42, 0, 8, 0,
                                 0,   0,   1,   0,   0x12, 0x01, 3,   0,   1,  0, 0, 0};
  b.insert(b.end(), {static_cast<std::uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0});
  return b;
}

// A noisy picture (edges everywhere, so every rounding step shows) written with libjpeg.
std::vector<std::uint8_t> MakeJpeg(const JpegForm& form, int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * form.components);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = static_cast<std::uint8_t>((i * 7 + random() % 64) & 0xFF);
  }
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&info, &out, &out_size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = form.components;
  info.in_color_space = form.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  if (std::string(form.name) == "stored_rgb") jpeg_set_colorspace(&info, JCS_RGB);
  jpeg_set_quality(&info, 87, TRUE);
  info.comp_info[0].h_samp_factor = form.h_sampling;
  info.comp_info[0].v_samp_factor = form.v_sampling;
  info.restart_in_rows = form.restart_rows;
  if (form.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  if (form.exif_orientation != 0) {
    const std::vector<std::uint8_t> exif = ExifBlock(form.exif_orientation);
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  const std::size_t stride = static_cast<std::size_t>(width) * form.components;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = pixels.data() + stride * info.next_scanline;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<std::uint8_t> bytes(out, out + out_size);
  jpeg_destroy_compress(&info);
  std::free(out);
  return bytes;
}

// A 24-bit BMP; `gap` extra bytes between the headers and the pixels, V5 header on request.
std::vector<std::uint8_t> MakeBmp(int width, int height, bool top_down, bool v5, int gap,
                                  unsigned seed) {
  std::mt19937 random(seed);
  const int info = v5 ? 124 : 40;
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t offset = 14 + info + gap;
  std::vector<std::uint8_t> b(offset + row * height);
  auto put = [&](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, static_cast<std::uint32_t>(b.size()), 4);
  put(10, static_cast<std::uint32_t>(offset), 4);
  put(14, info, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(top_down ? -height : height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (std::size_t i = offset; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(random());
  return b;
}

class DirectDecodeTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Decodes the file both ways; the direct way must either decline or match Qt exactly.
  void ExpectSameAsQt(const std::string& path, bool expect_direct) {
    SCOPED_TRACE(path);
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const long long size = static_cast<long long>(fs::file_size(path));
    Surface direct("Pic1", 1, 1, 0), qt("Pic1", 1, 1, 0);
    const bool took = DecodeDirect(fd, size, &direct);
    const DecodeResult by_qt = DecodeWithQt(path, fd, size, &qt);
    close(fd);
    ASSERT_TRUE(by_qt.ok) << by_qt.message;
    EXPECT_EQ(took, expect_direct);
    if (took) {
      EXPECT_EQ(direct.name(), "Pic1");
      EXPECT_TRUE(direct == qt) << "direct " << direct.width() << "x" << direct.height() << ", Qt "
                                << qt.width() << "x" << qt.height();
    }
    // What the program loads is Qt's picture either way.
    Surface loaded;
    ASSERT_TRUE(DecodePictureFile(path, &loaded).ok);
    EXPECT_TRUE(loaded == qt);
  }

  fs::path dir_ = fs::path(::testing::TempDir()) / "direct_decode";
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
};

TEST_F(DirectDecodeTest, JpegFormsMatchQtOrAreLeftToIt) {
  const JpegForm forms[] = {
      {"420", 3, 2, 2, false, 0, 0, true},        {"422", 3, 2, 1, false, 0, 0, true},
      {"444", 3, 1, 1, false, 0, 0, true},        {"grey", 1, 1, 1, false, 0, 0, true},
      {"progressive", 3, 2, 2, true, 0, 0, true}, {"restarts", 3, 2, 2, false, 1, 0, true},
      {"exif1", 3, 2, 2, false, 0, 1, true},      {"exif6", 3, 2, 2, false, 0, 6, false},
      {"exif3", 1, 1, 1, true, 0, 3, false},      {"stored_rgb", 3, 1, 1, false, 0, 0, true},
  };
  const int sizes[][2] = {{1, 1}, {37, 23}, {257, 9}, {64, 48}};
  unsigned seed = 1;
  for (const JpegForm& form : forms) {
    for (const auto& size : sizes) {
      const std::string name = std::string(form.name) + "_" + std::to_string(size[0]) + ".jpg";
      ExpectSameAsQt(Write(name, MakeJpeg(form, size[0], size[1], seed++)), form.expect_direct);
    }
  }
}

TEST_F(DirectDecodeTest, BmpFormsMatchQt) {
  struct Form {
    int width, height;
    bool top_down, v5;
    int gap;
  } forms[] = {{1, 1, false, false, 0}, {5, 3, false, false, 0}, {6, 4, true, false, 0},
               {33, 7, false, true, 0}, {7, 5, true, true, 0},   {9, 4, false, false, 12}};
  unsigned seed = 100;
  for (const Form& f : forms) {
    const std::string name = "b" + std::to_string(seed) + ".bmp";
    ExpectSameAsQt(Write(name, MakeBmp(f.width, f.height, f.top_down, f.v5, f.gap, seed++)), true);
  }
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
  std::vector<std::uint8_t> jpeg = MakeJpeg({"", 3, 2, 2, false, 0, 0, true}, 64, 48, 7);
  std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
  std::vector<std::uint8_t> garbled = jpeg;
  for (std::size_t i = garbled.size() / 2; i < garbled.size() / 2 + 40; ++i) garbled[i] = 0x55;
  const std::vector<std::uint8_t> whole_bmp = MakeBmp(9, 9, false, false, 0, 3);
  const std::vector<std::uint8_t> bmp(whole_bmp.begin(), whole_bmp.end() - 5);  // rows cut short
  for (const auto& [name, bytes] : {std::pair{"cut.jpg", cut}, std::pair{"garbled.jpg", garbled},
                                    std::pair{"short.bmp", bmp}}) {
    const std::string path = Write(name, bytes);
    const int fd = open(path.c_str(), O_RDONLY);
    const long long size = static_cast<long long>(bytes.size());
    Surface untouched("Pic1", 2, 2, 0), by_qt;
    EXPECT_FALSE(DecodeDirect(fd, size, &untouched)) << name;
    EXPECT_EQ(untouched.width(), 2);
    const DecodeResult qt = DecodeWithQt(path, fd, size, &by_qt);
    close(fd);
    Surface loaded;
    const DecodeResult result = DecodePictureFile(path, &loaded);
    EXPECT_EQ(result.ok, qt.ok) << name;
    EXPECT_EQ(result.message, qt.message);
    EXPECT_TRUE(loaded == by_qt) << name;
  }
  // The cut JPEG and the short BMP are refused, naming the file.
  Surface loaded;
  EXPECT_EQ(DecodePictureFile((dir_ / "cut.jpg").string(), &loaded)
                .message.rfind((dir_ / "cut.jpg").string() + ": truncated JPEG", 0),
            0u);
}

}  // namespace
}  // namespace tvcpix
