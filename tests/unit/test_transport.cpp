// The line transport over a real loopback TCP connection: the tables give the
// pieces a response arrives in and what the destination must hold afterwards.
#include "net.h"
#include "search_context.h"
#include "transport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <linux/tcp.h> // struct tcp_info with tcpi_bytes_received
#include <netinet/in.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Pieces = std::vector<std::string>;

// A connected pair of loopback sockets. The feeder sends each piece only after
// the client side has read every byte sent before it, so a piece of at most
// 2048 bytes reaches the transport as exactly one receive.
class LoopbackPair {
  public:
    LoopbackPair() {
        int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
        client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        server = accept(listener, nullptr, nullptr);
        close(listener);
        int one = 1;
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~LoopbackPair() {
        Join();
        if (server >= 0) close(server);
        close(client);
    }

    // Sends the pieces from a thread of its own; then closes the sending side
    // when `closeAfter`, or resets the connection when `resetAfter`.
    void Feed(Pieces pieces, bool closeAfter = false, bool resetAfter = false) {
        feeder = std::thread([this, pieces = std::move(pieces), closeAfter, resetAfter] {
            long long sent = 0;
            for (const std::string& piece : pieces) {
                if (!WaitConsumed(sent)) return;
                if (send(server, piece.data(), piece.size(), MSG_NOSIGNAL) !=
                    static_cast<ssize_t>(piece.size()))
                    return;
                sent += static_cast<long long>(piece.size());
            }
            if (!WaitConsumed(sent)) return;
            if (resetAfter) {
                linger hard{1, 0};
                setsockopt(server, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                close(server);
                server = -1;
            } else if (closeAfter) {
                shutdown(server, SHUT_WR);
            }
        });
    }

    // Ends the feeder: a reader that stopped early no longer holds it up.
    void Join() {
        cancelled = true;
        if (feeder.joinable()) feeder.join();
    }

    int client = -1;
    int server = -1;

  private:
    long long Consumed() const {
        tcp_info info{};
        socklen_t len = sizeof info;
        getsockopt(client, IPPROTO_TCP, TCP_INFO, &info, &len);
        int queued = 0;
        ioctl(client, FIONREAD, &queued);
        return static_cast<long long>(info.tcpi_bytes_received) - queued;
    }
    bool WaitConsumed(long long bytes) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Consumed() < bytes) {
            if (cancelled || std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return true;
    }

    std::thread feeder;
    std::atomic<bool> cancelled{false};
};

struct Received {
    long result;
    std::string dest;
};

// Collects one response that arrives in the given pieces.
Received Collect(const Pieces& pieces, kvResponseMode mode, int timeoutSeconds = 5,
                 bool closeAfter = false) {
    LoopbackPair pair;
    kvConnection conn;
    conn.socket = pair.client;
    SetNetTimeout(conn, timeoutSeconds);
    kvBuffer dest;
    bool article = mode == kvResponseMode::Article;
    EXPECT_TRUE(dest.Allocate(article ? KV_ARTICLE_BUFFER_SIZE : KV_HEADER_LIST_SIZE));
    pair.Feed(pieces, closeAfter);
    long result = ReceiveMultiline(conn, dest, article ? 220 : 221, mode);
    pair.Join();
    EXPECT_LT(dest.length, dest.capacity);
    EXPECT_EQ(dest.length, std::strlen(dest.data.get()));
    return {result, std::string(dest.data.get(), dest.length)};
}

const char kHeaderSample[] = "221 Subject fields follow\r\n10 first value\r\n11 second\r\n"
                             "12 \r\n13 .dot in the value\r\n14 last one\r\n.\r\n";
const char kArticleSample[] = "220 7 <7@x> article\r\nSubject: s\r\nFrom: f\r\n\r\n"
                              "..two dots\r\n.one dot\r\n\r\nplain\r\n.\r\n";
const char kArticleSampleCollected[] = "220 7 <7@x> article\r\nSubject: s\r\nFrom: f\r\n\r\n"
                                       ".two dots\r\none dot\r\n\r\nplain\r\n";

struct PieceCase {
    const char* name;
    kvResponseMode mode;
    Pieces pieces;
    std::string expected;
};

TEST(ReceiveMultiline, CollectsResponsesWhateverTheirPieces) {
    const auto H = kvResponseMode::HeaderList;
    const auto A = kvResponseMode::Article;
    const std::string v2048(2048, 'v');
    const std::vector<PieceCase> cases = {
        {"header list in one piece", H, {kHeaderSample}, kHeaderSample},
        {"article in one piece", A, {kArticleSample}, kArticleSampleCollected},
        {"terminator as a piece of its own",
         A,
         {"220 ok\r\nbody\r\n", ".\r\n"},
         "220 ok\r\nbody\r\n"},
        {"terminator alone, header list",
         H,
         {"221 ok\r\n1 a\r\n", ".\r\n"},
         "221 ok\r\n1 a\r\n.\r\n"},
        {"CR LF before the dot ends a piece",
         A,
         {"220 ok\r\nbody", "\r\n", ".\r\n"},
         "220 ok\r\nbody\r\n"},
        {"CR ends a piece, LF and dot follow",
         A,
         {"220 ok\r\nbody\r", "\n.\r\n"},
         "220 ok\r\nbody\r\n"},
        {"CR and LF in pieces of their own",
         H,
         {"221 ok\r\n1 a\r", "\n", ".\r\n"},
         "221 ok\r\n1 a\r\n.\r\n"},
        {"dot ends a piece", A, {"220 ok\r\nbody\r\n.", "\r\n"}, "220 ok\r\nbody\r\n"},
        {"dot and CR end a piece", H, {"221 ok\r\n1 a\r\n.\r", "\n"}, "221 ok\r\n1 a\r\n.\r\n"},
        {"empty article", A, {"220 ok\r\n.\r\n"}, "220 ok\r\n"},
        {"empty header list", H, {"221 ok\r\n", ".\r\n"}, "221 ok\r\n.\r\n"},
        {"stuffed lines begin new pieces",
         A,
         {"220 ok\r\na\r\n", "..two\r\n", ".one\r\n", ".\r\n"},
         "220 ok\r\na\r\n.two\r\none\r\n"},
        {"stuffed line split after its first dot",
         A,
         {"220 ok\r\na\r\n.", ".two\r\n.", "one\r\n.\r\n"},
         "220 ok\r\na\r\n.two\r\none\r\n"},
        {"dot only inside a line stays",
         A,
         {"220 ok\r\nx.y\r\n a.\r\n.\r\n"},
         "220 ok\r\nx.y\r\n a.\r\n"},
        {"dot line after a bare-LF line is data (article)",
         A,
         {"220 ok\r\nbare\n.\r\nmore\r\n.\r\n"},
         "220 ok\r\nbare\n\r\nmore\r\n"},
        {"dot line after a bare-LF line is data (split)",
         A,
         {"220 ok\r\nbare\n", ".\r\n", "more\r\n", ".\r\n"},
         "220 ok\r\nbare\n\r\nmore\r\n"},
        {"dot line after a bare-LF line is data (header list)",
         H,
         {"221 ok\r\n1 bare\n", ".\r\n", "2 more\r\n.\r\n"},
         "221 ok\r\n1 bare\n.\r\n2 more\r\n.\r\n"},
        {"status line in pieces", A, {"2", "20 ok", "\r", "\nbody\r\n.\r\n"}, "220 ok\r\nbody\r\n"},
        // A line longer than one receive goes on in segments: its later segments
        // are not line starts, so a "." there is neither a terminator nor stuffing.
        {"dot after a long segment is data (article)",
         A,
         {"220 ok\r\n", v2048, ".\r\nb\r\n.\r\n"},
         "220 ok\r\n" + v2048 + ".\r\nb\r\n"},
        {"dot after a long segment is data (header list)",
         H,
         {"221 ok\r\n", "1 " + v2048.substr(2), ".\r\n2 b\r\n.\r\n"},
         "221 ok\r\n1 " + v2048.substr(0, 509) + "\n2 b\r\n.\r\n"},
        {"CR LF after a long segment, then the terminator",
         A,
         {"220 ok\r\n", v2048, "\r\n.\r\n"},
         "220 ok\r\n" + v2048 + "\r\n"},
        {"long segment ends in CR, LF and terminator follow",
         A,
         {"220 ok\r\n", v2048.substr(1) + "\r", "\n.\r\n"},
         "220 ok\r\n" + v2048.substr(1) + "\r\n"},
    };
    for (const PieceCase& c : cases) {
        SCOPED_TRACE(c.name);
        Received r = Collect(c.pieces, c.mode);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.dest, c.expected);
    }
}

TEST(ReceiveMultiline, EverySplitPointGivesTheSameResult) {
    struct Sample {
        kvResponseMode mode;
        std::string wire;
        std::string expected;
    };
    const Sample samples[] = {
        {kvResponseMode::HeaderList, kHeaderSample, kHeaderSample},
        {kvResponseMode::Article, kArticleSample, kArticleSampleCollected},
    };
    for (const Sample& s : samples) {
        for (std::size_t at = 1; at < s.wire.size(); ++at) {
            SCOPED_TRACE("split after byte " + std::to_string(at) + " of " + s.wire);
            Received r = Collect({s.wire.substr(0, at), s.wire.substr(at)}, s.mode);
            EXPECT_EQ(r.result, 1);
            EXPECT_EQ(r.dest, s.expected);
        }
        SCOPED_TRACE("one byte per piece: " + s.wire);
        Pieces bytes;
        for (char c : s.wire)
            bytes.emplace_back(1, c);
        Received r = Collect(bytes, s.mode);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.dest, s.expected);
    }
}

