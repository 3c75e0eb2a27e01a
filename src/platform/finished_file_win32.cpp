#include "platform/finished_file.h"

#include <windows.h>

#include "platform/win32_errno.h"

namespace qb {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 || (slash == 2 && path[1] == ':') ? slash + 1 : slash);
}

// A folder's entries are made durable by the file system's own journal; a
// folder handle cannot be flushed without administrator rights.
int SyncFolder(const std::string&) {
  return 0;
}

int SyncFileAndFolder(const std::string& path) {
  // Flushing needs write access, which a read-only file refuses: the
  // attribute is lifted for the flush and put back.
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ErrnoFromSystem(GetLastError());
  bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only && !SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
    return ErrnoFromSystem(GetLastError());
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  int error = 0;
  if (handle == INVALID_HANDLE_VALUE) {
    error = ErrnoFromSystem(GetLastError());
  } else {
    if (!FlushFileBuffers(handle)) error = ErrnoFromSystem(GetLastError());
    CloseHandle(handle);
  }
  if (read_only && !SetFileAttributesA(path.c_str(), attributes) && error == 0)
    error = ErrnoFromSystem(GetLastError());
  return error;
}

void StartWritingToDisk(std::FILE* /*stream*/, uint64_t /*offset*/, uint64_t /*length*/) {
  // Windows writes a file's cached bytes out on its own pace; the flush at
  // the end waits for the rest.
}

int MakeReadOnly(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      !SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY))
    return ErrnoFromSystem(GetLastError());
  return 0;
}

}  // namespace qb
