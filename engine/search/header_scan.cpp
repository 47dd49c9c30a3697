#include "header_scan.h"
#include "header_scan_steps.h"

#include "article_store.h"
#include "commands.h"

#include <cstring>
#include <new>

kvStep kvHeaderScan::Run(long first, long last) {
    // KV_MAX_HEADERS numbers: every match of a limited scan; of a whole group
    // the last ones collected, more than the fetch takes even with refusals.
    if (!found.Reserve(KV_MAX_HEADERS) || !headerList.Allocate(KV_HEADER_LIST_SIZE)) {
        s.QuitAndClose();
        return s.Fail("ERROR: Low memory");
    }
    // Counted in long long: "211 n 0 2147483647" overflows a 32-bit long.
    lowest = (static_cast<long long>(last) - first + 1 > headerLimit)
                 ? static_cast<long>(last - headerLimit + 1)
                 : first;
    // HDR gives an empty value both for an empty header and for none at all;
    // XHDR lists only the articles that have the header. A pattern that an
    // empty value matches (words to exclude alone) needs to tell them apart.
    char empty[1] = "";
    bool emptyMatches = MatchHeaderValue(pattern.pattern, empty, req.matchMode);
    source = listSource = s.caps.hdr && !emptyMatches ? kvSource::Hdr : kvSource::Xhdr;
    trustEmpty = s.listedHeader == kvListedHeader::Listed;
    if (s.listedHeader == kvListedHeader::NotListed) HeadFromNowOn();
    if (!req.serverFilter || !DeriveServerFilter(pattern.pattern, req.matchMode, wildmats))
        wildmats.clear();
    // Without LIST HEADERS an empty XPAT answer cannot be trusted yet: the
    // first chunk goes by the list command alone, and the rest follow it.
    if (!wildmats.empty() && source != kvSource::Head) {
        if (trustEmpty)
            FilterFromNowOn();
        else
            firstList = true;
    }
    // The chunks are known from here on: their commands go out ahead of the
    // responses, up to the pipeline's window.
    sendHigh = last;
    sendFloor = lowest;
    for (long high = last; high >= lowest;) {
        long low = ChunkLow(high);
        bool filtered = source == kvSource::Xpat;
        kvChunk chunk = source == kvSource::Head   ? HeadChunk(low, high)
                        : source == kvSource::Xpat ? XpatChunk(low, high)
                                                   : ListChunk(low, high);
        if (chunk == kvChunk::Failed) return kvStep::Failed;
        if (chunk == kvChunk::Again) continue;
        // XPAT lists only what matched: the chunk counts all its numbers.
        if (filtered) scanned += static_cast<long long>(high) - low + 1;
        long long span = static_cast<long long>(last) - lowest + 1;
        long long below = static_cast<long long>(low) - lowest; // numbers still to scan
        int percent = static_cast<int>(below <= LLONG_MAX / 100 ? 100 - below * 100 / span
                                                                : 100 - below / (span / 100));
        s.ctx.scanDone = span - below;
        s.ctx.scanTotal = span;
        s.ctx.ShowProgress(kvPhase::HeaderScan, percent, 100, "Scanning headers... (%d%% done)",
                           percent);
        if (s.TimeExpired()) {
            s.RestartStopwatch();
            s.QuitAndClose();
            return s.Fail(kvStatusKind::Warning, "WARNING: Search time expired, nothing found");
        }
        if (scanned >= headerLimit || low == lowest) break;
        high = low - 1;
    }
    // A server that listed more lines than asked for ends the scan early; the
    // answers to commands sent ahead are read and dropped before the fetch.
    s.pipeline.DropOutstanding();

    s.ctx.matchedTotal = found.Total();
    if (found.Total() == 0) {
        s.ctx.Write(kvStatusKind::Result, "SEARCH: No matching articles found");
        s.QuitAndClose();
        return kvStep::NothingFound;
    }
    return kvStep::Continue;
}

