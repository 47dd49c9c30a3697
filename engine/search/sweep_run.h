// A sweep: one search request run over a set of newsgroups, one after the
// other on the same connection. The groups come from a comma-separated list
// of names and wildmats (group_wildmat.h): plain names are taken as they are;
// a list with any pattern or exclusion is asked of the server with LIST
// ACTIVE (group_list.h) once connected, before the first group.
//
// Each group gets the search's own steps (GROUP, the header scan, the fetch)
// and its own outcome, handed to `onGroupDone` as soon as the group ends,
// before the next one starts. The connection stays open from one group to
// the next; one found closed or lost is opened again (a lost one counting
// against the request's retries, which hold for the whole sweep, as does
// the time limit). A group without articles counts as nothing found. A group that fails (no such
// group, no permission, an error reply) leaves the sweep going on; a failed login or encryption, a
// connection lost for good, a stop or the time limit end it: the groups left
// are then handed over as not searched.
#pragma once

#include "records.h"
#include "search_context.h"
#include "search_run.h"

#include <functional>
#include <string>

using kvGroupDone = std::function<void(const std::string& group, kvSearchOutcome& outcome)>;

struct kvSweepOutcome {
    bool ran = false;   // the groups were known and went through onGroupDone
    std::string status; // not ran: why; ran: the sweep's last message
    kvStatusKind statusKind = kvStatusKind::Error;
    int groups = 0;      // the groups selected
    int groupsFound = 0; // of them, those where articles were found
    int articles = 0;    // articles found in all groups
    int failed = 0;      // groups whose search failed
    int notSearched = 0; // groups left when the sweep ended early
};

// Runs the request (whose newsgroup is ignored) over the groups `selection`
// names. Blocks until the sweep ends.
kvSweepOutcome RunSweep(const kvSearchRequest& request, const std::string& selection,
                        kvSearchContext& context, const kvGroupDone& onGroupDone);
