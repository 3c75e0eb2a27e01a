#include "app/read_report_window.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "app/ansi_text.h"
#include "app/integrity_summary.h"
#include "app/line_renderer.h"
#include "app/message_box.h"
#include "app/page_layout.h"
#include "app/page_printer.h"
#include "app/quillbank_doc.h"
#include "app/ui_text.h"
#include "base/messages.h"
#include "document/read_report.h"
#include "document/record_file_scan.h"
#include "signing/report_signature.h"

namespace {

// Lines of manipulated records and the like named in the report's text.
constexpr size_t kListed = 50;

QString Number(uint64_t value) {
  return QString::number(value);
}

// The numbers, at most kListed of them, "..." for more.
template <typename T, typename Get>
QString Listed(const std::vector<T>& list, uint64_t total, Get get) {
  QStringList parts;
  for (size_t i = 0; i < list.size() && i < kListed; ++i) parts.append(get(list[i]));
  if (total > static_cast<uint64_t>(parts.size())) parts.append(QStringLiteral("..."));
  return parts.join(QStringLiteral(", "));
}

// The body text of the printed report: the printouts' normal font.
QFont ReportFont() {
  return MakeLineFont(40, 24);
}

}  // namespace

QStringList ReadReportLines(const qb::ReadReport& r, const QString& state,
                            const QString& signature) {
  QStringList lines;
  lines << UiText(qb::msg::kReportFile, BytesText(r.fileName), Number(r.fileSize))
        << UiText(qb::msg::kReportSha, QString::fromStdString(r.sha256))
        << UiText(qb::msg::kReportState, state) << QString()
        << UiText(qb::msg::kReportCard,
                  r.cardIdKnown ? AnsiText(r.cardId) : UiText(qb::msg::kReportUnknownId))
        << UiText(qb::msg::kReportMaster, BytesText(r.masterNumber))
        << UiText(qb::msg::kReportReadDate, BytesText(r.readDate));
  QStringList settings;
  for (const auto& [key, value] : r.settings)
    settings.append(BytesText(key) + QLatin1Char('=') + BytesText(value));
  lines << UiText(qb::msg::kReportSettings, settings.join(QStringLiteral(", ")))
        << UiText(qb::msg::kReportProgram, BytesText(r.program), BytesText(r.version),
                  BytesText(r.softwareSignature))
        << QString() << UiText(qb::msg::kReportCounts, Number(r.records), Number(r.lines));
  lines << UiText(qb::msg::kReportSessions, Number(r.sessionCount))
        << UiText(qb::msg::kReportOverwritten, AnswerText(r.overwritten))
        << UiText(qb::msg::kReportCardFull, AnswerText(r.cardFull))
        << UiText(qb::msg::kReportMissing, Number(r.missingRecords));
  if (r.skippedSectors > 0) lines << UiText(qb::msg::kReportSkipped, Number(r.skippedSectors));
  QString manipulated_lines;
  if (r.manipulatedLineCount > 0)
    manipulated_lines = UiText(
        qb::msg::kSummaryLines,
        Listed(r.manipulatedLines, r.manipulatedLineCount, [](uint32_t l) { return Number(l); }));
  lines << UiText(qb::msg::kReportManipulated, Number(r.manipulated), manipulated_lines);
  if (!r.firstPrinted.empty())
    lines << UiText(qb::msg::kReportPrinted, BytesText(r.firstPrinted), BytesText(r.lastPrinted));
  lines << QString() << UiText(qb::msg::kReportSignature, signature);
  return lines;
}

