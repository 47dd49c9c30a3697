// The header scan of a search: one header of the newest articles of the
// selected group, asked for in chunks of 500 numbers (newest first, sent ahead
// on the pipeline), each line matched against the request's pattern, within
// the request's header limit and time limit.
#pragma once

#include "matches.h"
#include "run_session.h"

// Scans articles first..last of the group the session has selected.
// Continue: `matches` holds at least one number. NothingFound: nothing
// matched (the message written, the connection closed). Failed: the reason
// written, the connection closed.
kvStep ScanHeaders(kvRunSession& session, long first, long last, kvMatches& matches);
