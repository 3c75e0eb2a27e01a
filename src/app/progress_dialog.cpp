#include "app/progress_dialog.h"
#include "app/ui_text.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <climits>
#include <cstdarg>

#include "base/messages.h"
#include "base/text_format.h"

namespace {

constexpr size_t kMaxText = 2048;
constexpr int kIconSize = 32;

QString ToQString(const std::string& text) {
  return QString::fromStdString(text);
}

int ToBarValue(long value) {
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace

CProgressDialog::CProgressDialog(QWidget* parent) : QDialog(parent), model_() {
  Build();
}

CProgressDialog::CProgressDialog(std::function<int64_t()> clock_seconds, QWidget* parent)
    : QDialog(parent), model_(std::move(clock_seconds)) {
  Build();
}

void CProgressDialog::Build() {
  setModal(false);
  setWindowTitle(UiText(qb::msg::kProgressCaption));

  icon_ = new QLabel(this);
  icon_->setObjectName(QStringLiteral("icon"));
  message_ = new QLabel(QStringLiteral("-"), this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  message_->setMinimumWidth(message_->fontMetrics().averageCharWidth() * 50);
  message_->setMinimumHeight(message_->fontMetrics().height() * 3);
  percent_ = new QLabel(ToQString(model_.PercentText()), this);
  percent_->setObjectName(QStringLiteral("percent"));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setTextVisible(false);
  bar_->setRange(0, 0);
  bar_->setValue(0);
  time_ = new QLabel(ToQString(model_.TimeText()), this);
  time_->setObjectName(QStringLiteral("time"));
  cancel_ = new QPushButton(UiText(qb::msg::kProgressCancel), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setDefault(true);
  connect(cancel_, &QPushButton::clicked, this, [this] { model_.Cancel(); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(icon_, 0, 0, Qt::AlignTop);
  layout->addWidget(message_, 0, 1, 2, 2);
  layout->addWidget(percent_, 1, 0, Qt::AlignBottom);
  layout->addWidget(bar_, 2, 0, 1, 3);
  layout->addWidget(time_, 3, 0, 1, 2);
  layout->addWidget(cancel_, 3, 2, Qt::AlignRight);
  layout->setColumnStretch(1, 1);

  Reset();
  // The percentage and time are shown only on request.
  SyncVisibility();
}

void CProgressDialog::Pump() {
  QCoreApplication::processEvents();
}

void CProgressDialog::ShowTexts() {
  message_->setText(ToQString(model_.Text()));
}

void CProgressDialog::SyncVisibility() {
  bar_->setVisible(model_.bar_visible);
  percent_->setVisible(model_.percent_visible);
  time_->setVisible(model_.time_visible);
  cancel_->setVisible(model_.cancel_visible);
}

void CProgressDialog::Show(bool visible) {
  if (visible) {
    adjustSize();
    QRect area;
    if (parentWidget() != nullptr) {
      area = parentWidget()->window()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
      area = screen->availableGeometry();
    }
    if (area.isValid()) move(area.center() - rect().center());
    show();
    raise();
    activateWindow();
  } else {
    hide();
  }
  ShowTexts();
  Pump();
}

void CProgressDialog::ShowProgressBar(bool show) {
  model_.bar_visible = show;
  bar_->setVisible(show);
  bar_->repaint();
  Pump();
}

void CProgressDialog::ShowPercent(bool show) {
  model_.percent_visible = show;
  percent_->setVisible(show);
  percent_->repaint();
  Pump();
}

void CProgressDialog::ShowTime(bool show) {
  model_.time_visible = show;
  time_->setVisible(show);
  time_->repaint();
  Pump();
}

void CProgressDialog::ShowCancelButton(int which, bool show) {
  if (which != 1) return;
  model_.cancel_visible = show;
  cancel_->setVisible(show);
}

void CProgressDialog::SetCaption(const qb::Message<>& message) {
  setWindowTitle(UiText(message));
}

void CProgressDialog::SetCaption(const std::string& caption) {
  setWindowTitle(ToQString(caption));
}

void CProgressDialog::SetText(const std::string& text) {
  model_.SetText(qb::CutText(text, kMaxText));
  ShowTexts();
  Pump();
}

void CProgressDialog::SetText(const qb::Message<>& message) {
  SetText(std::string(qb::LoadMessage(message)));
}

void CProgressDialog::SetTextFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = qb::VFormatText(format, args);
  va_end(args);
  SetText(text);
}

void CProgressDialog::SetIcon(const QPixmap& picture) {
  icon_->setPixmap(picture);
  Pump();
}

void CProgressDialog::SetRange(long low, long high) {
  bar_->setRange(ToBarValue(std::min(low, high)), ToBarValue(std::max(low, high)));
  model_.SetRange(low, high);
}

void CProgressDialog::SetPos(long position) {
  bar_->setValue(std::clamp(ToBarValue(position), bar_->minimum(), bar_->maximum()));
  if (!model_.SetPos(position)) return;
  percent_->setText(ToQString(model_.PercentText()));
  time_->setText(ToQString(model_.TimeText()));
  ShowTexts();
  Pump();
}

bool CProgressDialog::CheckProgressCancel(bool expected) {
  return model_.CheckProgressCancel(expected);
}

void CProgressDialog::reject() {
  model_.Cancel();
}

void CProgressDialog::Reset() {
  model_.Reset();
  bar_->setValue(std::clamp(ToBarValue(model_.Low()), bar_->minimum(), bar_->maximum()));
  SyncVisibility();
  ShowTexts();
  QIcon icon = windowIcon();
  if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
  icon_->setPixmap(icon.pixmap(kIconSize, kIconSize));
}
