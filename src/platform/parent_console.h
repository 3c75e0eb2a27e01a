// Standard output and errors of a program that has no console of its own
// (the desktop application on Windows): started from a console, with
// nothing else given for them, it writes into that console, as --version
// and --help must. Where every program has its terminal, nothing changes.
#pragma once

namespace qb {

void UseParentConsole();

}  // namespace qb
