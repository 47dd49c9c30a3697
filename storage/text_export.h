// The plain-text outputs of a held search: a report of the whole result set,
// one article on its own, and a reply list with one address per author. None
// of them is read back by the program.
//
// Called on the GUI thread (or by the command line) while no search runs; they
// only read the summary and the set, which the caller owns. Lines end in "\n",
// the platform's line end. Everything is written as a reader reads it: header
// fields with their MIME encoded words decoded, all text as valid UTF-8 with
// control characters made visible (ReadableHeader, ReadableText); the records
// keep their own bytes. Each returns true when the whole file was written and
// put in place, false otherwise; an existing file of that name is then unchanged.
#pragma once

#include "records.h"
#include "result_set.h"

#include <vector>

// The summary block, then every article along the chain from set.First(), each
// closed by a line of 72 equals signs and an empty line.
bool SaveArticlesReport(const char* path, const kvSearchSummary& summary, const kvResultSet& set);

// The article's header lines, two empty lines and its body. With no article,
// returns false and creates no file.
bool SaveArticleText(const char* path, const kvArticle* article);

// One line per distinct author in the set's order: the Reply-To text when the
// article has one, else the From text. An entry is left out when an earlier
// one has the same From, or (when it has a Reply-To) the same Reply-To. The
// first entry is always written; with an empty set, returns false and creates
// no file.
bool WriteReplyList(const char* path, const kvResultSet& set);

// One group's part of a sweep's report.
struct kvReportPart {
    const kvSearchSummary* summary;
    const kvResultSet* set;
};
// The report of several groups' searches in one file: each part as
// SaveArticlesReport writes it, one after the other. With no part, returns
// false and creates no file.
bool SaveSweepReport(const char* path, const std::vector<kvReportPart>& parts);
// The reply list of several result sets in one file: as WriteReplyList of
// one set holding all their articles in the order given.
bool WriteSweepReplyList(const char* path, const std::vector<const kvResultSet*>& sets);
