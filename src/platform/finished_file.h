// What is done to a file once it is complete: its bytes and its name made
// durable on the disk, and its write permissions taken away.
#pragma once

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

// Takes every write permission from an existing file; 0, or the error number.
int MakeReadOnly(const std::string& path);

}  // namespace qb
