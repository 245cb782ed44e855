// tvcpix-cli: parses the command line and converts each input on a fresh model object.
#include "cli/cli.h"

#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstddef>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/extras.h"
#include "cli/options.h"
#include "cli/qt_fallback.h"
#include "core/color.h"
#include "core/palette.h"
#include "core/surface.h"
#include "engine/input_file.h"
#include "engine/model.h"
#include "engine/tvc_program_export.h"
#include "output/save.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

constexpr const char kUsageTemplate[] =
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
                           stucki (default: Pattern TVC); or a perceptual method:
@PERCEPTUAL@                             tvcpix-cli -d floyd -o out/cat cat.jpg
                             tvcpix-cli -d perceptual -o out/cat cat.jpg
      --strength N         share of the error the perceptual methods pass on, 0..100 (default:
                           each method's own, per mode); refused with the other methods
                             tvcpix-cli -d perceptual --strength 100 -o out/cat cat.jpg
      --palette4 a,b,c,d   the 4-colour palette as indices 0..15 of the 16-colour table
                           (default 0,15,9,10); "auto" picks the best four for the picture and
                           the method, and the printed line names them
                             tvcpix-cli -m 4 --palette4 0,14,10,12 -o out/cat cat.jpg
                             tvcpix-cli -m 4 --palette4 auto -o out/cat cat.jpg
      --palette2 a,b       the 2-colour palette likewise (default 0,15; "auto" as above)
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
      --cas FILE           also write the screen as a TVC program for one INPUT, as a .cas file
                           for emulators: LOAD, then Enter; it sets the mode and palette, puts
                           the screen into video RAM and leaves it on show. A .tim INPUT goes
                           onto the tape exactly as saved, without a new conversion
                             tvcpix-cli -m 4 --cas cat.cas cat.jpg
      --wav FILE           the same program as tape audio for a real TVC (play it into the
                           cassette input, type LOAD, Enter); its tape name is FILE's stem
                             tvcpix-cli --wav cat.wav out/cat.tim
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

With --asm, --c-header, --png, --cas or --wav, -o and -O are optional: without them only the
exports are written. Prints one line per converted INPUT: its output base and the number of
colours of the result ("BASE: N colours", followed by ", palette a,b,c,d" when the palette
was chosen by "auto"), and one per .cas or .wav, e.g.
"cat.cas: Graphics 4, packed 7174 bytes, tape 37.1 s" (the program's size and load time).
With several INPUTs a summary (converted, failed, time) follows on stderr, and while stderr is
a terminal a progress line shows there.
Exit status: 0 when every INPUT was converted, 1 when any failed, 2 for a usage error.
)";

// The help text with one line per perceptual method in place of @PERCEPTUAL@.
std::string Usage() {
  std::string lines;
  for (int i = kFirstPerceptualMethod; i <= kAllMethodCount; ++i) {
    const auto method = static_cast<DitherMethod>(i);
    std::string name = MethodCaption(method);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string line = "                           " + std::to_string(i) + " " + name;
    line.resize(42, ' ');
    lines += line + MethodSummary(method) + "\n";
  }
  std::string text = kUsageTemplate;
  text.replace(text.find("@PERCEPTUAL@"), 12, lines);
  return text;
}

enum OptionId : int {
  kOutput,
  kOutputDir,
  kMode,
  kDither,
  kPalette4,
  kPalette2,
  kStrength,
  kBrightness,
  kGamma,
  kColor,
  kContrast,
  kNoResize,
  kAsm,
  kCHeader,
  kPng,
  kCas,
  kWav,
  kJobs,
  kQuiet,
  kHelp,
  kVersionFlag,
};

// One option a line.
// clang-format off
constexpr OptionSpec kOptionSpecs[] = {
    {'o', "output", true, kOutput},
    {'O', "output-dir", true, kOutputDir},
    {'m', "mode", true, kMode},
    {'d', "dither", true, kDither},
    {0, "palette4", true, kPalette4},
    {0, "palette2", true, kPalette2},
    {0, "strength", true, kStrength},
    {0, "brightness", true, kBrightness},
    {0, "gamma", true, kGamma},
    {0, "color", true, kColor},
    {0, "contrast", true, kContrast},
    {0, "no-resize", false, kNoResize},
    {0, "asm", true, kAsm},
    {0, "c-header", true, kCHeader},
    {0, "png", true, kPng},
    {0, "cas", true, kCas},
    {0, "wav", true, kWav},
    {'j', "jobs", true, kJobs},
    {'q', "quiet", false, kQuiet},
    {'h', "help", false, kHelp},
    {0, "version", false, kVersionFlag},
};
// clang-format on

bool ApplyOption(const OptionSpec& spec, const std::string& value, CliOptions* options,
                 std::string* error) {
  switch (spec.id) {
    case kOutput:
      if (value.empty()) {
        *error = "option -o needs a non-empty BASE";
        return false;
      }
      options->output_base = value;
      return true;
    case kOutputDir:
      if (value.empty()) {
        *error = "option -O needs a non-empty DIR";
        return false;
      }
      options->output_dir = value;
      return true;
    case kMode:
      return ParseModeValue(value, &options->mode, error);
    case kDither: {
      std::optional<DitherMethod> method = ParseMethod(value);
      if (!method) {
        *error = "unknown dithering method '" + value + "' (use 1.." +
                 std::to_string(kAllMethodCount) + " or a method's name)";
        return false;
      }
      options->method = *method;
      return true;
    }
    case kPalette4:
      options->palette4_auto = value == "auto";
      if (!options->palette4_auto && !ParseIndices(value, &options->palette4)) {
        *error = InvalidPalette4(value);
        return false;
      }
      return true;
    case kPalette2:
      options->palette2_auto = value == "auto";
      if (!options->palette2_auto && !ParseIndices(value, &options->palette2)) {
        *error = InvalidPalette2(value);
        return false;
      }
      return true;
    case kStrength: {
      int v = 0;
      if (!ParseInt(value, 0, 100, &v)) {
        *error = "invalid --strength value '" + value + "' (0..100)";
        return false;
      }
      options->strength = v;
      return true;
    }
    case kBrightness:
    case kGamma:
    case kColor:
    case kContrast: {
      const int slider = spec.id - kBrightness;
      int v = 0;
      if (!ParseInt(value, 0, 100, &v)) {
        *error = "invalid --" + std::string(spec.long_name) + " value '" + value + "' (0..100)";
        return false;
      }
      options->tones[static_cast<std::size_t>(slider)] = v;
      return true;
    }
    case kNoResize:
      options->resize = false;
      return true;
    case kAsm:
    case kCHeader:
    case kPng:
    case kCas:
    case kWav: {
      if (value.empty()) {
        *error = "option --" + std::string(spec.long_name) + " needs a non-empty FILE";
        return false;
      }
      std::string* path = spec.id == kAsm       ? &options->asm_path
                          : spec.id == kCHeader ? &options->c_header_path
                          : spec.id == kPng     ? &options->png_path
                          : spec.id == kCas     ? &options->cas_path
                                                : &options->wav_path;
      *path = value;
      return true;
    }
    case kJobs:
      if (!ParseInt(value, 1, kMaxJobs, &options->jobs)) {
        *error = "invalid --jobs '" + value + "' (1.." + std::to_string(kMaxJobs) + ")";
        return false;
      }
      return true;
    case kQuiet:
      options->quiet = true;
      return true;
    case kHelp:
      options->help = true;
      return true;
    case kVersionFlag:
      options->version = true;
      return true;
  }
  return true;
}

// The file that would be written and is the input itself, or empty.
std::string OutputReplacingInput(const std::string& input, const std::string& base) {
  if (base.empty()) return {};
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
  if (options.strength) model.SetStrength(*options.strength);
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

bool AutoPalette(const CliOptions& options) {
  return (options.mode == TvcMode::kGraphics4 && options.palette4_auto) ||
         (options.mode == TvcMode::kGraphics2 && options.palette2_auto);
}

// Puts the best palette for the work picture into the mode's swatches; its indices as "a,b".
std::string ChoosePalette(TvcMode mode, Model& model) {
  const std::vector<RankedPalette> best = model.BestPalettes();
  if (best.empty()) return {};
  std::string text;
  for (std::size_t i = 0; i < best[0].indices.size(); ++i) {
    const ColorValue c = ColorFromEntry(Tvc16Color(best[0].indices[i]));
    if (mode == TvcMode::kGraphics4) model.SetSwatch4(static_cast<int>(i), c);
    if (mode == TvcMode::kGraphics2) model.SetSwatch2(static_cast<int>(i), c);
    text += (i == 0 ? "" : ",") + std::to_string(best[0].indices[i]);
  }
  return text;
}

// The picture is loaded, each given tone runs as a slider move (with its conversion) followed by
// "Set", the palette is chosen when asked for, and then the load sequence's conversions run on
// the result. Returns the chosen palette's indices, or empty.
std::string LoadWithTones(const CliOptions& options, Surface picture, Model& model) {
  model.AssignSourcePicture(std::move(picture));
  for (int n = 1; n <= 4; ++n) {
    const std::optional<int>& tone = options.tones[static_cast<std::size_t>(n - 1)];
    if (!tone) continue;
    model.MoveSlider(n, *tone);
    model.Set();
  }
  const std::string chosen = AutoPalette(options) ? ChoosePalette(options.mode, model) : "";
  model.RunLoadConversions();
  return chosen;
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
  // A saved screen goes onto tape as saved, without a conversion when nothing else needs one.
  std::optional<TvcExportInput> saved_screen;
  if (opened.screen) {
    saved_screen = TvcExportInput{opened.screen->mode, opened.screen->codes, &opened.screen->image};
    if (base.empty() && !NeedsModel(options))
      return WriteTvcExports(options, *saved_screen, input, out, err);
  }

  // Each input starts from the window-start state, so no setting or random sequence carries
  // over from the previous one.
  Model model;
  ApplySettings(options, model);
  std::string chosen;
  if (!HasTones(options) && !AutoPalette(options)) {
    model.LoadSourcePicture(std::move(picture));
  } else {
    chosen = LoadWithTones(options, std::move(picture), model);
  }

  if (!base.empty()) {
    Result saved = model.SaveAs(base);
    if (!saved.ok) {
      err << kCliName << ": " << input << ": " << saved.message << "\n";
      return false;
    }
  }
  if (!WriteExports(options, model, input, err)) return false;
  if (!options.quiet && (!base.empty() || !chosen.empty())) {
    if (base.empty())
      out << input << ":";
    else
      out << base << ": " << model.result_colors_caption() << " colours";
    if (!chosen.empty()) out << (base.empty() ? " palette " : ", palette ") << chosen;
    out << std::endl;
  }
  if (options.cas_path.empty() && options.wav_path.empty()) return true;
  if (saved_screen) return WriteTvcExports(options, *saved_screen, input, out, err);
  std::vector<std::uint8_t> image;
  TvcExportInput result_screen;
  const Result made = ResultScreenForTvc(model, &image, &result_screen);
  if (!made.ok) {
    err << kCliName << ": " << input << ": " << made.message << "\n";
    return false;
  }
  return WriteTvcExports(options, result_screen, input, out, err);
}

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  const bool walked = WalkArguments(
      argc, argv, kOptionSpecs,
      [options](const OptionSpec& spec, const std::string& value, std::string* why) {
        return ApplyOption(spec, value, options, why);
      },
      [options](const std::string& input, std::string*) {
        options->inputs.push_back(input);
        return true;
      },
      error);
  if (!walked) return false;

  if (options->help || options->version) return true;
  if (options->inputs.empty()) {
    *error = "no INPUT picture given";
    return false;
  }
  if (!options->output_base.empty() && !options->output_dir.empty()) {
    *error = "-o and -O cannot be used together";
    return false;
  }
  if (options->output_base.empty() && options->output_dir.empty() && !HasExports(*options)) {
    *error = "no output given: use -o BASE for one INPUT, -O DIR, or an export such as --cas FILE";
    return false;
  }
  if (options->strength && !IsPerceptualMethod(options->method)) {
    *error = std::string(
                 "--strength applies only to the perceptual methods (perceptual, "
                 "screen, best), not to '") +
             MethodCaption(options->method) + "'";
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
    } else if (options.output_dir.empty()) {
      bases.emplace_back();
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
    out << Usage();
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
