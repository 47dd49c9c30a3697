#include "transport.h"

#include "commands.h"
#include "records.h"

#include <cstring>
#include <new>

const char KV_LONG_ARTICLE_WARNING[] =
    "\r\n\r\n***** Warning: Long article (>32K bytes), truncated! *****\r\n\r\n.\r\n";

bool kvBuffer::Allocate(std::size_t size) {
    data.reset(new (std::nothrow) char[size]);
    capacity = data ? size : 0;
    length = 0;
    if (data) data[0] = '\0';
    return data != nullptr;
}

void kvBuffer::Release() {
    data.reset();
    capacity = length = 0;
}

void kvBuffer::Clear() {
    length = 0;
    if (data) data[0] = '\0';
}

void kvBuffer::Append(const char* bytes, std::size_t count) {
    std::memcpy(data.get() + length, bytes, count);
    length += count;
    data[length] = '\0';
}

int ReplyCode(const char* line) {
    // A reply starts with its three-digit code; a line that does not (a longer
    // number, a sign, blanks first) carries no code at all.
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(line[0]) || !digit(line[1]) || !digit(line[2]) || digit(line[3])) return -1;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

bool IsMultilineCode(int code) {
    // 211 is a multi-line reply to LISTGROUP only, never sent here.
    static const int kCodes[] = {100, 101, 215, 220, 221, 222, 224, 225, 230, 231};
    for (int c : kCodes)
        if (c == code) return true;
    return false;
}

namespace {

// The state of one response while it is collected; lines reach it as
// segments: a whole line, or (for an overlong line) its pieces in order.
class ResponseCollector {
  public:
    ResponseCollector(kvBuffer& dest, int expectedCode, kvResponseMode mode)
        : dest(dest), expected(expectedCode), article(mode == kvResponseMode::Article) {
        reserve = article ? sizeof KV_LONG_ARTICLE_WARNING : 4;
    }

    // The status line has been read elsewhere and carried a multi-line code:
    // what follows is read through its terminator and dropped.
    void SkipData() {
        statusSeen = refused = skippingData = true;
        prevEndedCRLF = true;
    }

    // Takes one segment of the current line; `complete` when it ends with the LF.
    void Segment(const char* s, std::size_t n, bool complete) {
        if (!statusSeen) {
            StatusSegment(s, n, complete);
        } else if (complete && lineStart && prevEndedCRLF && n == 3 &&
                   std::memcmp(s, ".\r\n", 3) == 0) {
            terminated = true;
            if (!dropped && !skippingData) dest.Append(s, n);
        } else if (skippingData) {
            // the data of a reply the command did not ask for
        } else if (article) {
            ArticleSegment(s, n);
        } else {
            HeaderSegment(s, n);
        }
        if (n > 0) lastByteCR = s[n - 1] == '\r';
        // The cut is decided line by line, never by how the response was split
        // into pieces: the same article is stored the same way however it arrives.
        if (complete && article && copied > KV_ARTICLE_CUT) skipping = true;
        if (complete) {
            prevEndedCRLF = n >= 2 ? s[n - 2] == '\r' : (n == 1 && carriedCR);
            lineStart = true;
            keptInLine = 0;
            dropLine = false;
        } else {
            lineStart = false;
        }
        carriedCR = n > 0 ? lastByteCR : carriedCR;
    }

    void Finish() {
        if (!article || refused) return;
        if (dropped) dest.Append(KV_LONG_ARTICLE_WARNING, sizeof KV_LONG_ARTICLE_WARNING - 1);
        std::size_t drop = dest.length >= 3 ? 3 : dest.length;
        dest.length -= drop;
        dest.data[dest.length] = '\0';
    }

    bool Done() const { return terminated || (refused && !skippingData); }

  private:
    void StatusSegment(const char* s, std::size_t n, bool complete) {
        std::size_t take = n <= dest.Room() - reserve ? n : dest.Room() - reserve;
        dest.Append(s, take);
        copied += take;
        if (!complete) return;
        statusSeen = true;
        int code = ReplyCode(dest.data.get());
        if (code == expected) return;
        // Another reply than asked for: when it has data lines, they are read
        // and dropped, so the next response is read from its own first line.
        refused = true;
        skippingData = IsMultilineCode(code);
    }

