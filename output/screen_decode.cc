// Reading ".tim" and ".bin" screen files back into pictures, as the TVC would show them.
#include "output/screen_decode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tvcpix {

namespace {

std::string Hex(int value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  text += kDigits[(value >> 4) & 0xF];
  text += kDigits[value & 0xF];
  return text;
}

Result Fail(std::string message) { return Result::Failure(std::move(message)); }

void PutColor(std::uint8_t* p, const PaletteEntry& e) {
  p[0] = e.blue;
  p[1] = e.green;
  p[2] = e.red;
}

}  // namespace

PaletteEntry ColorOfCode(std::uint8_t code) {
  const std::uint8_t level = (code & kCodeIntensity) != 0 ? kBrightLevel : kDarkLevel;
  PaletteEntry e;
  e.green = (code & kCodeGreen) != 0 ? level : 0;
  e.red = (code & kCodeRed) != 0 ? level : 0;
  e.blue = (code & kCodeBlue) != 0 ? level : 0;
  return e;
}

Surface DecodeScreenImage(const std::uint8_t* image, TvcMode mode, const PaletteCodes& codes) {
  const ModeInfo& info = InfoOf(mode);
  Surface screen("Screen", info.preview_width, kScreenRows, MakeColor(0, 0, 0));

  // The colour of each index (2 and 4 colours) or of each colour code (16 colours).
  std::array<PaletteEntry, 128> colors{};
  if (mode == TvcMode::kGraphics16) {
    for (int code = 0; code < 128; ++code)
      colors[static_cast<std::size_t>(code)] = ColorOfCode(static_cast<std::uint8_t>(code));
  } else {
    for (int i = 0; i < InfoOf(mode).palette_codes; ++i)
      colors[static_cast<std::size_t>(i)] = ColorOfCode(codes[static_cast<std::size_t>(i)]);
  }

  for (int y = 0; y < kScreenRows; ++y) {
    const std::uint8_t* in = image + static_cast<std::size_t>(y) * kScreenRowBytes;
    std::uint8_t* out = screen.row(y);
    switch (mode) {
      case TvcMode::kGraphics16:
        // Bits 7..0 are I, I, G, G, R, R, B, B of the left and the right pixel in turn.
        for (int b = 0; b < kScreenRowBytes; ++b, out += 6) {
          PutColor(out, colors[(in[b] >> 1) & 0x55]);
          PutColor(out + 3, colors[in[b] & 0x55]);
        }
        break;
      case TvcMode::kGraphics4:
        // Low index bits in the high nibble, high bits in the low nibble, leftmost pixel first.
        for (int b = 0; b < kScreenRowBytes; ++b) {
          for (int j = 0; j < 4; ++j, out += 3) {
            const int index = ((in[b] >> (7 - j)) & 1) | (((in[b] >> (3 - j)) & 1) << 1);
            PutColor(out, colors[static_cast<std::size_t>(index)]);
          }
        }
        break;
      case TvcMode::kGraphics2:
        for (int b = 0; b < kScreenRowBytes; ++b) {
          for (int j = 0; j < 8; ++j, out += 3) {
            PutColor(out, colors[static_cast<std::size_t>((in[b] >> (7 - j)) & 1)]);
          }
        }
        break;
    }
  }
  return screen;
}

Surface EnlargeScreen(const Surface& screen) {
  Surface view("Pic1", kViewWidth, kViewHeight, MakeColor(0, 0, 0));
  if (screen.width() <= 0 || screen.height() <= 0) return view;
  const int sx = kViewWidth / screen.width();
  const int sy = kViewHeight / screen.height();
  const int width = screen.width() * sx;
  for (int y = 0; y < screen.height(); ++y) {
    const std::uint8_t* in = screen.row(y);
    std::uint8_t* out = view.row(y * sy);
    for (int x = 0; x < screen.width(); ++x, in += 3) {
      for (int k = 0; k < sx; ++k, out += 3) std::memcpy(out, in, 3);
    }
    for (int k = 1; k < sy; ++k)
      std::memcpy(view.row(y * sy + k), view.row(y * sy), static_cast<std::size_t>(width) * 3);
  }
  return view;
}

