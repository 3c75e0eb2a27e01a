// Letters that make a file name unique: eight of [a-z0-9], well mixed from a
// seed that the caller takes from the process, the clock and a counter.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

std::string NameSuffix(uint64_t seed);

}  // namespace qb
