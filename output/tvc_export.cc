// Exporting a screen for the TVC as ".cas" and ".wav".
#include "output/tvc_export.h"

#include "output/file_write.h"
#include "output/tvc_cassette.h"

namespace tvcpix {

namespace {

TvcExportResult Refused(const std::string& message) {
  TvcExportResult result;
  result.ok = false;
  result.message = message;
  return result;
}

bool BuildProgram(const TvcExportInput& input, const TvcProgramOptions& options,
                  TvcProgramResult* program, TvcExportResult* result) {
  if (input.image == nullptr) {
    *result = Refused("no screen image");
    return false;
  }
  *program =
      BuildTvcProgram(input.mode, input.codes, input.image->data(), input.image->size(), options);
  if (!program->ok) {
    *result = Refused(program->message);
    return false;
  }
  result->layout = program->layout;
  result->payload_bytes = program->payload.size();
  return true;
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes,
           TvcExportResult* result) {
  const Result written = WriteFileAtomically(path, bytes.data(), bytes.size());
  if (!written.ok) {
    result->ok = false;
    result->errnum = written.errnum;
    result->message = written.message;
    return;
  }
  result->file_bytes = bytes.size();
}

}  // namespace

TvcExportResult WriteTvcCas(const std::string& path, const TvcExportInput& input,
                            const TvcProgramOptions& options) {
  TvcExportResult result;
  TvcProgramResult program;
  if (!BuildProgram(input, options, &program, &result)) return result;
  const CasResult cas = BuildCasFile(program.payload);
  if (!cas.ok) return Refused(cas.message);
  Write(path, cas.bytes, &result);
  return result;
}

TvcExportResult WriteTvcWav(const std::string& path, const TvcExportInput& input,
                            const std::string& tape_name, const WavOptions& wav,
                            const TvcProgramOptions& options) {
  TvcExportResult result;
  TvcProgramResult program;
  if (!BuildProgram(input, options, &program, &result)) return result;
  const WavResult audio = BuildTapeWav(program.payload, tape_name, wav);
  if (!audio.ok) return Refused(audio.message);
  result.tape_seconds = audio.seconds;
  Write(path, audio.bytes, &result);
  return result;
}

PaletteCodes PaletteCodesOfTimHeader(const std::uint8_t* header) {
  return {header[4], header[5], header[6], header[7]};
}

}  // namespace tvcpix
