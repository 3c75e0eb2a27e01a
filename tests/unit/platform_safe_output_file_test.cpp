#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/safe_output_file.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

// The names in a folder.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool Put(SafeOutputFile& file, const std::string& text) {
  return file.Write(text.data(), text.size());
}

TEST(SafeOutputFile, TheNameChangesOnlyWithTheCompleteFile) {
  test::TempDir dir;
  std::string target = dir.Write("out.qbd", "earlier");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  {
    SafeOutputFile file;
    ASSERT_EQ(file.Open(target), 0);
    EXPECT_FALSE(file.writesThrough());
    ASSERT_TRUE(Put(file, "new bytes"));
    ASSERT_EQ(std::fflush(file.stream()), 0);
    // Written, not yet committed: the name still stands for the earlier file.
    EXPECT_EQ(dir.Read("out.qbd"), "earlier");
    EXPECT_EQ(Names(dir.path()).size(), 2u);
  }  // dropped without a commit
  EXPECT_EQ(dir.Read("out.qbd"), "earlier");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.qbd"});

  SafeOutputFile file;
  ASSERT_EQ(file.Open(target), 0);
  ASSERT_TRUE(Put(file, "new bytes"));
  ASSERT_EQ(file.Commit(), 0);
  EXPECT_EQ(dir.Read("out.qbd"), "new bytes");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.qbd"});
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  // Two writers of one name: the last complete file wins, unmixed.
  SafeOutputFile first;
  SafeOutputFile second;
  ASSERT_EQ(first.Open(target), 0);
  ASSERT_EQ(second.Open(target), 0);
  ASSERT_TRUE(Put(first, "first writer"));
  ASSERT_TRUE(Put(second, "second"));
  ASSERT_EQ(first.Commit(), 0);
  ASSERT_EQ(second.Commit(), 0);
  EXPECT_EQ(dir.Read("out.qbd"), "second");
}

TEST(SafeOutputFile, ALinkedFileIsReplacedBesideItself) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0755), 0);
  dir.Write("real/data.txt", "old");
  ASSERT_EQ(::symlink("real/data.txt", dir.File("link.txt").c_str()), 0);
  SafeOutputFile file;
  ASSERT_EQ(file.Open(dir.File("link.txt")), 0);
  ASSERT_TRUE(Put(file, "through the link"));
  ASSERT_EQ(file.Commit(), 0);
  EXPECT_EQ(dir.Read("real/data.txt"), "through the link");
  struct stat info;
  ASSERT_EQ(::lstat(dir.File("link.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(Names(dir.File("real")), std::vector<std::string>{"data.txt"});
}

TEST(SafeOutputFile, DevicesAndFifosAreWrittenThrough) {
  SafeOutputFile null_device;
  ASSERT_EQ(null_device.Open("/dev/null"), 0);
  EXPECT_TRUE(null_device.writesThrough());
  ASSERT_TRUE(Put(null_device, "gone"));
  EXPECT_EQ(null_device.Commit(), 0);

  // A full device: the failed write is reported, at the latest on commit.
  SafeOutputFile full;
  ASSERT_EQ(full.Open("/dev/full"), 0);
  (void)Put(full, std::string(100000, 'x'));
  EXPECT_EQ(full.Commit(), ENOSPC);

  test::TempDir dir;
  std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[64];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, n);
    ::close(fd);
  });
  SafeOutputFile through_fifo;
  ASSERT_EQ(through_fifo.Open(fifo), 0);
  EXPECT_TRUE(through_fifo.writesThrough());
  ASSERT_TRUE(Put(through_fifo, "piped"));
  EXPECT_EQ(through_fifo.Commit(), 0);
  reader.join();
  EXPECT_EQ(received, "piped");
  struct stat info;
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// Small writes are gathered and large ones go straight on, in order. A
// file on a disk that stops taking bytes part of the way (here at the
// process's file-size limit) shows the failure at a later Write and at
// Commit, with its error, and the name keeps what it had.
TEST(SafeOutputFile, GatheredWritesKeepTheirOrderAndAFailureIsReported) {
  test::TempDir dir;
  std::string target = dir.Write("out.qbd", "earlier");
  const std::string block(64 * 1024, 'x');

  // Pieces of odd sizes cross the buffer's end; whole buffers go past the
  // system's cache until a large write leaves the file at an odd size, and
  // through it after that.
  // One object, opened again, writes the second file as the first.
  SafeOutputFile ordered;
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(ordered.Open(target), 0);
    std::string expected;
    for (int i = 0; i < 80; ++i) {
      const size_t size = i == 53 ? 800 * 1024 + 3 : block.size() + static_cast<size_t>(i % 3) * 7;
      std::string piece(size, static_cast<char>('a' + (i + round) % 26));
      ASSERT_TRUE(Put(ordered, piece));
      expected += piece;
    }
    ASSERT_EQ(ordered.Commit(), 0);
    EXPECT_TRUE(dir.Read("out.qbd") == expected);
  }

  dir.Write("out.qbd", "earlier");
  struct rlimit limit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const struct rlimit before = limit;
  limit.rlim_cur = 3 << 20;
  auto* handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  SafeOutputFile file;
  int opened = file.Open(target);
  bool all = true;
  for (int i = 0; i < 100 && all && opened == 0; ++i) all = Put(file, block);
  int committed = file.Commit();
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  ASSERT_EQ(opened, 0);
  EXPECT_FALSE(all);
  EXPECT_EQ(committed, EFBIG);
  EXPECT_EQ(dir.Read("out.qbd"), "earlier");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.qbd"});
}

TEST(SafeOutputFile, WhatCannotBeReplacedIsRefused) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  std::string plain = dir.Write("plain", "x");
  const struct {
    std::string path;
    int error;
  } table[] = {
      {dir.File("folder"), EISDIR},
      {plain + "/below", ENOTDIR},
      {dir.File("missing/out"), ENOENT},
      {"", ENOENT},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.path);
    SafeOutputFile file;
    EXPECT_EQ(file.Open(row.path), row.error);
    EXPECT_FALSE(file.IsOpen());
  }

  // A read-only file stays unless replacing it was asked for (a user who
  // may write anything is never refused).
  std::string read_only = dir.Write("read-only", "kept");
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);
  if (::geteuid() != 0) {
    SafeOutputFile file;
    EXPECT_EQ(file.Open(read_only), EACCES);
  }
  SafeOutputFile file;
  ASSERT_EQ(file.Open(read_only, false, true), 0);
  ASSERT_TRUE(Put(file, "replaced"));
  ASSERT_EQ(file.Commit(), 0);
  EXPECT_EQ(dir.Read("read-only"), "replaced");
}

TEST(SafeOutputFile, SameExistingFileThroughAnyName) {
  test::TempDir dir;
  std::string card = dir.Write("card.img", "sectors");
  dir.Write("other.img", "sectors");
  ASSERT_EQ(::link(card.c_str(), dir.File("hard.img").c_str()), 0);
  ASSERT_EQ(::symlink("card.img", dir.File("soft.img").c_str()), 0);
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  const struct {
    std::string other;
    bool same;
  } table[] = {
      {card, true},
      {dir.File("sub/../card.img"), true},
      {dir.File("hard.img"), true},
      {dir.File("soft.img"), true},
      {dir.File("other.img"), false},
      {dir.File("missing.img"), false},
      {"", false},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.other);
    EXPECT_EQ(SameExistingFile(row.other, card), row.same);
  }
}

}  // namespace
}  // namespace qb
