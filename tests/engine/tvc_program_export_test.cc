// Putting a result onto tape: tvcpix-cli's --cas and --wav, and the engine operation the
// window's "Export for TVC..." calls. A .tim goes onto tape as saved: the Z80 routine, run on
// the model of the TVC, leaves video RAM equal to the file's image.
#include "engine/tvc_program_export.h"

#include <gtest/gtest.h>

#include <regex>

#include "output/basic_loader.h"
#include "output/screen_file.h"
#include "output/tape_audio.h"
#include "output/tvc_cassette.h"
#include "tests/output/tvc_machine.h"
#include "tests/output/tvc_screens.h"
#include "tests/support/tool_run.h"

namespace tvcpix::test {
namespace {

// The program inside a ".cas": everything after its two headers.
Bytes PayloadOfCas(const Bytes& cas) {
  if (cas.size() <= kCasHeaderBytes + kCasProgramHeaderBytes) return {};
  return Bytes(cas.begin() + kCasHeaderBytes + kCasProgramHeaderBytes, cas.end());
}

// A hand-made .tim whose image uses all 16,384 bytes, the hidden last 1,024 included.
Bytes MadeTim(TvcMode mode, const PaletteCodes& codes) {
  // Sized once and filled in place (growing it by inserts trips GCC 12's -Warray-bounds).
  Bytes tim(kTimFileBytes, 0);
  tim[0] = 'T', tim[1] = 'I', tim[2] = 'M';
  tim[3] = static_cast<std::uint8_t>(InfoOf(mode).mode_byte);
  std::copy(codes.begin(), codes.end(), tim.begin() + 4);
  const ScreenBytes image = MakeScreen(Pattern::kFarRepeats);
  std::copy(image.begin(), image.end(), tim.begin() + kTimHeaderBytes);
  for (std::size_t i = 15360; i < image.size(); ++i)
    tim[kTimHeaderBytes + i] = static_cast<std::uint8_t>(i * 5);
  return tim;
}

using TvcExportCli = ScratchTest;

TEST_F(TvcExportCli, SavedScreenGoesOntoTapeByteForByte) {
  const Bytes tim = MadeTim(TvcMode::kGraphics4, {0x00, 0x55, 0x44, 0x11});
  WriteBytes(Path("shot.tim"), tim);
  const ToolResult r =
      Run({"--cas", Path("shot.cas"), "--wav", Path("Shot Two.wav"), Path("shot.tim")});
  ASSERT_EQ(r.code, 0) << r.err;
  // Only the exports: no BASE files without -o or -O.
  EXPECT_EQ(Listing(dir_.string()),
            (std::set<std::string>{"shot.tim", "shot.cas", "Shot Two.wav"}));
  const std::regex line(".*: Graphics 4, (un)?packed [0-9]+ bytes, tape [0-9]+\\.[0-9] s\n");
  EXPECT_TRUE(std::regex_match(r.out.substr(0, r.out.find('\n') + 1), line)) << r.out;

  const Bytes payload = PayloadOfCas(ReadBytes(Path("shot.cas")));
  const Bytes image(tim.begin() + kTimHeaderBytes, tim.end());
  TvcMachine m;  // the routine run as "X=USR(6912)" calls it
  ASSERT_TRUE(m.RunProgram(payload, kShowRoutineAddress, 10000000));
  EXPECT_EQ(m.bank(TvcMachine::kVid), image);
  // "10 GRAPHICS 4": the .tim's own mode.
  EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 6),
            (Bytes{0x06, 0x0A, 0x00, 0xEE, '4', 0xFF}));
  // The tape audio holds the same program under the file's stem as its name.
  EXPECT_EQ(ReadBytes(Path("Shot Two.wav")), BuildTapeWav(payload, "Shot Two").bytes);
}

TEST_F(TvcExportCli, PictureExportIsTheConvertedResult) {
  const std::string sample = std::string(TVCPIX_SAMPLES_DIR) + "/rose_70x46.bmp";
  ASSERT_EQ(Run({"-q", "-m", "16", "-o", Path("rose"), "--cas", Path("rose.cas"), sample}).code, 0);
  const Bytes tim = ReadBytes(Path("rose.tim"));
  TimScreen saved;
  ASSERT_TRUE(ScreenFromTim(tim.data(), tim.size(), &saved).ok);
  EXPECT_EQ(
      PayloadOfCas(ReadBytes(Path("rose.cas"))),
      BuildTvcProgram(saved.mode, saved.codes, saved.image.data(), saved.image.size()).payload);
  // -q prints nothing; the same run without -o writes the same program and nothing else.
  const ToolResult quiet = Run({"-m", "16", "--cas", Path("again.cas"), sample});
  ASSERT_EQ(quiet.code, 0);
  EXPECT_EQ(ReadBytes(Path("again.cas")), ReadBytes(Path("rose.cas")));
  EXPECT_FALSE(fs::exists(Path("again.tim")));
}

struct Refusal {
  std::vector<std::string> args;  // "@" stands for the scratch folder
  int code;
  const char* says;
};

