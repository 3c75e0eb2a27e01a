#include "app/lock_key_indicators.h"

#include <QLabel>
#include <QTimer>
#include <utility>

namespace {

std::function<LockKeys()>& Reader() {
  static std::function<LockKeys()> reader;
  return reader;
}

}  // namespace

LockKeyIndicators::LockKeyIndicators(const std::array<QLabel*, 3>& panes, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)) {
  for (size_t i = 0; i < panes.size(); ++i) {
    QLabel* label = panes[i];
    panes_[i] = {label, label->text()};
    // An empty pane keeps the width of its text.
    label->setMinimumWidth(label->sizeHint().width());
  }
  connect(timer_, &QTimer::timeout, this, &LockKeyIndicators::Refresh);
  timer_->start(kRefreshMs);
  Refresh();
}

void LockKeyIndicators::Refresh() {
  LockKeys keys = Reader() ? Reader()() : ReadPlatformLockKeys();
  const std::optional<bool> states[] = {keys.caps, keys.num, keys.scroll};
  for (size_t i = 0; i < panes_.size(); ++i) {
    QLabel* label = panes_[i].label;
    if (label == nullptr) continue;
    const std::optional<bool>& on = states[i];
    QString text = !on.has_value() || *on ? panes_[i].text : QString();
    if (label->text() != text) label->setText(text);
    label->setEnabled(on.has_value());
  }
}

void LockKeyIndicators::SetReader(std::function<LockKeys()> reader) {
  Reader() = std::move(reader);
}
