// Building the summary of a finished search, as the search worker and the
// command line both do once RunSearch has returned at least one article.
#pragma once

#include "records.h"

#include <string>

// startDate: the local time the search started (FormatLocalTime); found: the
// articles received; matched: every header the scan matched.
void FillSearchSummary(kvSearchSummary& summary, const kvSearchRequest& request,
                       const char* startDate, long groupArticleCount, int found,
                       long long matched = -1);

// The text "Show search info" presents: pattern, header, date, server, group,
// counts (with the headers matched when more matched than were received) and,
// for a loaded file, its name; no final line end. Valid UTF-8
// without control characters (ReadableText).
std::string SearchInfoText(const kvSearchSummary& summary);
