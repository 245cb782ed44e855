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

// A saved screen goes onto tape as saved: only the exports are written, the routine leaves video
// RAM equal to the file's image (the hidden last 1,024 bytes too) in the .tim's own mode, and
// the tape audio holds the same program under the file's stem. A picture's export is the
// program of the screen saved with it; -q prints nothing; without -o only the export is written.
TEST_F(TvcExportCli, ScreensAndPicturesGoOntoTapeAsSaved) {
  const Bytes tim = MadeTim(TvcMode::kGraphics4, {0x00, 0x55, 0x44, 0x11});
  WriteBytes(Path("shot.tim"), tim);
  const ToolResult r =
      Run({"--cas", Path("shot.cas"), "--wav", Path("Shot Two.wav"), Path("shot.tim")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Listing(dir_.string()),
            (std::set<std::string>{"shot.tim", "shot.cas", "Shot Two.wav"}));
  const std::regex line(".*: Graphics 4, (un)?packed [0-9]+ bytes, tape [0-9]+\\.[0-9] s\n");
  EXPECT_TRUE(std::regex_match(r.out.substr(0, r.out.find('\n') + 1), line)) << r.out;
  const Bytes payload = PayloadOfCas(ReadBytes(Path("shot.cas")));
  TvcMachine m;  // the routine run as "X=USR(6912)" calls it
  ASSERT_TRUE(m.RunProgram(payload, kShowRoutineAddress, 10000000));
  EXPECT_EQ(m.bank(TvcMachine::kVid), Bytes(tim.begin() + kTimHeaderBytes, tim.end()));
  EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 6),  // "10 GRAPHICS 4"
            (Bytes{0x06, 0x0A, 0x00, 0xEE, '4', 0xFF}));
  EXPECT_EQ(ReadBytes(Path("Shot Two.wav")), BuildTapeWav(payload, "Shot Two").bytes);

  const std::string sample = std::string(TVCPIX_SAMPLES_DIR) + "/rose_70x46.bmp";
  const ToolResult quiet = Run({"-q", "-o", Path("rose"), "--cas", Path("rose.cas"), sample});
  ASSERT_EQ(std::pair(quiet.code, quiet.out), std::pair(0, std::string())) << quiet.err;
  TimScreen saved;
  const Bytes rose = ReadBytes(Path("rose.tim"));
  ASSERT_TRUE(ScreenFromTim(rose.data(), rose.size(), &saved).ok);
  EXPECT_EQ(
      PayloadOfCas(ReadBytes(Path("rose.cas"))),
      BuildTvcProgram(saved.mode, saved.codes, saved.image.data(), saved.image.size()).payload);
  ASSERT_EQ(Run({"--cas", Path("again.cas"), sample}).code, 0);
  EXPECT_EQ(ReadBytes(Path("again.cas")), ReadBytes(Path("rose.cas")));
  EXPECT_FALSE(fs::exists(Path("again.tim")));
}

// Refused, with the exit code and the reason, and nothing written.
TEST_F(TvcExportCli, RefusesAndWritesNothing) {
  WriteBytes(Path("s.tim"), MadeTim(TvcMode::kGraphics16, {}));
  WriteBytes(Path("t.tim"), MadeTim(TvcMode::kGraphics2, {0x00, 0x55, 0, 0}));
  const std::tuple<const char*, int, const char*> cases[] = {
      {"--cas D/s.tim D/s.tim", 1, "would replace the input"},
      {"--wav D/x.wav --cas D/x.wav D/s.tim", 2, "is also"},
      {"--cas D/x.cas D/s.tim D/t.tim", 2, "single INPUT"},
      {"-o D/x --cas D/x.tim D/s.tim", 2, "is also the file"},
      {"--cas '' D/s.tim", 2, "non-empty FILE"},
      {"D/s.tim", 2, "no output given"},
      {"--cas D/no/x.cas D/s.tim", 1, "cannot write"}};
  for (const auto& [line, code, says] : cases) {
    const ToolResult r = RunLine(line);
    EXPECT_EQ(r.code, code) << line;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    EXPECT_EQ(Listing(dir_.string()), (std::set<std::string>{"s.tim", "t.tim"})) << line;
  }
}

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