TEST(ReceiveMultiline, OtherReplyCodeReturnsItsLineAtOnce) {
    // The server says nothing more after the refusal: waiting for more would
    // run into the time-out and return 0.
    struct Refusal {
        kvResponseMode mode;
        Pieces pieces;
        std::string expected;
    };
    const Refusal cases[] = {
        {kvResponseMode::Article,
         {"423 no such article number\r\n"},
         "423 no such article number\r\n"},
        {kvResponseMode::Article, {"43", "0 no", " such article\r\n"}, "430 no such article\r\n"},
        {kvResponseMode::HeaderList,
         {"500 command not recognized\r\n"},
         "500 command not recognized\r\n"},
        {kvResponseMode::HeaderList,
         {"412 no newsgroup selected\r", "\n"},
         "412 no newsgroup selected\r\n"},
        {kvResponseMode::HeaderList,
         {"220 right code for the other mode\r\n"},
         "220 right code for the other mode\r\n"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.expected);
        Received r = Collect(c.pieces, c.mode, 3);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.dest, c.expected);
    }
}

// Lines of exactly `length` bytes (CR LF included), numbered so that a dropped
// or repeated line shows.
std::string Lines(int count, std::size_t length, int firstNumber = 0) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string line = "line " + std::to_string(firstNumber + i) + " ";
        line.resize(length - 2, 'x');
        out += line + "\r\n";
    }
    return out;
}

