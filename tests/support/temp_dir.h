// A temporary folder removed with its contents at the end of a test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace qb::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qbtest-XXXXXX").string();
    path_ = MakeFolder(pattern) ? pattern : std::string();
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    if (std::filesystem::remove_all(path_, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
    // Finished record files are read-only, and on Windows a read-only file
    // cannot be removed: make everything writable and try once more.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code ignored;
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;

  // Replaces the X's of `pattern` and creates that folder, readable by this
  // user only where the system has such modes.
  static bool MakeFolder(std::string& pattern) {
#ifdef _WIN32
    // _mktemp_s gives each process only 26 names built from its id, and Wine
    // hands out the same ids again: random names do not run out.
    static std::mt19937_64 random{std::random_device{}()};
    const std::string::size_type xs = pattern.rfind("XXXXXX");
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = pattern;
      const std::uint64_t bits = random();
      for (int i = 0; i < 6; ++i)
        name[xs + i] = "0123456789abcdefghijklmnopqrstuv"[(bits >> (5 * i)) & 31];
      std::error_code ec;
      if (std::filesystem::create_directory(name, ec)) {
        pattern = name;
        return true;
      }
    }
    return false;
#else
    return mkdtemp(pattern.data()) != nullptr;
#endif
  }
};

}  // namespace qb::test
