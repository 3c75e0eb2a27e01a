// The OK and Cancel buttons of the application's dialogs: catalogue texts,
// OK the default button, wired to accept and reject. Tests find them by
// their names "ok" and "cancel".
#pragma once

class QDialog;
class QDialogButtonBox;

QDialogButtonBox* OkCancelButtons(QDialog* dialog);
