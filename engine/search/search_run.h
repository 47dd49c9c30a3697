// The whole search: from a filled request, connect to the news server, select
// the group, scan one header of the newest articles in chunks of 500 numbers,
// fetch every match and leave them in the result set, grouped by subject.
//
// Called on the thread that runs the search; blocks until the search ends.
// Every message goes into context.statusText; the ones shown at once also go
// through context.report (see search_context.h). Returns:
//   -1  the search failed; statusText holds the reason; the set is empty;
//    0  nothing was found; the set is empty;
//    n  the set holds exactly the articles received, n of them.
// The set must be empty on entry.
#pragma once

#include "records.h"
#include "result_set.h"
#include "search_context.h"

int RunSearch(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context);
