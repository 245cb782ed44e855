// Tests of the method catalogue: captions and parsing of method names.
#include "dither/method.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>

namespace tvcpix {
namespace {

constexpr const char* kCaptions[18] = {
    nullptr,        "Atkinson",  "Floyd",     "Treshold",    "Treshold+Noise", "Halftone 2x2",
    "Halftone 3x3", "Bayer 2x2", "Bayer 4x4", "Bayer 8x8",   "News 4x4",       "Sierra",
    "Burkles",      "Stucky",    "Jarvis",    "Sierra Lite", "Sierra2 Row",    "Pattern TVC"};

class MethodCatalogueTest : public ::testing::TestWithParam<int> {};

TEST_P(MethodCatalogueTest, NumberCaptionAndFoldedCaptionAllName) {
  const int index = GetParam();
  const DitherMethod method = static_cast<DitherMethod>(index);
  const std::string caption = kCaptions[index];
  EXPECT_EQ(std::string(MethodCaption(method)), caption);
  EXPECT_EQ(ParseMethod(std::to_string(index)), method);
  EXPECT_EQ(ParseMethod(caption), method);

  std::string upper, folded;
  for (char c : caption) {
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c != ' ' && c != '+')
      folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_EQ(ParseMethod(upper), method) << upper;
  EXPECT_EQ(ParseMethod(folded), method) << folded;
  EXPECT_EQ(ParseMethod(" " + folded + " "), method);
}

INSTANTIATE_TEST_SUITE_P(AllSeventeen, MethodCatalogueTest, ::testing::Range(1, 18));

TEST(ParseMethodTest, SpacesAndPlusAreIgnored) {
  EXPECT_EQ(ParseMethod("Treshold + Noise"), DitherMethod::kTresholdNoise);
  EXPECT_EQ(ParseMethod("tresholdnoise"), DitherMethod::kTresholdNoise);
  EXPECT_EQ(ParseMethod("treshold+"), DitherMethod::kTreshold);
  EXPECT_EQ(ParseMethod("SierraLite"), DitherMethod::kSierraLite);
  EXPECT_EQ(ParseMethod("sierra 2 row"), DitherMethod::kSierra2Row);
  EXPECT_EQ(ParseMethod("patterntvc"), DitherMethod::kPatternTvc);
  EXPECT_EQ(ParseMethod("bayer4x4"), DitherMethod::kBayer4x4);
  EXPECT_EQ(ParseMethod("BAYER 8X8"), DitherMethod::kBayer8x8);
  EXPECT_EQ(ParseMethod("news4x4"), DitherMethod::kNews4x4);
}

TEST(ParseMethodTest, UsualSpellingsOfTheMisspeltCaptions) {
  EXPECT_EQ(ParseMethod("threshold"), DitherMethod::kTreshold);
  EXPECT_EQ(ParseMethod("Threshold"), DitherMethod::kTreshold);
  EXPECT_EQ(ParseMethod("threshold+noise"), DitherMethod::kTresholdNoise);
  EXPECT_EQ(ParseMethod("burkes"), DitherMethod::kBurkles);
  EXPECT_EQ(ParseMethod("Burkes"), DitherMethod::kBurkles);
  EXPECT_EQ(ParseMethod("stucki"), DitherMethod::kStucky);
  EXPECT_EQ(ParseMethod("STUCKI"), DitherMethod::kStucky);
}

TEST(ParseMethodTest, EverythingElseIsRefused) {
  for (const char* text : {"", " ", "+", "0", "18", "99", "-1", "1.5", "x", "floy", "floyds",
                           "bayer", "bayer 16x16", "halftone", "sierra3"}) {
    EXPECT_EQ(ParseMethod(text), std::nullopt) << "'" << text << "'";
  }
}

TEST(MethodCaptionTest, OutsideTheCatalogueIsEmpty) {
  EXPECT_STREQ(MethodCaption(static_cast<DitherMethod>(0)), "");
  EXPECT_STREQ(MethodCaption(static_cast<DitherMethod>(18)), "");
}

}  // namespace
}  // namespace tvcpix
