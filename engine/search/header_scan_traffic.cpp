// The header scan's traffic: sending the chunks' commands ahead, receiving
// their answers (a lost connection made again, a login or encryption seen
// to), reading the lists and judging each value.
#include "header_scan_steps.h"

#include "article_store.h"
#include "commands.h"

#include <cstring>

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

void kvHeaderScan::FilterFromNowOn() {
    if (wildmats.empty() || source == kvSource::Head) return;
    listSource = source;
    source = kvSource::Xpat;
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
