// The result set as CSV (RFC 4180) for spreadsheets and data tools: UTF-8
// without a byte order mark, CR LF after every row, a header row, then one row
// per article along the chain from set.First().
//
// Columns: position (1 for the first article), group and server (the
// search's), date (the Date field as stored), date_utc (ISO 8601 UTC, empty
// when the date cannot be read), from (decoded), address (the author's address
// alone), subject (decoded), message_id, organization, keywords, lines (empty
// when the article had no Lines field), length (bytes of the stored text) and
// cut ("yes" when the article was cut for its length, else "no"). Text is
// written as a reader reads it (ReadableHeader, ReadableText); a missing field
// is empty. A field holding a comma, a quote or a line break is quoted; one
// beginning with = + - @ or a tab gets a single quote in front, so that a
// spreadsheet takes it as text, not as a formula.
//
// Called on the GUI thread or by the command line while no search runs. True
// when the whole file was written and put in place; otherwise false and an
// existing file of that name is unchanged.
#pragma once

#include "records.h"
#include "result_set.h"

bool SaveResultsCsv(const char* path, const kvSearchSummary& summary, const kvResultSet& set);
