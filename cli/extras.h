// tvcpix-cli beyond one conversion: reading screens back, source and PNG exports, batch runs.
#ifndef TVCPIX_CLI_EXTRAS_H_
#define TVCPIX_CLI_EXTRAS_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/surface.h"
#include "engine/model.h"

namespace tvcpix {

constexpr int kMaxJobs = 256;

// "tvcpix-cli view FILE -o OUT.png ...": argv[0] is "view". Returns the exit code.
int RunView(int argc, char** argv, std::ostream& out, std::ostream& err);

// The usage rules of --asm, --c-header and --png: one INPUT, no two outputs to one file.
bool CheckExportOptions(const CliOptions& options, std::string* error);
// Refuses (after writing the reason) an export that would overwrite the input picture.
bool CheckExportsAgainstInput(const CliOptions& options, const std::string& input,
                              std::ostream& err);
// Writes the asked-for exports of the model's result, each atomically. Returns false after
// writing the reason for the first that failed.
bool WriteExports(const CliOptions& options, const Model& model, const std::string& input,
                  std::ostream& err);

// Converts every INPUT of the options on options.jobs threads (0: one per core), each on a
// model object of its own, and prints each INPUT's lines in the order of the INPUTs. With
// several INPUTs a summary follows on err; progress draws a progress line on err meanwhile.
// Returns true when every INPUT was converted.
bool RunBatch(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace tvcpix

#endif  // TVCPIX_CLI_EXTRAS_H_
