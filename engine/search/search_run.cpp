#include "search_run.h"

#include "article.h"
#include "commands.h"
#include "compression.h"
#include "connect.h"
#include "fetch.h"
#include "group_reply.h"
#include "header_scan.h"
#include "net.h"
#include "net_library.h"
#include "run_session.h"
#include "search_summary.h"
#include "transport.h"

#include <cstring>
#include <new>

namespace {

// The longest server name that fits into a progress message with the given
// fixed part, so that the message keeps its closing "...".
int ServerNameRoom(const char* fixedPart) {
    return KV_STATUS_SIZE - 1 - static_cast<int>(std::strlen(fixedPart));
}

// The run as a sequence: connect, select the group, scan, fetch, report.
class kvSearchRun {
  public:
    kvSearchRun(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context)
        : s(request, context), req(request), ctx(context), set(results) {}

    int Run();

  private:
    kvStep Connect();
    kvStep SelectGroup();
    kvStep Compress();
    // Groups the received articles by subject and reports how the fetch ended.
    void Report(const kvFetched& fetched);

    kvRunSession s;
    const kvSearchRequest& req;
    kvSearchContext& ctx;
    kvResultSet& set;
    long first = 0, last = 0;
};

int kvSearchRun::Run() {
    ctx.Show(kvStatusKind::Progress, "Korvex: Creating network connection...");
    s.StartTimeLimit();
    kvMatches matches;
    kvFetched fetched;
    kvStep step = Connect();
    if (step == kvStep::Continue) step = SelectGroup();
    if (step == kvStep::Continue) step = Compress();
    if (step == kvStep::Continue) step = ScanHeaders(s, first, last, matches);
    if (step == kvStep::Continue) step = FetchArticles(s, matches, set, fetched);
    switch (step) {
    case kvStep::Continue:
        Report(fetched);
        return fetched.received;
    case kvStep::NothingFound:
        return 0;
    case kvStep::Failed:
        break;
    }
    return -1;
}

kvStep kvSearchRun::Connect() {
    kvConnection& conn = s.conn;
    s.netLibrary.emplace();
    if (!s.netLibrary->Ready()) return s.Fail("ERROR: Unable to initialize WinSock");
    ctx.Show(kvStatusKind::Progress, "Korvex: Locating %.*s...",
             ServerNameRoom("Korvex: Locating ..."), req.server);
    SetNetTimeout(conn, req.timeoutSeconds >= 1 ? req.timeoutSeconds : 30);
    kvAddressList addresses;
    // The lookup waits at most the time-out and ends at once on a stop.
    kvResolveResult found =
        ParseServerText(req.server, s.server)
            ? ResolveServerInterruptibly(s.server.host, s.server.port, addresses, &ctx.stop,
                                         NetTimeoutMs(conn), ctx.resolve)
            : kvResolveResult::NotFound;
    if (found == kvResolveResult::Stopped) {
        return s.Fail("ERROR: Can't connect to server");
    }
    if (found != kvResolveResult::Found) {
        return s.Fail("ERROR: Host not found");
    }
    ctx.Show(kvStatusKind::Progress, "Korvex: Connecting to %.*s...",
             ServerNameRoom("Korvex: Connecting to ..."), req.server);
    switch (ConnectToAny(addresses, conn)) {
    case kvConnectResult::Connected:
        break;
    case kvConnectResult::NoSocket:
        return s.Fail("ERROR: Unable to create socket");
    case kvConnectResult::Refused:
    case kvConnectResult::Stopped:
        return s.Fail("ERROR: Can't connect to server");
    }

    if (s.server.implicitTls && !s.security.StartImplicit()) {
        s.Close();
        return kvStep::Failed;
    }

    char reply[512];
    long n = ReceiveReplyLine(conn, reply, sizeof reply);
    if (n <= 0) {
        s.Close();
        return s.FailReceive(n);
    }
    int code = ReplyCode(reply);
    if (code == 200 || code == 201) {
        ctx.Show(kvStatusKind::Progress, "Korvex: Connected...");
        return kvStep::Continue;
    }
    s.Close();
    return s.Fail(code == 502 ? "ERROR: Not permitted to talk to this server"
                              : "ERROR: NNTP-server not responding");
}

kvStep kvSearchRun::SelectGroup() {
    char reply[512];
    SendCommand(s.conn, "MODE READER\r\n");
    ReceiveReplyLine(s.conn, reply, sizeof reply); // whatever it says

    ctx.Show(kvStatusKind::Progress, "Korvex: Selecting newsgroup...");
    int code = 0;
    kvBuffer scratch; // nothing is sent ahead yet
    for (;;) {
        if (!s.AskGroup(reply, sizeof reply, code)) return kvStep::Failed;
        kvSecured secured = s.Secure(code, scratch);
        if (secured == kvSecured::Failed) return kvStep::Failed;
        if (secured == kvSecured::NotAsked) break;
    }
    s.security.SessionRestored();
    long count = 0;
    if (code == 211 && ParseGroupReply(reply, count, first, last)) {
        ctx.groupArticleCount = count;
    } else {
        s.QuitAndClose();
        return s.Fail(code == 411 ? "ERROR: No such group on server"
                                  : "ERROR: GROUP command error");
    }
    if (ctx.groupArticleCount == 0) {
        s.QuitAndClose();
        // Not an error: the group is there, with nothing in it.
        return s.Fail(kvStatusKind::Result, "SEARCH: No articles in this group on server");
    }
    ctx.Show(kvStatusKind::Progress, "SEARCH: %ld articles in this group; requesting headers...",
             ctx.groupArticleCount);
    return kvStep::Continue;
}

// Deflates the rest of the connection when the server offers it and the
// request allows it; a refusal leaves the connection as it was.
kvStep kvSearchRun::Compress() {
    // Whether the server offers it: what the login's CAPABILITIES listed.
    // (Stands in for the capabilities read at the start of the session.)
    const bool offered = s.security.CompressOffered();
    if (!req.compress || !offered) return kvStep::Continue;
    long result = 0;
    if (StartCompression(s.conn, result) != kvCompression::Failed) return kvStep::Continue;
    s.Close();
    return s.FailReceive(result);
}

void kvSearchRun::Report(const kvFetched& fetched) {
    if (fetched.received <= 0) return;
    ctx.Show(kvStatusKind::Progress, "Korvex: Sorting articles...");
    set.SortBySubject();
    if (fetched.connectionLost)
        ctx.Show(kvStatusKind::Error, "ERROR: connection failure; %d complete articles received",
                 fetched.received);
    else
        ctx.Show(kvStatusKind::Result, "SUCCESS: %d articles received", fetched.received);
}

} // namespace

int RunSearch(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context) {
    return kvSearchRun(request, results, context).Run();
}

kvSearchOutcome RunSearchRequest(const kvSearchRequest& request, kvSearchContext& context) {
    char startDate[KV_DATE_SIZE];
    FormatLocalTime(startDate);
    kvSearchOutcome outcome;
    outcome.results = std::make_unique<kvResultSet>();
    int n = RunSearch(request, *outcome.results, context);
    outcome.status = context.statusText;
    outcome.statusKind = context.statusKind;
    if (n <= 0) {
        outcome.end = n == 0 ? kvSearchEnd::NothingFound : kvSearchEnd::Failed;
        return outcome;
    }
    outcome.summary.reset(new (std::nothrow) kvSearchSummary());
    if (!outcome.summary) {
        // Without a summary the results cannot be held: the run counts as failed.
        outcome.results.reset();
        outcome.end = kvSearchEnd::Failed;
        outcome.status = "ERROR: not enough memory for the search results";
        outcome.statusKind = kvStatusKind::Error;
        return outcome;
    }
    FillSearchSummary(*outcome.summary, request, startDate, context.groupArticleCount, n);
    outcome.end = kvSearchEnd::Found;
    outcome.count = n;
    return outcome;
}
