// Message boxes in the application's style: its name as the title, and the
// text shown as plain text, never as markup, since texts from cards, files
// and users end up in them.
#pragma once

#include <QMessageBox>
#include <QString>

#include "base/messages.h"

class QWidget;

// A modal box with the application's name as its title and `text` shown as
// plain text (never as markup). Returns the button pressed.
QMessageBox::StandardButton ShowBox(
    QWidget* parent, QMessageBox::Icon icon, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton default_button = QMessageBox::NoButton);
// A catalogue text in a box.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const qb::Message<>& message);

// A modal box with a yes and a no button, No the default; true for Yes.
bool AskYesNoBox(QWidget* parent, const QString& text);
