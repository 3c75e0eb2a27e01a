#include "printout/document_source.h"

namespace qb {

bool DocumentSource::Next(LineBytes& line) {
  DocRecord* record = document_.WalkLine(walk_);
  if (record == nullptr) return false;
  line.manipulated = !record->IsValid();
  bytes_.assign(record->Text(), record->Text() + record->TextSize());
  line.data = bytes_.data();
  line.size = bytes_.size();
  return true;
}

}  // namespace qb
