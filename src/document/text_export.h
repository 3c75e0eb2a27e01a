// The text export of a document: every line's recorded text, control codes
// included, one after the other; a line that fails its check contributes
// the warning text msg::kManipulated and CR LF instead. The save dialog and the
// remembered folder belong to the application; this is the naming rule and
// the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qb {

class JobHost;
class RecordDocument;

// The proposed export name: `folder` followed by the document's file name
// without folders and extension, ".txt" appended, with every byte below 0x20
// and each of " * + / : < > ? \ | replaced by an underscore.
std::string DefaultExportName(const std::string& document_path, const std::string& folder);

// Where the export bytes go.
class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // False when the bytes could not be written (errno set).
  virtual bool Write(const char* bytes, size_t count) = 0;
};

enum class ExportOutcome {
  kWritten,        // every line written
  kCancelled,      // the user stopped it (what was written is kept or not, as asked)
  kFailed,         // writing failed (errno set)
  kSourceChanged,  // the record file was cut or rewritten while it was read
};

// Writes the lines of `document` into `sink` with the host's progress
// display: caption the application name, range 0 to the last line, every
// 500 ms the text "Writing line k of n" with the line's text (60 characters
// and "..." when longer). A cancel asks msg::kAbortFunction and, on Yes,
// msg::kHoldResults; `keep` tells the answer to the second question. A record file that
// changes under the walk stops it. `clock` paces the updates (the monotonic
// clock when empty).
ExportOutcome WriteExportLines(RecordDocument& document, ExportSink& sink, JobHost& host,
                               bool& keep, const std::function<int64_t()>& clock = {});

// Asks before an existing file is replaced (msg::kDestinationExists). True when `path`
// may be written.
bool PrepareExportTarget(const std::string& path, JobHost& host);

// Writes the export into a new file beside `path`, which takes the name
// only when it is complete and on its disk; a device or FIFO is written
// through. An existing file that cannot be replaced shows msg::kCannotOverwrite,
// a new one that cannot be created msg::kCannotCreateDocument, and the document's own file
// is refused. True when the export ran, also when it was cancelled (a file
// the user did not want kept never takes the name); false when it did not
// start, writing failed or the record file changed meanwhile (the error box
// says why; whatever had the name before stays as it was).
bool WriteTextExport(RecordDocument& document, const std::string& path, JobHost& host,
                     const std::function<int64_t()>& clock = {});

// PrepareExportTarget, then WriteTextExport.
bool ExportText(RecordDocument& document, const std::string& path, JobHost& host);

}  // namespace qb
