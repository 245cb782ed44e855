// What the TVC itself fixes: the screen memory's geometry, the colour-code bits of its palette
// registers and the levels its colours show at.
#ifndef TVCPIX_CORE_TVC_H_
#define TVCPIX_CORE_TVC_H_

#include <cstdint>

namespace tvcpix {

// Screen memory: 16 KB, 64 bytes a row, of which the first 240 rows are shown.
constexpr int kScreenBytes = 16384;
constexpr int kScreenRowBytes = 64;
constexpr int kScreenRows = 240;
// The work picture and the result view stand for the whole screen at 512 x 480.
constexpr int kViewWidth = 512;
constexpr int kViewHeight = 480;

// A colour code (palette register value, ".tim" header byte): intensity, green, red, blue.
constexpr std::uint8_t kCodeIntensity = 0x40;
constexpr std::uint8_t kCodeGreen = 0x10;
constexpr std::uint8_t kCodeRed = 0x04;
constexpr std::uint8_t kCodeBlue = 0x01;
// A byte is a colour code when it holds no other bits.
constexpr bool IsTvcColorCode(std::uint8_t code) { return (code & 0xAA) == 0; }

// An index 0..15 of the 16-colour table: bit 0 blue, bit 1 red, bit 2 green, bit 3 bright.
constexpr int kIndexBlue = 1;
constexpr int kIndexRed = 2;
constexpr int kIndexGreen = 4;
constexpr int kIndexBright = 8;

// A set colour bit shows at 255 with intensity, at 145 without.
constexpr std::uint8_t kBrightLevel = 255;
constexpr std::uint8_t kDarkLevel = 145;
// The pattern chart's dark colours were drawn at 147, not the machine's 145; the patterns
// match against the chart, so its level is kept as it is.
constexpr std::uint8_t kChartDarkLevel = 147;

}  // namespace tvcpix

#endif  // TVCPIX_CORE_TVC_H_