const char kWarning[] =
    "\r\n\r\n***** Warning: Long article (>32K bytes), truncated! *****\r\n\r\n";

TEST(ReceiveMultiline, LongArticleIsCutAfterThePieceThatPassesTheLimit) {
    const std::string status = "220 7 <7@x> article\r\n"; // 21 bytes, counted as copied
    ASSERT_EQ(status.size(), 21u);
    struct CutCase {
        const char* name;
        Pieces pieces;
        std::size_t keptPieces; // pieces (after the status line) that reach the destination
        bool cut;
    };
    auto pieces = [&](int count, int linesEach, std::size_t lineLength) {
        Pieces p{status};
        for (int i = 0; i < count; ++i)
            p.push_back(Lines(linesEach, lineLength, i * linesEach));
        return p;
    };
    // 21 + 15 * 2048 = 30741 passes 30719 in the 15th piece.
    Pieces twoK = pieces(20, 32, 64);
    // 21 + 30 * 1024 = 30741: passes in the 30th piece of 1024.
    Pieces oneK = pieces(40, 16, 64);
    // 21 + 14 * 2048 + 2026 = 30719 exactly: not passed; the piece after passes it.
    Pieces exact = pieces(14, 32, 64);
    exact.push_back(Lines(31, 64, 1000) + Lines(1, 42, 2000));
    exact.push_back(Lines(1, 64, 3000));
    for (int i = 0; i < 3; ++i)
        exact.push_back(Lines(32, 64, 4000 + 32 * i));
    // Just under the cut all the way: nothing dropped, no warning.
    Pieces under = pieces(14, 32, 64);
    under.push_back(Lines(31, 64, 1000) + Lines(1, 42, 2000));

    const CutCase cases[] = {
        {"2048-byte pieces", twoK, 15, true},
        {"1024-byte pieces", oneK, 30, true},
        {"exactly 30719 bytes, then more", exact, 16, true},
        {"exactly 30719 bytes in all", under, 15, false},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        Pieces wire = c.pieces;
        wire.push_back(".\r\n");
        std::string expected;
        for (std::size_t i = 0; i <= c.keptPieces; ++i)
            expected += c.pieces[i];
        if (c.cut) expected += kWarning;
        Received r = Collect(wire, kvResponseMode::Article);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.dest.size(), expected.size());
        EXPECT_TRUE(r.dest == expected)
            << "destination differs; it ends with "
            << r.dest.substr(r.dest.size() > 200 ? r.dest.size() - 200 : 0);
    }
}

