// A record file as the application meets it. QB_BENCH_RECORD_FILE names the
// file (see document.sh and card_speed.sh).
//   RandomLineFetch: random line fetches, as the view makes them when the
//     user jumps around: 10,000 lines drawn at random, each fetched with its
//     display text; the median and 99th percentile of one fetch.
//   OpenRecordFile/1: the open, median of three (see below);
//   OpenRecordFile/0: the same without the facts, the index alone.
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

// The file named by QB_BENCH_RECORD_FILE; null, with the benchmark skipped,
// when none is named.
const char* RecordFilePath(benchmark::State& state) {
  const char* path = std::getenv("QB_BENCH_RECORD_FILE");
  if (path == nullptr) state.SkipWithError("QB_BENCH_RECORD_FILE is not set");
  return path;
}

void RandomLineFetch(benchmark::State& state) {
  const char* path = RecordFilePath(state);
  if (path == nullptr) return;
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

// The open as the user meets it: the load returns with the lines indexed
// and the document in use (open_s); the recording's facts, gathered beside
// and after it, are complete later (facts_s, from the same start).
void OpenRecordFile(benchmark::State& state) {
  const char* path = RecordFilePath(state);
  if (path == nullptr) return;
  SilentHost host;
  qb::ScopedJobHost scoped(&host);
  std::vector<double> opens;
  std::vector<double> facts;
  for (auto _ : state) {
    qb::RecordDocument document;
    document.SetFactsWanted(state.range(0) != 0);
    auto start = std::chrono::steady_clock::now();
    if (!document.LoadRecordFile(path)) {
      state.SkipWithError("the record file does not load");
      return;
    }
    auto opened = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(document.facts().records);
    auto complete = std::chrono::steady_clock::now();
    opens.push_back(std::chrono::duration<double>(opened - start).count());
    facts.push_back(std::chrono::duration<double>(complete - start).count());
    state.SetIterationTime(opens.back());
  }
  std::sort(opens.begin(), opens.end());
  std::sort(facts.begin(), facts.end());
  state.counters["open_s"] = opens[opens.size() / 2];
  state.counters["facts_s"] = facts[facts.size() / 2];
}
BENCHMARK(OpenRecordFile)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
