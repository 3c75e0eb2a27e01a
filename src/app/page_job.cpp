#include "app/page_job.h"

#include <QPrinter>

PageJob::Result PageJob::Print(QPrinter& printer, LayoutProgress* progress) {
  return Print(printer, printer.fromPage(), printer.toPage(), progress);
}
