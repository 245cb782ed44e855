// "tvcpix-cli view": a .tim or .bin screen file decoded into a PNG picture.
#include <array>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "cli/extras.h"
#include "output/png.h"
#include "core/palette.h"
#include "output/file_write.h"
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

// Exactly N comma-separated indices 0..15.
template <std::size_t N>
bool ParseIndices(std::string_view text, std::array<int, N>* indices) {
  std::array<int, N> parsed{};
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t comma = text.find(',');
    const bool last = i + 1 == N;
    if (last != (comma == std::string_view::npos)) return false;
    const std::string_view item = last ? text : text.substr(0, comma);
    const char* end = item.data() + item.size();
    auto [ptr, ec] = std::from_chars(item.data(), end, parsed[i]);
    if (item.empty() || ec != std::errc() || ptr != end || parsed[i] < 0 || parsed[i] > 15) {
      return false;
    }
    if (!last) text.remove_prefix(comma + 1);
  }
  *indices = parsed;
  return true;
}

bool ParseView(int argc, char** argv, ViewOptions* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-') {
      if (!o->file.empty()) {
        *error = "view takes one FILE";
        return false;
      }
      o->file = arg;
      continue;
    }
    std::optional<std::string> value;
    if (arg.starts_with("--")) {
      const std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    if (arg == "--enlarged" || arg == "-q" || arg == "--quiet" || arg == "-h" || arg == "--help") {
      if (value) {
        *error = "option '" + arg + "' takes no value";
        return false;
      }
      if (arg == "--enlarged") o->enlarged = true;
      if (arg == "-q" || arg == "--quiet") o->quiet = true;
      if (arg == "-h" || arg == "--help") o->help = true;
      continue;
    }
    const bool known = arg == "-o" || arg == "--output" || arg == "-m" || arg == "--mode" ||
                       arg == "--palette4" || arg == "--palette2";
    if (!known) {
      *error = "unknown view option '" + arg + "'";
      return false;
    }
    if (!value) {
      if (i + 1 >= argc) {
        *error = "option '" + arg + "' needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (arg == "-o" || arg == "--output") {
      if (value->empty()) {
        *error = "option -o needs a non-empty OUT.png";
        return false;
      }
      o->output = *value;
    } else if (arg == "-m" || arg == "--mode") {
      if (*value == "2") {
        o->mode = TvcMode::kGraphics2;
      } else if (*value == "4") {
        o->mode = TvcMode::kGraphics4;
      } else if (*value == "16") {
        o->mode = TvcMode::kGraphics16;
      } else {
        *error = "invalid mode '" + *value + "' (use 2, 4 or 16)";
        return false;
      }
    } else if (arg == "--palette4") {
      std::array<int, 4> p{};
      if (!ParseIndices(*value, &p)) {
        *error = "invalid --palette4 '" + *value + "' (four indices 0..15, as 0,15,9,10)";
        return false;
      }
      o->palette4 = p;
    } else {
      std::array<int, 2> p{};
      if (!ParseIndices(*value, &p)) {
        *error = "invalid --palette2 '" + *value + "' (two indices 0..15, as 0,15)";
        return false;
      }
      o->palette2 = p;
    }
  }
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
