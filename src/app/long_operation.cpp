#include "app/long_operation.h"

namespace {

int& Depth() {
  static int depth = 0;
  return depth;
}

}  // namespace

LongOperationNotifier* LongOperation::Notifier() {
  static LongOperationNotifier* notifier = new LongOperationNotifier;
  return notifier;
}

LongOperation::LongOperation() {
  if (Depth()++ == 0) emit Notifier()->runningChanged(true);
}

LongOperation::~LongOperation() {
  if (--Depth() == 0) emit Notifier()->runningChanged(false);
}

bool LongOperation::Running() {
  return Depth() > 0;
}
