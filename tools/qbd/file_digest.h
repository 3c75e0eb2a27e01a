// The SHA-256 of a file, from OpenSSL's libcrypto.
#pragma once

#include <string>

namespace qb {

// The digest as 64 lower-case hex digits; false (errno set where the file
// was at fault) when the file cannot be read.
bool FileSha256(const std::string& path, std::string& hex);

}  // namespace qb
