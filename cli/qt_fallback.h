// Qt's picture reader for tvcpix-cli, loaded from its module only when a file needs it.
#ifndef TVCPIX_CLI_QT_FALLBACK_H_
#define TVCPIX_CLI_QT_FALLBACK_H_

#include <functional>
#include <string>

#include "core/surface.h"
#include "decode/picture_load.h"

namespace tvcpix {

// The fallback decoder of LoadPictureFile for the CLI. The module is started on the main
// thread: called there, it starts it at once; called on another thread, it asks the main
// thread (through the waker, see below) and waits.
Result DecodeWithQtModule(const std::string& path, int fd, long long size,
                                Surface* picture);


// For a main thread that waits on worker threads: the waker is called (on a worker) when a
// worker needs the module; the main thread then calls StartQtModule. Without a waker the
// worker starts the module itself.
void SetQtModuleWaker(std::function<void()> waker);
bool QtModuleRequested();
void StartQtModule();

}  // namespace tvcpix

#endif  // TVCPIX_CLI_QT_FALLBACK_H_
