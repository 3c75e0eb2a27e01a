// Whether a path names something in the file system.
#pragma once

#include <string>

namespace qb {

// 0 when `path` names a file, folder or other entry, else the errno value
// (ENOENT, ENOTDIR, ...). Without `follow_links` a symbolic link counts as
// there even when what it points at is not.
int PathStatus(const std::string& path, bool follow_links);

}  // namespace qb
