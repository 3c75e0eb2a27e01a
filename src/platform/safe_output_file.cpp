#include "platform/safe_output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "platform/direct_file_writer.h"
#include "platform/finished_file.h"
#include "platform/name_suffix.h"

namespace qb {
namespace {

// The longest part of the named file's name that goes into the name of the
// file beside it, so that the two together stay within a name's limit.
constexpr size_t kMaxNamePart = 200;

// Letters that make the file beside the name unique.
std::string UniqueSuffix() {
  static uint64_t counter = 0;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t mix = (static_cast<uint64_t>(getpid()) << 40) ^ static_cast<uint64_t>(now.tv_nsec) ^
                 (static_cast<uint64_t>(now.tv_sec) << 20) ^ (++counter * 0x9E3779B97F4A7C15ull);
  return NameSuffix(mix);
}

}  // namespace

bool SameExistingFile(const std::string& a, const std::string& b) {
  struct stat first;
  struct stat second;
  if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0)
    return false;
  // A device node and its other names share the device number they stand
  // for, not their file number.
  if ((S_ISBLK(first.st_mode) && S_ISBLK(second.st_mode)) ||
      (S_ISCHR(first.st_mode) && S_ISCHR(second.st_mode)))
    return first.st_rdev == second.st_rdev;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

SafeOutputFile::~SafeOutputFile() {
  Discard();
}

int SafeOutputFile::Open(const std::string& path, bool text, bool replace_read_only) {
  (void)text;  // no line-end translation here
  Discard();
  if (path.empty()) return ENOENT;
  std::string target = path;
  struct stat info;
  bool exists = false;
  if (::lstat(path.c_str(), &info) == 0) {
    exists = true;
    if (S_ISLNK(info.st_mode)) {
      // The file the link leads to is replaced, beside itself; a link that
      // leads nowhere is replaced by the new file.
      exists = ::stat(path.c_str(), &info) == 0;
      if (exists) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved == nullptr) return errno;
        target = resolved;
        std::free(resolved);
      }
    }
  } else if (errno != ENOENT) {
    return errno;
  }

  if (exists) {
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode)) {
      int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
      if (fd < 0) return errno;
      std::FILE* stream = ::fdopen(fd, "wb");
      if (stream == nullptr) {
        int error = errno;
        ::close(fd);
        return error;
      }
      stream_ = stream;
      through_ = true;
      path_ = path;
      target_ = path;
      work_ = path;
      return 0;
    }
    if (!S_ISREG(info.st_mode)) return EINVAL;
    if (!replace_read_only && ::access(target.c_str(), W_OK) != 0) return errno;
  }

  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return EISDIR;
  if (name.size() > kMaxNamePart) name.resize(kMaxNamePart);
  std::string work;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    work = folder + "." + name + "." + UniqueSuffix();
    fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  // The replacement keeps what the replaced file allowed.
  if (exists) (void)::fchmod(fd, info.st_mode & 07777);
  std::FILE* stream = ::fdopen(fd, "wb");
  if (stream == nullptr) {
    int error = errno;
    ::close(fd);
    ::unlink(work.c_str());
    return error;
  }
  stream_ = stream;
  through_ = false;
  path_ = path;
  target_ = target;
  work_ = work;
  return 0;
}

int SafeOutputFile::Commit() {
  if (stream_ == nullptr) return EBADF;
  int error = FlushStream();
  // Files on a disk are flushed to it; pipes and devices that cannot be
  // synced need not be.
  if (error == 0 && ::fsync(fileno(stream_)) != 0 && errno != EINVAL && errno != EROFS &&
      errno != ENOTSUP)
    error = errno;
  errno = 0;
  if (std::fclose(stream_) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  stream_ = nullptr;
  if (!through_) {
    if (error == 0 && ::rename(work_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) {
      ::unlink(work_.c_str());
    } else {
      error = SyncFolder(FolderOf(target_));
    }
  }
  Forget();
  return error;
}

void SafeOutputFile::Discard() {
  if (stream_ == nullptr) return;
  (void)std::fclose(stream_);
  stream_ = nullptr;
  if (!through_) ::unlink(work_.c_str());
  Forget();
}

}  // namespace qb
