// Building the tvcpix-cli command from the model's settings and checking it on a fresh model.
#include "engine/command_line.h"

#include <array>
#include <cctype>
#include <vector>

#include "core/palette.h"
#include "dither/method.h"

namespace tvcpix {
namespace {

constexpr const char* kToneOptions[4] = {"--brightness", "--gamma", "--color", "--contrast"};
constexpr std::array<int, 4> kDefault4 = {0, 15, 9, 10};
constexpr std::array<int, 2> kDefault2 = {0, 15};

// The index in the 16-colour table of a swatch colour (every swatch is picked from it).
int TableIndex(const Model& model, ColorValue color) {
  for (int i = 0; i < 16; ++i)
    if (model.label1(i) == color) return i;
  return -1;
}

template <std::size_t N>
std::string Indices(const std::array<int, N>& indices) {
  std::string text;
  for (std::size_t i = 0; i < N; ++i) text += (i ? "," : "") + std::to_string(indices[i]);
  return text;
}

// The method as the tool's parser reads it: the caption without blanks and '+', lower case.
std::string MethodWord(DitherMethod method) {
  std::string word;
  for (const char* c = MethodCaption(method); *c != '\0'; ++c)
    if (*c != ' ' && *c != '+')
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  return word;
}

CommandLine Refused(std::string reason) { return CommandLine{false, {}, std::move(reason)}; }

}  // namespace

std::string ShellQuote(const std::string& word) {
  bool plain = !word.empty();
  for (const char c : word)
    if (!std::isalnum(static_cast<unsigned char>(c)) &&
        std::string_view("/._-,+=:@%").find(c) == std::string_view::npos)
      plain = false;
  if (plain) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

CommandLine BuildCommandLine(const Model& model, const std::string& base_path,
                             const std::string& program) {
  if (model.source_path().empty() || !model.loaded_picture())
    return Refused("the picture did not come from a file");
  if (model.patterns_edited())
    return Refused(
        "patterns were switched or swapped by hand (in the \"TVC Pattern\" window or "
        "on the result view), which tvcpix-cli cannot repeat");
  const std::vector<ToneStep> tones = model.ToneRecipe();
  for (std::size_t i = 1; i < tones.size(); ++i)
    if (tones[i].slider <= tones[i - 1].slider)
      return Refused(
          "the tone sliders acted in an order tvcpix-cli cannot repeat: it applies "
          "brightness, gamma, color and contrast each at most once, in this order, "
          "each made permanent by \"Set\"");

  std::array<int, 4> palette4{};
  std::array<int, 2> palette2{};
  for (int i = 0; i < 4; ++i)
    palette4[static_cast<std::size_t>(i)] = TableIndex(model, model.label2(i));
  for (int i = 0; i < 2; ++i)
    palette2[static_cast<std::size_t>(i)] = TableIndex(model, model.label3(i));
  for (const int index : palette4)
    if (index < 0) return Refused("a 4-colour swatch holds a colour outside the 16-colour table");
  for (const int index : palette2)
    if (index < 0) return Refused("a 2-colour swatch holds a colour outside the 16-colour table");

  // The tool's own steps on a fresh model: settings, load, each tone as a move and "Set",
  // the load's conversions.
  Model fresh;
  fresh.SetResize(model.resize());
  fresh.SetMode(model.mode());
  fresh.SetMethod(model.method());
  fresh.SetStrength(model.strength());
  for (int i = 0; i < 4; ++i)
    fresh.SetSwatch4(i, ColorFromEntry(Tvc16Color(palette4[static_cast<std::size_t>(i)])));
  for (int i = 0; i < 2; ++i)
    fresh.SetSwatch2(i, ColorFromEntry(Tvc16Color(palette2[static_cast<std::size_t>(i)])));
  fresh.AssignSourcePicture(model.loaded_picture());
  for (const ToneStep& t : tones) {
    fresh.MoveSlider(t.slider, t.value);
    fresh.Set();
  }
  fresh.RunLoadConversions();
  if (!(fresh.pic2() == model.pic2()) ||
      !(fresh.preview(model.mode()) == model.preview(model.mode())) ||
      fresh.palette().entries() != model.palette().entries()) {
    if (model.method() == DitherMethod::kTresholdNoise)
      return Refused(
          "the random numbers of \"Treshold+Noise\" have moved on since the program "
          "started, and tvcpix-cli starts them afresh");
    return Refused(
        "the patterns \"Pattern TVC\" may use were chosen when the picture was "
        "loaded, under other settings or before the tone sliders moved, and "
        "tvcpix-cli chooses them after its options; load the picture again and set "
        "the sliders before choosing \"Pattern TVC\"");
  }

  std::string command = ShellQuote(program) + " -o " + ShellQuote(base_path);
  if (model.mode() != TvcMode::kGraphics16)
    command += model.mode() == TvcMode::kGraphics4 ? " -m 4" : " -m 2";
  if (model.method() != DitherMethod::kPatternTvc) command += " -d " + MethodWord(model.method());
  if (IsPerceptualMethod(model.method()) && model.strength() != kDefaultStrength)
    command += " --strength " + std::to_string(model.strength());
  if (model.mode() == TvcMode::kGraphics4 && palette4 != kDefault4)
    command += " --palette4 " + Indices(palette4);
  if (model.mode() == TvcMode::kGraphics2 && palette2 != kDefault2)
    command += " --palette2 " + Indices(palette2);
  for (const ToneStep& t : tones)
    command += std::string(" ") + kToneOptions[t.slider - 1] + " " + std::to_string(t.value);
  if (!model.resize()) command += " --no-resize";
  command += " " + ShellQuote(model.source_path());
  return CommandLine{true, command, {}};
}

}  // namespace tvcpix
