// Small pieces the card dialogs, the card flows and the export command share:
// message boxes in the application's style, the framework's integer field
// validation, file dialogs built from the catalogue's filter strings, card
// texts shown as they are, a wait that keeps the windows alive, and the
// pictures the card windows show by id.
#pragma once

#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <string>

class QLineEdit;
class QWidget;

namespace cards {

// Ids of the pictures of the card windows.
constexpr int kIconWarning = 148;    // the warning sign (too large, wake-up blink)
constexpr int kIconCardDrive = 149;  // a card in the serial drive (wake-up blink)
constexpr int kIconCard = 156;       // a PC-Card (the calculator's normal picture)

// The picture of one id at `size` pixels; a null picture for an unknown id.
QPixmap CardPicture(int id, int size = 32);

// A modal box with the application's name as its title and `text` shown as
// plain text (never as markup). Returns the button pressed.
QMessageBox::StandardButton ShowBox(
    QWidget* parent, QMessageBox::Icon icon, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton default_button = QMessageBox::NoButton);
// A catalogue text in a box.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, int message_id);

// Bytes from a card, a file name or the settings as a text to show: UTF-8
// when they are valid UTF-8, else one character per byte (Latin-1), so that
// every byte shows and none is lost or read as a format.
QString BytesText(const std::string& bytes);

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

// A catalogue filter "name|pattern|...||" as Qt's name filters.
QString DialogFilter(int message_id);

// The Save file dialog: `initial` as the proposed name (with its folder when
// it has one, else in the current folder), the filter, the default
// extension, and no question about replacing an existing file. Returns the
// chosen path, empty when cancelled.
QString AskSaveFileName(QWidget* parent, const QString& initial, int filter_id,
                        const QString& default_suffix);

// Waits `ms` milliseconds while the event queue is served.
void PumpFor(int ms);

// A path as the bytes the system calls take, and back.
std::string LocalPath(const QString& path);
QString FromLocalPath(const std::string& path);

}  // namespace cards
