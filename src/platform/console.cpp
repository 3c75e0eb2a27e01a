#include "platform/console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace qb {
namespace {

termios g_saved;
bool g_raw = false;

void RestoreTerminal() {
  if (g_raw) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
  g_raw = false;
}

bool EnsureRawTerminal() {
  static bool tried = false;
  static bool usable = false;
  if (tried) return usable;
  tried = true;
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved) != 0) return false;
  termios raw = g_saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_iflag &= static_cast<tcflag_t>(~ICRNL);  // Return arrives as CR (13)
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
  g_raw = true;
  (void)std::atexit(RestoreTerminal);
  usable = true;
  return true;
}

}  // namespace

bool ConsolePollKey(int& key) {
  if (!EnsureRawTerminal()) return false;
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  if (poll(&fd, 1, 0) <= 0 || (fd.revents & POLLIN) == 0) return false;
  unsigned char byte = 0;
  if (read(STDIN_FILENO, &byte, 1) != 1) return false;
  key = byte;
  return true;
}

}  // namespace qb
