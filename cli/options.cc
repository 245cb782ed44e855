// The shared command-line grammar.
#include "cli/options.h"

#include <optional>

namespace tvcpix {

namespace {

const OptionSpec* FindLong(std::span<const OptionSpec> specs, std::string_view name) {
  for (const OptionSpec& spec : specs) {
    if (spec.long_name == name) return &spec;
  }
  return nullptr;
}

const OptionSpec* FindShort(std::span<const OptionSpec> specs, char name) {
  for (const OptionSpec& spec : specs) {
    if (spec.short_name != 0 && spec.short_name == name) return &spec;
  }
  return nullptr;
}

}  // namespace

std::string Spelling(const OptionSpec& spec) {
  std::string text = "--" + std::string(spec.long_name);
  if (spec.short_name != 0) text = std::string("-") + spec.short_name + ", " + text;
  return text;
}

bool WalkArguments(int argc, const char* const* argv, std::span<const OptionSpec> specs,
                   const OptionHandler& on_option, const OperandHandler& on_operand,
                   std::string* error) {
  bool only_operands = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (only_operands || arg.size() < 2 || arg[0] != '-') {
      if (!on_operand(arg, error)) return false;
      continue;
    }
    if (arg == "--") {
      only_operands = true;
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
      spec = FindLong(specs, name);
      if (spec == nullptr) {
        *error = "unknown option '--" + name + "'";
        return false;
      }
      if (!spec->takes_value && value) {
        *error = "option '--" + name + "' takes no value";
        return false;
      }
    } else {
      for (std::size_t j = 1; j < arg.size(); ++j) {
        spec = FindShort(specs, arg[j]);
        if (spec == nullptr) {
          *error = std::string("unknown option '-") + arg[j] + "'";
          return false;
        }
        if (spec->takes_value) {
          if (j + 1 < arg.size()) value = arg.substr(j + 1);
          break;
        }
        if (j + 1 < arg.size() && !on_option(*spec, {}, error)) return false;
      }
    }
    if (spec->takes_value && !value) {
      if (i + 1 >= argc) {
        *error = "option '" + Spelling(*spec) + "' needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!on_option(*spec, value.value_or(std::string()), error)) return false;
  }
  return true;
}

bool ParseInt(std::string_view text, int low, int high, int* value) {
  if (text.empty()) return false;
  int v = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end || v < low || v > high) return false;
  *value = v;
  return true;
}

bool ParseModeValue(std::string_view text, TvcMode* mode, std::string* error) {
  if (text == "2") {
    *mode = TvcMode::kGraphics2;
  } else if (text == "4") {
    *mode = TvcMode::kGraphics4;
  } else if (text == "16") {
    *mode = TvcMode::kGraphics16;
  } else {
    *error = "invalid mode '" + std::string(text) + "' (use 2, 4 or 16)";
    return false;
  }
  return true;
}

std::string InvalidPalette4(const std::string& value) {
  return "invalid --palette4 '" + value + "' (four indices 0..15, as 0,15,9,10)";
}

std::string InvalidPalette2(const std::string& value) {
  return "invalid --palette2 '" + value + "' (two indices 0..15, as 0,15)";
}

}  // namespace tvcpix
