// Lets in-process runs of the CLI code find Qt's reader module in the build tree.
#include <cstdlib>

namespace {
const int kModuleNamed = setenv("TVCPIX_QT_MODULE", TVCPIX_QT_MODULE_PATH, 0);
}  // namespace
