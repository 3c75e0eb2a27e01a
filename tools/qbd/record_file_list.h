// The record files in a folder, for checking many at once: every *.qbd in
// it (the ending in any case), sorted by name, and with `recursive` those
// in its subfolders after them (symbolic links to folders are not
// followed, so no loop can arise).
#pragma once

#include <string>
#include <vector>

namespace qb {

struct ListedFile {
  std::string path;
  // Not 0 for a folder that could not be read: its error number.
  int error = 0;
};

void ListRecordFiles(const std::string& folder, bool recursive, std::vector<ListedFile>& out);

}  // namespace qb
