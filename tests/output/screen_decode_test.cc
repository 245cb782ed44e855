// Reading screen files back: a malformed ".tim" is refused with its reason, and a FIFO named
// like a screen file at once.
#include "output/screen_decode.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

// A "TIM" header for "Graphics 4" of the given size with one byte set.
struct MalformedCase {
  const char* name;
  std::size_t at;
  int value;
  std::size_t size;
  const char* reason;
};

class MalformedTimTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedTimTest, IsRefusedWithItsReason) {
  const MalformedCase& c = GetParam();
  test::Bytes tim = {'T', 'I', 'M', 1};
  tim.resize(c.size), tim[c.at] = static_cast<std::uint8_t>(c.value);
  DecodedScreen d;
  const Result r = DecodeTim(tim.data(), tim.size(), &d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(c.reason), std::string::npos) << r.message;
}

// Size, letters, mode byte, a code with bits 7, 6 and 2 set.
INSTANTIATE_TEST_SUITE_P(
    Headers, MalformedTimTest,
    testing::Values(MalformedCase{"OneByteShort", 0, 'T', 16399, "16399 bytes"},
                    MalformedCase{"WrongLetters", 1, 'X', 16400, "\"TIM\""},
                    MalformedCase{"ModeByte7", 3, 7, 16400, "mode byte 7"},
                    MalformedCase{"CodeWithStrayBits", 7, 0xC4, 16400, "0xC4 at header byte 7"}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

using ScreenReadTest = test::ScratchTest;

TEST_F(ScreenReadTest, FifoIsRefusedAtOnce) {
  DecodedScreen d;
  ASSERT_EQ(mkfifo(Path("pipe.tim").c_str(), 0600), 0);
  const Result r = ReadScreenFile(Path("pipe.tim"), TvcMode::kGraphics16, {}, &d);
  EXPECT_TRUE(!r.ok && r.message.rfind(Path("pipe.tim: "), 0) == 0) << r.message;
}

}  // namespace
}  // namespace tvcpix
