// Small pieces the card dialogs, the card flows and the export command share:
// the framework's integer field validation, the Save file dialog, a wait that
// keeps the windows alive, and the pictures the card windows show by id.
#pragma once

#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <string>

#include "app/message_box.h"
#include "app/ui_text.h"

class QLineEdit;
class QWidget;

namespace cards {

// Ids of the pictures of the card windows.
constexpr int kIconWarning = 148;    // the warning sign (too large, wake-up blink)
constexpr int kIconCardDrive = 149;  // a card in the serial drive (wake-up blink)
constexpr int kIconCard = 156;       // a PC-Card (the calculator's normal picture)

// The picture of one id at `size` pixels; a null picture for an unknown id.
QPixmap CardPicture(int id, int size = 32);

// The framework's integer field exchange: the field's text as an integer
// within [min, max]. On failure shows "Please enter an integer." or "Please
// enter an integer between %1 and %2." (exclamation icon), gives the field
// the focus with its text selected, and returns false.
bool ReadIntegerField(QLineEdit* field, int min, int max, int& value);
// The field's text as an integer (leading and trailing blanks allowed);
// false when it is none.
bool ParseInteger(const QString& text, int& value);
// Shows the framework's message for a field that is not an integer.
void ShowNotAnInteger(QWidget* parent);

// The Save file dialog: `initial` as the proposed name (with its folder when
// it has one, else in the current folder), the filter, the default
// extension, and no question about replacing an existing file. Returns the
// chosen path, empty when cancelled.
QString AskSaveFileName(QWidget* parent, const QString& initial, const qb::Message<>& filter,
                        const QString& default_suffix);

// Waits `ms` milliseconds while the event queue is served.
void PumpFor(int ms);

// A path as the bytes the system calls take, and back.
std::string LocalPath(const QString& path);
QString FromLocalPath(const std::string& path);

}  // namespace cards
