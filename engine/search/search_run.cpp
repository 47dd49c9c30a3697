#include "search_run.h"

#include "article.h"
#include "matcher.h"
#include "mime_body.h"
#include "net.h"
#include "pipeline.h"
#include "session_security.h"
#include "transport.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>

namespace {

// Whole seconds since Start(), on the context's clock.
class Stopwatch {
  public:
    explicit Stopwatch(const kvSearchContext& context) : ctx(context) {}
    void Start() { started = ctx.NowMilliseconds(); }
    long ElapsedSeconds() const {
        return static_cast<long>((ctx.NowMilliseconds() - started) / 1000);
    }

  private:
    const kvSearchContext& ctx;
    long long started = 0;
};

// The longest server name that fits into a progress message with the given
// fixed part, so that the message keeps its closing "...".
int ServerNameRoom(const char* fixedPart) {
    return KV_STATUS_SIZE - 1 - static_cast<int>(std::strlen(fixedPart));
}

// An article number from 0 to 2^31-1 (a sign allowed), however wide long is:
// false for anything larger, so "2147483648" is refused where long is 32-bit too.
static bool DecodeArticleNumber(const char* at, long& number) {
    bool negative = *at == '-';
    if (*at == '-' || *at == '+') ++at;
    long long value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        value = value * 10 + (*at - '0');
        if (value > 2147483647LL) return false;
    }
    if (negative && value != 0) return false;
    number = static_cast<long>(value);
    return true;
}

// Reads the three numbers of a 211 reply ("211 count first last group"), each
// the number that starts after the next blank. False when the reply does not
// carry three numbers from 0 to 2^31-1.
bool ParseGroupReply(const char* reply, long& count, long& first, long& last) {
    long* numbers[3] = {&count, &first, &last};
    const char* at = reply;
    for (long* number : numbers) {
        at = std::strchr(at, ' ');
        if (at == nullptr) return false;
        ++at;
        // A number, signed or not: a sign before anything else is no number.
        const char* digit = *at == '-' || *at == '+' ? at + 1 : at;
        if (!(*digit >= '0' && *digit <= '9')) return false;
        // Article numbers are 31-bit; larger ones would overflow the chunk arithmetic.
        if (!DecodeArticleNumber(at, *number)) return false;
    }
    return true;
}

// Copies `length` bytes of text into a field of `capacity` bytes (NUL
// included), leaving out NUL bytes as the article bodies do: a NUL from the
// server never cuts a line or a header short.
void CopyWithoutNul(char* field, std::size_t capacity, const char* text, std::size_t length) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < length && kept + 1 < capacity; ++i)
        if (text[i] != '\0') field[kept++] = text[i];
    if (capacity > 0) field[kept] = '\0';
}

class SearchRun {
  public:
    SearchRun(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context)
        : req(request), set(results), ctx(context), security(conn, context, request, server),
          stopwatch(context), pipeline(conn, EffectivePipeline(request)) {
        conn.stop = &context.stop;
        conn.clock = [&context] { return context.NowMilliseconds(); };
        conn.maxResponseBytes = context.maxResponseBytes;
        conn.maxResponseSeconds = context.maxResponseSeconds;
    }

    int Run();

  private:
    int Fail(const char* message) {
        ctx.Write("%s", message);
        return -1;
    }
    void Close() {
        CloseSocket(conn);
        FreePatternWords(pattern);
        NetCleanup();
    }
    void QuitAndClose() {
        pipeline.FinishLine();
        SendQuit(conn);
        Close();
    }
    const char* ReceiveFailure(long result) const { return ReceiveFailureMessage(conn, result); }
    void ReleaseFetchBuffers() {
        articleBuffer.Release();
        headerText.reset();
    }
    // Groups the received articles by subject and reports how the fetch ended.
    void ReportReceived(bool connectionFailed);
    bool TimeExpired() const { return timeLimitOn && stopwatch.ElapsedSeconds() > limitSeconds; }

