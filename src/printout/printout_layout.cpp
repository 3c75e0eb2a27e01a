#include "printout/printout_layout.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace qb {
namespace {

// Counts the pages and keeps the start of every step-th.
class StartCollector : public PageSink {
 public:
  StartCollector(std::vector<PageStart>& starts, uint32_t& step, int& count)
      : starts_(starts), step_(step), count_(count) {}

  bool WantsItems() const override { return false; }

  bool PageDone(Page&, const PageStart& next) override {
    if (count_ == INT_MAX) return false;
    ++count_;
    if (static_cast<uint32_t>(count_) % step_ == 0) {
      starts_.push_back(next);
      if (starts_.size() > PrintoutLayout::kMaxStarts) Coarsen();
    }
    return true;
  }

 private:
  std::vector<PageStart>& starts_;
  uint32_t& step_;
  int& count_;

  void Coarsen() {
    size_t kept = 0;
    for (size_t i = 0; i < starts_.size(); i += 2) starts_[kept++] = starts_[i];
    starts_.resize(kept);
    step_ *= 2;
  }
};

// Keeps the items of the `target`-th page and stops there.
class PageCatcher : public PageSink {
 public:
  PageCatcher(uint32_t target, Page& out) : target_(target), out_(out) {}

  bool WantsItems() const override { return seen_ == target_; }

  bool PageDone(Page& page, const PageStart&) override {
    if (seen_ == target_) {
      out_ = std::move(page);
      caught_ = true;
      return false;
    }
    ++seen_;
    return true;
  }
  bool caught() const { return caught_; }

 private:
  uint32_t target_;
  Page& out_;
  uint32_t seen_ = 0;
  bool caught_ = false;
};

// Hands every page from the `first`-th (counted from the start it runs
// from) on to a visitor.
class PageVisitor : public PageSink {
 public:
  PageVisitor(int64_t counted, int64_t first, const std::function<bool(int, Page&)>& visit)
      : counted_(counted), first_(first), visit_(visit) {}

  bool WantsItems() const override { return counted_ >= first_; }

  bool PageDone(Page& page, const PageStart&) override {
    const int64_t index = counted_++;
    if (index < first_) return true;
    return index < INT_MAX && visit_(static_cast<int>(index), page);
  }

 private:
  int64_t counted_;
  int64_t first_;
  const std::function<bool(int, Page&)>& visit_;
};

// Counts the pages that begin at or before a line's first byte, up to a
// limit.
class LineFinder : public PageSink {
 public:
  LineFinder(int line, uint32_t limit) : line_(line), limit_(limit) {}

  bool WantsItems() const override { return false; }

  bool PageDone(Page&, const PageStart& next) override {
    if (!StartsAtOrBefore(next, line_)) return false;
    return ++counted_ < limit_;
  }
  uint32_t counted() const { return counted_; }

 private:
  int line_;
  uint32_t limit_;
  uint32_t counted_ = 0;
};

}  // namespace

bool StartsAtOrBefore(const PageStart& start, int line) {
  return start.line < line || (start.line == line && start.offset == 0);
}

PrintoutLayout::PrintoutLayout(PrintoutSource& source, const PrintoutSettings& settings)
    : source_(source), settings_(settings) {}

bool PrintoutLayout::Paginate(const std::function<bool(int line)>& keep_going) {
  starts_.clear();
  step_ = 1;
  page_count_ = 0;
  starts_.push_back(PrinterInterpreter::FirstPage(settings_));
  StartCollector collector(starts_, step_, page_count_);
  PrinterInterpreter interpreter(settings_, collector);
  source_.Seek(0);
  LineBytes bytes;
  for (int line = 0; source_.Next(bytes); ++line) {
    if (keep_going && line % kProgressLines == 0 && !keep_going(line)) {
      starts_.clear();
      starts_.shrink_to_fit();
      step_ = 1;
      page_count_ = 0;
      return false;
    }
    if (!interpreter.FeedLine({line, bytes.manipulated}, bytes.data, bytes.size)) break;
  }
  interpreter.Finish();
  starts_.shrink_to_fit();
  return true;
}

void PrintoutLayout::Run(const PageStart& start, PageSink& sink) {
  PrinterInterpreter interpreter(settings_, sink);
  interpreter.StartAt(start);
  source_.Seek(start.line);
  LineBytes bytes;
  size_t offset = start.offset;
  for (int line = start.line; !interpreter.stopped() && source_.Next(bytes); ++line) {
    interpreter.FeedLine({line, bytes.manipulated}, bytes.data, bytes.size,
                         std::min(offset, bytes.size));
    offset = 0;
  }
  if (!interpreter.stopped()) interpreter.Finish();
}

bool PrintoutLayout::LayoutPage(int index, Page& page) {
  if (index < 0 || index >= page_count_) return false;
  const size_t kept = static_cast<uint32_t>(index) / step_;
  if (kept >= starts_.size()) return false;
  PageCatcher catcher(static_cast<uint32_t>(index) % step_, page);
  Run(starts_[kept], catcher);
  return catcher.caught();
}

bool PrintoutLayout::ForEachPage(int first,
                                 const std::function<bool(int index, Page& page)>& visit) {
  if (first < 0 || first >= page_count_) return false;
  const size_t kept = static_cast<uint32_t>(first) / step_;
  if (kept >= starts_.size()) return false;
  PageVisitor visitor(static_cast<int64_t>(kept) * step_, first, visit);
  Run(starts_[kept], visitor);
  return true;
}

size_t PrintoutLayout::StartBefore(int line) const {
  auto after = std::partition_point(starts_.begin(), starts_.end(), [line](const PageStart& start) {
    return StartsAtOrBefore(start, line);
  });
  return after == starts_.begin() ? 0 : static_cast<size_t>(after - starts_.begin()) - 1;
}

int PrintoutLayout::PageOfLine(int line) {
  if (line < 0 || line >= source_.LineCount() || page_count_ == 0 || starts_.empty()) return -1;
  const size_t kept = StartBefore(line);
  int64_t page = static_cast<int64_t>(kept) * step_;
  if (step_ > 1) {
    LineFinder finder(line, step_ - 1);
    Run(starts_[kept], finder);
    page += finder.counted();
  }
  return static_cast<int>(std::min<int64_t>(page, page_count_ - 1));
}

}  // namespace qb
