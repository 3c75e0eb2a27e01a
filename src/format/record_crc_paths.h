// The two ways RecordCrc16 is computed. The byte tables work everywhere; the
// folding with carry-less multiplication needs an x86-64 processor with
// PCLMULQDQ and SSE4.1 and is picked at start-up when the processor has them.
// Both give the same CRC for every input; tests and benchmarks call them
// directly to hold them to that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

// Slice-by-8 tables, eight bytes per step.
uint16_t RecordCrc16Table(const uint8_t* data, size_t n, uint16_t crc);

// True when this processor can run RecordCrc16Folded.
bool RecordCrcFoldingAvailable();

// Folding 16 bytes per step with carry-less multiplication; inputs shorter
// than 8 bytes go to the tables. Only to be called when
// RecordCrcFoldingAvailable() is true (elsewhere it is the table version).
uint16_t RecordCrc16Folded(const uint8_t* data, size_t n, uint16_t crc);

}  // namespace qb
