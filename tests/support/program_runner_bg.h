// Runs one of the built programs in the background for the length of a
// test: standard output comes through a pipe so the test can wait for the
// program's ready line; SIGTERM and a wait end it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace qb::test {

class BackgroundProgram {
 public:
  // Starts `name` from the program folder with `args`, standard input from
  // `in_path` (say a terminal the test types on) and standard error into the
  // file `err_path` (empty: into the pipe with standard output).
  BackgroundProgram(const std::string& name, const std::vector<std::string>& args,
                    const std::string& err_path, const std::string& in_path = "/dev/null")
      : err_path_(err_path) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    std::string path = ProgramPath(name);
    std::vector<std::string> all = {path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (err_path.empty()) {
      posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    } else {
      posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
    }
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      return;
    }
    pid_ = pid;
    out_fd_ = fds[0];
  }

  ~BackgroundProgram() { Stop(); }
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // Waits until standard output holds `text` (true), the program closes its
  // output or the time runs out (false).
  bool WaitFor(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (out_fd_ >= 0 && out_.find(text) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p = {out_fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[256];
      ssize_t n = read(out_fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      out_.append(buffer, static_cast<size_t>(n));
    }
    return out_fd_ >= 0;
  }

  // Sends `signal` and waits; the exit status, or -1 when the program did
  // not exit normally (or was never started). Once ended, the status stays.
  int Stop(int signal = SIGTERM) { return End(signal); }
  // Waits for the program to end by itself; the exit status as Stop's.
  int Wait() { return End(0); }

  bool started() const { return pid_ > 0; }
  const std::string& out() const { return out_; }
  std::string err() const { return err_path_.empty() ? out_ : SlurpFile(err_path_); }

 private:
  int End(int signal) {
    if (pid_ > 0) {
      if (signal != 0) kill(pid_, signal);
      int wstatus = 0;
      pid_t got = 0;
      while ((got = waitpid(pid_, &wstatus, 0)) < 0 && errno == EINTR) {
      }
      if (got == pid_ && WIFEXITED(wstatus)) status_ = WEXITSTATUS(wstatus);
      pid_ = -1;
    }
    if (out_fd_ >= 0) {
      close(out_fd_);
      out_fd_ = -1;
    }
    return status_;
  }

  std::string err_path_;
  pid_t pid_ = -1;
  int status_ = -1;
  int out_fd_ = -1;
  std::string out_;
};

}  // namespace qb::test
