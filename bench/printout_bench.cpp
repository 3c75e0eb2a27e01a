// The printout of a recording laid out into pages (the paper view): the
// pass that notes where every page begins, in lines per second, and the
// layout of single pages on demand, as the view asks for them when the user
// jumps around (median and worst of 200 pages drawn at random).
// QB_BENCH_RECORD_FILE names the record file (see printout_layout.sh);
// QB_BENCH_PINS=24 reads it as a 24-pin printer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/job_host.h"
#include "document/record_document.h"
#include "printout/document_source.h"
#include "printout/printout_layout.h"

namespace {

class SilentHost : public qb::JobHost {
 public:
  void ShowErrorBox(const std::string&) override {}
};

// The document of QB_BENCH_RECORD_FILE, or null after marking the
// benchmark skipped.
bool Load(benchmark::State& state, qb::RecordDocument& document) {
  const char* path = std::getenv("QB_BENCH_RECORD_FILE");
  if (path == nullptr) {
    state.SkipWithError("QB_BENCH_RECORD_FILE is not set");
    return false;
  }
  if (!document.LoadRecordFile(path) || document.GetLastLineIndex() < 0) {
    state.SkipWithError("the record file does not load");
    return false;
  }
  return true;
}

qb::PrintoutSettings Settings() {
  qb::PrintoutSettings settings;
  const char* pins = std::getenv("QB_BENCH_PINS");
  if (pins != nullptr && std::strcmp(pins, "24") == 0)
    settings.model = qb::PrinterModel::kTwentyFourPin;
  return settings;
}

void PrintoutPagination(benchmark::State& state) {
  SilentHost host;
  qb::ScopedJobHost scoped(&host);
  qb::RecordDocument document;
  if (!Load(state, document)) return;
  qb::DocumentSource source(document);
  qb::PrintoutLayout layout(source, Settings());
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    layout.Paginate();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
  const double lines = document.GetLastLineIndex() + 1;
  state.counters["lines"] = lines;
  state.counters["pages"] = layout.PageCount();
  state.counters["lines_per_s"] = lines / seconds;
  state.counters["start_bytes"] = static_cast<double>(layout.MemoryUsed());
}
BENCHMARK(PrintoutPagination)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void PrintoutPageOnDemand(benchmark::State& state) {
  SilentHost host;
  qb::ScopedJobHost scoped(&host);
  qb::RecordDocument document;
  if (!Load(state, document)) return;
  qb::DocumentSource source(document);
  qb::PrintoutLayout layout(source, Settings());
  layout.Paginate();
  if (layout.PageCount() == 0) {
    state.SkipWithError("nothing printed");
    return;
  }
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> pages(0, layout.PageCount() - 1);
  std::vector<double> millis;
  size_t items = 0;
  for (auto _ : state) {
    qb::Page page;
    const int index = pages(random);
    auto start = std::chrono::steady_clock::now();
    layout.LayoutPage(index, page);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    millis.push_back(seconds * 1e3);
    items += page.texts.size() + page.images.size();
  }
  std::sort(millis.begin(), millis.end());
  state.counters["median_ms"] = millis[millis.size() / 2];
  state.counters["worst_ms"] = millis.back();
  state.counters["items_per_page"] =
      static_cast<double>(items) / static_cast<double>(millis.size());
}
BENCHMARK(PrintoutPageOnDemand)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
