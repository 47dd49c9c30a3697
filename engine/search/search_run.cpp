#include "search_run.h"

#include "search_steps.h"

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
#include <string>
#include <utility>

namespace {

// The longest server name that fits into a progress message with the given
// fixed part, so that the message keeps its closing "...".
int ServerNameRoom(const char* fixedPart) {
    return KV_STATUS_SIZE - 1 - static_cast<int>(std::strlen(fixedPart));
}

} // namespace

kvSearchRun::kvSearchRun(const kvSearchRequest& request, kvResultSet& results,
                         kvSearchContext& context)
    : s(request, context), req(request), ctx(context), set(&results) {
    s.reopen = [this] {
        reopening = true;
        kvStep step = Connect();
        if (step == kvStep::Continue) step = SelectGroup();
        return step == kvStep::Continue ? Compress() : step;
    };
}

void kvSearchRun::NextGroup(kvResultSet& results) {
    set = &results;
    first = last = 0;
    selected = false;
    ctx.groupArticleCount = 0;
    ctx.matchedTotal = 0;
    s.listedHeader = kvListedHeader::Unknown;
    // A connection closed at the end of the group before: the next one goes to
    // the same addresses and starts as one made again after a loss.
    if (!s.Connected() && connectedOnce) s.StartOver();
    if (!addresses.addresses.empty()) reopening = true;
}

int kvSearchRun::Run() {
    ctx.Show(kvStatusKind::Progress, "Korvex: Creating network connection...");
    s.StartTimeLimit();
    return Search();
}

