// The tokenised TVC BASIC lines of a picture loader.
#include "output/basic_loader.h"

#include <cassert>
#include <cstddef>

namespace tvcpix {

namespace {

// The ASCII digits of a number, as BASIC keeps numbers in a line.
void AppendDecimal(std::vector<std::uint8_t>* body, unsigned value) {
  const std::string digits = std::to_string(value);
  body->insert(body->end(), digits.begin(), digits.end());
}

}  // namespace

std::vector<std::uint8_t> BasicLine(std::uint16_t number, const std::vector<std::uint8_t>& body) {
  assert(body.size() <= 251);
  std::vector<std::uint8_t> line;
  line.reserve(body.size() + 4);
  line.push_back(static_cast<std::uint8_t>(body.size() + 4));
  line.push_back(static_cast<std::uint8_t>(number & 0xFF));
  line.push_back(static_cast<std::uint8_t>(number >> 8));
  line.insert(line.end(), body.begin(), body.end());
  line.push_back(0xFF);
  return line;
}

std::vector<std::uint8_t> BuildLoaderBasic(TvcMode mode, const PaletteCodes& codes,
                                           std::uint16_t usr_address) {
  namespace tk = basic_token;
  std::vector<std::uint8_t> program;
  const auto add = [&program](const std::vector<std::uint8_t>& line) {
    program.insert(program.end(), line.begin(), line.end());
  };

  // 10 GRAPHICS n: the mode, a cleared screen and BASIC's default palette.
  std::vector<std::uint8_t> body = {tk::kGraphics};
  AppendDecimal(&body, static_cast<unsigned>(InfoOf(mode).colours));
  add(BasicLine(10, body));

  // 20 SET PALETTE c0,c1[,c2,c3]: the .tim header's codes, in decimal.
  const int used = InfoOf(mode).palette_codes;
  if (used > 0) {
    body = {tk::kSet, tk::kPalette};
    for (int i = 0; i < used; ++i) {
      if (i > 0) body.push_back(tk::kComma);
      AppendDecimal(&body, codes[static_cast<std::size_t>(i)]);
    }
    add(BasicLine(20, body));
  }

  // 30 X=USR(address): "X=" rather than PRINT, which would print the result on the picture.
  body = {'X', tk::kEquals, 'U', 'S', 'R', tk::kOpen};
  AppendDecimal(&body, usr_address);
  body.push_back(tk::kClose);
  add(BasicLine(30, body));

  // 40 GOTO 40: the program never ends, so BASIC never prints over the picture.
  body = {tk::kGoto, '4', '0'};
  add(BasicLine(40, body));

  program.push_back(0x00);
  return program;
}

}  // namespace tvcpix
