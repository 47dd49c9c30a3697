#include "sweep_run.h"

#include "group_list.h"
#include "group_wildmat.h"
#include "net.h"
#include "search_steps.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// The plain items of the selection in their order, each once.
std::vector<std::string> GivenGroups(const std::string& selection) {
    std::vector<std::string> names;
    for (std::string& item : PlainGroupItems(selection))
        if (std::find(names.begin(), names.end(), item) == names.end())
            names.push_back(std::move(item));
    return names;
}

// The groups the selection names: as given, or as the server lists them,
// together with the plain names the selection keeps, so that a missing
// group is reported rather than passed over in silence.
kvStep SelectGroups(kvSearchRun& run, const std::string& selection,
                    std::vector<std::string>& names) {
    if (!HasGroupPattern(selection)) {
        names = GivenGroups(selection);
        return kvStep::Continue;
    }
    kvStep step = run.Ready();
    if (step == kvStep::Continue) step = ListGroups(run.Session(), selection, names);
    if (step != kvStep::Continue) return step;
    for (const std::string& item : GivenGroups(selection))
        if (WildmatMatches(selection, item)) names.push_back(item);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return kvStep::Continue;
}

kvSearchOutcome NotSearched(const std::string& reason) {
    kvSearchOutcome outcome;
    outcome.end = kvSearchEnd::Failed;
    outcome.status = reason;
    outcome.statusKind = kvStatusKind::Warning;
    return outcome;
}

} // namespace

kvSweepOutcome RunSweep(const kvSearchRequest& request, const std::string& selection,
                        kvSearchContext& ctx, const kvGroupDone& onGroupDone) {
    kvSweepOutcome sweep;
    kvSearchRequest req = request; // names each group in turn
    CopyField(req.newsgroup, "");
    kvResultSet unused;
    kvSearchRun run(req, unused, ctx);
    kvRunSession& s = run.Session();
    s.keepBetweenGroups = true;
    ctx.Show(kvStatusKind::Progress, "Korvex: Creating network connection...");
    s.StartTimeLimit();
    // Quitting a connection between groups clears these: each group starts with them again.
    const long long deadline = s.conn.runDeadlineMs;
    const int timeout = req.timeoutSeconds >= 1 ? req.timeoutSeconds : 30;

    std::vector<std::string> names;
    if (SelectGroups(run, selection, names) != kvStep::Continue) {
        sweep.status = ctx.statusText;
        sweep.statusKind = ctx.statusKind;
        return sweep;
    }
    sweep.ran = true;
    sweep.groups = static_cast<int>(names.size());
    std::string endReason;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (endReason.empty() && ctx.stop.StopRequested())
            endReason = "SEARCH: Not searched: the sweep was stopped";
        else if (endReason.empty() && s.LimitPassed())
            endReason = "SEARCH: Not searched: search time expired";
        if (!endReason.empty()) {
            kvSearchOutcome left = NotSearched(endReason);
            ++sweep.notSearched;
            onGroupDone(name, left);
            continue;
        }
        CopyField(req.newsgroup, name.c_str());
        ctx.Show(kvStatusKind::Progress, "SEARCH: Newsgroup %d of %d: %.400s",
                 static_cast<int>(i) + 1, sweep.groups, name.c_str());
        char startDate[KV_DATE_SIZE];
        FormatLocalTime(startDate);
        auto results = std::make_unique<kvResultSet>();
        run.NextGroup(*results);
        SetNetTimeout(s.conn, timeout);
        s.conn.runDeadlineMs = deadline;
        int n = run.Search();
        kvSearchOutcome outcome = MakeSearchOutcome(req, ctx, startDate, n, std::move(results));
        // A run that ends with a result, not an error (a group with no
        // articles), found nothing: in a sweep that is no failure.
        if (outcome.end == kvSearchEnd::Failed && outcome.statusKind == kvStatusKind::Result)
            outcome.end = kvSearchEnd::NothingFound;
        if (outcome.end == kvSearchEnd::Found) {
            ++sweep.groupsFound;
            sweep.articles += outcome.count;
        } else if (outcome.end == kvSearchEnd::Failed) {
            ++sweep.failed;
            if (!run.EverConnected())
                endReason = "SEARCH: Not searched: no connection to the server";
            else if (s.securityFailed)
                endReason = "SEARCH: Not searched: the server refused the session";
            else if (s.ConnectionLost())
                endReason = "SEARCH: Not searched: the connection was lost";
        }
        onGroupDone(name, outcome);
    }
    s.keepBetweenGroups = false;
    if (s.Connected()) s.QuitAndCloseNow();
    if (names.empty()) {
        ctx.Write(kvStatusKind::Result, "SEARCH: No newsgroup on server matches the list");
    } else if (endReason.empty()) {
        ctx.Write(kvStatusKind::Result, "SEARCH: %d articles found in %d of %d newsgroups",
                  sweep.articles, sweep.groupsFound, sweep.groups);
    } else {
        ctx.Write(kvStatusKind::Warning, "%s", endReason.c_str());
    }
    sweep.status = ctx.statusText;
    sweep.statusKind = ctx.statusKind;
    return sweep;
}
