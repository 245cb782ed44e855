// Round trip of every mode and method: convert, save, read the screen files back, and find
// exactly the colours of the palette entries the writer matched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "core/color.h"
#include "core/mode.h"
#include "core/model.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"
#include "output/screen_decode.h"
#include "output/screen_file.h"
#include "ui/picture_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

// Swatch sets for the 2- and 4-colour modes, as indices of the 16-colour table.
enum class Swatches { kStart, kDarkTvc, kOffTable };

const Surface& SamplePicture() {
  static const Surface picture = [] {
    Surface s;
    const DecodeResult r =
        DecodePictureFile(std::string(TVCPIX_SAMPLES_DIR) + "/parrot_495x498.jpg", &s);
    EXPECT_TRUE(r.ok) << r.message;
    return s;
  }();
  return picture;
}

void ApplySwatches(Swatches swatches, Model& model) {
  switch (swatches) {
    case Swatches::kStart:
      return;  // black, white, blue, red and black, white
    case Swatches::kDarkTvc:
      for (int i = 0; i < 4; ++i) model.SetSwatch4(i, ColorFromEntry(Tvc16Color((i * 5 + 2) % 8)));
      for (int i = 0; i < 2; ++i) model.SetSwatch2(i, ColorFromEntry(Tvc16Color(3 + 9 * i)));
      return;
    case Swatches::kOffTable:
      // Not TVC colours: the screen shows the colours of their codes, not these.
      model.SetSwatch4(0, MakeColor(20, 40, 60));
      model.SetSwatch4(1, MakeColor(200, 255, 0));
      model.SetSwatch4(2, MakeColor(90, 10, 250));
      model.SetSwatch4(3, MakeColor(240, 240, 240));
      model.SetSwatch2(0, MakeColor(30, 30, 30));
      model.SetSwatch2(1, MakeColor(255, 128, 0));
      return;
  }
}

using Case = std::tuple<TvcMode, int, Swatches>;

class RoundTripTest : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tvcpix_roundtrip_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(RoundTripTest, ScreenShowsTheMatchedEntries) {
  const auto [mode, method_number, swatches] = GetParam();
  Model model;
  model.SetMode(mode);
  model.SetMethod(static_cast<DitherMethod>(method_number));
  ApplySwatches(swatches, model);
  model.LoadSourcePicture(Surface(SamplePicture()));
  const std::string base = (dir_ / "shot").string();
  const SaveResult saved = model.SaveAs(base);
  ASSERT_TRUE(saved.ok) << saved.message;

  DecodedScreen tim;
  const ScreenDecodeResult tim_read = ReadScreenFile(base + ".tim", mode, {}, &tim);
  ASSERT_TRUE(tim_read.ok) << tim_read.message;
  ASSERT_EQ(tim.mode, mode);
  DecodedScreen bin;
  const ScreenDecodeResult bin_read = ReadScreenFile(base + ".bin", mode, tim.codes, &bin);
  ASSERT_TRUE(bin_read.ok) << bin_read.message;
  EXPECT_TRUE(bin.screen == tim.screen);

  const Surface& preview = model.preview(mode);
  const Palette& palette = model.palette();
  const int colours = mode == TvcMode::kGraphics16 ? 0 : InfoOf(mode).colours;
  for (int i = 0; i < colours; ++i) {
    EXPECT_EQ(tim.codes[static_cast<std::size_t>(i)], TvcColorCode(palette[i])) << "code " << i;
  }

  ASSERT_EQ(tim.screen.width(), preview.width());
  int mismatches = 0;
  for (int y = 0; y < 240; ++y) {
    const std::uint8_t* p = preview.row(y);
    for (int x = 0; x < preview.width(); ++x, p += 3) {
      const int index = NearestIndex(palette, p[2], p[1], p[0]);
      const std::uint8_t code = mode == TvcMode::kGraphics16
                                    ? TvcColorCode(palette[index])
                                    : tim.codes[static_cast<std::size_t>(index & (colours - 1))];
      const ColorValue expected = ColorFromEntry(ColorOfCode(code));
      // Every preview pixel holds a palette colour, so the screen shows the code of the
      // preview's own colour: what the preview shows, in the TVC's levels.
      const ColorValue shown =
          ColorFromEntry(ColorOfCode(TvcColorCode(EntryFromColor(MakeColor(p[2], p[1], p[0])))));
      const ColorValue got = PixelAt(tim.screen, x, y);
      if ((got != expected || got != shown) && ++mismatches <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": screen " << std::hex << got
                      << ", matched entry " << expected << ", preview's code " << shown;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);

  // The enlarged screen is the result view, colour for colour in the TVC's levels.
  const Surface view = EnlargeScreen(tim.screen);
  const Surface& pic2 = model.pic2();
  ASSERT_EQ(pic2.width(), view.width());
  mismatches = 0;
  for (int y = 0; y < view.height(); ++y) {
    const std::uint8_t* p = pic2.row(y);
    for (int x = 0; x < view.width(); ++x, p += 3) {
      const ColorValue shown =
          ColorFromEntry(ColorOfCode(TvcColorCode(EntryFromColor(MakeColor(p[2], p[1], p[0])))));
      if (PixelAt(view, x, y) != shown) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  const auto [mode, method, swatches] = info.param;
  static constexpr const char* kSwatchNames[] = {"", "_DarkSwatches", "_OffTableSwatches"};
  return "G" + std::to_string(InfoOf(mode).colours) + "_M" + std::to_string(method) +
         kSwatchNames[static_cast<int>(swatches)];
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndMethod, RoundTripTest,
                         testing::Combine(testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                                          TvcMode::kGraphics16),
                                          testing::Range(1, kMethodCount + 1),
                                          testing::Values(Swatches::kStart)),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(OtherSwatches, RoundTripTest,
                         testing::Combine(testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4),
                                          testing::Values(2, 8, 17),
                                          testing::Values(Swatches::kDarkTvc, Swatches::kOffTable)),
                         CaseName);

}  // namespace
}  // namespace tvcpix
