// File names proposed from texts the program does not control (a card's ID,
// a record file's name): characters that file systems refuse or that would
// name another folder become "_".
#pragma once

#include <string>

namespace qb {

// Every byte below 0x20 and each of " * + / : < > ? \ | becomes "_"; bytes
// from 0x80 up stay. A name of dots only (".", "..") becomes underscores, so
// that it never names the chosen folder or the one above it.
std::string SafeFileName(const std::string& name);

}  // namespace qb