// DISABLED: engine/transport.cpp (ReceiveMultiline) skips the length check
// after the piece that holds the terminating line ("if (collector.done())
// break;" comes before "collector.EndOfPiece();"). The long-article rule checks
// after every piece, the last one included: when the count passes 30719 in
// that piece, the warning is appended after the terminating line that was
// already moved, and the last three bytes dropped are the warning's own ".\r\n".
// Enable once ReceiveMultiline runs the check before leaving the loop.
// Passing the cut only in the piece that also ends the article drops nothing,
// so the article comes whole, without the long-article warning.
TEST(ReceiveMultiline, LimitPassedOnlyInTheLastPieceKeepsTheArticleWhole) {
    const std::string status = "220 7 <7@x> article\r\n";
    Pieces pieces{status};
    for (int i = 0; i < 14; ++i)
        pieces.push_back(Lines(32, 64, i * 32));                       // 21 + 14 * 2048 = 28693
    const std::string last = Lines(31, 64, 1000) + Lines(1, 61, 2000); // 2045: 30738 in all
    pieces.push_back(last + ".\r\n");
    std::string expected;
    for (const std::string& p : pieces)
        expected += p;
    expected.resize(expected.size() - 3); // the terminating line is removed
    Received r = Collect(pieces, kvResponseMode::Article);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.dest == expected)
        << "ends with " << r.dest.substr(r.dest.size() > 120 ? r.dest.size() - 120 : 0);
}

