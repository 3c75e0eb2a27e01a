// The record file type (*.qbd) made known to the desktop for the user, so
// that a double-click on a record file opens it here: a shared-mime-info
// entry and a desktop entry on Linux, the shell file type under the user's
// classes key on Windows.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// Registers the record file type the way of the system the program runs on,
// at start-up; a step that fails skips the rest.
void RegisterFileTypeForUser();

// The MIME type of record files in the shared MIME database.
inline constexpr const char* kRecordMimeType = "application/x-quillbank-document";
// Registers the record file type for the user under `data_home`: a
// shared-mime-info entry for *.qbd and a desktop entry that opens files with
// `program`. `claimed_by` is the MIME type the system gives *.qbd now; when
// another type owns the extension only the desktop entry is written, for our
// own type. False when a file cannot be written.
bool RegisterFileType(const QString& program, const QString& data_home, const QString& claimed_by);
// True when the installation the program runs from provides the record file
// type itself: the share folder beside `program_dir` (its ../share) is one of
// the data folders the desktop searches (`data_dirs`: the user's and
// XDG_DATA_DIRS) and holds both our shared-mime-info package and our desktop
// entry. Start-up then registers nothing for the user.
bool FileTypeInstalled(const QString& program_dir, const QStringList& data_dirs);

// Registers the shell file type under `classes` (the user's classes key on
// Windows): the type "QuillbankManager.Document" named "Quillbank Document",
// its icon (the record file icon in `program`), and its open command, which
// starts `program` with the file (a running instance takes it over); the
// extension ".qbd" names the type, with an empty new file as its template,
// only when it names nothing or this type already. Values are written only
// where they differ; `changed` (when given) tells whether any was. False
// when the store refuses a value.
bool RegisterShellFileType(QSettings& classes, const QString& program, bool* changed = nullptr);
