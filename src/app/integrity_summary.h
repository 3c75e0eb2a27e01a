// The short integrity summary that printouts and PDFs of a recording end
// with: the records checked, the manipulated records and their lines, the
// recording sessions, whether older printouts had been overwritten, and the
// record file's SHA-256 as it is on disk when printing.
#pragma once

#include <QString>

#include "document/recording_facts.h"

namespace qb {
class RecordDocument;
}

// The summary's lines, separated by line feeds. Reads the record file once
// for its SHA-256.
QString IntegritySummary(const qb::RecordDocument& doc);

// "yes", "no" or "unknown" for what a recording tells.
QString AnswerText(qb::Answer answer);
