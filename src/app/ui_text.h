// A text of the message catalogue as a QString, for the application's
// windows, menus and dialogs.
#pragma once

#include <QString>

#include "base/messages.h"

inline QString UiText(int id) { return QString::fromUtf8(qb::LoadMessage(id)); }
