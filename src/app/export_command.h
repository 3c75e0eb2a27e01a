// File > Export: the active document's lines into a text file, as the
// instrument sent them. Proposes the document's name with ".txt" in the
// folder used last, asks before replacing a file, and writes with a
// progress display that can be cancelled.
#pragma once

#include <QString>

class CQuillbankManagerDoc;
class QWidget;
namespace qb {
class JobHost;
}

// True when the export ran (also when it was cancelled); false when there
// is no document, the user gave up before writing or the file could not be
// created or written. `host` shows the progress and asks the questions of
// a cancel; `parent` owns the dialogs and boxes.
bool ExportCommand(CQuillbankManagerDoc* doc, QWidget* parent, qb::JobHost& host);

// The name the Save dialog proposes for `doc`: the stored export folder and
// the document's name with ".txt", made safe as a file name.
QString DefaultExportPath(const CQuillbankManagerDoc& doc);
