// Waiting for an answer on the console: the card jobs' prompts poll the
// host's key until one of the awaited keys arrives, pausing between polls so
// that waiting costs no processor time.
#pragma once

#include <initializer_list>

namespace qb {

// The key a host hands out when no console is attached, so that no key will
// ever arrive: a prompt then ends at once instead of waiting for ever.
constexpr int kKeyNoConsole = -1;

// Pause between two polls that found no key.
constexpr int kKeyPollPauseMs = 20;

// Polls until one of `keys` arrives and returns it; other keys are dropped.
// Returns kKeyNoConsole when the host reports that no console is attached.
int WaitForKey(std::initializer_list<int> keys);

}  // namespace qb
