// The whole search: from a filled request, connect to the news server, select
// the group, scan one header of the newest articles in chunks of 500 numbers,
// fetch every match and leave them in a result set, grouped by subject.
//
// Called on the thread that runs the search; blocks until the search ends.
// Every message goes into context.statusText, with its kind in
// context.statusKind; the ones shown at once also go through context.report
// (see search_context.h).
#pragma once

#include "records.h"
#include "result_set.h"
#include "search_context.h"

#include <memory>
#include <string>

// How a search ended.
enum class kvSearchEnd {
    Found,        // at least one article was received
    NothingFound, // the run went through without an article to keep
    Failed,       // the run failed; the status says why
};

struct kvSearchOutcome {
    kvSearchEnd end = kvSearchEnd::Failed;
    std::string status; // the run's last message
    kvStatusKind statusKind = kvStatusKind::Error;
    std::unique_ptr<kvResultSet> results;     // exactly the articles received; null only
                                              // when memory ran short for the summary
    std::unique_ptr<kvSearchSummary> summary; // only when Found
    int count = 0;                            // the articles received (0 unless Found)
};

// Runs the search and builds what a front end holds afterwards: the result
// set and, when articles were found, the summary (the start date, the group's
// article count, the articles found). Without memory for the summary the run
// counts as failed, its articles dropped.
kvSearchOutcome RunSearchRequest(const kvSearchRequest& request, kvSearchContext& context);

// The run itself, into a result set that must be empty on entry. Returns:
//   -1  the search failed; statusText holds the reason; the set is empty;
//    0  nothing was found; the set is empty;
//    n  the set holds exactly the articles received, n of them.
int RunSearch(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context);
