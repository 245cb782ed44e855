// Tests of the assembler and C exports: parsed back, they give the screen bytes.
#include "output/source_export.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "output/screen_file.h"

namespace tvcpix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RandomImage(unsigned seed) {
  std::mt19937 gen(seed);
  Bytes image(kScreenBytes);
  for (std::uint8_t& b : image) b = static_cast<std::uint8_t>(gen() & 0xFF);
  return image;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One "$XX" or "0xXX" item; -1 when it is not exactly that.
int ParseHexItem(const std::string& item, const std::string& prefix) {
  if (item.size() != prefix.size() + 2 || item.compare(0, prefix.size(), prefix) != 0) return -1;
  const int hi = HexDigit(item[prefix.size()]), lo = HexDigit(item[prefix.size() + 1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// Reads the assembler text as an assembler would: comments, one label, "db" lines.
Bytes ParseAssembler(const std::string& text, std::string* label, int* db_lines) {
  Bytes bytes;
  std::istringstream in(text);
  std::string line;
  *db_lines = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ';') continue;
    if (line.back() == ':') {
      *label = line.substr(0, line.size() - 1);
      continue;
    }
    EXPECT_EQ(line.rfind("  db ", 0), 0u) << line;
    ++*db_lines;
    std::istringstream items(line.substr(5));
    std::string item;
    int count = 0;
    while (std::getline(items, item, ',')) {
      const int v = ParseHexItem(item, "$");
      EXPECT_GE(v, 0) << "'" << item << "' in " << line;
      bytes.push_back(static_cast<std::uint8_t>(v));
      ++count;
    }
    EXPECT_EQ(count, 16) << line;
  }
  return bytes;
}

// The items between the braces of the array, and its declared name and size.
Bytes ParseCArray(const std::string& text, std::string* declaration) {
  const std::size_t open = text.find('{'), close = text.find("};");
  EXPECT_NE(open, std::string::npos);
  EXPECT_NE(close, std::string::npos);
  const std::size_t decl = text.rfind("const unsigned char", open);
  *declaration = text.substr(decl, open - decl);
  Bytes bytes;
  std::istringstream items(text.substr(open + 1, close - open - 1));
  std::string item;
  while (items >> item) {
    EXPECT_EQ(item.back(), ',') << item;
    const int v = ParseHexItem(item.substr(0, item.size() - 1), "0x");
    EXPECT_GE(v, 0) << item;
    bytes.push_back(static_cast<std::uint8_t>(v));
  }
  return bytes;
}

TEST(AssemblerSourceTest, ParsesBackToTheSameBytes) {
  const Bytes image = RandomImage(1);
  const ScreenSourceInfo info{TvcMode::kGraphics4, {0x00, 0x55, 0x41, 0x44}, "out/My Shot.asm"};
  const std::string text = AssemblerSource(image, info);
  std::string label;
  int lines = 0;
  EXPECT_TRUE(ParseAssembler(text, &label, &lines) == image);
  EXPECT_EQ(lines, 1024);
  EXPECT_EQ(label, "My_Shot");
  EXPECT_NE(text.find("; mode: Graphics 4"), std::string::npos) << text.substr(0, 300);
  EXPECT_NE(text.find("; palette codes: $00 $55 $41 $44\n"), std::string::npos)
      << text.substr(0, 300);
}

TEST(CHeaderSourceTest, ParsesBackToTheSameBytes) {
  const Bytes image = RandomImage(2);
  const ScreenSourceInfo info{TvcMode::kGraphics2, {0x00, 0x55, 0x00, 0x00}, "dir/2nd-screen.h"};
  const std::string text = CHeaderSource(image, info);
  std::string declaration;
  EXPECT_TRUE(ParseCArray(text, &declaration) == image);
  EXPECT_EQ(declaration, "const unsigned char _2nd_screen[16384] = ");
  // The comment closes before any code, and names the mode and the codes.
  const std::size_t comment_end = text.find("*/");
  EXPECT_LT(comment_end, text.find("#ifndef"));
  EXPECT_LT(text.find("mode: Graphics 2"), comment_end);
  EXPECT_LT(text.find("palette codes: 0x00 0x55 0x00 0x00"), comment_end);
  EXPECT_NE(text.find("#ifndef TVCPIX__2ND_SCREEN_H_\n#define TVCPIX__2ND_SCREEN_H_\n"),
            std::string::npos);
}

TEST(SourceExportTest, NamesNeverReadAsRegistersOrKeywords) {
  const Bytes image(kScreenBytes, 0);
  ScreenSourceInfo info{TvcMode::kGraphics16, {}, "out/HL.asm"};
  EXPECT_NE(AssemblerSource(image, info).find("\nHL_screen:\n"), std::string::npos);
  info.name = "int.h";
  EXPECT_NE(CHeaderSource(image, info).find("const unsigned char int_screen[16384]"),
            std::string::npos);
  info.name = "hello.h";
  EXPECT_NE(CHeaderSource(image, info).find("const unsigned char hello[16384]"), std::string::npos);
}

TEST(SourceIdentifierTest, MakesAValidNameFromAnyPath) {
  EXPECT_EQ(SourceIdentifier("pic.asm"), "pic");
  EXPECT_EQ(SourceIdentifier("a/b.c/x.y.h"), "x");
  EXPECT_EQ(SourceIdentifier("9lives"), "_9lives");
  EXPECT_EQ(SourceIdentifier("dir/"), "screen");
  EXPECT_EQ(SourceIdentifier("k\xC3\xA9p.inc"), "k__p");
}

}  // namespace
}  // namespace tvcpix