    int Connect();
    // After a reply `code`: 1 when a login or encryption was set up and the
    // command is to be sent again; 0 when the code is not about either; -1 when
    // the run fails (message written, connection closed). Commands sent ahead
    // are settled first (their responses read into `scratch` and dropped): the
    // caller sends them again.
    int Secure(int code, kvBuffer& scratch);
    // Sends GROUP and reads the reply line into reply. False when the run
    // failed (message written, connection closed).
    bool AskGroup(char* reply, std::size_t size, int& code);
    // Selects the group again after the server's session state was reset.
    int Reselect();
    int SelectGroup();
    int ScanHeaders();
    void ScanChunk();
    int FetchArticles();
    bool StoreArticle();

    const kvSearchRequest& req;
    kvResultSet& set;
    kvSearchContext& ctx;
    kvConnection conn;
    kvServerAddress server;
    kvSessionSecurity security;
    kvPattern pattern;
    Stopwatch stopwatch;
    kvPipeline pipeline;
    bool timeLimitOn = false;
    long limitSeconds = 0;
    int headerLimit = 0;
    long first = 0, last = 0, lowest = 0;
    std::unique_ptr<long[]> matching;
    int matched = 0;
    int scanned = 0;
    kvBuffer headerList;
    kvBuffer articleBuffer;
    std::unique_ptr<char[]> headerText;
    int received = 0;
};

constexpr std::size_t kHeaderTextSize = 32767;
constexpr long kTimeLimitGraceSeconds = 10;

int SearchRun::Run() {
    ctx.Show("Korvex: Creating network connection...");
    ClearPattern(pattern);

    if (!StartsWithWord(req.timeLimit, "any")) {
        limitSeconds = DecodeNumber(req.timeLimit) * 60;
        if (limitSeconds >= 60) {
            timeLimitOn = true;
            stopwatch.Start();
            // Inside a response the limit holds as well, a few seconds later:
            // an answer under way when it passes may still be completed.
            conn.runDeadlineMs =
                ctx.NowMilliseconds() + (limitSeconds + kTimeLimitGraceSeconds) * 1000LL;
        }
    }
    headerLimit = EffectiveMaxHeaders(req);

    int r = Connect();
    if (r != 1) return r;
    r = SelectGroup();
    if (r != 1) return r;
    r = ScanHeaders();
    if (r != 1) return r;
    return FetchArticles();
}

int SearchRun::Connect() {
    if (!NetStartup()) {
        NetCleanup();
        return Fail("ERROR: Unable to initialize WinSock");
    }
    ctx.Show("Korvex: Locating %.*s...", ServerNameRoom("Korvex: Locating ..."), req.server);
    SetNetTimeout(conn, req.timeoutSeconds >= 1 ? req.timeoutSeconds : 30);
    kvAddressList addresses;
    // The lookup waits at most the time-out and ends at once on a stop.
    kvResolveResult found =
        ParseServerText(req.server, server)
            ? ResolveServerInterruptibly(server.host, server.port, addresses, &ctx.stop,
                                         NetTimeoutMs(conn), ctx.resolve)
            : kvResolveResult::NotFound;
    if (found == kvResolveResult::Stopped) {
        NetCleanup();
        return Fail("ERROR: Can't connect to server");
    }
    if (found != kvResolveResult::Found) {
        NetCleanup();
        return Fail("ERROR: Host not found");
    }
    ctx.Show("Korvex: Connecting to %.*s...", ServerNameRoom("Korvex: Connecting to ..."),
             req.server);
    switch (ConnectToAny(addresses, conn)) {
    case kvConnectResult::Connected:
        break;
    case kvConnectResult::NoSocket:
        NetCleanup();
        return Fail("ERROR: Unable to create socket");
    case kvConnectResult::Refused:
    case kvConnectResult::Stopped:
        NetCleanup();
        return Fail("ERROR: Can't connect to server");
    }

    if (server.implicitTls && !security.StartImplicit()) {
        Close();
        return -1;
    }

    char reply[512];
    long n = ReceiveReplyLine(conn, reply, sizeof reply);
    if (n <= 0) {
        Close();
        return Fail(ReceiveFailure(n));
    }
    int code = ReplyCode(reply);
    if (code == 200 || code == 201) {
        ctx.Show("Korvex: Connected...");
        return 1;
    }
    Close();
    return Fail(code == 502 ? "ERROR: Not permitted to talk to this server"
                            : "ERROR: NNTP-server not responding");
}