bool kvHeaderScan::SendList(long high) {
    long low = ChunkLow(high);
    const char* header = req.header;
    switch (source) {
    case kvSource::Hdr:
        return s.pipeline.Send(225, kvResponseMode::HeaderList, "HDR %s %ld-%ld\r\n", header, low,
                               high) == kvSendResult::Sent;
    case kvSource::Xhdr:
        return s.pipeline.Send(221, kvResponseMode::HeaderList, "XHDR %s %ld-%ld\r\n", header, low,
                               high) == kvSendResult::Sent;
    case kvSource::Over:
        return s.pipeline.Send(224, kvResponseMode::HeaderList,
                               s.caps.over ? "OVER %ld-%ld\r\n" : "XOVER %ld-%ld\r\n", low,
                               high) == kvSendResult::Sent;
    case kvSource::Xpat:
    case kvSource::Head:
        break;
    }
    return false;
}

void kvHeaderScan::SendAhead() {
    while (!allSent) {
        if (firstList && s.pipeline.Awaited() > 0) return; // XPAT may follow it
        long low = ChunkLow(sendHigh);
        if (source == kvSource::Head) {
            long number = sendNumber < low ? low : sendNumber;
            if (s.pipeline.Send(221, kvResponseMode::Article, "HEAD %ld\r\n", number) !=
                kvSendResult::Sent)
                return;
            if (number < sendHigh) {
                sendNumber = number + 1;
                continue;
            }
        } else if (source == kvSource::Xpat) {
            // One XPAT per wildmat; sendNumber counts those sent for the chunk.
            std::size_t next = static_cast<std::size_t>(sendNumber);
            if (s.pipeline.Send(221, kvResponseMode::HeaderList, "XPAT %s %ld-%ld %s\r\n",
                                req.header, low, sendHigh,
                                wildmats[next].c_str()) != kvSendResult::Sent)
                return;
            sendNumber = static_cast<long>(next + 1);
            if (next + 1 < wildmats.size()) continue;
        } else if (!SendList(sendHigh)) {
            return; // no room yet, or a command that cannot be formed
        }
        if (low <= sendFloor) {
            allSent = true;
        } else {
            sendHigh = low - 1;
            sendNumber = 0;
        }
    }
}

bool kvHeaderScan::Restart(long high, long number) {
    long n = s.pipeline.Settle(headerList);
    if (n <= 0) {
        s.Close();
        s.FailReceive(n);
        return false;
    }
    sendHigh = high;
    sendNumber = number;
    allSent = false;
    return true;
}

kvHeaderScan::kvReceived kvHeaderScan::Receive() {
    SendAhead();
    if (s.pipeline.Awaited() == 0) { // this command could not be formed
        s.QuitAndClose();
        s.Fail("ERROR requesting article headers");
        return kvReceived::Failed;
    }
    long n = s.pipeline.Receive(headerList);
    switch (s.Reconnect(n, headerList)) {
    case kvResume::Resumed:
        return kvReceived::Resumed;
    case kvResume::Failed:
        return kvReceived::Failed;
    case kvResume::NotLost:
    case kvResume::GaveUp:
        break;
    }
    if (n <= 0) {
        s.Close();
        s.FailReceive(n);
        return kvReceived::Failed;
    }
    return kvReceived::Ok;
}

kvHeaderScan::kvAnswer kvHeaderScan::ReceiveAnswer(int& code) {
    kvReceived received = Receive();
    if (received == kvReceived::Failed) return kvAnswer::Failed;
    if (received == kvReceived::Resumed) return kvAnswer::AskAgain;
    code = ReplyCode(headerList.data.get());
    kvSecured secured = s.Secure(code, headerList);
    if (secured == kvSecured::SendAgain && s.Reselect()) return kvAnswer::AskAgain;
    return secured == kvSecured::NotAsked ? kvAnswer::Answered : kvAnswer::Failed;
}

