// What the GUI tests start from. Each test program runs on the offscreen
// platform with its own home, configuration, data, cache and runtime folders
// (tests/gui/CMakeLists.txt), so the settings store and sockets are the
// test's; within the program, these put the settings and the application
// into a known state for each test function.
#pragma once

#include <QDir>
#include <QSettings>
#include <QString>
#include <memory>

#include "app/card_commands.h"
#include "app/cards/app_settings.h"
#include "app/gui_job_host.h"
#include "app/main_frame.h"
#include "app/progress_dialog.h"
#include "app/ui_text.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "support/temp_dir.h"

namespace qb::test {

// Empties the application's settings.
inline void ClearSettings() {
  QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kCompanyKey),
            UiText(msg::kAppTitle))
      .clear();
}

// The application's pieces a test drives as a user would: settings
// cleared, a fresh folder that is also the current one, the main frame with
// the shared progress dialog, the application's job host and the card
// commands.
struct AppFixture {
  AppFixture() : old_cwd(QDir::currentPath()) {
    ClearSettings();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    frame = std::make_unique<CMainFrame>();
    progress = new CProgressDialog(frame.get());
    host = std::make_unique<GuiJobHost>(progress, frame.get());
    scoped = std::make_unique<ScopedJobHost>(host.get());
    commands = new CardCommands(frame.get(), progress);
    frame->show();
  }
  ~AppFixture() {
    scoped.reset();
    host.reset();
    frame.reset();
    QDir::setCurrent(old_cwd);
  }
  AppFixture(const AppFixture&) = delete;
  AppFixture& operator=(const AppFixture&) = delete;

  TempDir dir;
  QString old_cwd;
  std::unique_ptr<CMainFrame> frame;
  CProgressDialog* progress = nullptr;
  std::unique_ptr<GuiJobHost> host;
  std::unique_ptr<ScopedJobHost> scoped;
  CardCommands* commands = nullptr;
};

// The printer-code settings the text and print views are checked with:
// codes scanned, unknown ones not shown.
inline void UsePrinterCodeSettings() {
  AppSettings settings;
  settings.SetScanPrinterEsc(1);
  settings.SetShowUnknownPrinterEsc(0);
  settings.SetShowSessions(1);
  settings.SetShowRecordingWarnings(1);
}

}  // namespace qb::test
