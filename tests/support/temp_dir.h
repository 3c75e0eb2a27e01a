// A temporary folder removed with its contents at the end of a test.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#ifdef _WIN32
#include <io.h>
#endif

namespace qb::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qbtest-XXXXXX").string();
    path_ = MakeFolder(pattern) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
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
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = pattern;
      if (_mktemp_s(name.data(), name.size() + 1) != 0) return false;
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
