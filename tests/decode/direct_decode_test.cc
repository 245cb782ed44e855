// The direct JPEG/BMP decoders give exactly Qt's pixels, and leave every other form to Qt.
#include "decode/direct_decode.h"

#include <fcntl.h>
#include <jpeglib.h>

#include <cstdio>

#include "tests/decode/picture_bytes.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

struct JpegForm {
  const char* name;
  int components, h_sampling, v_sampling;  // of the first component: 2 2 = 4:2:0, 2 1 = 4:2:2
  bool progressive;
  int restart_rows, exif_orientation;  // 0: no EXIF block
  bool expect_direct;
};

// A noisy picture (edges everywhere, so every rounding step shows) written with libjpeg.
Bytes MakeJpeg(const JpegForm& form, int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bytes pixels(static_cast<std::size_t>(width) * height * form.components);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint8_t>((i * 7 + random() % 64) & 0xFF);
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
  if (form.exif_orientation != 0) {  // the segment's data, after its marker and length
    const Bytes exif = test::Exif(form.exif_orientation);
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data() + 4, static_cast<unsigned>(exif.size() - 4));
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = pixels.data() + std::size_t{info.next_scanline} * width * form.components;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  Bytes bytes(out, out + out_size);
  jpeg_destroy_compress(&info);
  std::free(out);
  return bytes;
}

// A 24-bit BMP of random pixels; `gap` extra bytes between the headers and the pixels.
Bytes MakeBmp(int width, int height, bool top_down, bool v5, int gap, unsigned seed) {
  std::mt19937 random(seed);
  test::Bmp b;
  b.header = v5 ? 124 : 40, b.width = width, b.height = top_down ? -height : height, b.gap = gap;
  b.pixels.resize((static_cast<std::size_t>(width) * 3 + 3) / 4 * 4 * height);
  for (std::uint8_t& byte : b.pixels) byte = static_cast<std::uint8_t>(random());
  return test::BuildBmp(b);
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
INSTANTIATE_TEST_SUITE_P(Forms, JpegFormTest,
    testing::Values(JpegForm{"420", 3, 2, 2, false, 0, 0, true},
    JpegForm{"422", 3, 2, 1, false, 0, 0, true},
                    JpegForm{"444", 3, 1, 1, false, 0, 0, true},
                    JpegForm{"grey", 1, 1, 1, false, 0, 0, true},
                    JpegForm{"progressive", 3, 2, 2, true, 0, 0, true},
                    JpegForm{"restarts", 3, 2, 2, false, 1, 0, true},
                    JpegForm{"exif1", 3, 2, 2, false, 0, 1, true},
                    JpegForm{"exif6", 3, 2, 2, false, 0, 6, false},
                    JpegForm{"exif3", 1, 1, 1, true, 0, 3, false},
                    JpegForm{"stored_rgb", 3, 1, 1, false, 0, 0, true}),
    [](const testing::TestParamInfo<JpegForm>& info) {
      return "Jpeg_" + std::string(info.param.name);
    });
// clang-format on

struct BmpForm {
  const char* name;
  int width, height;
  bool top_down, v5;
  int gap;  // bytes between the headers and the pixels
};

class BmpFormTest : public DirectDecodeTest, public testing::WithParamInterface<BmpForm> {};

TEST_P(BmpFormTest, MatchesQt) {
  const auto [name, w, h, down, v5, gap] = GetParam();
  ExpectSameAsQt(Write(std::string(name) + ".bmp", MakeBmp(w, h, down, v5, gap, w)), true);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Forms, BmpFormTest,
    testing::Values(BmpForm{"OnePixel", 1, 1, false, false, 0},
    BmpForm{"TopDown", 6, 4, true, false, 0},
                    BmpForm{"V5Header", 33, 7, false, true, 0},
                    BmpForm{"V5TopDown", 7, 5, true, true, 0},
                    BmpForm{"GapBeforePixels", 9, 4, false, false, 12}),
    [](const testing::TestParamInfo<BmpForm>& info) {
      return "Bmp_" + std::string(info.param.name);
    });
// clang-format on

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
  const std::string cut = Write("cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));
  EXPECT_EQ(ExpectSameAsQt(cut, false, false).rfind(cut + ": truncated JPEG", 0), 0u);
  ExpectSameAsQt(Write("garbled.jpg", garbled), false);  // Qt loads it, as a warning only
  ExpectSameAsQt(Write("short.bmp", Bytes(bmp.begin(), bmp.end() - 5)), false, false);  // rows cut
}

}  // namespace
}  // namespace tvcpix
