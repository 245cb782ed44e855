// Writing a file atomically: a temporary file in the same folder, renamed into place when complete.
#ifndef TVCPIX_OUTPUT_FILE_WRITE_H_
#define TVCPIX_OUTPUT_FILE_WRITE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include "core/result.h"

namespace tvcpix {

// Writes size bytes to path. The bytes go to a temporary file in the folder of path, which is
// flushed to the disk, closed and then renamed over path, so path holds either its old content
// or the complete new one, never a part. On failure the temporary file is removed. A new file
// gets the permissions 0666 less the umask; a replaced file keeps its permissions.
// With sync_folder false the rename is not flushed yet: the caller calls SyncFolderOf once
// after writing several files into one folder.
Result WriteFileAtomically(const std::string& path, const std::uint8_t* data,
                                std::size_t size, bool sync_folder = true);

// Flushes the folder holding path (its renames) to the disk; a failure loses nothing in place.
void SyncFolderOf(const std::string& path);

// Test hook: makes the nth call (counted from 1 after this call) of one step of
// WriteFileAtomically fail with errnum, as a failing disk would. kNone switches it off.
enum class WriteStep { kNone, kCreate, kWrite, kSync, kClose, kRename };
void InjectWriteFaultForTesting(WriteStep step, int nth, int errnum);

// For a process about to end on a signal: removes the temporary file of every write in
// progress on any thread, and from then on keeps every write from creating or renaming one,
// so the process leaves whole files only, the old or the new. Returns how many it removed.
// Writes never work again afterwards: end the process (with _exit) right after it.
int AbandonWritesInProgress();

// Test hook: from the nth write (counted from 1 over all threads) that gets as far as a
// complete temporary file, each write stops there, before its rename, writes one byte to
// notify_fd and waits until the process ends. A test thus knows a save is in progress when it
// stops the process. nth 0 switches it off.
void HoldWritesForTesting(int nth, int notify_fd);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_FILE_WRITE_H_
