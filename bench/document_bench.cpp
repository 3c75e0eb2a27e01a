// Random line fetches from a record file, as the view makes them when the
// user jumps around: 10,000 lines drawn at random, each fetched with its
// display text. QB_BENCH_RECORD_FILE names the file (see document.sh). The
// median and 99th percentile of one fetch are reported as counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "base/job_host.h"
#include "document/record_document.h"

namespace {

class SilentHost : public qb::JobHost {
 public:
  void ShowErrorBox(const std::string&) override {}
};

void RandomLineFetch(benchmark::State& state) {
  const char* path = std::getenv("QB_BENCH_RECORD_FILE");
  if (path == nullptr) {
    state.SkipWithError("QB_BENCH_RECORD_FILE is not set");
    return;
  }
  SilentHost host;
  qb::ScopedJobHost scoped(&host);
  qb::RecordDocument document;
  if (!document.LoadRecordFile(path) || document.GetLastLineIndex() < 0) {
    state.SkipWithError("the record file does not load");
    return;
  }
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> lines(0, document.GetLastLineIndex());
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(state.max_iterations));
  for (auto _ : state) {
    int line = lines(random);
    auto start = std::chrono::steady_clock::now();
    std::string text = document.GetLineText(line);
    auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(text);
    double seconds = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(seconds);
    micros.push_back(seconds * 1e6);
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["lines"] = document.GetLastLineIndex() + 1;
}
BENCHMARK(RandomLineFetch)->Iterations(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
