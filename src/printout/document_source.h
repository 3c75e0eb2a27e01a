// A record file's lines as the bytes of its printout: each line's recorded
// text (the same bytes the export writes for a valid record), and the text
// of a record that fails its check too, marked as manipulated. A line's
// bytes are copied out of the document's record, so that whatever else
// reads the document meanwhile (a window painting while a long pass keeps
// the application responsive) cannot change them under the interpreter.
#pragma once

#include <cstdint>
#include <vector>

#include "document/record_document.h"
#include "printout/printout_source.h"

namespace qb {

class DocumentSource : public PrintoutSource {
 public:
  explicit DocumentSource(RecordDocument& document) : document_(document) {}

  int LineCount() override { return document_.GetLastLineIndex() + 1; }
  void Seek(int line) override { walk_ = {line, 0}; }
  bool Next(LineBytes& line) override;

 private:
  RecordDocument& document_;
  RecordDocument::LineWalk walk_;
  std::vector<uint8_t> bytes_;
};

}  // namespace qb
