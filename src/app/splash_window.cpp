#include "app/splash_window.h"
#include "app/ui_text.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "app/app_pictures.h"
#include "base/messages.h"
#include "base/software_signature.h"

namespace {

constexpr int kDefaultCloseDelayMs = 10000;

bool g_enabled = false;
int g_close_delay_ms = kDefaultCloseDelayMs;
CSplashWindow* g_current = nullptr;

// A font whose character cell (ascent plus descent) is `cell_height` pixels
// high, the way the splash's font heights are meant.
QFont SplashFont(int cell_height, int weight) {
  QFont font(QStringLiteral("Arial"));
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setPixelSize(cell_height);
  const QFontMetrics metrics(font);
  const int cell = metrics.ascent() + metrics.descent();
  if (cell > cell_height) font.setPixelSize(qMax(1, cell_height * cell_height / cell));
  return font;
}

// Draws `text` horizontally centred on x with its top at y.
void DrawCentred(QPainter& p, int x, int y, const QString& text) {
  const int width = p.window().width();
  p.drawText(QRect(x - width, y, 2 * width, p.fontMetrics().height()),
             Qt::AlignHCenter | Qt::AlignTop, text);
}

// Draws `text` at (x + 2, y + 2) in black, then in white at (x, y), as the
// picture's texts are shadowed.
void DrawShadowed(QPainter& p, int x, int y, int offset, const QString& text) {
  p.setPen(Qt::black);
  DrawCentred(p, x + offset, y + offset, text);
  p.setPen(Qt::white);
  DrawCentred(p, x, y, text);
}

bool IsClosingPress(const QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress: {
      const Qt::MouseButton button = static_cast<const QMouseEvent*>(event)->button();
      return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
    }
    default:
      return false;
  }
}

}  // namespace

void CSplashWindow::SetEnabled(bool enabled) {
  g_enabled = enabled;
}
bool CSplashWindow::IsEnabled() {
  return g_enabled;
}
CSplashWindow* CSplashWindow::Current() {
  return g_current;
}
void CSplashWindow::SetCloseDelay(int milliseconds) {
  g_close_delay_ms = milliseconds;
}
int CSplashWindow::CloseDelay() {
  return g_close_delay_ms;
}

void CSplashWindow::ShowSplash(QWidget* main_window) {
  if (!g_enabled || g_current != nullptr) return;
  QPixmap picture = SplashPicture();
  if (picture.isNull()) return;
  auto* splash = new CSplashWindow(main_window, std::move(picture));
  splash->show();
  splash->repaint();
}

void CSplashWindow::CloseCurrent() {
  if (g_current != nullptr) g_current->CloseSplash();
}

CSplashWindow::CSplashWindow(QWidget* main_window, QPixmap picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(std::move(picture)),
      main_window_(main_window) {
  g_current = this;
  setObjectName(QStringLiteral("splashWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setCursor(Qt::ArrowCursor);
  setFixedSize(picture_.size());

  QScreen* screen = main_window != nullptr ? main_window->screen() : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }

  close_timer_.setSingleShot(true);
  connect(&close_timer_, &QTimer::timeout, this, &CSplashWindow::CloseSplash);
  close_timer_.start(g_close_delay_ms);
  qApp->installEventFilter(this);
}

CSplashWindow::~CSplashWindow() {
  if (g_current == this) g_current = nullptr;
}

void CSplashWindow::CloseSplash() {
  if (g_current != this) return;
  g_current = nullptr;
  close_timer_.stop();
  qApp->removeEventFilter(this);
  hide();
  if (main_window_ != nullptr && main_window_->isVisible()) main_window_->repaint();
  // The press that closes the splash may be on its way to this very window,
  // so it goes once control is back in the event loop.
  deleteLater();
}

bool CSplashWindow::eventFilter(QObject* watched, QEvent* event) {
  if (g_current == this && IsClosingPress(event)) CloseSplash();
  return QWidget::eventFilter(watched, event);
}

void CSplashWindow::paintEvent(QPaintEvent*) {
  const int w = picture_.width();
  const int h = picture_.height();
  QPainter p(this);
  p.drawPixmap(0, 0, picture_);
  p.setRenderHint(QPainter::TextAntialiasing);

  const QFont large = SplashFont(50, 800);
  const QFont small = SplashFont(18, 700);

  p.setFont(large);
  DrawShadowed(p, w / 2, 10, 2, UiText(qb::msg::kAppName));
  DrawShadowed(p, w / 2, 60, 2,
               UiText(qb::msg::kWordVersion) + QLatin1Char(' ') + UiText(qb::msg::kVersion));

  // The signature: black, black again one pixel up and left, white one
  // pixel further, in the picture's lower half.
  const QString signature = QString::fromUtf8(qb::SignatureText());
  const QRect lower(0, h / 2, w, h - h / 2);
  const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
  p.setPen(Qt::black);
  p.drawText(lower, flags, signature);
  p.drawText(lower.translated(-1, -1), flags, signature);
  p.setPen(Qt::white);
  p.drawText(lower.translated(-2, -2), flags, signature);

  p.setFont(small);
  DrawShadowed(p, w / 2, h - 20, 1, UiText(qb::msg::kBanner));
}
