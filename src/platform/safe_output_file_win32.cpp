#include "platform/safe_output_file.h"

#include <windows.h>
// after windows.h
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "platform/direct_file_writer.h"
#include "platform/name_suffix.h"
#include "platform/win32_errno.h"

namespace qb {
namespace {

constexpr size_t kMaxNamePart = 200;

std::string UniqueSuffix() {
  static uint64_t counter = 0;
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  uint64_t mix = (static_cast<uint64_t>(GetCurrentProcessId()) << 40) ^
                 static_cast<uint64_t>(now.QuadPart) ^ (++counter * 0x9E3779B97F4A7C15ull);
  return NameSuffix(mix);
}

// The volume and file number of an existing file; false when it cannot be
// opened.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return ok;
}

// What kind of file an existing name is: FILE_TYPE_DISK for a file on a
// disk, FILE_TYPE_CHAR or FILE_TYPE_PIPE for devices and pipes.
DWORD FileKind(const std::string& path) {
  HANDLE handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
  DWORD kind = GetFileType(handle);
  CloseHandle(handle);
  return kind;
}

}  // namespace

bool SameExistingFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  if (a.empty() || b.empty() || !FileIdentity(a, first) || !FileIdentity(b, second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

SafeOutputFile::~SafeOutputFile() {
  Discard();
}

int SafeOutputFile::Open(const std::string& path, bool text, bool replace_read_only) {
  Discard();
  if (path.empty()) return ENOENT;
  int mode_flag = text ? _O_TEXT : _O_BINARY;
  const char* stream_mode = text ? "w" : "wb";
  DWORD attributes = GetFileAttributesA(path.c_str());
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      // Devices such as NUL have no attributes of their own.
      DWORD kind = FileKind(path);
      if (kind == FILE_TYPE_CHAR || kind == FILE_TYPE_PIPE) exists = true;
    }
  }
  if (exists && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return EISDIR;
  if (exists) {
    DWORD kind = FileKind(path);
    if (kind == FILE_TYPE_CHAR || kind == FILE_TYPE_PIPE) {
      int fd = _open(path.c_str(), _O_WRONLY | _O_NOINHERIT | mode_flag);
      if (fd < 0) return errno;
      std::FILE* stream = _fdopen(fd, stream_mode);
      if (stream == nullptr) {
        int error = errno;
        _close(fd);
        return error;
      }
      stream_ = stream;
      through_ = true;
      path_ = path;
      target_ = path;
      work_ = path;
      return 0;
    }
    if (kind != FILE_TYPE_DISK) return EINVAL;
    if (!replace_read_only && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return EACCES;
  }

  size_t slash = path.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return EISDIR;
  if (name.size() > kMaxNamePart) name.resize(kMaxNamePart);
  std::string work;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    work = folder + "." + name + "." + UniqueSuffix();
    fd = _open(work.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT | mode_flag,
               _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  std::FILE* stream = _fdopen(fd, stream_mode);
  if (stream == nullptr) {
    int error = errno;
    _close(fd);
    DeleteFileA(work.c_str());
    return error;
  }
  stream_ = stream;
  through_ = false;
  path_ = path;
  target_ = path;
  work_ = work;
  return 0;
}

int SafeOutputFile::Commit() {
  if (stream_ == nullptr) return EBADF;
  int error = FlushStream();
  if (error == 0 && !through_ && _commit(_fileno(stream_)) != 0) error = errno;
  errno = 0;
  if (std::fclose(stream_) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  stream_ = nullptr;
  if (!through_) {
    if (error == 0) {
      // A read-only file the caller chose to replace gives way first.
      DWORD attributes = GetFileAttributesA(target_.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesA(target_.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      if (MoveFileExA(work_.c_str(), target_.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0)
        error = ErrnoFromSystem(GetLastError());
    }
    if (error != 0) DeleteFileA(work_.c_str());
  }
  Forget();
  return error;
}

void SafeOutputFile::Discard() {
  if (stream_ == nullptr) return;
  (void)std::fclose(stream_);
  stream_ = nullptr;
  if (!through_) DeleteFileA(work_.c_str());
  Forget();
}

}  // namespace qb