int SearchRun::Secure(int code, kvBuffer& scratch) {
    if (code == 480 || code == 483) {
        long n = pipeline.Settle(scratch);
        if (n <= 0) {
            Close();
            return Fail(ReceiveFailure(n));
        }
    }
    switch (security.Answer(code)) {
    case kvSecurityStep::NotMine:
        return 0;
    case kvSecurityStep::Retry:
        return 1;
    case kvSecurityStep::Fail:
        QuitAndClose();
        return -1;
    case kvSecurityStep::Abort:
        Close();
        return -1;
    }
    return -1;
}

bool SearchRun::AskGroup(char* reply, std::size_t size, int& code) {
    if (!SendCommand(conn, "GROUP %s\r\n", req.newsgroup)) {
        // A name that does not fit one command line, or holds a line break.
        QuitAndClose();
        Fail("ERROR: GROUP command error");
        return false;
    }
    long n = ReceiveReplyLine(conn, reply, size);
    if (n <= 0) {
        Close();
        Fail(ReceiveFailure(n));
        return false;
    }
    code = ReplyCode(reply);
    return true;
}

int SearchRun::Reselect() {
    if (!security.SessionReset()) return 1;
    char reply[512];
    int code = 0;
    if (!AskGroup(reply, sizeof reply, code)) return -1;
    if (code != 211) {
        QuitAndClose();
        return Fail("ERROR: GROUP command error");
    }
    security.SessionRestored();
    return 1;
}

int SearchRun::SelectGroup() {
    char reply[512];
    SendCommand(conn, "MODE READER\r\n");
    ReceiveReplyLine(conn, reply, sizeof reply); // whatever it says

    ctx.Show("Korvex: Selecting newsgroup...");
    int code = 0;
    for (;;) {
        if (!AskGroup(reply, sizeof reply, code)) return -1;
        int secured = Secure(code, headerList); // nothing is sent ahead yet
        if (secured < 0) return -1;
        if (secured == 0) break;
    }
    security.SessionRestored();
    long count = 0;
    if (code == 211 && ParseGroupReply(reply, count, first, last)) {
        ctx.groupArticleCount = count;
    } else {
        QuitAndClose();
        return Fail(code == 411 ? "ERROR: No such group on server" : "ERROR: GROUP command error");
    }
    if (ctx.groupArticleCount == 0) {
        QuitAndClose();
        return Fail("SEARCH: No articles in this group on server");
    }
    ctx.Show("SEARCH: %ld articles in this group; requesting headers...", ctx.groupArticleCount);
    return 1;
}

int SearchRun::ScanHeaders() {
    ParsePattern(pattern, req.pattern, req.matchMode, req.ignoreCase);
    matched = scanned = 0;
    matching.reset(new (std::nothrow) long[KV_MAX_HEADERS]);
    if (!matching || !headerList.Allocate(KV_HEADER_LIST_SIZE)) {
        QuitAndClose();
        return Fail("ERROR: Low memory");
    }

    lowest = (last - first + 1 > headerLimit) ? last - headerLimit + 1 : first;
    // The chunks are known from here on: their commands go out ahead of the
    // responses, up to the pipeline's window.
    long nextHigh = last;
    bool allSent = false;
    auto sendAhead = [&] {
        while (!allSent) {
            long low = nextHigh - 499 <= lowest ? lowest : nextHigh - 499;
            if (pipeline.Send(221, kvResponseMode::HeaderList, "XHDR %s %ld-%ld\r\n", req.header,
                              low, nextHigh) != kvSendResult::Sent)
                return; // no room yet, or a command that cannot be formed
            if (low == lowest)
                allSent = true;
            else
                nextHigh -= 500;
        }
    };
    for (long high = last; high >= lowest; high -= 500) {
        long low = high - 499;
        bool finalChunk = false;
        if (low <= lowest) {
            low = lowest;
            finalChunk = true;
        }
        sendAhead();
        if (pipeline.Awaited() == 0) { // this chunk's command could not be formed
            headerList.Release();
            QuitAndClose();
            return Fail("ERROR requesting article headers");
        }
        long n = pipeline.Receive(headerList);
        if (n <= 0) {
            Close();
            headerList.Release();
            return Fail(ReceiveFailure(n));
        }
        int secured = Secure(ReplyCode(headerList.data.get()), headerList);
        if (secured == 1 && Reselect() == 1) {
            nextHigh = high; // the same chunk again, and those after it
            allSent = false;
            high += 500;
            continue;
        }
        if (secured != 0 || ReplyCode(headerList.data.get()) != 221) {
            headerList.Release();
            if (secured != 0) return -1;
            QuitAndClose();
            return Fail("ERROR requesting article headers");
        }
        ScanChunk();
        long long span = static_cast<long long>(last) - lowest + 1;
        int percent = static_cast<int>(100 - (static_cast<long long>(low) - lowest) * 100 / span);
        ctx.ShowProgress(kvPhase::HeaderScan, percent, 100, "Scanning headers... (%d%% done)",
                         percent);
        if (TimeExpired()) {
            headerList.Release();
            stopwatch.Start();
            QuitAndClose();
            return Fail("WARNING: Search time expired, nothing found");
        }
        if (scanned >= headerLimit || finalChunk) break;
    }
    // A server that listed more lines than asked for ends the scan early; the
    // answers to chunks sent ahead are read and dropped before the fetch.
    pipeline.DropOutstanding();
    FreePatternWords(pattern);
    headerList.Release();

    if (matched == 0) {
        ctx.Write("SEARCH: No matching articles found");
        QuitAndClose();
        return 0;
    }
    return 1;
}

