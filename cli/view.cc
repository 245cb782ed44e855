// "tvcpix-cli view": a .tim or .bin screen file decoded into a PNG picture.
#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "cli/extras.h"
#include "cli/options.h"
#include "core/palette.h"
#include "output/file_write.h"
#include "output/png.h"
#include "output/screen_decode.h"
#include "output/screen_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

struct ViewOptions {
  std::string file;
  std::string output;
  bool enlarged = false;
  std::optional<TvcMode> mode;
  std::optional<std::array<int, 4>> palette4;
  std::optional<std::array<int, 2>> palette2;
  bool quiet = false;
  bool help = false;
};

enum ViewOptionId : int {
  kViewOutput,
  kViewMode,
  kViewPalette4,
  kViewPalette2,
  kEnlarged,
  kViewQuiet,
  kViewHelp
};

// clang-format off
constexpr OptionSpec kViewSpecs[] = {
    {'o', "output", true, kViewOutput},
    {'m', "mode", true, kViewMode},
    {0, "palette4", true, kViewPalette4},
    {0, "palette2", true, kViewPalette2},
    {0, "enlarged", false, kEnlarged},
    {'q', "quiet", false, kViewQuiet},
    {'h', "help", false, kViewHelp},
};
// clang-format on

bool ApplyViewOption(const OptionSpec& spec, const std::string& value, ViewOptions* o,
                     std::string* error) {
  switch (spec.id) {
    case kViewOutput:
      if (value.empty()) {
        *error = "option -o needs a non-empty OUT.png";
        return false;
      }
      o->output = value;
      return true;
    case kViewMode: {
      TvcMode mode = TvcMode::kGraphics16;
      if (!ParseModeValue(value, &mode, error)) return false;
      o->mode = mode;
      return true;
    }
    case kViewPalette4: {
      std::array<int, 4> p{};
      if (!ParseIndices(value, &p)) {
        *error = InvalidPalette4(value);
        return false;
      }
      o->palette4 = p;
      return true;
    }
    case kViewPalette2: {
      std::array<int, 2> p{};
      if (!ParseIndices(value, &p)) {
        *error = InvalidPalette2(value);
        return false;
      }
      o->palette2 = p;
      return true;
    }
    case kEnlarged:
      o->enlarged = true;
      return true;
    case kViewQuiet:
      o->quiet = true;
      return true;
    case kViewHelp:
      o->help = true;
      return true;
  }
  return true;
}

bool ParseView(int argc, char** argv, ViewOptions* o, std::string* error) {
  const bool walked = WalkArguments(
      argc, argv, kViewSpecs,
      [o](const OptionSpec& spec, const std::string& value, std::string* why) {
        return ApplyViewOption(spec, value, o, why);
      },
      [o](const std::string& file, std::string* why) {
        if (!o->file.empty()) {
          *why = "view takes one FILE";
          return false;
        }
        o->file = file;
        return true;
      },
      error);
  if (!walked) return false;
  if (o->help) return true;
  if (o->file.empty()) {
    *error = "view needs a FILE (.tim or .bin)";
    return false;
  }
  if (o->output.empty()) {
    *error = "view needs -o OUT.png";
    return false;
  }
  if (IsTimName(o->file) && (o->mode || o->palette4 || o->palette2)) {
    *error = "--mode, --palette4 and --palette2 are for .bin files; a .tim names its own";
    return false;
  }
  return true;
}

// The codes of a .bin file's colours: the same defaults as a conversion's palettes.
PaletteCodes BinCodes(const ViewOptions& o, TvcMode mode) {
  PaletteCodes codes{};
  if (mode == TvcMode::kGraphics4) {
    const std::array<int, 4> p = o.palette4.value_or(kStartPalette4Indices);
    for (std::size_t i = 0; i < 4; ++i) codes[i] = TvcColorCode(Tvc16Color(p[i]));
  } else if (mode == TvcMode::kGraphics2) {
    const std::array<int, 2> p = o.palette2.value_or(kStartPalette2Indices);
    for (std::size_t i = 0; i < 2; ++i) codes[i] = TvcColorCode(Tvc16Color(p[i]));
  }
  return codes;
}

}  // namespace

int RunView(int argc, char** argv, std::ostream& out, std::ostream& err) {
  ViewOptions o;
  std::string error;
  if (!ParseView(argc, argv, &o, &error)) {
    err << kCliName << ": " << error << "\n"
        << "Try '" << kCliName << " --help' for more information.\n";
    return kExitUsage;
  }
  if (o.help) {
    char name[] = "tvcpix-cli";
    char help[] = "--help";
    char* args[] = {name, help, nullptr};
    return RunCli(2, args, out, err);
  }

  std::error_code ec;
  if (fs::equivalent(fs::path(o.file), fs::path(o.output), ec) && !ec) {
    err << kCliName << ": " << o.file << ": the output " << o.output
        << " would replace the screen file; not written\n";
    return kExitFailed;
  }
  const TvcMode mode = o.mode.value_or(TvcMode::kGraphics16);
  DecodedScreen decoded;
  const Result read = ReadScreenFile(o.file, mode, BinCodes(o, mode), &decoded);
  if (!read.ok) {
    err << kCliName << ": " << read.message << "\n";
    return kExitFailed;
  }
  const Surface picture = o.enlarged ? EnlargeScreen(decoded.screen) : decoded.screen;
  const std::vector<std::uint8_t> png = EncodePng(picture);
  if (png.empty()) {
    err << kCliName << ": " << o.file << ": cannot encode " << o.output << " as PNG\n";
    return kExitFailed;
  }
  const Result written = WriteFileAtomically(o.output, png.data(), png.size());
  if (!written.ok) {
    err << kCliName << ": " << o.file << ": cannot write " << o.output << ": " << written.message
        << "\n";
    return kExitFailed;
  }
  if (!o.quiet) {
    out << o.output << ": " << InfoOf(decoded.mode).caption << ", " << picture.width() << " x "
        << picture.height() << "\n";
  }
  return kExitOk;
}

}  // namespace tvcpix
