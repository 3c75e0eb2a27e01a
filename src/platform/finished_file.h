// What is done to a file once it is complete: its bytes and its name made
// durable on the disk, and its write permissions taken away.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace qb {

// The folder that names `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// Flushes a folder's entries to its disk; 0, or the error number. File
// systems that cannot do that, and systems whose folder entries are made
// durable with the file, count as done.
int SyncFolder(const std::string& folder);

// Flushes an existing file's bytes and then its folder to their disk, also
// when the file is read-only; 0, or the error number.
int SyncFileAndFolder(const std::string& path);

// Asks the system to start writing `length` bytes of an open file from
// `offset` on to its disk, without waiting: a long write that ends in a
// flush then finds most of its bytes on the disk already. Nothing happens
// where the system has no such request; failing to start counts for
// nothing, as the flush at the end makes the file durable either way.
void StartWritingToDisk(std::FILE* stream, uint64_t offset, uint64_t length);

// Takes every write permission from an existing file; 0, or the error number.
int MakeReadOnly(const std::string& path);

}  // namespace qb