void SearchRun::ScanChunk() {
    // Walked by length: a line may hold a NUL byte.
    const char* at = headerList.data.get();
    const char* end = at + headerList.length;
    at = static_cast<const char*>(std::memchr(at, '\n', headerList.length));
    if (at == nullptr) return;
    ++at;
    char line[KV_HEADER_LINE_MAX + 1];
    while (at < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        std::size_t length = static_cast<std::size_t>((lf != nullptr ? lf : end) - at);
        // Only the terminating "." ends the list; a dot-stuffed line is data.
        if (at[0] == '.' && (length == 1 || (length == 2 && at[1] == '\r'))) break;
        CopyWithoutNul(line, sizeof line, at, length);
        at = lf != nullptr ? lf + 1 : end;
        if (scanned >= headerLimit) continue; // read, not examined
        char* value = std::strchr(line, ' ');
        // A line without a blank carries no value, and one that does not start
        // with an article number names nothing to fetch: both are counted,
        // never matched.
        long number = line[0] >= '0' && line[0] <= '9' ? DecodeNumber(line) : 0;
        if (value != nullptr && number > 0) {
            ++value;
            if (MatchHeaderValue(pattern, value, req.matchMode)) matching[matched++] = number;
        }
        ++scanned;
    }
}

int SearchRun::FetchArticles() {
    ctx.Show("SEARCH: Requesting matching articles...");
    int articleLimit = EffectiveMaxArticles(req);
    headerText.reset(new (std::nothrow) char[kHeaderTextSize]);
    if (!articleBuffer.Allocate(KV_ARTICLE_BUFFER_SIZE) || !headerText) {
        ReleaseFetchBuffers();
        QuitAndClose();
        return Fail("ERROR: Low memory");
    }

    // Newest match first; never more commands outstanding than the articles
    // still wanted, so a refused article frees a place for the next number.
    bool timeExpired = false;
    int next = matched - 1;
    std::deque<int> asked; // the matches whose ARTICLE commands await answers, oldest first
    auto sendAhead = [&] {
        while (next >= 0 && pipeline.Awaited() < articleLimit - received) {
            kvSendResult r =
                pipeline.Send(220, kvResponseMode::Article, "ARTICLE %ld\r\n", matching[next]);
            if (r == kvSendResult::NoRoom) return;
            if (r == kvSendResult::Sent) asked.push_back(next);
            --next; // sent, or passed over like any article that cannot be had
        }
    };
    for (;;) {
        sendAhead();
        if (pipeline.Awaited() == 0) break; // every number taken
        int total = matched > articleLimit ? articleLimit : matched;
        if (matched > articleLimit)
            ctx.ShowProgress(kvPhase::Fetch, received + 1, total,
                             "SEARCH: Receiving article %d of %d requested...", received + 1,
                             articleLimit);
        else
            ctx.ShowProgress(kvPhase::Fetch, received + 1, total,
                             "SEARCH: Receiving article %d of %ld found...", received + 1,
                             static_cast<long>(matched));
        long n = pipeline.Receive(articleBuffer);
        if (n <= 0 && conn.boundHit == kvBoundHit::TimeLimit) {
            // The time ran out inside a response: what arrived whole is kept.
            ctx.Show("WARNING: Search time expired, stopped.");
            ReleaseFetchBuffers();
            Close();
            ReportReceived(false);
            return received;
        }
        if (n <= 0) {
            ctx.Write("%s", ReceiveFailure(n));
            ReleaseFetchBuffers();
            Close();
            ReportReceived(true);
            return received;
        }
        int answered = asked.front();
        asked.pop_front();
        int secured = Secure(ReplyCode(articleBuffer.data.get()), articleBuffer);
        if (secured == 1 && Reselect() == 1) {
            next = answered; // the same article again, and those sent after it
            asked.clear();
            continue;
        }
        if (secured != 0) {
            // The login or the encryption failed: what was received goes too.
            ReleaseFetchBuffers();
            set.Clear();
            received = 0;
            return -1;
        }
        if (ReplyCode(articleBuffer.data.get()) != 220) continue;
        if (!StoreArticle()) {
            if (received < 0) return -1; // out of memory: reported and released
            continue;
        }
        if (received == articleLimit) break; // at most 1024: the limit is lowered to fit
        if (TimeExpired()) {
            stopwatch.Start();
            ctx.Show("WARNING: Search time expired, stopped.");
            timeExpired = true;
            break;
        }
    }

    if (!timeExpired) ctx.Show("Finished receiving articles; Closing connection...");
    ReleaseFetchBuffers();
    QuitAndClose();
    ReportReceived(false);
    return received;
}

