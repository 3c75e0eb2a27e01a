#include "base/out_of_memory.h"

#include <cstdio>
#include <new>

#include "base/messages.h"

namespace qb {

void WriteOutOfMemory(const char* program) {
  // A fixed buffer: the heap is what ran out.
  char line[256];
  int length =
      std::snprintf(line, sizeof line, "%s: %s\n", program, LoadMessage(msg::kOutOfMemory));
  if (length > 0) (void)std::fwrite(line, 1, static_cast<size_t>(length), stderr);
  (void)std::fflush(stderr);
}

int RunMainGuarded(const char* program, ProgramMain body, int argc, char** argv) {
  try {
    return body(argc, argv);
  } catch (const std::bad_alloc&) {
    WriteOutOfMemory(program);
    return 1;
  }
}

}  // namespace qb
