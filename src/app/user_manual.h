// The user manual: HTML pages shipped beside the programs
// (bin/../share/doc/quillbank-manager/manual), opened with the desktop's
// browser by the help commands.
#pragma once

#include <QString>

class QWidget;

// The manual's first page; it may not exist.
QString UserManualPath();
// Opens the manual; says so in a message box when it is missing.
void OpenUserManual(QWidget* parent);
