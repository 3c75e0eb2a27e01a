// The start-up splash: a frameless window over the main window showing the
// splash picture with the product name, the version, the software signature
// and the banner line. At most one exists. It closes after ten seconds or at
// the first key press or mouse-button press anywhere in the application; that
// press is still handled as usual.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class CSplashWindow : public QWidget {
  Q_OBJECT

 public:
  // The process-wide switch; off by default, turned on by start-up.
  static void SetEnabled(bool enabled);
  static bool IsEnabled();

  // Shows the splash centred over the screen of `main_window`, which is
  // updated when the splash closes. Does nothing while the switch is off or
  // a splash exists.
  static void ShowSplash(QWidget* main_window);

  // The splash that exists, or null.
  static CSplashWindow* Current();

  // Closes the splash that exists, if any.
  static void CloseCurrent();

  // How long the splash stays up without input, in milliseconds (tests
  // shorten it). Applies to splashes shown afterwards.
  static void SetCloseDelay(int milliseconds);
  static int CloseDelay();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CSplashWindow(QWidget* main_window, QPixmap picture);
  ~CSplashWindow() override;

  void CloseSplash();

  QPixmap picture_;
  QPointer<QWidget> main_window_;
  QTimer close_timer_;
};
