#include "platform/console.h"

#include <conio.h>
#include <windows.h>

namespace qb {
namespace {

// Only a real console delivers keys; redirected input never does.
bool InputIsConsole() {
  static const bool console = [] {
    DWORD mode = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
  }();
  return console;
}

}  // namespace

bool ConsolePollKey(int& key) {
  if (!InputIsConsole()) return false;
  while (_kbhit() != 0) {
    int c = _getch();
    // Function and arrow keys come as a lead byte and a scan code: no key
    // of ours.
    if (c == 0 || c == 0xE0) {
      (void)_getch();
      continue;
    }
    key = c & 0xFF;
    return true;
  }
  return false;
}

}  // namespace qb