int kvSearchRun::Search() {
    kvMatches matches;
    kvFetched fetched;
    kvStep step = Open();
    if (step == kvStep::Continue) step = ScanHeaders(s, first, last, matches);
    if (step == kvStep::Continue) step = FetchArticles(s, matches, *set, fetched);
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

kvStep kvSearchRun::Ready() {
    kvStep step = s.Connected() ? kvStep::Continue : Connect();
    return step == kvStep::Continue ? ModeReader() : step;
}

kvStep kvSearchRun::Open() {
    kvStep step = s.Connected() ? kvStep::Continue : Connect();
    if (step == kvStep::Continue) step = SelectGroup();
    if (step == kvStep::Continue) step = Compress();
    if (step != kvStep::Failed || !s.ConnectionLost()) return step;
    long result = s.LostResult();
    switch (s.Reconnect(result)) {
    case kvResume::Resumed:
        return kvStep::Continue;
    case kvResume::NotLost:
    case kvResume::GaveUp:
        s.Close();
        return s.FailReceive(result);
    case kvResume::Failed:
        break;
    }
    return kvStep::Failed;
}

kvStep kvSearchRun::Connect() {
    kvConnection& conn = s.conn;
    readerAsked = false;
    if (reopening) return ConnectTo(); // the same addresses as before
    s.netLibrary.emplace();
    if (!s.netLibrary->Ready()) return s.Fail("ERROR: Unable to initialize WinSock");
    ctx.Show(kvStatusKind::Progress, "Korvex: Locating %.*s...",
             ServerNameRoom("Korvex: Locating ..."), req.server);
    SetNetTimeout(conn, req.timeoutSeconds >= 1 ? req.timeoutSeconds : 30);
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
    return ConnectTo();
}

kvStep kvSearchRun::ConnectTo() {
    kvConnection& conn = s.conn;
    ctx.Show(kvStatusKind::Progress, "Korvex: Connecting to %.*s...",
             ServerNameRoom("Korvex: Connecting to ..."), req.server);
    switch (ConnectToAny(addresses, conn)) {
    case kvConnectResult::Connected:
        break;
    case kvConnectResult::NoSocket:
        return s.Fail("ERROR: Unable to create socket");
    case kvConnectResult::Refused:
        // A server being restarted refuses for a while: when connecting
        // again, that uses up a try like any other lost connection.
        if (reopening) return s.FailReceive(0);
        return s.Fail("ERROR: Can't connect to server");
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
        connectedOnce = true;
        ctx.Show(kvStatusKind::Progress, "Korvex: Connected...");
        return AskCapabilities();
    }
    s.Close();
    return s.Fail(code == 502 ? "ERROR: Not permitted to talk to this server"
                              : "ERROR: NNTP-server not responding");
}

kvStep kvSearchRun::AskCapabilities() {
    kvSecurityStep failure = kvSecurityStep::Fail;
    if (s.security.ReadCapabilities(failure)) {
        switch (s.security.EncryptAsBefore()) {
        case kvSecurityStep::NotMine:
        case kvSecurityStep::Retry:
            return kvStep::Continue;
        case kvSecurityStep::Fail:
            s.securityFailed = true;
            s.QuitAndClose();
            return kvStep::Failed;
        case kvSecurityStep::Abort:
            s.securityFailed = true;
            s.Close();
            return kvStep::Failed;
        }
    }
    if (failure == kvSecurityStep::Abort) {
        // The connection failed under the list: lost, as under any answer.
        s.Close();
        return s.FailReceive(s.security.FailedRead());
    }
    s.securityFailed = true;
    s.QuitAndClose();
    return kvStep::Failed;
}

kvStep kvSearchRun::ModeReader() {
    // A server that lists READER reads without being asked; one that refuses
    // CAPABILITIES may need MODE READER, as may one that lists MODE-READER
    // (whose list then changes).
    if (s.caps.reader || readerAsked) return kvStep::Continue;
    readerAsked = true;
    char reply[512];
    SendCommand(s.conn, "MODE READER\r\n");
    ReceiveReplyLine(s.conn, reply, sizeof reply); // whatever it says
    if (s.caps.modeReader && AskCapabilities() == kvStep::Failed) return kvStep::Failed;
    return kvStep::Continue;
}

kvStep kvSearchRun::SelectGroup() {
    char reply[512];
    if (ModeReader() == kvStep::Failed) return kvStep::Failed;

    ctx.Show(kvStatusKind::Progress, "Korvex: Selecting newsgroup...");
    int code = 0;
    // Takes the answer to LIST HEADERS, sent ahead with GROUP, when a login
    // or encryption comes first.
    kvBuffer scratch;
    if (s.caps.listHeaders && !scratch.Allocate(4096)) {
        s.QuitAndClose();
        return s.Fail("ERROR: Low memory");
    }
    for (;;) {
        if (!s.AskGroup(reply, sizeof reply, code, s.caps.listHeaders)) return kvStep::Failed;
        kvSecured secured = s.Secure(code, scratch);
        if (secured == kvSecured::Failed) return kvStep::Failed;
        if (secured == kvSecured::NotAsked) break;
    }
    s.security.SessionRestored();
    long count = 0, low = 0, high = 0;
    if (code == 211 && !s.ReadListedHeader()) return kvStep::Failed;
    if (code == 211 && ParseGroupReply(reply, count, low, high)) {
        // Selected again after a lost connection: the search goes on with the
        // numbers it started with.
        if (selected) return kvStep::Continue;
        selected = true;
        first = low;
        last = high;
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
    if (!req.compress || !s.caps.compressDeflate || s.conn.compress) return kvStep::Continue;
    long result = 0;
    if (StartCompression(s.conn, result) != kvCompression::Failed) return kvStep::Continue;
    s.Close();
    return s.FailReceive(result);
}

void kvSearchRun::Report(const kvFetched& fetched) {
    if (fetched.received <= 0) return;
    const std::string reason = ctx.statusText; // what ended the fetch, when it was written
    const kvStatusKind reasonKind = ctx.statusKind;
    ctx.Show(kvStatusKind::Progress, "Korvex: Sorting articles...");
    set->SortBySubject();
    if (fetched.reasonWritten)
        ctx.Show(reasonKind, "%s", reason.c_str());
    else if (fetched.connectionLost)
        ctx.Show(kvStatusKind::Error, "ERROR: connection failure; %d complete articles received",
                 fetched.received);
    else
        ctx.Show(kvStatusKind::Result, "SUCCESS: %d articles received", fetched.received);
}

int RunSearch(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context) {
    return kvSearchRun(request, results, context).Run();
}

kvSearchOutcome MakeSearchOutcome(const kvSearchRequest& request, const kvSearchContext& context,
                                  const char* startDate, int n,
                                  std::unique_ptr<kvResultSet> results) {
    kvSearchOutcome outcome;
    outcome.results = std::move(results);
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
    FillSearchSummary(*outcome.summary, request, startDate, context.groupArticleCount, n,
                      context.matchedTotal);
    outcome.end = kvSearchEnd::Found;
    outcome.count = n;
    return outcome;
}

kvSearchOutcome RunSearchRequest(const kvSearchRequest& request, kvSearchContext& context) {
    char startDate[KV_DATE_SIZE];
    FormatLocalTime(startDate);
    auto results = std::make_unique<kvResultSet>();
    int n = RunSearch(request, *results, context);
    return MakeSearchOutcome(request, context, startDate, n, std::move(results));
}
