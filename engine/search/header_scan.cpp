// The header scan's run and its chunks, one per source: the list commands
// (HDR, XHDR, OVER), XPAT and HEAD, and the moves from one source to another.
#include "header_scan.h"
#include "header_scan_steps.h"

#include "article_store.h"
#include "commands.h"

#include <climits>

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

kvHeaderScan::kvChunk kvHeaderScan::XpatChunk(long low, long high) {
    xpatLines.Clear();
    for (std::size_t asked = 0; asked < wildmats.size();) {
        int code = 0;
        kvAnswer answer = ReceiveAnswer(code);
        if (answer == kvAnswer::Failed) return kvChunk::Failed;
        if (answer == kvAnswer::AskAgain) {
            sendHigh = high; // the whole chunk again, and those after it
            sendNumber = 0;
            allSent = false;
            return kvChunk::Again;
        }
        // Refused, or lines the server should not have listed: the chunk
        // is listed whole, before any of its lines was matched.
        if (IsRefusal(code) ||
            (code == 221 && !xpatLines.Add(headerList.data.get(), headerList.length, low, high)))
            return StopFiltering(high) ? kvChunk::Again : kvChunk::Failed;
        if (code != 221) {
            s.QuitAndClose();
            s.Fail("ERROR requesting article headers");
            return kvChunk::Failed;
        }
        ++asked;
    }
    xpatLines.Merge();
    char line[KV_HEADER_LINE_MAX + 1];
    // Never more matches than numbers scanned, whatever the lists before said.
    for (std::size_t i = 0; i < xpatLines.Count() && found.Total() < headerLimit; ++i)
        Consider(xpatLines.Number(i), xpatLines.Value(i, line, sizeof line));
    return kvChunk::Done;
}

kvHeaderScan::kvChunk kvHeaderScan::HeadChunk(long low, long high) {
    bool seen = false; // an article here has the header
    char value[KV_HEADER_LINE_MAX + 1];
    // Counted in long long: the last number of a group may be LONG_MAX.
    for (long long number = low; number <= high;) {
        int code = 0;
        kvAnswer answer = ReceiveAnswer(code);
        if (answer == kvAnswer::Failed) return kvChunk::Failed;
        if (answer == kvAnswer::AskAgain) {
            sendHigh = high; // this article again, and those after it
            sendNumber = static_cast<long>(number);
            allSent = false;
            continue;
        }
        ++number;
        if (code == 423 || code == 430) continue; // no such article: passed over
        if (code != 221) {
            s.QuitAndClose();
            s.Fail("ERROR requesting article headers");
            return kvChunk::Failed;
        }
        // A NUL would cut the header block short: it is left out.
        CopyWithoutNul(headerList.data.get(), headerList.capacity, headerList.data.get(),
                       headerList.length);
        if (scanned >= headerLimit) continue; // read, not examined
        ++scanned;
        if (FindHeadValue(headerList.data.get(), req.header, value, sizeof value)) {
            seen = true;
            Consider(static_cast<long>(number - 1), value);
        }
    }
    if (checking) {
        checking = false;
        sendFloor = lowest;
        allSent = low <= lowest;
        sendHigh = low - 1;
        sendNumber = 0;
        if (seen) {
            HeadFromNowOn();
        } else {
            // The empty list was true: lists are trusted from here on.
            source = listSource;
            trustEmpty = true;
            FilterFromNowOn();
        }
    }
    return kvChunk::Done;
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

bool kvHeaderScan::StopFiltering(long high) {
    if (!Restart(high)) return false;
    wildmats.clear();
    source = listSource;
    return true;
}

kvStep ScanHeaders(kvRunSession& session, long first, long last, kvMatches& matches) {
    return kvHeaderScan(session, matches).Run(first, last);
}