TEST(ReceiveMultiline, OverlongLinesDoNotOverflowTheReceiveBuffer) {
    const std::string longValue(10000, 'v');
    const std::string dots(10000, '.');
    auto chopped = [](const std::string& wire, std::size_t size) {
        Pieces p;
        for (std::size_t at = 0; at < wire.size(); at += size)
            p.push_back(wire.substr(at, size));
        return p;
    };
    struct LongCase {
        const char* name;
        kvResponseMode mode;
        std::string wire;
        std::string expected;
    };
    const std::string kept511 = ("12 " + longValue).substr(0, 511);
    const LongCase cases[] = {
        {"header list keeps 511 bytes and the LF", kvResponseMode::HeaderList,
         "221 ok\r\n11 a\r\n12 " + longValue + "\r\n13 b\r\n.\r\n",
         "221 ok\r\n11 a\r\n" + kept511 + "\n13 b\r\n.\r\n"},
        {"header line of 510 bytes keeps its CR", kvResponseMode::HeaderList,
         "221 ok\r\n" + ("1 " + longValue).substr(0, 510) + "\r\n.\r\n",
         "221 ok\r\n" + ("1 " + longValue).substr(0, 510) + "\r\n.\r\n"},
        {"header line of 511 bytes loses its CR", kvResponseMode::HeaderList,
         "221 ok\r\n" + ("1 " + longValue).substr(0, 511) + "\r\n.\r\n",
         "221 ok\r\n" + ("1 " + longValue).substr(0, 511) + "\n.\r\n"},
        {"article keeps a long line whole", kvResponseMode::Article,
         "220 ok\r\na\r\n" + longValue + "\r\nb\r\n.\r\n",
         "220 ok\r\na\r\n" + longValue + "\r\nb\r\n"},
        {"a long stuffed line of dots loses one dot only", kvResponseMode::Article,
         "220 ok\r\n." + dots + "\r\n.\r\n", "220 ok\r\n" + dots + "\r\n"},
        {"a long line ending in a lone dot line", kvResponseMode::Article,
         "220 ok\r\n" + longValue + "\r\n.\r\n", "220 ok\r\n" + longValue + "\r\n"},
    };
    for (const LongCase& c : cases) {
        for (std::size_t size : {std::size_t{2048}, std::size_t{1000}, std::size_t{4096}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(size));
            Received r = Collect(chopped(c.wire, size), c.mode);
            EXPECT_EQ(r.result, 1);
            EXPECT_TRUE(r.dest == c.expected)
                << "got " << r.dest.size() << " bytes, expected " << c.expected.size();
        }
    }
}

TEST(ReceiveMultiline, HeaderListLargerThanItsBufferKeepsWholeLines) {
    const std::string status = "221 Subject fields follow\r\n";
    std::vector<std::string> lines;
    std::string wire = status;
    for (int i = 0; i < 700; ++i) { // 700 * 500 bytes = 350,000 > 256,513
        std::string line = std::to_string(i + 1) + " value ";
        line.resize(498, 'v');
        lines.push_back(line + "\r\n");
        wire += lines.back();
    }
    wire += ".\r\n";
    Pieces pieces;
    for (std::size_t at = 0; at < wire.size(); at += 2048)
        pieces.push_back(wire.substr(at, 2048));

    Received r = Collect(pieces, kvResponseMode::HeaderList);
    EXPECT_EQ(r.result, 1);
    ASSERT_LE(r.dest.size(), KV_HEADER_LIST_SIZE - 1);
    // The destination is the status line, the first lines that fit, and the terminator.
    std::string expected = status;
    std::size_t kept = 0;
    while (kept < lines.size() &&
           r.dest.compare(expected.size(), lines[kept].size(), lines[kept]) == 0)
        expected += lines[kept++];
    expected += ".\r\n";
    EXPECT_EQ(r.dest.size(), expected.size());
    EXPECT_TRUE(r.dest == expected);
    // Nearly full: the lines stop only when the next one could not fit.
    EXPECT_GT(kept * 500 + status.size() + 3 + 512, KV_HEADER_LIST_SIZE - 1);
    EXPECT_LT(kept, lines.size());
}

TEST(ReceiveMultiline, FailedWaitReturnsTheReceiveResult) {
    // Time-out: the data line is never ended.
    Received timedOut = Collect({"221 ok\r\n1 a\r\n2 b"}, kvResponseMode::HeaderList, 1);
    EXPECT_EQ(timedOut.result, 0);

    // The server closes the connection before the terminator.
    Received closed = Collect({"220 ok\r\nbody\r\n"}, kvResponseMode::Article, 5, true);
    EXPECT_EQ(closed.result, 0);
}

TEST(ReceiveMultiline, ResetConnectionIsAReadFailure) {
    LoopbackPair pair;
    kvConnection conn;
    conn.socket = pair.client;
    SetNetTimeout(conn, 5);
    kvBuffer dest;
    ASSERT_TRUE(dest.Allocate(KV_ARTICLE_BUFFER_SIZE));
    pair.Feed({"220 ok\r\nbody\r\n"}, false, true);
    EXPECT_EQ(ReceiveMultiline(conn, dest, 220, kvResponseMode::Article), -1);
}

