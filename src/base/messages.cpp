#include "base/messages.h"

#include <algorithm>
#include <iterator>

namespace qb {
namespace {

struct Entry {
  int id;
  const char* text;
};

// The catalogue by id, in the order of messages.inc.
constexpr Entry kCatalogue[] = {
#define QB_MESSAGE(name, id, text, ...) {id, text},
#include "base/messages.inc"
#undef QB_MESSAGE
};

constexpr bool IsSorted() {
  for (size_t i = 1; i < std::size(kCatalogue); ++i) {
    if (kCatalogue[i - 1].id >= kCatalogue[i].id) return false;
  }
  return true;
}
static_assert(IsSorted(), "the catalogue must be sorted by id, each id once");

}  // namespace

const char* LoadMessage(int id) {
  const Entry* end = std::end(kCatalogue);
  const Entry* it = std::lower_bound(std::begin(kCatalogue), end, id,
                                     [](const Entry& e, int key) { return e.id < key; });
  if (it == end || it->id != id) return "";
  return it->text;
}

}  // namespace qb
