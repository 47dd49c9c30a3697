// The fetch of a search: ARTICLE for each match, newest first, sent ahead on
// the pipeline, each article received stored in the result set, within the
// request's article limit and time limit.
#pragma once

#include "header_scan.h"
#include "result_set.h"
#include "run_session.h"

// How the fetch ended when it did not fail.
struct kvFetched {
    int received = 0;            // the articles in the set, in the order received
    bool connectionLost = false; // the connection failed; the articles before it are kept
    // Connecting again after the loss failed for a reason of its own (the
    // encryption of the lost connection not offered again, say): that reason
    // is written and is what the search ends with.
    bool reasonWritten = false;
};

// Fetches the matches into `set`, which must be empty. Continue: `fetched`
// tells what was received (perhaps nothing) and the connection is closed; the
// last message written says why the fetch ended when it ended early. Failed:
// the reason written, the connection closed, the set emptied.
kvStep FetchArticles(kvRunSession& session, const kvMatches& matches, kvResultSet& set,
                     kvFetched& fetched);
