#include "record_file_list.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace qb {
namespace {

namespace fs = std::filesystem;

bool HasRecordFileEnding(const fs::path& path) {
  std::string ending = path.extension().string();
  for (char& c : ending) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return ending == ".qbd";
}

int ErrorNumber(const std::error_code& error) {
  return error.category() == std::generic_category() || error.category() == std::system_category()
             ? error.value()
             : EIO;
}

}  // namespace

void ListRecordFiles(const std::string& folder, bool recursive, std::vector<ListedFile>& out) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) {
    out.push_back({folder, ErrorNumber(error)});
    return;
  }
  std::vector<fs::path> files;
  std::vector<fs::path> folders;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const fs::directory_entry& entry = *it;
    std::error_code status_error;
    if (recursive && entry.is_directory(status_error) && !entry.is_symlink(status_error)) {
      folders.push_back(entry.path());
    } else if (HasRecordFileEnding(entry.path()) && !entry.is_directory(status_error)) {
      files.push_back(entry.path());
    }
  }
  if (error) {
    out.push_back({folder, ErrorNumber(error)});
    return;
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const fs::path& file : files) out.push_back({file.string(), 0});
  for (const fs::path& sub : folders) ListRecordFiles(sub.string(), recursive, out);
}

}  // namespace qb
