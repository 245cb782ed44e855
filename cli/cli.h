// The command-line tool tvcpix-cli: option parsing and the per-picture conversion run.
#ifndef TVCPIX_CLI_CLI_H_
#define TVCPIX_CLI_CLI_H_

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/mode.h"
#include "core/palette.h"
#include "core/version.h"
#include "dither/method.h"

namespace tvcpix {

constexpr const char* kCliName = "tvcpix-cli";
constexpr const char* kCliVersion = kVersion;

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // at least one input could not be converted or saved
constexpr int kExitUsage = 2;

// Everything the command line asks for. Tone values are absent unless given.
struct CliOptions {
  std::string output_base;  // -o
  std::string output_dir;   // -O
  TvcMode mode = TvcMode::kGraphics16;
  DitherMethod method = DitherMethod::kPatternTvc;
  std::array<int, 4> palette4 = kStartPalette4Indices;  // indices into the 16-colour table
  std::array<int, 2> palette2 = kStartPalette2Indices;
  // "--palette4 auto", "--palette2 auto": the best palette for the picture and the method.
  bool palette4_auto = false;
  bool palette2_auto = false;
  std::optional<int> strength;  // --strength, for the perceptual methods only
  // Brightness, gamma, color, contrast: the sliders 1..4, applied in this order.
  std::array<std::optional<int>, 4> tones;
  bool resize = true;
  // Optional exports of a single INPUT's result; empty when not asked for.
  std::string asm_path;       // --asm: the screen image as assembler "db" lines
  std::string c_header_path;  // --c-header: the screen image as a C array
  std::string png_path;       // --png: the result view as a PNG picture
  std::string cas_path;       // --cas: the screen as a TVC program for emulators
  std::string wav_path;       // --wav: the same program as tape audio for a real TVC
  int jobs = 0;               // -j: inputs converted at once; 0 for one per processor core
  bool quiet = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> inputs;
};

// Parses argv[1..argc-1]. On a usage error returns false and sets *error to a one-line reason.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions* options, std::string* error);

// The output base of each input: -o for the single input, or DIR/<file name without extension>
// under -O; "" (no BASE files) when neither is given, which only exports allow.
std::vector<std::string> OutputBases(const CliOptions& options);

// Converts one INPUT into BASE's files and the asked-for exports on a model object of its own,
// so calls for different inputs may run at the same time. Its line goes to out, errors to err.
// Returns false after writing the reason.
bool ConvertInput(const CliOptions& options, const std::string& input, const std::string& base,
                  std::ostream& out, std::ostream& err);

// Runs the tool: the whole command line in, lines to out and errors to err, the exit code back.
// Needs a QCoreApplication (or QGuiApplication) for Qt's image plugins.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace tvcpix

#endif  // TVCPIX_CLI_CLI_H_
