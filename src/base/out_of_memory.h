// Running out of memory: a program ends with a message on standard error and
// exit status 1 instead of an abort, and what it was writing is cleaned up
// on the way out (files beside their names are removed by their owners).
#pragma once

namespace qb {

using ProgramMain = int (*)(int, char**);

// Runs a program's main. A failed allocation that reaches it writes
// "<program>: Out of memory" to standard error and gives exit status 1.
int RunMainGuarded(const char* program, ProgramMain body, int argc, char** argv);

// Writes "<program>: Out of memory" to standard error, allocating nothing.
void WriteOutOfMemory(const char* program);

}  // namespace qb