kvHeaderScan::kvChunk kvHeaderScan::ListChunk(long low, long high) {
    int code = 0;
    switch (ReceiveAnswer(code)) {
    case kvAnswer::Answered:
        break;
    case kvAnswer::AskAgain:
        sendHigh = high; // this chunk again, and those after it
        sendNumber = 0;
        allSent = false;
        return kvChunk::Again;
    case kvAnswer::Failed:
        return kvChunk::Failed;
    }
    if (IsRefusal(code)) return NextSource(high) ? kvChunk::Again : kvChunk::Failed;
    int expected = source == kvSource::Hdr ? 225 : source == kvSource::Xhdr ? 221 : 224;
    if (code != expected) {
        s.QuitAndClose();
        s.Fail("ERROR requesting article headers");
        return kvChunk::Failed;
    }
    bool listed = ScanList() > 0;
    if (firstList) {
        firstList = false;
        if (listed) FilterFromNowOn();
    }
    if (listed || trustEmpty || source == kvSource::Over) return kvChunk::Done;
    // No line at all for numbers the group holds: either no article there
    // has the header, or the server does not list it. HEAD tells, once.
    if (!Restart(high)) return kvChunk::Failed;
    listSource = source;
    source = kvSource::Head;
    checking = true;
    sendFloor = low;
    return kvChunk::Again;
}

bool kvHeaderScan::NextSource(long high) {
    if (!Restart(high)) return false;
    if (source == kvSource::Hdr) {
        source = kvSource::Xhdr;
        return true;
    }
    if (source == kvSource::Xhdr) {
        if (!formatRead && !ReadOverviewFormat()) return false;
        if (overview.column > 0) {
            source = kvSource::Over;
            return true;
        }
    }
    HeadFromNowOn(); // no header command serves it
    return true;
}

bool kvHeaderScan::ReadOverviewFormat() {
    formatRead = true;
    long n = 0;
    kvResume resume = kvResume::NotLost;
    do {
        SendCommand(s.conn, "LIST OVERVIEW.FMT\r\n");
        n = ReceiveMultiline(s.conn, headerList, 215, kvResponseMode::HeaderList);
        resume = s.Reconnect(n, headerList);
    } while (resume == kvResume::Resumed);
    if (resume == kvResume::Failed) return false;
    if (n <= 0) {
        s.Close();
        s.FailReceive(n);
        return false;
    }
    bool listed = ReplyCode(headerList.data.get()) == 215;
    overview =
        FindOverviewField(listed ? headerList.data.get() : nullptr, headerList.length, req.header);
    return true;
}

void kvHeaderScan::HeadFromNowOn() {
    source = kvSource::Head;
    if (warned) return;
    warned = true;
    s.ctx.Show(kvStatusKind::Warning,
               "WARNING: The server does not serve the %.100s header in lists; reading each "
               "article's header (slower)...",
               req.header);
}

int kvHeaderScan::ScanList() {
    // Walked by length: a line may hold a NUL byte.
    const char* at = headerList.data.get();
    const char* end = at + headerList.length;
    at = static_cast<const char*>(std::memchr(at, '\n', headerList.length));
    if (at == nullptr) return 0;
    ++at;
    int lines = 0;
    char line[KV_HEADER_LINE_MAX + 1];
    while (at < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        std::size_t length = static_cast<std::size_t>((lf != nullptr ? lf : end) - at);
        // Only the terminating "." ends the list; a dot-stuffed line is data.
        if (at[0] == '.' && (length == 1 || (length == 2 && at[1] == '\r'))) break;
        CopyWithoutNul(line, sizeof line, at, length);
        at = lf != nullptr ? lf + 1 : end;
        ++lines;
        if (scanned >= headerLimit) continue; // read, not examined
        ++scanned;
        // A line without a value, and one that does not start with an article
        // number (it names nothing to fetch): both are counted, never matched.
        char* value = nullptr;
        long number = source == kvSource::Over ? ParseOverviewLine(line, overview, value)
                                               : ParseNumberedLine(line, value);
        Consider(number, value);
    }
    return lines;
}

void kvHeaderScan::Consider(long number, char* value) {
    if (value != nullptr && number > 0 && MatchHeaderValue(pattern.pattern, value, req.matchMode))
        found.Add(number);
}

kvStep ScanHeaders(kvRunSession& session, long first, long last, kvMatches& matches) {
    return kvHeaderScan(session, matches).Run(first, last);
}
