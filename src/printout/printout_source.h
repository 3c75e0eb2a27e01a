// The bytes a printout is made of: the recording's lines in order, each
// with whether its record failed its check. Read forward from any line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

struct LineBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool manipulated = false;
};

class PrintoutSource {
 public:
  virtual ~PrintoutSource() = default;
  virtual int LineCount() = 0;
  // Reading goes on from `line`.
  virtual void Seek(int line) = 0;
  // The next line's bytes, valid until the next call; false after the last
  // line.
  virtual bool Next(LineBytes& line) = 0;
};

}  // namespace qb
