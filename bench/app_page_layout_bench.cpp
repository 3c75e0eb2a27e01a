// The page layout of a large document, as Print and Print Preview compute it
// before the first page: every line measured with the printing fonts (the
// lines of make_record_file wrap to two rows), breaks on overflow and on the
// form feeds. QB_BENCH_RECORD_FILE names the record file (see
// page_layout.sh). Reported: lines per second (target >= 50,000) and the
// time from a Cancel click in the progress dialog to the end of the pass
// (target <= 0.5 s), measured with the dialog and the event queue as the
// application runs them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "app/page_layout.h"
#include "app/page_printer.h"
#include "app/print_commands.h"
#include "app/progress_dialog.h"
#include "base/job_host.h"
#include "document/record_document.h"

namespace {

class SilentHost : public qb::JobHost {
 public:
  void ShowErrorBox(const std::string&) override {}
};

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

void PageLayoutPass(benchmark::State& state) {
  SilentHost host;
  qb::ScopedJobHost scoped(&host);
  qb::RecordDocument document;
  if (!Load(state, document)) return;
  PagePrinter job(document);
  double seconds = 0;
  for (auto _ : state) {
    job.BeginJob();
    auto start = std::chrono::steady_clock::now();
    bool completed = job.Layout(nullptr);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    if (!completed) state.SkipWithError("the layout did not complete");
  }
  state.counters["lines"] = job.layout().lastLine() + 1;
  state.counters["pages"] = job.pageCount();
  state.counters["lines_per_s"] = (job.layout().lastLine() + 1) / seconds;
}
BENCHMARK(PageLayoutPass)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A Cancel click at a moment into the pass (0.3 s to 2.1 s): the time until
// the pass has ended. The click waits in the event queue until the pass
// pumps it, as a real one does.
void CancelLatency(benchmark::State& state) {
  SilentHost host;
  qb::ScopedJobHost scoped(&host);
  qb::RecordDocument document;
  if (!Load(state, document)) return;
  PagePrinter job(document);
  CProgressDialog dialog(nullptr);
  double worst = 0;
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    int click_ms = 300 + 450 * (runs % 5);
    job.BeginJob();
    DialogLayoutProgress progress(&dialog);
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(click_ms, &dialog, [&dialog] { dialog.reject(); });
    bool completed = job.Layout(&progress);
    double latency = (clock.nsecsElapsed() / 1e9) - click_ms / 1000.0;
    if (completed) {
      state.SkipWithError("the pass ended before the click");
      return;
    }
    state.SetIterationTime(latency);
    worst = std::max(worst, latency);
    total += latency;
    ++runs;
  }
  state.counters["worst_ms"] = worst * 1000;
  state.counters["mean_ms"] = total / runs * 1000;
}
BENCHMARK(CancelLatency)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Fonts and the progress dialog, without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
