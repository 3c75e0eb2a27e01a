#include "printout/document_source.h"

namespace qb {

bool DocumentSource::Next(LineBytes& line) {
  DocRecord* record = document_.WalkLine(walk_);
  if (record == nullptr) return false;
  line.manipulated = !record->IsValid();
  line.data = record->Text();
  line.size = record->TextSize();
  return true;
}

}  // namespace qb