Result DecodeTim(const std::uint8_t* data, std::size_t size, DecodedScreen* out) {
  if (size != static_cast<std::size_t>(kTimFileBytes)) {
    return Fail("not a .tim screen: it has " + std::to_string(size) + " bytes, a .tim has " +
                std::to_string(kTimFileBytes));
  }
  if (data[0] != 'T' || data[1] != 'I' || data[2] != 'M') {
    return Fail("not a .tim screen: it does not start with \"TIM\"");
  }
  TvcMode mode;
  switch (data[3]) {
    case 0:
      mode = TvcMode::kGraphics2;
      break;
    case 1:
      mode = TvcMode::kGraphics4;
      break;
    case 2:
      mode = TvcMode::kGraphics16;
      break;
    default:
      return Fail("bad mode byte " + std::to_string(data[3]) +
                  " in the .tim header (0, 1 or 2 for 2, 4 or 16 colours)");
  }
  PaletteCodes codes{};
  for (int i = 0; i < InfoOf(mode).palette_codes; ++i) {
    const std::uint8_t code = data[4 + i];
    if (!IsTvcColorCode(code)) {
      return Fail("bad palette code " + Hex(code) + " at header byte " + std::to_string(4 + i) +
                  " (only bits 6, 4, 2 and 0 may be set)");
    }
    codes[static_cast<std::size_t>(i)] = code;
  }
  // The bytes after the codes the mode uses are reserved; they are not read.
  out->mode = mode;
  out->codes = codes;
  out->screen = DecodeScreenImage(data + kTimHeaderBytes, mode, codes);
  out->image.assign(data + kTimHeaderBytes, data + kTimFileBytes);
  return {};
}

Result DecodeBin(const std::uint8_t* data, std::size_t size, TvcMode mode,
                 const PaletteCodes& codes, DecodedScreen* out) {
  if (size != static_cast<std::size_t>(kScreenBytes)) {
    std::string message = "not a .bin screen: it has " + std::to_string(size) +
                          " bytes, a .bin has " + std::to_string(kScreenBytes);
    if (size == static_cast<std::size_t>(kTimFileBytes)) message += " (is it a .tim file?)";
    return Fail(message);
  }
  for (int i = 0; i < InfoOf(mode).palette_codes; ++i) {
    if (!IsTvcColorCode(codes[static_cast<std::size_t>(i)])) {
      return Fail("bad palette code " + Hex(codes[static_cast<std::size_t>(i)]) +
                  " (only bits 6, 4, 2 and 0 may be set)");
    }
  }
  out->mode = mode;
  out->codes = PaletteCodes{};
  for (int i = 0; i < InfoOf(mode).palette_codes; ++i)
    out->codes[static_cast<std::size_t>(i)] = codes[static_cast<std::size_t>(i)];
  out->screen = DecodeScreenImage(data, mode, out->codes);
  out->image.assign(data, data + kScreenBytes);
  return {};
}

bool IsTimName(const std::string& path) {
  if (path.size() < 4) return false;
  const std::string ext = path.substr(path.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 't' && (ext[2] | 0x20) == 'i' &&
         (ext[3] | 0x20) == 'm';
}

Result ReadScreenFile(const std::string& path, TvcMode bin_mode, const PaletteCodes& bin_codes,
                      DecodedScreen* out) {
  auto fail = [&path](const std::string& reason) { return Fail(path + ": " + reason); };
  // Non-blocking, so a FIFO named like a screen cannot hang the open; it is refused below.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(std::strerror(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int err = errno;
    close(fd);
    return fail(std::strerror(err));
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return fail("not a regular file");
  }
  // Reading one byte more than a .tim shows a file that is too large without reading all of it.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kTimFileBytes) + 1);
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      close(fd);
      return fail(std::strerror(err));
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  // The size in the message is the file's, not the part read.
  const std::size_t size =
      got < bytes.size() ? got : static_cast<std::size_t>(std::max<off_t>(st.st_size, 0));
  if (got == bytes.size() && size <= static_cast<std::size_t>(kTimFileBytes)) {
    return fail("the file grew while it was read");
  }

  Result result = IsTimName(path) ? DecodeTim(bytes.data(), size, out)
                                  : DecodeBin(bytes.data(), size, bin_mode, bin_codes, out);
  if (!result.ok) result.message = path + ": " + result.message;
  return result;
}

}  // namespace tvcpix
