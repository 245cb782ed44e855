// tvcpix-cli: parses the command line and converts each input on a fresh model object.
#include "cli/cli.h"

#include <unistd.h>

#include <charconv>
#include <cstddef>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/extras.h"
#include "core/color.h"
#include "engine/input_file.h"
#include "engine/model.h"
#include "core/palette.h"
#include "core/surface.h"
#include "output/save.h"
#include "cli/qt_fallback.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

constexpr const char kUsage[] =
    R"(Usage: tvcpix-cli [options] INPUT...
       tvcpix-cli view FILE -o OUT.png [--enlarged] [--mode 2|4|16] [--palette4 ..] [--palette2 ..]

Converts JPEG, BMP or PNG pictures into TVC screens: BASE.bmp (the 512 x 480 result view),
BASE.bin (the 16384-byte screen image) and BASE.tim (the same image behind a 16-byte header).

  -o, --output BASE        base path for a single INPUT: writes BASE.bmp, BASE.bin, BASE.tim
                             tvcpix-cli -o out/cat cat.jpg
  -O, --output-dir DIR     for one or more INPUTs: BASE is DIR/<INPUT's file name without its
                           extension>; DIR is created when missing
                             tvcpix-cli -O screens a.jpg b.png c.bmp
  -j, --jobs N             convert N INPUTs at once (default: one per processor core); the files
                           and the printed lines are exactly those of a run with -j 1
                             tvcpix-cli -j 2 -O screens photos/*.jpg
  -m, --mode 2|4|16        graphics mode (default 16)
                             tvcpix-cli -m 4 -o out/cat cat.jpg
  -d, --dither METHOD      1..17, or the method's caption compared case-insensitively with spaces
                           and '+' ignored (floyd, "Sierra Lite", tresholdnoise, patterntvc,
                           bayer4x4, ...); also accepts the usual spellings threshold, burkes,
                           stucki (default: Pattern TVC)
                             tvcpix-cli -d floyd -o out/cat cat.jpg
      --palette4 a,b,c,d   the 4-colour palette as indices 0..15 of the 16-colour table
                           (default 0,15,9,10)
                             tvcpix-cli -m 4 --palette4 0,14,10,12 -o out/cat cat.jpg
      --palette2 a,b       the 2-colour palette likewise (default 0,15)
                             tvcpix-cli -m 2 --palette2 1,14 -o out/cat cat.jpg
      --brightness V, --gamma V, --color V, --contrast V
                           tone values 0..100, applied in this order, each on the previous result
                             tvcpix-cli --brightness 60 --gamma 45 --color 55 --contrast 52 \
                               -o out/cat cat.jpg
      --no-resize          the "Resize " setting off: the picture is not scaled to the screen
                             tvcpix-cli --no-resize -o out/corner big.jpg
      --asm FILE           also write the screen image as Z80 assembler source for one INPUT:
                           a ';' comment naming the mode and the four palette codes of the .tim
                           header, a label, then "db" lines of 16 bytes written $3F (the
                           hexadecimal form of sjasmplus, pasmo, z88dk and most Z80 assemblers)
                             tvcpix-cli -o out/cat --asm out/cat.asm cat.jpg
      --c-header FILE      also write the screen image as a C header for one INPUT: the same
                           comment, then const unsigned char NAME[16384] with 16 bytes a line
                             tvcpix-cli -o out/cat --c-header out/cat.h cat.jpg
      --png FILE           also write the result view (the picture of BASE.bmp) as a PNG file
                             tvcpix-cli -o out/cat --png out/cat.png cat.jpg
  -q, --quiet              print nothing but errors
                             tvcpix-cli -q -O screens *.jpg
  -h, --help               print this help
                             tvcpix-cli --help
      --version            print the version
                             tvcpix-cli --version

Reading a screen file back (view):
  view FILE -o OUT.png     decodes a .tim or .bin screen file and writes it as a PNG picture at
                           the TVC's resolution (512, 256 or 128 x 240 pixels)
      --enlarged           writes it at 512 x 480 instead, as the result view shows it
      --mode 2|4|16        the mode of a .bin file (default 16); a .tim file names its own
      --palette4 a,b,c,d, --palette2 a,b
                           the colours of a 4- or 2-colour .bin file, as above (default
                           0,15,9,10 and 0,15); a .tim file carries its own
                             tvcpix-cli view out/cat.tim --enlarged -o cat-screen.png
                             tvcpix-cli view out/cat.bin -m 4 --palette4 0,15,9,10 -o cat.png

Prints one line per converted INPUT: its output base and the number of colours of the result.
With several INPUTs a summary (converted, failed, time) follows on stderr, and while stderr is
a terminal a progress line shows there.
Exit status: 0 when every INPUT was converted, 1 when any failed, 2 for a usage error.
)";

enum class OptionId {
  kOutput,
  kOutputDir,
  kMode,
  kDither,
  kPalette4,
  kPalette2,
  kBrightness,
  kGamma,
  kColor,
  kContrast,
  kNoResize,
  kAsm,
  kCHeader,
  kPng,
  kJobs,
  kQuiet,
  kHelp,
  kVersion,
};

struct OptionSpec {
  char short_name;  // 0 when the option has no short form
  std::string_view long_name;
  bool takes_value;
  OptionId id;
};

// One option a line.
// clang-format off
constexpr OptionSpec kOptionSpecs[] = {
    {'o', "output", true, OptionId::kOutput},
    {'O', "output-dir", true, OptionId::kOutputDir},
    {'m', "mode", true, OptionId::kMode},
    {'d', "dither", true, OptionId::kDither},
    {0, "palette4", true, OptionId::kPalette4},
    {0, "palette2", true, OptionId::kPalette2},
    {0, "brightness", true, OptionId::kBrightness},
    {0, "gamma", true, OptionId::kGamma},
    {0, "color", true, OptionId::kColor},
    {0, "contrast", true, OptionId::kContrast},
    {0, "no-resize", false, OptionId::kNoResize},
    {0, "asm", true, OptionId::kAsm},
    {0, "c-header", true, OptionId::kCHeader},
    {0, "png", true, OptionId::kPng},
    {'j', "jobs", true, OptionId::kJobs},
    {'q', "quiet", false, OptionId::kQuiet},
    {'h', "help", false, OptionId::kHelp},
    {0, "version", false, OptionId::kVersion},
};
// clang-format on

const OptionSpec* FindLong(std::string_view name) {
  for (const OptionSpec& spec : kOptionSpecs) {
    if (spec.long_name == name) return &spec;
  }
  return nullptr;
}

const OptionSpec* FindShort(char name) {
  for (const OptionSpec& spec : kOptionSpecs) {
    if (spec.short_name != 0 && spec.short_name == name) return &spec;
  }
  return nullptr;
}

std::string Spelling(const OptionSpec& spec) {
  std::string text = "--" + std::string(spec.long_name);
  if (spec.short_name != 0) text = std::string("-") + spec.short_name + ", " + text;
  return text;
}

// A whole decimal number in [low, high], nothing else in the text.
bool ParseInt(std::string_view text, int low, int high, int* value) {
  if (text.empty()) return false;
  int v = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end || v < low || v > high) return false;
  *value = v;
  return true;
}

// Exactly N comma-separated indices 0..15.
template <std::size_t N>
bool ParseIndices(std::string_view text, std::array<int, N>* indices) {
  std::array<int, N> parsed{};
  std::size_t start = 0;
  for (std::size_t i = 0; i < N; ++i) {
    std::size_t comma = text.find(',', start);
    const bool last = i + 1 == N;
    if (last != (comma == std::string_view::npos)) return false;
    std::string_view item = text.substr(start, last ? std::string_view::npos : comma - start);
    if (!ParseInt(item, 0, 15, &parsed[i])) return false;
    start = comma + 1;
  }
  *indices = parsed;
  return true;
}

bool ApplyOption(const OptionSpec& spec, const std::string& value, CliOptions* options,
                 std::string* error) {
  switch (spec.id) {
    case OptionId::kOutput:
      if (value.empty()) {
        *error = "option -o needs a non-empty BASE";
        return false;
      }
      options->output_base = value;
      return true;
    case OptionId::kOutputDir:
      if (value.empty()) {
        *error = "option -O needs a non-empty DIR";
        return false;
      }
      options->output_dir = value;
      return true;
    case OptionId::kMode:
      if (value == "2") {
        options->mode = TvcMode::kGraphics2;
      } else if (value == "4") {
        options->mode = TvcMode::kGraphics4;
      } else if (value == "16") {
        options->mode = TvcMode::kGraphics16;
      } else {
        *error = "invalid mode '" + value + "' (use 2, 4 or 16)";
        return false;
      }
      return true;
    case OptionId::kDither: {
      std::optional<DitherMethod> method = ParseMethod(value);
      if (!method) {
        *error = "unknown dithering method '" + value + "' (use 1..17 or a method's name)";
        return false;
      }
      options->method = *method;
      return true;
    }
    case OptionId::kPalette4:
      if (!ParseIndices(value, &options->palette4)) {
        *error = "invalid --palette4 '" + value + "' (four indices 0..15, as 0,15,9,10)";
        return false;
      }
      return true;
    case OptionId::kPalette2:
      if (!ParseIndices(value, &options->palette2)) {
        *error = "invalid --palette2 '" + value + "' (two indices 0..15, as 0,15)";
        return false;
      }
      return true;
    case OptionId::kBrightness:
    case OptionId::kGamma:
    case OptionId::kColor:
    case OptionId::kContrast: {
      const int slider = static_cast<int>(spec.id) - static_cast<int>(OptionId::kBrightness);
      int v = 0;
      if (!ParseInt(value, 0, 100, &v)) {
        *error = "invalid --" + std::string(spec.long_name) + " value '" + value + "' (0..100)";
        return false;
      }
      options->tones[static_cast<std::size_t>(slider)] = v;
      return true;
    }
    case OptionId::kNoResize:
      options->resize = false;
      return true;
    case OptionId::kAsm:
    case OptionId::kCHeader:
    case OptionId::kPng: {
      if (value.empty()) {
        *error = "option --" + std::string(spec.long_name) + " needs a non-empty FILE";
        return false;
      }
      std::string* path = spec.id == OptionId::kAsm       ? &options->asm_path
                          : spec.id == OptionId::kCHeader ? &options->c_header_path
                                                          : &options->png_path;
      *path = value;
      return true;
    }
    case OptionId::kJobs:
      if (!ParseInt(value, 1, kMaxJobs, &options->jobs)) {
        *error = "invalid --jobs '" + value + "' (1.." + std::to_string(kMaxJobs) + ")";
        return false;
      }
      return true;
    case OptionId::kQuiet:
      options->quiet = true;
      return true;
    case OptionId::kHelp:
      options->help = true;
      return true;
    case OptionId::kVersion:
      options->version = true;
      return true;
  }
  return true;
}

// The file that would be written and is the input itself, or empty.
std::string OutputReplacingInput(const std::string& input, const std::string& base) {
  for (const char* ext : {".bmp", ".bin", ".tim"}) {
    std::error_code ec;
    if (fs::equivalent(fs::path(input), fs::path(base + ext), ec) && !ec) return base + ext;
  }
  return {};
}

void ApplySettings(const CliOptions& options, Model& model) {
  model.SetResize(options.resize);
  model.SetMode(options.mode);
  model.SetMethod(options.method);
  for (int i = 0; i < 4; ++i) {
    model.SetSwatch4(i, ColorFromEntry(Tvc16Color(options.palette4[static_cast<std::size_t>(i)])));
  }
  for (int i = 0; i < 2; ++i) {
    model.SetSwatch2(i, ColorFromEntry(Tvc16Color(options.palette2[static_cast<std::size_t>(i)])));
  }
}

bool HasTones(const CliOptions& options) {
  for (const std::optional<int>& tone : options.tones) {
    if (tone) return true;
  }
  return false;
}

// The picture is loaded, each given tone runs as a slider move (with its conversion) followed by
// "Set", and then the load sequence's conversions run on the result.
void LoadWithTones(const CliOptions& options, Surface picture, Model& model) {
  model.AssignSourcePicture(std::move(picture));
  for (int n = 1; n <= 4; ++n) {
    const std::optional<int>& tone = options.tones[static_cast<std::size_t>(n - 1)];
    if (!tone) continue;
    model.MoveSlider(n, *tone);
    model.Set();
  }
  model.RunLoadConversions();
}

// One picture from file to its three output files. Returns false after writing the reason.
bool ConvertOne(const CliOptions& options, const std::string& input, const std::string& base,
                std::ostream& out, std::ostream& err) {
  const std::string replaced = OutputReplacingInput(input, base);
  if (!replaced.empty()) {
    err << kCliName << ": " << input << ": the output " << replaced
        << " would replace the input picture; not converted\n";
    return false;
  }
  if (!CheckExportsAgainstInput(options, input, err)) return false;

  InputFile opened;
  Result decoded = OpenInputFile(input, DecodeWithQtModule, &opened);
  Surface& picture = opened.picture;
  if (!decoded.ok) {
    err << kCliName << ": " << decoded.message << "\n";
    return false;
  }

  // Each input starts from the window-start state, so no setting or random sequence carries
  // over from the previous one.
  Model model;
  ApplySettings(options, model);
  if (!HasTones(options)) {
    model.LoadSourcePicture(std::move(picture));
  } else {
    LoadWithTones(options, std::move(picture), model);
  }

  Result saved = model.SaveAs(base);
  if (!saved.ok) {
    err << kCliName << ": " << input << ": " << saved.message << "\n";
    return false;
  }
  if (!WriteExports(options, model, input, err)) return false;
  if (!options.quiet) out << base << ": " << model.result_colors_caption() << " colours" << std::endl;
  return true;
}

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  bool only_inputs = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (only_inputs || arg.size() < 2 || arg[0] != '-') {
      options->inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_inputs = true;
      continue;
    }

    // Which option, and its value when it is attached (--mode=4, -m4).
    const OptionSpec* spec = nullptr;
    std::optional<std::string> value;
    if (arg.starts_with("--")) {
      std::string name = arg.substr(2);
      const std::size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      spec = FindLong(name);
      if (spec == nullptr) {
        *error = "unknown option '--" + name + "'";
        return false;
      }
      if (!spec->takes_value && value) {
        *error = "option '--" + name + "' takes no value";
        return false;
      }
    } else {
      // A cluster of short flags (-qh) may end in one option that takes a value (-qm4, -qm 4).
      for (std::size_t j = 1; j < arg.size(); ++j) {
        spec = FindShort(arg[j]);
        if (spec == nullptr) {
          *error = std::string("unknown option '-") + arg[j] + "'";
          return false;
        }
        if (spec->takes_value) {
          if (j + 1 < arg.size()) value = arg.substr(j + 1);
          break;
        }
        if (j + 1 < arg.size() && !ApplyOption(*spec, {}, options, error)) return false;
      }
    }
    if (spec->takes_value && !value) {
      if (i + 1 >= argc) {
        *error = "option '" + Spelling(*spec) + "' needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!ApplyOption(*spec, value.value_or(std::string()), options, error)) return false;
  }

  if (options->help || options->version) return true;
  if (options->inputs.empty()) {
    *error = "no INPUT picture given";
    return false;
  }
  if (!options->output_base.empty() && !options->output_dir.empty()) {
    *error = "-o and -O cannot be used together";
    return false;
  }
  if (options->output_base.empty() && options->output_dir.empty()) {
    *error = "no output given: use -o BASE for one INPUT or -O DIR";
    return false;
  }
  if (!options->output_base.empty() && options->inputs.size() > 1) {
    *error = "-o takes a single INPUT; use -O DIR for several";
    return false;
  }
  return CheckExportOptions(*options, error);
}

bool ConvertInput(const CliOptions& options, const std::string& input, const std::string& base,
                  std::ostream& out, std::ostream& err) {
  return ConvertOne(options, input, base, out, err);
}

std::vector<std::string> OutputBases(const CliOptions& options) {
  std::vector<std::string> bases;
  for (const std::string& input : options.inputs) {
    if (!options.output_base.empty()) {
      bases.push_back(options.output_base);
    } else {
      bases.push_back((fs::path(options.output_dir) / fs::path(input).stem()).string());
    }
  }
  return bases;
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
  if (argc >= 2 && std::string_view(argv[1]) == "view")
    return RunView(argc - 1, argv + 1, out, err);
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(argc, argv, &options, &error)) {
    err << kCliName << ": " << error << "\n"
        << "Try '" << kCliName << " --help' for more information.\n";
    return kExitUsage;
  }
  if (options.help) {
    out << kUsage;
    return kExitOk;
  }
  if (options.version) {
    out << kCliName << " " << kCliVersion << "\n";
    return kExitOk;
  }

  if (!options.output_dir.empty()) {
    std::error_code ec;
    fs::create_directories(options.output_dir, ec);
    if (ec) {
      err << kCliName << ": " << options.output_dir
          << ": cannot create the output folder: " << ec.message() << "\n";
      return kExitFailed;
    }
  }

  // The progress line is for a person watching, never for a file or a pipe.
  const bool progress = &err == &std::cerr && !options.quiet && isatty(STDERR_FILENO) == 1;
  return RunBatch(options, out, err, progress) ? kExitOk : kExitFailed;
}

}  // namespace tvcpix