int PrintReadReport(QPagedPaintDevice& device, const QStringList& lines, const QString& comment,
                    const QString& file_name) {
  QPainter painter;
  if (!painter.begin(&device)) return 0;
  const QRect drawing(0, 0, device.width(), device.height());
  const PageRects rects = PageRectsFor();
  const QFont band_font = PageBandFont();
  const QFont font = ReportFont();
  const QString date = PrintDateNow();
  constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

  // The pages first, so that each footer can name their number.
  std::vector<int> page_starts = {0};
  double top = rects.body.top();
  QFontMetricsF metrics(font);
  for (int i = 0; i < lines.size(); ++i) {
    QRectF bounds(rects.body.left(), 0, rects.body.width(), kPageHeight);
    double height =
        metrics.boundingRect(bounds, kFlags, lines[i].isEmpty() ? " " : lines[i]).height();
    if (top + height > rects.body.bottom() && i > page_starts.back()) {
      page_starts.push_back(i);
      top = rects.body.top();
    }
    top += height;
  }
  page_starts.push_back(static_cast<int>(lines.size()));
  const int pages = static_cast<int>(page_starts.size()) - 1;
  for (int n = 1; n <= pages; ++n) {
    if (n > 1 && !device.newPage()) return n - 1;
    painter.save();
    PagePrinter::MapPage(painter, drawing);
    painter.setBackgroundMode(Qt::TransparentMode);
    DrawPageHeader(painter, rects.header, band_font, comment);
    DrawPageFooter(painter, rects.footer, band_font, date, file_name, n, pages);
    painter.setFont(font);
    painter.setPen(QPen(Qt::black));
    QRectF rect = rects.body;
    for (int i = page_starts[n - 1]; i < page_starts[n]; ++i) {
      QRectF used;
      painter.drawText(rect, kFlags, lines[i].isEmpty() ? " " : lines[i], &used);
      rect.setTop(rect.top() + used.height());
    }
    painter.restore();
  }
  painter.end();
  return pages;
}

ReadReportDialog::ReadReportDialog(const QStringList& lines, const QString& comment,
                                   const QString& file_name, QWidget* parent)
    : QDialog(parent), lines_(lines), comment_(comment), file_name_(file_name) {
  setObjectName(QStringLiteral("readReportDialog"));
  setWindowTitle(UiText(qb::msg::kReadReportTitle, file_name));
  auto* text = new QPlainTextEdit(this);
  text->setObjectName(QStringLiteral("reportText"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text->setPlainText(lines.join(QLatin1Char('\n')));
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* print =
      buttons->addButton(UiText(qb::msg::kDialogPrint), QDialogButtonBox::ActionRole);
  print->setObjectName(QStringLiteral("print"));
  QPushButton* close =
      buttons->addButton(UiText(qb::msg::kDialogClose), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("close"));
  close->setDefault(true);
  connect(print, &QPushButton::clicked, this, &ReadReportDialog::Print);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(buttons);
  resize(760, 560);
}

void ReadReportDialog::Print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  QPrintDialog dialog(&printer, this);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (dialog.exec() != QDialog::Accepted) return;
  printer.setFullPage(printer.outputFormat() == QPrinter::PdfFormat);
  if (PrintReadReport(printer, lines_, comment_, file_name_) == 0)
    ShowMessageBox(this, QMessageBox::Critical, qb::msg::kFailedToStartPrint);
}

ReadReportDialog* ReadReportCommand(CQuillbankManagerDoc* doc, QWidget* parent, bool show) {
  if (doc == nullptr) return nullptr;
  const qb::RecordDocument& core = doc->core();
  const std::string record = core.GetPathName();
  const std::string path = qb::ReadReportPath(record);
  std::string text;
  int error = qb::ReadReportFile(path, text);
  if (error == ENOENT) {
    ShowBox(parent, QMessageBox::Information, UiText(qb::msg::kNoReadReport, PathText(record)));
    return nullptr;
  }
  qb::ReadReport report;
  std::string problem = error != 0 ? std::strerror(error) : std::string();
  if (error != 0 || !qb::ParseReadReport(text, report, problem)) {
    ShowBox(parent, QMessageBox::Critical,
            UiText(qb::msg::kReadReportUnusable, PathText(path), BytesText(problem)));
    return nullptr;
  }
  // What became of the record file since the read.
  qb::RecordFileScan scan;
  error = qb::ScanRecordFile(record, scan);
  QString state;
  if (error != 0) {
    state = UiText(qb::msg::kReportStateUnreadable, QString::fromLocal8Bit(std::strerror(error)));
  } else if (scan.sha256 == report.sha256 && scan.size == report.fileSize) {
    state = UiText(qb::msg::kReportStateMatches);
  } else if (report.fileName != core.GetFileName()) {
    state = UiText(qb::msg::kReportStateOther);
  } else {
    state = UiText(qb::msg::kReportStateChanged, QString::fromStdString(scan.sha256));
  }
  const std::string signature_path = qb::ReportSignaturePath(record);
  QString signature = QFileInfo::exists(QString::fromStdString(signature_path))
                          ? UiText(qb::msg::kReportSigned, PathText(signature_path))
                          : UiText(qb::msg::kReportNone);
  auto* dialog =
      new ReadReportDialog(ReadReportLines(report, state, signature), HeaderComment(core.comment()),
                           BytesText(core.GetFileName()), parent);
  if (show) {
    dialog->exec();
    delete dialog;
    return nullptr;
  }
  return dialog;
}
