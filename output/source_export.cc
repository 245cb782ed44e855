// The screen image as source text: assembler "db" lines and a C array.
#include "output/source_export.h"

#include <cctype>
#include <cstddef>
#include <string_view>

namespace tvcpix {

namespace {

constexpr int kBytesPerLine = 16;
constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& text, std::uint8_t byte) {
  text += kDigits[byte >> 4];
  text += kDigits[byte & 0xF];
}

// The header lines, each prefixed with lead: what the bytes are and how the TVC reads them.
std::string HeaderLines(const ScreenSourceInfo& info, const char* lead, const char* hex_prefix) {
  const ModeInfo& mode = InfoOf(info.mode);
  std::string text;
  text += lead;
  text += "TVC screen image from tvcpix: ";
  text += std::to_string(kScreenBytes) + " bytes, 64 bytes per row, rows 240..255 unused\n";
  text += lead;
  text += "mode: ";
  text += mode.caption;
  text += " (" + std::to_string(mode.preview_width) + " x 240, " +
          std::to_string(mode.pixels_per_byte) + " pixels per byte, .tim mode byte " +
          std::to_string(mode.mode_byte) + ")\n";
  text += lead;
  text += "palette codes:";
  for (std::uint8_t code : info.codes) {
    text += ' ';
    text += hex_prefix;
    AppendHex(text, code);
  }
  if (info.mode == TvcMode::kGraphics16) text += " (16 colours: each pixel carries its code)";
  text += '\n';
  return text;
}

bool IsOneOf(const std::string& name, std::initializer_list<std::string_view> words) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::string_view w : words) {
    if (lower == w) return true;
  }
  return false;
}

// A label must not read as a register or a condition ("a.asm" would give "a").
std::string AssemblerLabel(const std::string& path) {
  std::string name = SourceIdentifier(path);
  if (IsOneOf(name, {"a",   "b",  "c",  "d",  "e",  "h",  "l",  "i",   "r",   "f",
                     "af",  "bc", "de", "hl", "sp", "ix", "iy", "ixh", "ixl", "iyh",
                     "iyl", "nz", "z",  "nc", "po", "pe", "p",  "m"})) {
    name += "_screen";
  }
  return name;
}

// An array name must not be a C or C++ keyword ("int.h" would give "int").
std::string ArrayName(const std::string& path) {
  std::string name = SourceIdentifier(path);
  if (IsOneOf(name, {"auto",     "bool",    "break",    "case",     "char",     "class", "const",
                     "continue", "default", "delete",   "do",       "double",   "else",  "enum",
                     "extern",   "false",   "float",    "for",      "goto",     "if",    "inline",
                     "int",      "long",    "new",      "register", "return",   "short", "signed",
                     "sizeof",   "static",  "struct",   "switch",   "template", "this",  "true",
                     "typedef",  "union",   "unsigned", "void",     "volatile", "while"})) {
    name += "_screen";
  }
  return name;
}

}  // namespace

std::string SourceIdentifier(const std::string& path) {
  std::size_t start = path.find_last_of('/');
  start = start == std::string::npos ? 0 : start + 1;
  std::string stem = path.substr(start);
  const std::size_t dot = stem.find('.', 1);
  if (dot != std::string::npos) stem.resize(dot);
  std::string name;
  for (char c : stem) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    name += ok ? c : '_';
  }
  if (name.empty()) return "screen";
  if (name[0] >= '0' && name[0] <= '9') name.insert(0, "_");
  return name;
}

std::string AssemblerSource(const std::vector<std::uint8_t>& image, const ScreenSourceInfo& info) {
  std::string text = HeaderLines(info, "; ", "$");
  text.reserve(text.size() + image.size() * 4 + image.size() / kBytesPerLine * 8 + 64);
  text += AssemblerLabel(info.name);
  text += ":\n";
  for (std::size_t i = 0; i < image.size(); ++i) {
    text += i % kBytesPerLine == 0 ? "  db " : ",";
    text += '$';
    AppendHex(text, image[i]);
    if (i % kBytesPerLine == kBytesPerLine - 1 || i + 1 == image.size()) text += '\n';
  }
  return text;
}

std::string CHeaderSource(const std::vector<std::uint8_t>& image, const ScreenSourceInfo& info) {
  const std::string name = ArrayName(info.name);
  std::string guard;
  for (char c : name) guard += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  guard = "TVCPIX_" + guard + "_H_";

  std::string text = "/*\n" + HeaderLines(info, " * ", "0x") + " */\n";
  text.reserve(text.size() + image.size() * 6 + 256);
  text += "#ifndef " + guard + "\n#define " + guard + "\n\n";
  text += "const unsigned char " + name + "[" + std::to_string(image.size()) + "] = {\n";
  for (std::size_t i = 0; i < image.size(); ++i) {
    text += i % kBytesPerLine == 0 ? "  " : " ";
    text += "0x";
    AppendHex(text, image[i]);
    text += ',';
    if (i % kBytesPerLine == kBytesPerLine - 1 || i + 1 == image.size()) text += '\n';
  }
  text += "};\n\n#endif  /* " + guard + " */\n";
  return text;
}

}  // namespace tvcpix
