// The user manual: HTML pages shipped beside the programs
// (bin/../share/doc/quillbank-manager/manual), opened with the desktop's
// browser by the help commands.
#pragma once

#include <QString>

class QUrl;
class QWidget;

// The manual's first page; it may not exist.
QString UserManualPath();
// Opens the manual; says so in a message box when it is missing or when no
// program opens it, naming the page's path so the user can open it by hand.
void OpenUserManual(QWidget* parent);

// What hands the manual's page to a browser; false when none took it.
using ManualOpener = bool (*)(const QUrl& url);
// Replaces the opener (the desktop's, QDesktopServices::openUrl, until
// then) and returns the one before; tests stand in for a desktop that has
// no browser.
ManualOpener SetManualOpener(ManualOpener opener);
