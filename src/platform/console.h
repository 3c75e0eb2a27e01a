// The console key poll: when standard input is a terminal it is switched to
// non-canonical mode without echo (restored at exit), and a waiting key is
// read at once; otherwise no key ever arrives.
#pragma once

namespace qb {

// True with the key when one is waiting. Return arrives as 13, Escape as 27.
bool ConsolePollKey(int& key);

}  // namespace qb
