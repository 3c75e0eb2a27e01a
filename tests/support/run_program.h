// Runs one of the built programs and collects its exit status and output.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef QB_BIN_DIR
#error "QB_BIN_DIR must name the folder of the built programs"
#endif

extern char** environ;

namespace qb::test {

struct ProgramResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

inline std::string ProgramPath(const std::string& name) {
  return std::string(QB_BIN_DIR) + "/" + name;
}

inline std::string SlurpFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `name` from the program folder with `args`, standard input from
// /dev/null, in the folder `cwd` (empty: the current one). Output is
// collected through files in `scratch`.
inline ProgramResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                                const std::string& scratch, const std::string& cwd = "") {
  std::string path = ProgramPath(name);
  std::vector<std::string> all = {path};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::string out_path = scratch + "/.stdout";
  std::string err_path = scratch + "/.stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::string old_cwd;
  if (!cwd.empty()) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) old_cwd = buffer;
    if (chdir(cwd.c_str()) != 0) return {};
  }
  pid_t pid = 0;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  if (!old_cwd.empty() && chdir(old_cwd.c_str()) != 0) return {};
  posix_spawn_file_actions_destroy(&actions);
  ProgramResult result;
  if (rc != 0) {
    result.err = "spawn failed";
    return result;
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = SlurpFile(out_path);
  result.err = SlurpFile(err_path);
  return result;
}

}  // namespace qb::test
