#include "printout/document_source.h"

namespace qb {

bool DocumentSource::Next(LineBytes& line) {
  RecordDocument::WalkedLine walked;
  if (!document_.WalkLine(walk_, walked)) return false;
  line.manipulated = !walked.valid;
  bytes_.assign(walked.text, walked.text + walked.size);
  line.data = bytes_.data();
  line.size = bytes_.size();
  return true;
}

}  // namespace qb
