// Ending tvcpix-cli on SIGINT or SIGTERM without leaving partial files behind.
#ifndef TVCPIX_CLI_INTERRUPT_H_
#define TVCPIX_CLI_INTERRUPT_H_

namespace tvcpix {

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread started after it,
// and starts a thread that waits for them. On one it removes the temporary files of the saves
// in progress (files already renamed into place stay), prints one line and ends the process
// with 128 + the signal number. A signal ignored at the start (a background job of a shell
// without job control) stays ignored. Call it first in main, before any other thread starts;
// the window program does not use it.
void EndCleanlyOnSignals();

// Test hook, read only by tvcpix-cli's main: TVCPIX_TEST_HOLD_WRITE="N FD" holds every file
// write from the Nth on once its temporary file is complete, writing one byte to the open
// descriptor FD for each (see HoldWritesForTesting). Ignored when unset or malformed.
void HoldWritesFromEnvironment();

}  // namespace tvcpix

#endif  // TVCPIX_CLI_INTERRUPT_H_
