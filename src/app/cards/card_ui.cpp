#include "app/cards/card_ui.h"
#include "app/ui_text.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStringConverter>
#include <QStringList>
#include <QTimer>

#include "base/messages.h"

namespace cards {
namespace {

// A PC-Card seen from above: a rounded body, the label field and the row of
// contacts at its front edge, in a box of 32 by 32 units.
void DrawCard(QPainter& painter, const QColor& body) {
  QPainterPath outline;
  outline.addRoundedRect(QRectF(7, 3, 18, 26), 2.5, 2.5);
  painter.setPen(QPen(QColor(40, 50, 70), 1.2));
  painter.setBrush(body);
  painter.drawPath(outline);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(235, 240, 248));
  painter.drawRect(QRectF(10, 7, 12, 11));
  painter.setBrush(QColor(200, 170, 60));
  for (int i = 0; i < 5; ++i) painter.drawRect(QRectF(9.5 + i * 2.8, 24, 1.6, 3));
}

}  // namespace

QPixmap CardPicture(int id, int size) {
  if (id != kIconWarning && id != kIconCardDrive && id != kIconCard) return QPixmap();
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);
  if (id == kIconWarning) {
    QPolygonF triangle({QPointF(16, 2.5), QPointF(30, 28.5), QPointF(2, 28.5)});
    painter.setPen(QPen(QColor(120, 80, 0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(250, 200, 30));
    painter.drawPolygon(triangle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(14.6, 10, 2.8, 11), 1.2, 1.2);
    painter.drawEllipse(QRectF(14.5, 22.6, 3, 3));
  } else if (id == kIconCard) {
    DrawCard(painter, QColor(70, 110, 180));
  } else {
    // The card going into the drive: the drive's slot below, an arrow down.
    painter.save();
    painter.translate(0, -2);
    painter.scale(1.0, 0.8);
    DrawCard(painter, QColor(70, 110, 180));
    painter.restore();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRoundedRect(QRectF(2, 24, 28, 7), 1.5, 1.5);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawRect(QRectF(6, 26.5, 20, 1.6));
    painter.setBrush(QColor(40, 170, 60));
    painter.drawEllipse(QRectF(25.5, 28.4, 2.2, 2.2));
  }
  return picture;
}

bool ParseInteger(const QString& text, int& value) {
  bool ok = false;
  int parsed = text.trimmed().toInt(&ok, 10);
  if (ok) value = parsed;
  return ok;
}

void ShowNotAnInteger(QWidget* parent) {
  ShowBox(parent, QMessageBox::Warning, UiText(qb::msg::kDialogNotInteger));
}

bool ReadIntegerField(QLineEdit* field, int min, int max, int& value) {
  int parsed = 0;
  bool ok = ParseInteger(field->text(), parsed);
  if (ok && parsed >= min && parsed <= max) {
    value = parsed;
    return true;
  }
  if (!ok)
    ShowNotAnInteger(field->window());
  else
    ShowBox(field->window(), QMessageBox::Warning,
            UiText(qb::msg::kDialogIntegerRange, QString::number(min), QString::number(max)));
  field->setFocus();
  field->selectAll();
  return false;
}

QString AskSaveFileName(QWidget* parent, const QString& initial, const qb::Message<>& filter,
                        const QString& default_suffix) {
  QFileDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("saveFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilters(DialogFilter(filter).split(QStringLiteral(";;")));
  dialog.setDefaultSuffix(default_suffix);
  QFileInfo info(initial);
  bool has_folder = initial.contains(QLatin1Char('/'));
  dialog.setDirectory(has_folder ? info.absolutePath() : QDir::currentPath());
  dialog.selectFile(has_folder ? info.fileName() : initial);
  if (dialog.exec() != QDialog::Accepted) return QString();
  QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void PumpFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString FromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace cards
