// The start-up integrity check of the program: its file can be read and the
// built-in software signature recomputes to its recorded value.
#pragma once

#include <string>

namespace qb {

// The check on the program file at `program_path`: false when the file
// cannot be opened or read, or when the signature does not match.
bool SelfCheckPasses(const std::string& program_path);

// The check on the running program's own file (/proc/self/exe).
bool SelfCheckPasses();

}  // namespace qb
