#include "header_scan.h"

#include "article_store.h"
#include "matcher.h"

#include <cstring>
#include <new>

namespace {

// The request's pattern, parsed; its words are freed however the scan ends.
class kvParsedPattern {
  public:
    explicit kvParsedPattern(const kvSearchRequest& request) {
        ClearPattern(pattern);
        ParsePattern(pattern, request.pattern, request.matchMode, request.ignoreCase);
    }
    ~kvParsedPattern() { FreePatternWords(pattern); }
    kvParsedPattern(const kvParsedPattern&) = delete;
    kvParsedPattern& operator=(const kvParsedPattern&) = delete;

    kvPattern pattern;
};

class kvHeaderScan {
  public:
    kvHeaderScan(kvRunSession& session, kvMatches& matches)
        : s(session), req(session.req), pattern(session.req), found(matches),
          headerLimit(EffectiveMaxHeaders(session.req)) {}

    kvStep Run(long first, long last);

  private:
    // Matches the lines of the header list just received.
    void ScanChunk();

    kvRunSession& s;
    const kvSearchRequest& req;
    kvParsedPattern pattern;
    kvMatches& found;
    kvBuffer headerList;
    int headerLimit;
    int scanned = 0;
};

kvStep kvHeaderScan::Run(long first, long last) {
    found.count = 0;
    found.numbers.reset(new (std::nothrow) long[KV_MAX_HEADERS]);
    if (!found.numbers || !headerList.Allocate(KV_HEADER_LIST_SIZE)) {
        s.QuitAndClose();
        return s.Fail("ERROR: Low memory");
    }

    long lowest = (last - first + 1 > headerLimit) ? last - headerLimit + 1 : first;
    // The chunks are known from here on: their commands go out ahead of the
    // responses, up to the pipeline's window.
    long nextHigh = last;
    bool allSent = false;
    auto sendAhead = [&] {
        while (!allSent) {
            long low = nextHigh - 499 <= lowest ? lowest : nextHigh - 499;
            if (s.pipeline.Send(221, kvResponseMode::HeaderList, "XHDR %s %ld-%ld\r\n", req.header,
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
        if (s.pipeline.Awaited() == 0) { // this chunk's command could not be formed
            s.QuitAndClose();
            return s.Fail("ERROR requesting article headers");
        }
        long n = s.pipeline.Receive(headerList);
        kvResume resume = s.Reconnect(n, headerList);
        if (resume == kvResume::Resumed) {
            nextHigh = high; // this chunk again, and those after it
            allSent = false;
            high += 500;
            continue;
        }
        if (resume == kvResume::Failed) return kvStep::Failed;
        if (n <= 0) {
            s.Close();
            return s.FailReceive(n);
        }
        kvSecured secured = s.Secure(ReplyCode(headerList.data.get()), headerList);
        if (secured == kvSecured::SendAgain && s.Reselect()) {
            nextHigh = high; // the same chunk again, and those after it
            allSent = false;
            high += 500;
            continue;
        }
        if (secured != kvSecured::NotAsked) return kvStep::Failed;
        if (ReplyCode(headerList.data.get()) != 221) {
            s.QuitAndClose();
            return s.Fail("ERROR requesting article headers");
        }
        ScanChunk();
        long long span = static_cast<long long>(last) - lowest + 1;
        int percent = static_cast<int>(100 - (static_cast<long long>(low) - lowest) * 100 / span);
        s.ctx.ShowProgress(kvPhase::HeaderScan, percent, 100, "Scanning headers... (%d%% done)",
                           percent);
        if (s.TimeExpired()) {
            s.RestartStopwatch();
            s.QuitAndClose();
            return s.Fail(kvStatusKind::Warning, "WARNING: Search time expired, nothing found");
        }
        if (scanned >= headerLimit || finalChunk) break;
    }
    // A server that listed more lines than asked for ends the scan early; the
    // answers to chunks sent ahead are read and dropped before the fetch.
    s.pipeline.DropOutstanding();

    if (found.count == 0) {
        s.ctx.Write(kvStatusKind::Result, "SEARCH: No matching articles found");
        s.QuitAndClose();
        return kvStep::NothingFound;
    }
    return kvStep::Continue;
}

void kvHeaderScan::ScanChunk() {
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
            if (MatchHeaderValue(pattern.pattern, value, req.matchMode))
                found.numbers[found.count++] = number;
        }
        ++scanned;
    }
}

} // namespace

kvStep ScanHeaders(kvRunSession& session, long first, long last, kvMatches& matches) {
    return kvHeaderScan(session, matches).Run(first, last);
}
