// "Export for TVC": the screen as a file the TVC loads (.cas) or plays from tape (.wav).
#include "engine/model.h"

namespace tvcpix {

Result Model::ExportForTvc(const std::string& path) {
  return Result::Failure(path + ": export for TVC is not available in this build");
}

}  // namespace tvcpix
