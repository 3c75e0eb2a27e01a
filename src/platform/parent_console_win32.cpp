#include "platform/parent_console.h"

#include <windows.h>

#include <cstdio>

namespace qb {

namespace {

// True when the handle leads somewhere: a file, pipe or console given by
// the one who started the program.
bool Given(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void UseParentConsole() {
  const bool out = Given(STD_OUTPUT_HANDLE);
  const bool err = Given(STD_ERROR_HANDLE);
  if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out) std::freopen("CONOUT$", "w", stdout);
  if (!err) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace qb
