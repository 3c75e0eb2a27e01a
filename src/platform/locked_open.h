// Opening a file while holding an advisory lock on it, the way a file is
// opened with sharing denied: an exclusive lock keeps other lockers out
// entirely, a shared lock keeps writers out.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace qb {

enum class FileLock { kShared, kExclusive };

// Returns the descriptor (blocking mode), or -1 with the errno value in
// `error`. Only regular files are opened, and pipes when `allow_pipe`; a
// folder fails with EISDIR, anything else with EINVAL. A lock held elsewhere
// fails with EACCES; a file system without locks is read without one. The
// file's status is stored in `info`.
int OpenLockedForReading(const std::string& path, FileLock lock, bool allow_pipe, int& error,
                         struct stat& info);

// Opens a file or device for reading and writing that nobody else may use
// while it stays open, the way a card is held by the one job that uses it: an
// exclusive lock, taken at once or not at all, and released by closing the
// descriptor. Returns the descriptor (not inherited by child programs), or
// -1 with the errno value in `error`: EBUSY when another holder has it. A
// file system without locks is used without one.
int OpenLockedForUpdate(const std::string& path, int& error);

// A buffered stream over the descriptor `fd` (which it then owns), opened
// with the stdio `mode`. On failure the descriptor is closed and null is
// returned with the errno value in `error`.
std::FILE* StreamFromDescriptor(int fd, const char* mode, int& error);

}  // namespace qb
