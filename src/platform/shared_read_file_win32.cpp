#include "platform/shared_read_file.h"

#include <windows.h>

#include <cerrno>

#include "platform/win32_errno.h"

namespace qb {
namespace {

// Kernel handles fit in 32 bits (and are sign-extended back), so the handle
// lives in the same int as the descriptor elsewhere.
HANDLE ToHandle(int fd) {
  return LongToHandle(fd);
}

}  // namespace

SharedReadFile::~SharedReadFile() {
  Close();
}

int SharedReadFile::Open(const std::string& path) {
  Close();
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return EISDIR;
  }
  // Other readers are welcome; writers are kept out while the document is open.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ErrnoFromSystem(GetLastError());
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || GetFileSizeEx(handle, &size) == 0 ||
      size.QuadPart < 0) {
    CloseHandle(handle);
    return EINVAL;
  }
  FILETIME written{};
  if (GetFileTime(handle, nullptr, nullptr, &written) == 0) {
    CloseHandle(handle);
    return EIO;
  }
  fd_ = HandleToLong(handle);
  size_ = static_cast<uint64_t>(size.QuadPart);
  changed_at_ = static_cast<int64_t>(written.dwHighDateTime);
  changed_at_fraction_ = static_cast<int64_t>(written.dwLowDateTime);
  return 0;
}

bool SharedReadFile::Changed() const {
  if (fd_ < 0) return false;
  LARGE_INTEGER size{};
  FILETIME written{};
  if (GetFileSizeEx(ToHandle(fd_), &size) == 0 ||
      GetFileTime(ToHandle(fd_), nullptr, nullptr, &written) == 0)
    return true;
  return static_cast<uint64_t>(size.QuadPart) != size_ ||
         static_cast<int64_t>(written.dwHighDateTime) != changed_at_ ||
         static_cast<int64_t>(written.dwLowDateTime) != changed_at_fraction_;
}

void SharedReadFile::Close() {
  if (fd_ >= 0) CloseHandle(ToHandle(fd_));
  fd_ = -1;
  size_ = 0;
  changed_at_ = 0;
  changed_at_fraction_ = 0;
}

long long SharedReadFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  size_t done = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (done < count) {
    uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    size_t left = count - done;
    DWORD want = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD got = 0;
    if (ReadFile(ToHandle(fd_), bytes + done, want, &got, &position) == 0) {
      DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      errno = ErrnoFromSystem(error);
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<long long>(done);
}

}  // namespace qb