void SearchRun::ReportReceived(bool connectionFailed) {
    if (received <= 0) return;
    ctx.Show("Korvex: Sorting articles...");
    set.SortBySubject();
    if (connectionFailed)
        ctx.Show("ERROR: connection failure; %d complete articles received", received);
    else
        ctx.Show("SUCCESS: %d articles received", received);
}

// Parses the article in articleBuffer into slot `received`. False when the
// article is passed over (no blank line after its headers), or when memory ran
// short: then everything is released, the failure written, and received is -1.
bool SearchRun::StoreArticle() {
    // Searched by length: the article may hold NUL bytes.
    const char* response = articleBuffer.data.get();
    const char* end = response + articleBuffer.length;
    const char* statusEnd =
        static_cast<const char*>(std::memchr(response, '\n', articleBuffer.length));
    if (statusEnd == nullptr) return false;
    const char* headers = statusEnd + 1;
    static const char kBlankLine[] = "\r\n\r\n";
    const char* blank = std::search(headers, end, kBlankLine, kBlankLine + 4);
    if (blank == end) return false;

    std::size_t headerLength = static_cast<std::size_t>(blank - headers);
    CopyWithoutNul(headerText.get(), kHeaderTextSize, headers, headerLength);
    const char* body = blank + 4;
    std::size_t bodyLength = articleBuffer.length - static_cast<std::size_t>(body - response);

    ctx.Show("Korvex: Article received");
    auto lowMemory = [&]() {
        ReleaseFetchBuffers();
        set.Clear();
        QuitAndClose();
        Fail("ERROR: Low memory");
        received = -1;
        return false;
    };
    std::unique_ptr<kvArticle> article(new (std::nothrow) kvArticle);
    if (!article) return lowMemory();
    ParseArticleHeaders(headerText.get(), *article);
    if (bodyLength > 0) {
        article->body.reset(new (std::nothrow) char[bodyLength + 1]);
        if (!article->body) return lowMemory();
        std::size_t written = StripCarriageReturns(article->body.get(), body, bodyLength);
        article->body[written] = '\0';
    }
    DecodeArticleBody(headerText.get(), *article);
    if (!set.Append(std::move(article))) return false; // never past the limit
    ++received;
    return true;
}

} // namespace

int RunSearch(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context) {
    return SearchRun(request, results, context).Run();
}
