// RecordCrc16 by its two ways, on short and typical records and on a 64 KiB
// buffer: the byte tables against the folding with carry-less multiplication
// (skipped where the processor lacks it), and RecordCrc16 with its pick. The CRCs of successive
// calls are independent, as they are when a walk checks record after record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "format/record_crc.h"
#include "format/record_crc_paths.h"

namespace {

using CrcFunction = uint16_t (*)(const uint8_t*, size_t, uint16_t);

void RunCrc(benchmark::State& state, CrcFunction crc) {
  const auto n = static_cast<size_t>(state.range(0));
  // Consecutive calls walk through a buffer of several records' worth, so
  // that the data is not the same few cache lines every time.
  constexpr size_t kRecords = 64;
  std::vector<uint8_t> data(n * kRecords);
  uint32_t seed = 99;
  for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  size_t record = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc(data.data() + record * n, n, qb::kRecordCrcStart));
    record = (record + 1) % kRecords;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void CrcTables(benchmark::State& state) {
  RunCrc(state, qb::RecordCrc16Table);
}

void CrcFolding(benchmark::State& state) {
  if (!qb::RecordCrcFoldingAvailable()) {
    state.SkipWithError("this processor has no PCLMULQDQ and SSE4.1");
    return;
  }
  RunCrc(state, qb::RecordCrc16Folded);
}

void CrcPicked(benchmark::State& state) {
  RunCrc(state,
         [](const uint8_t* data, size_t n, uint16_t crc) { return qb::RecordCrc16(data, n, crc); });
}

// The record head alone (4 bytes), short records around one and a few
// 16-byte blocks (34: about 30 data bytes and the head), a typical record of
// 150 data bytes and a 64 KiB buffer.
void Lengths(benchmark::internal::Benchmark* b) {
  for (int n : {4, 8, 12, 16, 20, 34, 48, 64, 154, 64 * 1024}) b->Arg(n);
}

BENCHMARK(CrcTables)->Apply(Lengths);
BENCHMARK(CrcFolding)->Apply(Lengths);
BENCHMARK(CrcPicked)->Apply(Lengths);

}  // namespace

BENCHMARK_MAIN();
