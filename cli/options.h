// The command-line grammar shared by tvcpix-cli and "tvcpix-cli view": long and short options,
// short clusters, attached values, "--", and the value parsers both commands use.
#ifndef TVCPIX_CLI_OPTIONS_H_
#define TVCPIX_CLI_OPTIONS_H_

#include <array>
#include <charconv>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "core/mode.h"

namespace tvcpix {

struct OptionSpec {
  char short_name;  // 0 when the option has no short form
  std::string_view long_name;
  bool takes_value;
  int id;
};

// "-m, --mode" or "--palette4", as messages name an option.
std::string Spelling(const OptionSpec& spec);

// Walks argv[1..argc-1]: each option (--name, --name=value, -x, -xVALUE, -x VALUE, clusters of
// flags as -qh ending in at most one option that takes a value) goes to on_option with its
// value (empty for a flag); anything else, and everything after "--", to on_operand. Stops at
// the first problem, which *error then says.
using OptionHandler =
    std::function<bool(const OptionSpec& spec, const std::string& value, std::string* error)>;
using OperandHandler = std::function<bool(const std::string& operand, std::string* error)>;
bool WalkArguments(int argc, const char* const* argv, std::span<const OptionSpec> specs,
                   const OptionHandler& on_option, const OperandHandler& on_operand,
                   std::string* error);

// A whole decimal number in [low, high], nothing else in the text.
bool ParseInt(std::string_view text, int low, int high, int* value);

// "2", "4" or "16".
bool ParseModeValue(std::string_view text, TvcMode* mode, std::string* error);

// Exactly N comma-separated indices 0..15 of the 16-colour table.
template <std::size_t N>
bool ParseIndices(std::string_view text, std::array<int, N>* indices) {
  std::array<int, N> parsed{};
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t comma = text.find(',');
    const bool last = i + 1 == N;
    if (last != (comma == std::string_view::npos)) return false;
    if (!ParseInt(last ? text : text.substr(0, comma), 0, 15, &parsed[i])) return false;
    if (!last) text.remove_prefix(comma + 1);
  }
  *indices = parsed;
  return true;
}

// The messages of a palette option that did not parse.
std::string InvalidPalette4(const std::string& value);
std::string InvalidPalette2(const std::string& value);

}  // namespace tvcpix

#endif  // TVCPIX_CLI_OPTIONS_H_
