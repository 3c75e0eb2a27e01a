// qbd sign: signs the read reports of record files with a lab's Ed25519
// private key, writing NAME.qbd.report.sig beside each. A report is signed
// only when its record file still matches it.
#pragma once

#include <string>
#include <vector>

namespace qb {

// 0 when every report was signed, else 1 (each failure said on stderr).
int SignCommand(const std::string& key_path, const std::vector<std::string>& files);

}  // namespace qb