    void ArticleSegment(const char* s, std::size_t n) {
        if (skipping) {
            dropped = true;
            return;
        }
        if (lineStart && n > 0 && s[0] == '.') {
            ++s;
            --n;
        }
        bool cut = false;
        if (copied + n > KV_ARTICLE_LINE_CUT) {
            // A line far longer than a receive buffer: where its pieces pass
            // the bound is fixed by its bytes, not by how they arrive.
            n = copied < KV_ARTICLE_LINE_CUT ? KV_ARTICLE_LINE_CUT - copied : 0;
            cut = true;
        }
        if (n > dest.Room() - reserve) {
            n = 0; // cannot happen with the cuts above; never overflow
            cut = true;
        }
        dest.Append(s, n);
        copied += n;
        if (cut) {
            skipping = true;
            dropped = true;
        }
    }

    void HeaderSegment(const char* s, std::size_t n) {
        if (lineStart && dest.Room() < reserve + KV_HEADER_LINE_MAX + 1) dropLine = true;
        if (dropLine) return;
        // Keep at most 511 bytes of the line, then its LF.
        bool hasLF = n > 0 && s[n - 1] == '\n';
        std::size_t body = hasLF ? n - 1 : n;
        std::size_t take = body;
        if (keptInLine + take > KV_HEADER_LINE_MAX) take = KV_HEADER_LINE_MAX - keptInLine;
        dest.Append(s, take);
        keptInLine += take;
        if (hasLF) dest.Append("\n", 1);
    }

    kvBuffer& dest;
    int expected;
    bool article;
    std::size_t reserve;
    bool statusSeen = false;
    bool refused = false;
    bool skippingData = false; // refused, and its data lines are read and dropped
    bool terminated = false;
    bool lineStart = true;
    bool prevEndedCRLF = false;
    bool lastByteCR = false;
    bool carriedCR = false;
    bool skipping = false; // the cut is passed: further lines are dropped
    bool dropped = false;  // a line was dropped: the warning ends the article
    bool dropLine = false;
    std::size_t keptInLine = 0;
    std::size_t copied = 0;
};

} // namespace

namespace {

// Hands the connection's input to the collector, receiving more as needed,
// until the collector is Done. 1, or the failing NetReceive result.
long CollectBounded(kvConnection& conn, ResponseCollector& collector);

long Collect(kvConnection& conn, ResponseCollector& collector) {
    BeginResponse(conn);
    long n = CollectBounded(conn, collector);
    EndResponse(conn);
    return n;
}

long CollectBounded(kvConnection& conn, ResponseCollector& collector) {
    for (;;) {
        // Hand every complete line of the input to the collector.
        std::size_t start = 0;
        while (!collector.Done()) {
            const char* lf = static_cast<const char*>(
                std::memchr(conn.input + start, '\n', conn.inputLength - start));
            if (lf == nullptr) break;
            std::size_t end = static_cast<std::size_t>(lf - conn.input) + 1;
            collector.Segment(conn.input + start, end - start, true);
            start = end;
        }
        // An overlong partial line goes on in pieces, so the buffer never overflows.
        if (!collector.Done() && conn.inputLength - start >= KV_RECEIVE_PIECE) {
            collector.Segment(conn.input + start, conn.inputLength - start, false);
            start = conn.inputLength;
        }
        conn.inputLength -= start;
        std::memmove(conn.input, conn.input + start, conn.inputLength);
        if (collector.Done()) return 1;

        long n = NetReceive(conn, conn.input + conn.inputLength, KV_RECEIVE_PIECE);
        if (n <= 0) return n;
        conn.inputLength += static_cast<std::size_t>(n);
    }
}

} // namespace

long ReceiveMultiline(kvConnection& conn, kvBuffer& dest, int expectedCode, kvResponseMode mode) {
    dest.Clear();
    ResponseCollector collector(dest, expectedCode, mode);
    long n = Collect(conn, collector);
    if (n <= 0) return n;
    collector.Finish();
    return 1;
}

const char* ReceiveFailureMessage(const kvConnection& conn, long result) {
    switch (conn.boundHit) {
    case kvBoundHit::TimeLimit:
        return "WARNING: Search time expired, nothing found";
    case kvBoundHit::ResponseTime:
        return "ERROR: Server response too slow";
    case kvBoundHit::ResponseSize:
        return "ERROR: Server response too large";
    case kvBoundHit::None:
        break;
    }
    return result == 0 ? "ERROR: Timeout expired, no response from server"
                       : "ERROR: Socket read failure";
}

long ReceiveReplyLine(kvConnection& conn, char* reply, std::size_t size) {
    long n = ReceiveStatusLine(conn, reply, size);
    if (n <= 0 || !IsMultilineCode(ReplyCode(reply))) return n;
    kvBuffer none; // never written: every data line is dropped
    ResponseCollector collector(none, -1, kvResponseMode::HeaderList);
    collector.SkipData();
    long drained = Collect(conn, collector);
    return drained <= 0 ? drained : n;
}
