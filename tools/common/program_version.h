// What the command-line programs share for --version: the program's line
// with the package's version, and the search for the switch itself.
#pragma once

#include <string>

namespace qb::tools {

// "PROGRAM (Quillbank Manager) VERSION", VERSION being the package's.
std::string ProgramVersionLine(const char* program);

// True when one of the arguments after the program name, up to the first
// empty one, is exactly `word`.
bool HasArgument(int argc, char** argv, const char* word);

}  // namespace qb::tools
