// qbd verify: checks record files - each on its own or a folder of them - in
// one read per file: every record's check, the numbering, the end-of-file
// record, the file's SHA-256 against its read report (when there is one)
// and the report's signature (with a public key). One result line per
// file and a summary, or JSON; exit status 0 only when every file passed.
#pragma once

#include <string>
#include <vector>

namespace qb {

class QbdHost;

struct VerifyOptions {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  bool recursive = false;
  bool json = false;
  bool requireReport = false;  // a file without a read report fails
  std::string publicKey;       // check the reports' signatures with it
};

// 0 when every file passed; 1 when a file could not be checked at all
// (unreadable, not a record file) or the key is unusable; 2 otherwise.
int VerifyCommand(const VerifyOptions& options, QbdHost& host);

}  // namespace qb
