// The three TVC graphics modes and what each fixes.
#ifndef TVCPIX_CORE_MODE_H_
#define TVCPIX_CORE_MODE_H_

namespace tvcpix {

enum class TvcMode { kGraphics2 = 0, kGraphics4 = 1, kGraphics16 = 2 };

struct ModeInfo {
  const char* caption;
  int preview_width;
  int preview_height;
  int colours;         // palette entries of the mode (120 for "Pattern TVC" in Graphics 16)
  int pixels_per_byte;
  int mode_byte;       // the ".tim" header's mode byte
  int palette_codes;   // palette registers the mode shows through (16 colours use none)
};

constexpr ModeInfo kModeInfo[3] = {
    {"Graphics 2", 512, 240, 2, 8, 0, 2},
    {"Graphics 4", 256, 240, 4, 4, 1, 4},
    {"Graphics 16", 128, 240, 16, 2, 2, 0},
};

constexpr const ModeInfo& InfoOf(TvcMode mode) { return kModeInfo[static_cast<int>(mode)]; }

}  // namespace tvcpix

#endif  // TVCPIX_CORE_MODE_H_
