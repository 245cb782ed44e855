// Reading screen files back: a malformed ".tim" is refused with its reason, and a FIFO named
// like a screen file at once.
#include "output/screen_decode.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using ScreenReadTest = test::ScratchTest;

// A "TIM" header for "Graphics 4" with one byte set (size, letters, mode byte, a code with bits
// 7, 6 and 2 set): each refused with its reason.
TEST_F(ScreenReadTest, MalformedTimIsRefusedWithItsReason) {
  const struct {
    std::size_t at;
    int value;
    std::size_t size;
    const char* reason;
  } cases[] = {{0, 'T', 16399, "16399 bytes"},
               {1, 'X', 16400, "\"TIM\""},
               {3, 7, 16400, "mode byte 7"},
               {7, 0xC4, 16400, "0xC4 at header byte 7"}};
  for (const auto& c : cases) {
    test::Bytes tim = {'T', 'I', 'M', 1};
    tim.resize(c.size), tim[c.at] = static_cast<std::uint8_t>(c.value);
    DecodedScreen d;
    const Result r = DecodeTim(tim.data(), tim.size(), &d);
    EXPECT_TRUE(!r.ok && r.message.find(c.reason) != std::string::npos) << r.message;
  }
  ASSERT_EQ(mkfifo(Path("pipe.tim").c_str(), 0600), 0);
  DecodedScreen d;
  const Result r = ReadScreenFile(Path("pipe.tim"), TvcMode::kGraphics16, {}, &d);
  EXPECT_TRUE(!r.ok && r.message.rfind(Path("pipe.tim: "), 0) == 0) << r.message;
}

}  // namespace
}  // namespace tvcpix
