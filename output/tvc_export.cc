// Exporting a screen for the TVC as ".cas" and ".wav".
#include "output/tvc_export.h"

#include "output/file_write.h"
#include "output/tvc_cassette.h"

namespace tvcpix {

namespace {

Result BuildProgram(const TvcExportInput& input, const TvcProgramOptions& options,
                    TvcProgramResult* program) {
  if (input.image == nullptr) return Result::Failure("no screen image");
  *program =
      BuildTvcProgram(input.mode, input.codes, input.image->data(), input.image->size(), options);
  if (!program->ok) return Result::Failure(program->message);
  return {};
}

Result Write(const std::string& path, const std::vector<std::uint8_t>& bytes,
             const TvcProgramResult& program, double tape_seconds, TvcExportStats* stats) {
  Result written = WriteFileAtomically(path, bytes.data(), bytes.size());
  if (written.ok && stats != nullptr) {
    stats->layout = program.layout;
    stats->payload_bytes = program.payload.size();
    stats->file_bytes = bytes.size();
    stats->tape_seconds = tape_seconds;
  }
  return written;
}

}  // namespace

Result WriteTvcCas(const std::string& path, const TvcExportInput& input, TvcExportStats* stats,
                   const TvcProgramOptions& options) {
  TvcProgramResult program;
  const Result built = BuildProgram(input, options, &program);
  if (!built.ok) return built;
  const CasResult cas = BuildCasFile(program.payload);
  if (!cas.ok) return cas;
  // The same program played from tape: what a real TVC would wait for.
  const double seconds = stats != nullptr ? TapePlayingSeconds(program.payload, "") : 0;
  return Write(path, cas.bytes, program, seconds, stats);
}

Result WriteTvcWav(const std::string& path, const TvcExportInput& input,
                   const std::string& tape_name, TvcExportStats* stats, const WavOptions& wav,
                   const TvcProgramOptions& options) {
  TvcProgramResult program;
  const Result built = BuildProgram(input, options, &program);
  if (!built.ok) return built;
  const WavResult audio = BuildTapeWav(program.payload, tape_name, wav);
  if (!audio.ok) return audio;
  return Write(path, audio.bytes, program, audio.seconds, stats);
}

PaletteCodes PaletteCodesOfTimHeader(const std::uint8_t* header) {
  return {header[4], header[5], header[6], header[7]};
}

}  // namespace tvcpix
