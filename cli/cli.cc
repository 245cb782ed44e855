// tvcpix-cli: parses the command line and converts each input on a fresh model object.
#include "cli/cli.h"

#include <charconv>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/color.h"
#include "core/model.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "core/surface.h"
#include "output/save.h"
#include "ui/picture_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

constexpr const char kUsage[] =
    R"(Usage: tvcpix-cli [options] INPUT...
Converts JPEG, BMP or PNG pictures into TVC screens: BASE.bmp (the 512 x 480 result view),
BASE.bin (the 16384-byte screen image) and BASE.tim (the same image behind a 16-byte header).

  -o, --output BASE        base path for a single INPUT: writes BASE.bmp, BASE.bin, BASE.tim
  -O, --output-dir DIR     for one or more INPUTs: BASE is DIR/<INPUT's file name without its
                           extension>; DIR is created when missing
  -m, --mode 2|4|16        graphics mode (default 16)
  -d, --dither METHOD      1..17, or the method's caption compared case-insensitively with spaces
                           and '+' ignored (floyd, "Sierra Lite", tresholdnoise, patterntvc,
                           bayer4x4, ...); also accepts the usual spellings threshold, burkes,
                           stucki (default: Pattern TVC)
      --palette4 a,b,c,d   the 4-colour palette as indices 0..15 of the 16-colour table
                           (default 0,15,9,10)
      --palette2 a,b       the 2-colour palette likewise (default 0,15)
      --brightness V, --gamma V, --color V, --contrast V
                           tone values 0..100, applied in this order, each on the previous result
      --no-resize          the "Resize " setting off
  -q, --quiet              print nothing but errors
  -h, --help               print this help
      --version            print the version

Prints one line per converted INPUT: its output base and the number of colours of the result.
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
    {'q', "quiet", false, OptionId::kQuiet},
    {'h', "help", false, OptionId::kHelp},
    {0, "version", false, OptionId::kVersion},
};

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
//
// The model has no load that skips the conversions, so the tones are applied on a scratch model
// and the finished picture is loaded into the real one. The scratch's load conversions must not
// advance the real model's "Treshold+Noise" sequence, while every tone's conversion must: the
// real model therefore converts once per tone before the load. Each conversion of one mode draws
// the same number of values whatever the picture, so the draws line up exactly; every other
// effect of those conversions is overwritten by the load ("All On" resets the pattern flags).
// TODO(model): load without converting (steps 1-5 of the load) and use RunLoadConversions().
void LoadWithTones(const CliOptions& options, Surface picture, Model& model) {
  Model scratch;
  ApplySettings(options, scratch);
  scratch.LoadSourcePicture(std::move(picture));
  int moves = 0;
  for (int n = 1; n <= 4; ++n) {
    const std::optional<int>& tone = options.tones[static_cast<std::size_t>(n - 1)];
    if (!tone) continue;
    scratch.MoveSlider(n, *tone);
    scratch.Set();
    ++moves;
  }
  for (int i = 0; i < moves; ++i) model.Convert();
  // Pic1 is now 512 x 480, so the load copies it into Pic5 unchanged under either "Resize " rule.
  model.LoadSourcePicture(Surface(scratch.pic1()));
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

  Surface picture;
  DecodeResult decoded = DecodePictureFile(input, &picture);
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

  SaveResult saved = model.SaveAs(base);
  if (!saved.ok) {
    err << kCliName << ": " << input << ": " << saved.message << "\n";
    return false;
  }
  if (!options.quiet) out << base << ": " << CountColors(model.pic2()) << " colours" << std::endl;
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
  return true;
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

  bool failed = false;
  if (!options.output_dir.empty()) {
    std::error_code ec;
    fs::create_directories(options.output_dir, ec);
    if (ec) {
      err << kCliName << ": " << options.output_dir << ": cannot create the output folder: "
          << ec.message() << "\n";
      return kExitFailed;
    }
  }

  // Inputs that would write the same files are all refused: converting one of them would
  // silently lose the other's result.
  const std::vector<std::string> bases = OutputBases(options);
  std::map<std::string, std::vector<std::size_t>> users;
  for (std::size_t i = 0; i < bases.size(); ++i) {
    users[fs::path(bases[i]).lexically_normal().string()].push_back(i);
  }

  for (std::size_t i = 0; i < options.inputs.size(); ++i) {
    const std::string& input = options.inputs[i];
    const std::vector<std::size_t>& sharing = users[fs::path(bases[i]).lexically_normal().string()];
    if (sharing.size() > 1) {
      const std::size_t other = sharing[0] == i ? sharing[1] : sharing[0];
      err << kCliName << ": " << input << ": the output base " << bases[i]
          << " is also that of " << options.inputs[other] << "; not converted\n";
      failed = true;
      continue;
    }
    try {
      if (!ConvertOne(options, input, bases[i], out, err)) failed = true;
    } catch (const std::exception& e) {
      // Out of memory on a huge picture must not take the remaining inputs down with it.
      err << kCliName << ": " << input << ": " << e.what() << "\n";
      failed = true;
    }
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace tvcpix
