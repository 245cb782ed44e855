// The tvcpix-cli command that makes the model's current result files from its source file.
#ifndef TVCPIX_ENGINE_COMMAND_LINE_H_
#define TVCPIX_ENGINE_COMMAND_LINE_H_

#include <string>

#include "engine/model.h"

namespace tvcpix {

struct CommandLine {
  bool ok = false;
  std::string command;  // when ok: the shell command
  std::string reason;   // when not: why no command gives these files
};

// The command writing base_path.bmp/.bin/.tim equal byte for byte to what a save from the
// model writes now. It is checked by running its steps on a fresh model, so a command is only
// offered when it reproduces the result exactly (the random sequence included).
CommandLine BuildCommandLine(const Model& model, const std::string& base_path,
                             const std::string& program = "tvcpix-cli");

// A word for a POSIX shell: as it is when it has no special characters, else in single quotes.
std::string ShellQuote(const std::string& word);

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_COMMAND_LINE_H_
