// Opening data and log files that may be anything: a FIFO, a device or a folder put where a file
// belongs must be refused at once, never waited on (a FIFO without a writer blocks a plain open
// forever, and /dev/zero never ends).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Opens `path` with `flags` (O_RDONLY, or O_WRONLY | O_APPEND | O_CREAT, ...) without blocking
// and keeps the descriptor only when it names a regular file. Returns the descriptor, in
// blocking mode and close-on-exec, or -1 with the reason in `reason`; `size` gets the file's
// size when given.
int OpenRegularFile(const char* path, int flags, std::string& reason, uint64_t* size = nullptr);

} // namespace platform