TEST(ReceiveMultiline, StopRequestEndsTheWaitAsAFailure) {
    LoopbackPair pair;
    kvStopSignal stop;
    kvConnection conn;
    conn.socket = pair.client;
    conn.stop = &stop;
    SetNetTimeout(conn, 60);
    kvBuffer dest;
    ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
    pair.Feed({"221 ok\r\n1 a\r\n"});
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.RequestStop();
    });
    auto started = std::chrono::steady_clock::now();
    long result = ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList);
    auto waited = std::chrono::steady_clock::now() - started;
    stopper.join();
    EXPECT_EQ(result, -1);
    // Well before the 60-second time-out: the stop, not the time-out, ended the wait.
    EXPECT_LT(waited, std::chrono::seconds(20));
}

TEST(ReceiveStatusLine, AssemblesALineFromPiecesAndKeepsWhatFollows) {
    LoopbackPair pair;
    kvConnection conn;
    conn.socket = pair.client;
    SetNetTimeout(conn, 3);
    pair.Feed({"20", "0 news.example", " ready\r", "\n211 3 10 12 alt.test\r\n221 ok\r\n1 a\r\n",
               ".\r\n"});
    char reply[512];
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 24);
    EXPECT_STREQ(reply, "200 news.example ready\r\n");
    // The next line is already in the input: no receive is needed for it.
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 22);
    EXPECT_STREQ(reply, "211 3 10 12 alt.test\r\n");
    // A multi-line response that began in the same piece continues from the input.
    kvBuffer dest;
    ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
    EXPECT_EQ(ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList), 1);
    EXPECT_STREQ(dest.data.get(), "221 ok\r\n1 a\r\n.\r\n");
}

TEST(ReceiveStatusLine, CutsAnOverlongLineAndFindsTheNextOne) {
    LoopbackPair pair;
    kvConnection conn;
    conn.socket = pair.client;
    SetNetTimeout(conn, 3);
    const std::string longLine = "200 " + std::string(6000, 'g') + "\r\n";
    Pieces pieces;
    for (std::size_t at = 0; at < longLine.size(); at += 1500)
        pieces.push_back(longLine.substr(at, 1500));
    pieces.push_back("211 0 0 0 g\r\n");
    pair.Feed(pieces);
    char reply[512];
    EXPECT_GT(ReceiveStatusLine(conn, reply, sizeof reply), 0);
    EXPECT_EQ(std::string(reply), longLine.substr(0, 511));
    EXPECT_GT(ReceiveStatusLine(conn, reply, sizeof reply), 0);
    EXPECT_STREQ(reply, "211 0 0 0 g\r\n");
}

TEST(ReceiveStatusLine, FailedWaits) {
    LoopbackPair pair;
    kvConnection conn;
    conn.socket = pair.client;
    SetNetTimeout(conn, 3);
    pair.Feed({"200 no line end"}, true);
    char reply[512];
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 0);
}

TEST(ParseServerAddress, HostAndOptionalPort) {
    struct AddressCase {
        const char* text;
        bool ok;
        const char* host;
        int port;
    };
    const AddressCase cases[] = {
        {"news.example.org", true, "news.example.org", 119},
        {"news.example.org:119", true, "news.example.org", 119},
        {"127.0.0.1:1190", true, "127.0.0.1", 1190},
        {"host:1", true, "host", 1},
        {"host:65535", true, "host", 65535},
        {"host:00119", true, "host", 119},
        {"[::1]:1190", true, "::1", 1190},
        {"[::1]", true, "::1", 119},
        {"::1", true, "::1", 119},
        {"fe80::1:2", true, "fe80::1:2", 119},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:99999", false, "", 0},
        {"host:-1", false, "", 0},
        {"host:+1", false, "", 0},
        {"host:12a", false, "", 0},
        {"host: 119", false, "", 0},
        {"host:000119", false, "", 0},
        {"[::1]:", false, "", 0},
        {"[::1]:0", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},
        {"[]:119", false, "", 0},
        {":119", false, "", 0},
        {"", false, "", 0},
    };
    for (const AddressCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::string host;
        int port = -1;
        bool ok = ParseServerAddress(c.text, host, port);
        EXPECT_EQ(ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}

} // namespace
