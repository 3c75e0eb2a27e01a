// The few POSIX names the core uses directly on files, given to the Windows
// run-time library's equivalents. Nothing changes elsewhere.
#pragma once

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <time.h>

// Descriptors are not inherited by child programs, and bytes go through
// untranslated (no CR LF line ends, no end-of-file character).
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_BINARY | _O_NOINHERIT)
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

// No symbolic links to look through.
inline int lstat(const char* path, struct stat* info) {
  return stat(path, info);
}

inline int fsync(int fd) {
  return _commit(fd);
}

inline struct tm* localtime_r(const time_t* when, struct tm* result) {
  return localtime_s(result, when) == 0 ? result : nullptr;
}
#endif
