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
#include "search_context.h"

// The set must be empty on entry; RunSearch does not set its count. Returns:
//   -1  the search failed; statusText holds the reason; the set is empty;
//    0  nothing was found; the set is empty;
//    n  slots 0..n-1 hold the articles, chained in slot order.
int RunSearch(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context);