class TvcExportCliRefusal : public ScratchTest, public testing::WithParamInterface<Refusal> {};

TEST_P(TvcExportCliRefusal, RefusesAndWritesNothing) {
  WriteBytes(Path("s.tim"), MadeTim(TvcMode::kGraphics16, {}));
  WriteBytes(Path("t.tim"), MadeTim(TvcMode::kGraphics2, {0x00, 0x55, 0, 0}));
  std::vector<std::string> args;
  for (std::string a : GetParam().args) args.push_back(a[0] == '@' ? Path(a.substr(1)) : a);
  const ToolResult r = Run(args);
  EXPECT_EQ(r.code, GetParam().code);
  EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
  EXPECT_EQ(Listing(dir_.string()), (std::set<std::string>{"s.tim", "t.tim"}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, TvcExportCliRefusal, testing::Values(
    Refusal{{"--cas", "@s.tim", "@s.tim"}, 1, "would replace the input"},
    Refusal{{"--wav", "@x.wav", "--cas", "@x.wav", "@s.tim"}, 2, "is also"},
    Refusal{{"--cas", "@x.cas", "@s.tim", "@t.tim"}, 2, "single INPUT"},
    Refusal{{"-o", "@x", "--cas", "@x.tim", "@s.tim"}, 2, "is also the file"},
    Refusal{{"--cas", "", "@s.tim"}, 2, "non-empty FILE"}, Refusal{{"@s.tim"}, 2, "no output given"},
    Refusal{{"--cas", "@no/x.cas", "@s.tim"}, 1, "cannot write"}));
// clang-format on

TEST(ExportSuffix, NamesTheFormat) {
  using F = TvcExportFormat;
  const std::pair<const char*, F> cases[] = {{"a.cas", F::kCas},         {"dir.wav/A.CaS", F::kCas},
                                             {"a.WAV", F::kWav},         {"a.wave", F::kUnknown},
                                             {"a.cas.bin", F::kUnknown}, {"cas", F::kUnknown},
                                             {"", F::kUnknown}};
  for (const auto& [path, format] : cases) EXPECT_EQ(TvcExportFormatOf(path), format) << path;
}

// Before a conversion and with another suffix the export is refused and writes nothing; each
// mode's export is the program of the screen the model saves; the tape takes the stem.
TEST_F(TvcExportCli, ModelExportIsTheProgramOfItsSavedScreen) {
  Surface picture("Pic1", 90, 60, 0);
  for (int i = 0; i < 90 * 60; ++i)
    picture.SetPixel(i % 90, i / 90, MakeColor(i % 90 * 2, i / 90 * 4, (i % 90 * (i / 90)) & 255));
  Model early;
  const Result none = ExportResultForTvc(early, Path("x.cas"));
  EXPECT_TRUE(!none.ok && none.message.find("no picture") != std::string::npos) << none.message;
  for (const TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    Model model;
    model.SetMode(mode);
    model.LoadSourcePicture(Surface(picture));
    const Result png = ExportResultForTvc(model, Path("x.png"));
    EXPECT_TRUE(!png.ok && png.message.find(".cas") != std::string::npos) << png.message;
    EXPECT_TRUE(Listing(dir_.string()).empty());
    ASSERT_TRUE(model.SaveAs(Path("saved")).ok);
    const Bytes tim = ReadBytes(Path("saved.tim"));
    TimScreen saved;
    ASSERT_TRUE(ScreenFromTim(tim.data(), tim.size(), &saved).ok);
    TvcExportStats stats, wav_stats;
    ASSERT_TRUE(ExportResultForTvc(model, Path("Pic.CAS"), &stats).ok);
    const Bytes file = ReadBytes(Path("Pic.CAS")), payload = PayloadOfCas(file);
    const TvcProgramResult program =
        BuildTvcProgram(saved.mode, saved.codes, saved.image.data(), saved.image.size());
    EXPECT_EQ(payload, program.payload) << ModeArg(mode);
    EXPECT_EQ(std::tuple(stats.file_bytes, stats.payload_bytes, stats.layout.packing),
              std::tuple(file.size(), payload.size(), program.layout.packing));
    fs::remove(Path("saved.bmp")), fs::remove(Path("saved.bin")), fs::remove(Path("saved.tim"));
    fs::remove(Path("Pic.CAS"));
    if (mode != TvcMode::kGraphics4) continue;
    ASSERT_TRUE(ExportResultForTvc(model, Path("pic.wav"), &wav_stats).ok);
    const WavResult audio = BuildTapeWav(payload, "pic");
    EXPECT_EQ(ReadBytes(Path("pic.wav")), audio.bytes);
    EXPECT_EQ(std::pair(wav_stats.file_bytes, wav_stats.tape_seconds),
              std::pair(audio.bytes.size(), audio.seconds));
    EXPECT_NEAR(stats.tape_seconds, wav_stats.tape_seconds, 0.5);  // the name is not timed apart
    fs::remove(Path("pic.wav"));
  }
}

}  // namespace
}  // namespace tvcpix::test
