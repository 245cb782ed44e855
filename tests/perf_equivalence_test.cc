// The fast paths against the plain definitions they replace: scaling, the colour count and the
// nearest-colour matchers kept between passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/nearest_cache.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

// Random pixels, with runs of one colour and repeated rows mixed in when `runs` is set, so
// that the shortcuts of the colour count are taken as well as missed.
Surface RandomSurface(int width, int height, std::mt19937& rng, bool runs = false) {
  Surface s("test", width, height, MakeColor(9, 8, 7));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = s.row(y);
    if (runs && y > 0 && rng() % 3 == 0) {
      std::copy_n(s.row(y - 1), s.stride(), row);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const bool repeat = runs && x > 0 && rng() % 2 == 0;
      for (int c = 0; c < 3; ++c) {
        row[3 * x + c] = repeat ? row[3 * (x - 1) + c] : static_cast<std::uint8_t>(rng());
      }
    }
  }
  return s;
}

// Area average from the definition: destination pixel (dx, dy) covers [dx*sw, (dx+1)*sw) x
// [dy*sh, (dy+1)*sh) in units where a source pixel is width x height; the mean is the covered
// sum over sw*sh units, rounded halves up.
std::vector<std::uint8_t> ReferenceAverage(const Surface& src, int width, int height) {
  const std::int64_t sw = src.width(), sh = src.height();
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 3);
  const auto overlap = [](std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
    return std::max<std::int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
  };
  for (int dy = 0; dy < height; ++dy) {
    for (int dx = 0; dx < width; ++dx) {
      std::uint64_t sum[3] = {0, 0, 0};
      // Only the source rows and columns that can overlap are visited.
      for (std::int64_t sy = dy * sh / height; sy < sh && sy * height < (dy + 1) * sh; ++sy) {
        const std::int64_t wy = overlap(dy * sh, (dy + 1) * sh, sy * height, (sy + 1) * height);
        if (wy == 0) continue;
        for (std::int64_t sx = dx * sw / width; sx < sw && sx * width < (dx + 1) * sw; ++sx) {
          const std::int64_t wx = overlap(dx * sw, (dx + 1) * sw, sx * width, (sx + 1) * width);
          if (wx == 0) continue;
          const std::uint8_t* p = src.row(static_cast<int>(sy)) + 3 * sx;
          for (int c = 0; c < 3; ++c) sum[c] += static_cast<std::uint64_t>(p[c] * wx * wy);
        }
      }
      const std::uint64_t total = static_cast<std::uint64_t>(sw * sh);
      for (int c = 0; c < 3; ++c)
        out[(static_cast<std::size_t>(dy) * width + dx) * 3 + c] =
            static_cast<std::uint8_t>((sum[c] + total / 2) / total);
    }
  }
  return out;
}

std::vector<std::uint8_t> ReferenceReplicate(const Surface& src, int width, int height) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int sx = static_cast<int>(static_cast<std::int64_t>(x) * src.width() / width);
      const int sy = static_cast<int>(static_cast<std::int64_t>(y) * src.height() / height);
      for (int c = 0; c < 3; ++c)
        out[(static_cast<std::size_t>(y) * width + x) * 3 + c] = src.row(sy)[3 * sx + c];
    }
  }
  return out;
}

// The destination after scaling: the reference inside the clipped rectangle, the old pixels
// elsewhere.
void ExpectScaled(const Surface& before, const Surface& after,
                  const std::vector<std::uint8_t>& want, int width, int height) {
  for (int y = 0; y < after.height(); ++y) {
    for (int x = 0; x < after.width(); ++x) {
      const bool inside = x < width && y < height;
      for (int c = 0; c < 3; ++c) {
        const int expected = inside ? want[(static_cast<std::size_t>(y) * width + x) * 3 + c]
                                    : before.row(y)[3 * x + c];
        ASSERT_EQ(after.row(y)[3 * x + c], expected)
            << "pixel " << x << "," << y << " channel " << c << " of " << width << "x" << height;
      }
    }
  }
}

