// Building the summary of a finished search, as the search worker and the
// command line both do once RunSearch has returned at least one article.
#pragma once

#include "records.h"

#include <string>

// startDate: the local time the search started (FormatLocalTime).
void FillSearchSummary(kvSearchSummary& summary, const kvSearchRequest& request,
                       const char* startDate, long groupArticleCount, int found);

// The text "Show search info" presents: pattern, header, date, server, group,
// counts and, for a loaded file, its name; no final line end. Valid UTF-8
// without control characters (ReadableText).
std::string SearchInfoText(const kvSearchSummary& summary);
