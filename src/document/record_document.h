// A record file as a document: loading with its checks and messages, the
// comment and the title, and the document's lines (its data records in file
// order) read on demand through the line index and the record cache, with
// their display texts, validity, printer-code tests and the search loop.
// Nothing here shows a window: progress, questions and the error box go
// through the job host in force.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "document/doc_record.h"
#include "document/line_index.h"
#include "document/record_cache.h"
#include "document/record_file_reader.h"
#include "document/recording_facts.h"

namespace qb {

// The window title of a document: the file name alone for an empty comment;
// otherwise the file name, " / " and the comment trimmed of white space,
// without CR and LF, cut to 80 characters.
std::string TitleFor(const std::string& file_name, const std::string& comment);

class FactsGatherer;

class RecordDocument {
 public:
  RecordDocument();
  // Waits for facts still being gathered.
  ~RecordDocument();
  RecordDocument(const RecordDocument&) = delete;
  RecordDocument& operator=(const RecordDocument&) = delete;

  // Opens and checks the record file, reads the record count from its
  // end-of-file record, indexes its lines and reads its comment. On failure
  // shows the error box through the job host and returns false; an empty
  // file fails without any message. The file stays open while the document
  // lives.
  bool LoadRecordFile(const std::string& path);
  bool loaded() const { return loaded_; }
  // True when the last load got as far as opening the file, whether or not
  // its checks then passed.
  bool FileOpened() const { return file_opened_; }

  uint32_t recordCount() const { return record_count_; }
  // What the recording tells about itself. The facts look at every record
  // whole and are gathered on a thread of their own from the load on, while
  // the document is already in use: this waits until they are complete.
  const RecordingFacts& facts() const;
  // True once the facts are complete (at once where none are gathered): what
  // shows them without making the user wait asks this first.
  bool FactsReady() const;
  const std::string& comment() const { return comment_; }
  const std::string& GetPathName() const { return path_; }
  // The file name with its extension, without folders.
  std::string GetFileName() const;
  const std::string& GetTitle() const { return title_; }
  void UpdateTitle();

  // Lines, numbered from 0.
  int GetLastLineIndex() const { return static_cast<int>(index_.lineCount()) - 1; }
  // The line's record (from the cache or read from the file), or null when
  // the line does not exist. The record stays valid until the next fetch.
  DocRecord* GetLineRecord(int line);

  // Walking every line in order (export, printout): each call delivers the
  // text of the next line, taken in place from the read buffer straight
  // after the previous one instead of through the index and the cache, and
  // whether its record passes its check. The text is the one GetRawText
  // gives, valid until the document reads again; a line whose record cannot
  // be read has an empty text and fails. False after the last line.
  struct LineWalk {
    int line = 0;         // the line delivered next
    uint64_t offset = 0;  // where its search starts; 0: look it up
  };
  struct WalkedLine {
    const uint8_t* text = nullptr;
    size_t size = 0;
    bool valid = false;
  };
  bool WalkLine(LineWalk& walk, WalkedLine& out);
  // True once a read found the record file cut short or changed since it
  // was loaded: the lines read from then on may not be the file's.
  bool FileChanged() const { return reader_.FileChanged(); }
  // The display text: empty without record, msg::kManipulated for a record that
  // fails its check, else the text with control codes shown as marks.
  std::string GetLineText(int line);
  bool IsLineValid(int line);
  // The text bytes exactly as recorded.
  std::string GetRawText(int line);
  bool LineHoldsCode(int line, int code);
  bool LineHasClass(int line, int line_class);

  // Find: a new text starts the next search at the first line.
  void SetFindText(const std::string& text);
  const std::string& findText() const { return find_text_; }
  int findLine() const { return find_line_; }
  // Searches the display texts from the line after the last hit (from the
  // first line after a miss or a hit in the last line) to the last line,
  // case-sensitively, without wrapping. Returns the hit's line, or -1, and
  // delivers it with the hit's position in the display text (-1 for none).
  int FindNext(int& line, int& position);

  // For tests and measurements: the clock that paces progress updates (the
  // monotonic clock when empty), and the memory the index may plan with (the
  // system's available memory when 0).
  void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }
  void SetIndexMemory(uint64_t bytes) { index_memory_ = bytes; }
  // Whether loading gathers the recording's facts (on by default). A job
  // that walks the lines once and shows no facts, as a command-line export
  // or search, loads faster without them; facts() is then empty.
  void SetFactsWanted(bool wanted) { facts_wanted_ = wanted; }
  const LineIndex& lineIndex() const { return index_; }
  const RecordCache& cache() const { return cache_; }
  const RecordFileReader& reader() const { return reader_; }

 private:
  RecordFileReader reader_;
  LineIndex index_;
  RecordCache cache_;
  RecordingFacts facts_;
  // Gathering facts_ from the open file; joined before the file changes
  // hands and before the facts are read.
  mutable std::unique_ptr<FactsGatherer> gatherer_;
  DocRecord work_;
  bool loaded_ = false;
  bool file_opened_ = false;
  uint32_t record_count_ = 0;
  std::string path_;
  std::string title_;
  std::string comment_;
  std::string find_text_;
  int find_line_ = -1;
  std::function<int64_t()> clock_;
  uint64_t index_memory_ = 0;
  bool facts_wanted_ = true;

  bool Fail();
  // WalkLine's answer through the indexed fetch.
  void FetchWalkedLine(int line, WalkedLine& out);
  bool CheckOptionRecord();
  uint32_t ReadRecordCount();
  void ReadComment();
  // The position of the find text in the display text of `line`, or -1;
  // `warning_hit` is its position in the warning text shown for a line that
  // fails its check. `text` is working space.
  using Searcher = std::boyer_moore_horspool_searcher<std::string::const_iterator>;
  int LineHit(int line, size_t warning_hit, const Searcher& searcher, std::string& text);
  // Appends the display text of `line` to `out`.
  void AppendLineText(int line, std::string& out);
};

}  // namespace qb