struct ScaleCase {
  const char* name;
  bool whole;  // whole-number reduction ratios, the block-mean path
  int smooth;
};

class ScaleEquivalenceTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleEquivalenceTest, RandomSizesMatchTheDefinition) {
  const ScaleCase c = GetParam();
  std::mt19937 rng(c.smooth * 31 + (c.whole ? 7 : 3));
  for (int round = 0; round < 60; ++round) {
    int sw, sh, width, height;
    if (c.whole) {
      width = 1 + static_cast<int>(rng() % 9);
      height = 1 + static_cast<int>(rng() % 9);
      sw = width * (1 + static_cast<int>(rng() % 6));
      sh = height * (1 + static_cast<int>(rng() % 6));
      if (sw == width && sh == height) sw *= 2;
    } else {
      sw = 1 + static_cast<int>(rng() % 23);
      sh = 1 + static_cast<int>(rng() % 23);
      width = 1 + static_cast<int>(rng() % 23);
      height = 1 + static_cast<int>(rng() % 23);
    }
    const Surface src = RandomSurface(sw, sh, rng);
    // Destinations smaller than, equal to and larger than the rectangle.
    const int dw = std::max(1, width + static_cast<int>(rng() % 5) - 2);
    const int dh = std::max(1, height + static_cast<int>(rng() % 5) - 2);
    const Surface before = RandomSurface(dw, dh, rng);
    Surface dest = before;
    ScaleSurface(dest, src, width, height, c.smooth);
    const bool same = width == sw && height == sh;
    const std::vector<std::uint8_t> want =
        same            ? std::vector<std::uint8_t>(src.data(), src.data() + src.size_bytes())
        : c.smooth == 1 ? ReferenceAverage(src, width, height)
                        : ReferenceReplicate(src, width, height);
    ExpectScaled(before, dest, want, width, height);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ScaleEquivalenceTest,
                         ::testing::Values(ScaleCase{"BlockMeans", true, 1},
                                           ScaleCase{"AreaAverage", false, 1},
                                           ScaleCase{"WholeEnlargement", true, 0},
                                           ScaleCase{"AnyReplication", false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScaleEquivalenceTest, PreviewBlocksOfAPhotoSizedPicture) {
  std::mt19937 rng(5);
  const Surface work = RandomSurface(512, 480, rng);
  for (const auto& [w, h] : {std::pair{512, 240}, std::pair{256, 240}, std::pair{128, 240}}) {
    Surface preview("preview", w, h, 0);
    ScaleSurface(preview, work, w, h, 1);
    ExpectScaled(preview, preview, ReferenceAverage(work, w, h), w, h);
    Surface view("view", 512, 480, 0);
    ScaleSurface(view, preview, 512, 480, 0);
    ExpectScaled(view, view, ReferenceReplicate(preview, 512, 480), 512, 480);
  }
}

TEST(ScaleEquivalenceTest, OntoItselfAtAnotherSizeReadsTheOriginal) {
  std::mt19937 rng(8);
  Surface s = RandomSurface(40, 30, rng);
  const Surface original = s;
  ScaleSurface(s, s, 20, 15, 1);
  ExpectScaled(original, s, ReferenceAverage(original, 20, 15), 20, 15);
  s = original;
  ScaleSurface(s, s, 80, 60, 0);
  ExpectScaled(original, s, ReferenceReplicate(original, 80, 60), 80, 60);
}

int ReferenceCount(const Surface& s) {
  std::unordered_set<std::uint32_t> seen;
  for (std::size_t i = 0; i < s.size_bytes(); i += 3)
    seen.insert(s.data()[i] | (s.data()[i + 1] << 8) | (s.data()[i + 2] << 16));
  return static_cast<int>(seen.size());
}

TEST(CountColorsEquivalenceTest, RunsRepeatedRowsAndBackToBackCounts) {
  std::mt19937 rng(21);
  // One after another, so a count that left marks behind would spoil the next one; the one
  // over a million pixels takes the photograph path, which does not skip runs.
  for (const auto& [w, h] :
       {std::pair{1, 1}, std::pair{1, 9}, std::pair{2, 2}, std::pair{7, 3}, std::pair{64, 48},
        std::pair{512, 480}, std::pair{1100, 1000}, std::pair{3, 1}}) {
    for (const bool runs : {false, true}) {
      const Surface s = RandomSurface(w, h, rng, runs);
      EXPECT_EQ(CountColors(s), ReferenceCount(s)) << w << "x" << h << (runs ? " runs" : "");
    }
  }
  Surface grey("grey", 33, 5, MakeColor(1, 1, 1));
  EXPECT_EQ(CountColors(grey), 1);
}

PaletteEntry Entry(int r, int g, int b) {
  return PaletteEntry{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                      static_cast<std::uint8_t>(r), 0};
}

void RandomPalette(Palette& palette, int n, std::mt19937& rng) {
  palette.Resize(n);
  for (int i = 0; i < n; ++i)
    palette.Set(i, Entry(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                         static_cast<int>(rng() % 256)));
}

// Each matcher answer against the plain search, for random colours and every palette colour.
void ExpectMatches(const Palette& palette, const PatternFlags* flags, std::mt19937& rng) {
  NearestMatcher& m = SharedMatcher(palette, flags);
  for (int k = 0; k < 3000; ++k) {
    const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256),
              b = static_cast<int>(rng() % 256);
    const int want = flags != nullptr ? NearestIndexUnmarked(palette, *flags, r, g, b)
                                      : NearestIndex(palette, r, g, b);
    ASSERT_EQ(m.Index(r, g, b), want) << r << "," << g << "," << b << " of " << palette.size();
  }
  for (int i = 0; i < palette.size(); ++i) {
    const PaletteEntry& e = palette[i];
    const int want = flags != nullptr
                         ? NearestIndexUnmarked(palette, *flags, e.red, e.green, e.blue)
                         : NearestIndex(palette, e.red, e.green, e.blue);
    ASSERT_EQ(m.Index(e.red, e.green, e.blue), want);
  }
}

TEST(SharedMatcherTest, PalettesAndFlagsChangingBetweenPassesNeverGiveAStaleAnswer) {
  std::mt19937 rng(77);
  Palette two, four, sixteen, patterns;
  RandomPalette(two, 2, rng);
  RandomPalette(four, 4, rng);
  BuildPalette16(sixteen);
  RandomPalette(patterns, kPatternCount, rng);
  PatternFlags flags;
  // More palettes in turn than the matchers kept, back and forth, with the flags and single
  // entries changing in between: every pass must see its own palette.
  for (int round = 0; round < 6; ++round) {
    ExpectMatches(two, nullptr, rng);
    ExpectMatches(sixteen, nullptr, rng);
    ExpectMatches(patterns, &flags, rng);
    ExpectMatches(patterns, nullptr, rng);  // no flags: nothing skipped
    ExpectMatches(four, nullptr, rng);
    ExpectMatches(patterns, &flags, rng);
    for (int k = 0; k < 40; ++k) flags.excluded[rng() % kPatternCount] ^= 1;
    four.Set(static_cast<int>(rng() % 4), Entry(static_cast<int>(rng() % 256), 0, 0));
    patterns.Set(static_cast<int>(rng() % kPatternCount),
                 Entry(0, static_cast<int>(rng() % 256), 0));
    if (HasFatalFailure()) return;
  }
  flags.excluded.fill(1);
  ExpectMatches(patterns, &flags, rng);  // all skipped: index 0
  Palette empty;
  EXPECT_EQ(SharedMatcher(empty, nullptr).Index(10, 20, 30), 0);
}

}  // namespace
}  // namespace tvcpix
