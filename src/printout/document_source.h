// A record file's lines as the bytes of its printout: each line's recorded
// text (the same bytes the export writes for a valid record), and the text
// of a record that fails its check too, marked as manipulated.
#pragma once

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
};

}  // namespace qb
