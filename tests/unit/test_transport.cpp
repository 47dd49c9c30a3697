// The line transport, fed from memory through the connection's byte peer: the
// tables give the pieces a response arrives in and what the destination must
// hold afterwards. The socket waits under it are covered by the fake-server runs.
#include "commands.h"
#include "net.h"
#include "server_address.h"
#include "transport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Pieces = std::vector<std::string>;
const auto kHeaderList = kvResponseMode::HeaderList;
const auto kArticle = kvResponseMode::Article;

// "a|b|c": the pieces "a", "b" and "c".
Pieces Split(const std::string& text) {
    Pieces out(1);
    for (char c : text) {
        if (c == '|')
            out.emplace_back();
        else
            out.back().push_back(c);
    }
    return out;
}

Pieces Chop(const std::string& wire, std::size_t size) {
    Pieces out;
    for (std::size_t at = 0; at < wire.size(); at += size)
        out.push_back(wire.substr(at, size));
    return out;
}

// One piece per receive (a larger piece over several, as a socket would give
// it), then `end` for every receive after the last piece.
class PiecePeer : public kvBytePeer {
  public:
    PiecePeer(Pieces pieces, long end) : pieces(std::move(pieces)), end(end) {}
    long Receive(char* buffer, std::size_t size) override {
        if (next == pieces.size()) return end;
        const std::string& piece = pieces[next];
        std::size_t n = std::min(size, piece.size() - offset);
        std::memcpy(buffer, piece.data() + offset, n);
        offset += n;
        if (offset == piece.size()) {
            ++next;
            offset = 0;
        }
        return static_cast<long>(n);
    }

  private:
    Pieces pieces;
    long end;
    std::size_t next = 0, offset = 0;
};

struct Received {
    long result;
    std::string dest;
};

Received Collect(const Pieces& pieces, kvResponseMode mode, long end = 0) {
    PiecePeer peer(pieces, end);
    kvConnection conn;
    conn.peer = &peer;
    kvBuffer dest;
    EXPECT_TRUE(dest.Allocate(mode == kArticle ? KV_ARTICLE_BUFFER_SIZE : KV_HEADER_LIST_SIZE));
    long result = ReceiveMultiline(conn, dest, mode == kArticle ? 220 : 221, mode);
    EXPECT_LT(dest.length, dest.capacity);
    EXPECT_EQ(dest.length, std::strlen(dest.data.get()));
    return {result, std::string(dest.data.get(), dest.length)};
}

const std::string kHeaderSample = "221 Subject fields follow\r\n10 first value\r\n11 second\r\n"
                                  "12 \r\n13 .dot in the value\r\n14 last one\r\n.\r\n";

TEST(ReceiveMultiline, CollectsResponsesWhateverTheirPieces) {
    struct Row {
        const char* name;
        kvResponseMode mode;
        std::string wire; // pieces separated by '|'
        std::string expected;
        long result = 1;
        long end = 0; // what receives give after the last piece
    };
    const std::string v(2048, 'v'), w(10000, 'w'), dots(10000, '.');
    const std::string w510 = ("1 " + w).substr(0, 510), w511 = ("1 " + w).substr(0, 511);
    const std::vector<Row> rows = {
        {"header list", kHeaderList, kHeaderSample, kHeaderSample},
        {"article, dot-stuffing undone", kArticle,
         "220 7 <7@x> article\r\nSubject: s\r\n\r\n..two\r\n.one\r\n\r\nx.y\r\n a.\r\n.\r\n",
         "220 7 <7@x> article\r\nSubject: s\r\n\r\n.two\r\none\r\n\r\nx.y\r\n a.\r\n"},
        {"empty article", kArticle, "220 ok\r\n.\r\n", "220 ok\r\n"},
        {"empty header list", kHeaderList, "221 ok\r\n.\r\n", "221 ok\r\n.\r\n"},
        {"dot line after a bare LF is data", kArticle, "220 ok\r\nbare\n.\r\nmore\r\n.\r\n",
         "220 ok\r\nbare\n\r\nmore\r\n"},
        {"dot line after a bare LF is data, header list", kHeaderList,
         "221 ok\r\n1 bare\n.\r\n2 m\r\n.\r\n", "221 ok\r\n1 bare\n.\r\n2 m\r\n.\r\n"},
        // Later segments of a line longer than one receive are not line starts.
        {"dot after a long segment is data", kArticle, "220 ok\r\n|" + v + "|.\r\nb\r\n.\r\n",
         "220 ok\r\n" + v + ".\r\nb\r\n"},
        {"dot after a long segment, header list", kHeaderList,
         "221 ok\r\n|1 " + v.substr(2) + "|.\r\n2 b\r\n.\r\n",
         "221 ok\r\n1 " + v.substr(0, 509) + "\n2 b\r\n.\r\n"},
        {"CR LF after a long segment", kArticle, "220 ok\r\n|" + v + "|\r\n.\r\n",
         "220 ok\r\n" + v + "\r\n"},
        {"long segment ends in CR", kArticle, "220 ok\r\n|" + v.substr(1) + "\r|\n.\r\n",
         "220 ok\r\n" + v.substr(1) + "\r\n"},
        {"header line cut to 511 bytes and its LF", kHeaderList,
         "221 ok\r\n11 a\r\n12 " + w + "\r\n.\r\n",
         "221 ok\r\n11 a\r\n" + ("12 " + w).substr(0, 511) + "\n.\r\n"},
        {"header line of 510 bytes keeps its CR", kHeaderList, "221 ok\r\n" + w510 + "\r\n.\r\n",
         "221 ok\r\n" + w510 + "\r\n.\r\n"},
        {"header line of 511 bytes loses its CR", kHeaderList, "221 ok\r\n" + w511 + "\r\n.\r\n",
         "221 ok\r\n" + w511 + "\n.\r\n"},
        {"article keeps a long line whole", kArticle, "220 ok\r\na\r\n" + w + "\r\nb\r\n.\r\n",
         "220 ok\r\na\r\n" + w + "\r\nb\r\n"},
        {"long stuffed line of dots loses one dot", kArticle, "220 ok\r\n." + dots + "\r\n.\r\n",
         "220 ok\r\n" + dots + "\r\n"},
        {"article refused", kArticle, "423 no such article\r\n", "423 no such article\r\n"},
        {"header list refused", kHeaderList, "500 what?\r\n", "500 what?\r\n"},
        {"the other mode's code is a refusal", kHeaderList, "220 ok\r\n|b\r\n.\r\n", "220 ok\r\n"},
        {"closed or timed out before the end", kHeaderList, "221 ok\r\n1 a\r\n2 b", "", 0},
        {"read failure", kArticle, "220 ok\r\nbody\r\n", "", -1, -1},
    };
    for (const Row& c : rows) {
        std::string wire;
        for (const std::string& p : Split(c.wire))
            wire += p;
        std::vector<std::pair<std::string, Pieces>> ways = {{"as given", Split(c.wire)},
                                                            {"bytes", Chop(wire, 1)}};
        for (std::size_t size : {1000, 2048, 4096})
            ways.push_back({"chopped at " + std::to_string(size), Chop(wire, size)});
        if (wire.size() < 600)
            for (std::size_t at = 1; at < wire.size(); ++at)
                ways.push_back(
                    {"split at " + std::to_string(at), {wire.substr(0, at), wire.substr(at)}});
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(c.name) + ", " + way.first);
            Received r = Collect(way.second, c.mode, c.end);
            EXPECT_EQ(r.result, c.result);
            EXPECT_TRUE(c.result != 1 || r.dest == c.expected) << r.dest.size() << " bytes";
        }
    }
}

// kArticle reply the command did not ask for is read to its end when it carries
// data lines, so the next response starts on its own status line.
TEST(ReceiveMultiline, UnexpectedMultilineReplyIsReadToItsEnd) {
    const std::string next = "220 2 <2@x>\r\nSubject: real\r\n\r\nbody\r\n.\r\n";
    const std::string nextStored = "220 2 <2@x>\r\nSubject: real\r\n\r\nbody\r\n";
    const struct {
        std::string first, kept;
    } rows[] = {
        {"222 1 <1@x>\r\n220 9 <9@x>\r\nSubject: fake\r\n\r\n.\r\n", "222 1 <1@x>\r\n"},
        {"100 help\r\nline\r\n..\r\n.\r\n", "100 help\r\n"},
        {"101 list\r\n.\r\n", "101 list\r\n"},
        {"215 list\r\nbare\n.\r\n.\r\n", "215 list\r\n"},
        {"221 head\r\n.\r\n", "221 head\r\n"},
        {"224 over\r\n1\t2\r\n.\r\n", "224 over\r\n"},
        {"225 heads\r\n.\r\n", "225 heads\r\n"},
        {"230 new\r\n<a@b>\r\n.\r\n", "230 new\r\n"},
        {"231 groups\r\nalt.x\r\n.\r\n", "231 groups\r\n"},
        {"423 no such article\r\n", "423 no such article\r\n"}, // a single line only
        {"211 3 1 3 alt.test\r\n", "211 3 1 3 alt.test\r\n"},
        {"111 20260101000000\r\n", "111 20260101000000\r\n"},
    };
    for (const auto& row : rows) {
        for (std::size_t size : {1, 7, 2048}) {
            SCOPED_TRACE(row.first.substr(0, 3) + " in pieces of " + std::to_string(size));
            PiecePeer peer(Chop(row.first + next, size), 0);
            kvConnection conn;
            conn.peer = &peer;
            kvBuffer dest;
            ASSERT_TRUE(dest.Allocate(KV_ARTICLE_BUFFER_SIZE));
            EXPECT_EQ(ReceiveMultiline(conn, dest, 220, kArticle), 1);
            EXPECT_EQ(std::string(dest.data.get()), row.kept);
            EXPECT_EQ(ReceiveMultiline(conn, dest, 220, kArticle), 1);
            EXPECT_EQ(std::string(dest.data.get()), nextStored);
        }
    }
    // An unexpected reply whose data never ends fails as the connection does.
    PiecePeer peer(Split("222 1 <1@x>\r\nbody\r\n"), -1);
    kvConnection conn;
    conn.peer = &peer;
    kvBuffer dest;
    ASSERT_TRUE(dest.Allocate(KV_ARTICLE_BUFFER_SIZE));
    EXPECT_EQ(ReceiveMultiline(conn, dest, 220, kArticle), -1);
}

TEST(ReceiveReplyLine, DataLinesOfAMultilineReplyAreDropped) {
    PiecePeer peer(Split("215 list follows\r\n211 9 1 9 alt.fake\r\n.|\r\n200 ok\r\n"
                         "211 3 1 3 alt.test\r\n101 caps\r\nVERSION 2\r\n"),
                   0);
    kvConnection conn;
    conn.peer = &peer;
    char reply[512];
    EXPECT_EQ(ReceiveReplyLine(conn, reply, sizeof reply), 18);
    EXPECT_STREQ(reply, "215 list follows\r\n");
    EXPECT_EQ(ReceiveReplyLine(conn, reply, sizeof reply), 8);
    EXPECT_STREQ(reply, "200 ok\r\n");
    EXPECT_EQ(ReceiveReplyLine(conn, reply, sizeof reply), 20);
    EXPECT_STREQ(reply, "211 3 1 3 alt.test\r\n");
    EXPECT_EQ(ReceiveReplyLine(conn, reply, sizeof reply), 0); // its data never ends
}

// Lines of exactly `length` bytes (CR LF included), numbered so that a dropped
// or repeated line shows.
std::string Lines(int count, std::size_t length, int firstNumber) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string line = "line " + std::to_string(firstNumber + i) + " ";
        line.resize(length - 2, 'x');
        out += line + "\r\n";
    }
    return out;
}

TEST(ReceiveMultiline, LongArticleIsCutAfterThePieceThatPassesTheLimit) {
    const std::string status = "220 7 <7@x> article\r\n"; // 21 bytes, counted as copied
    auto pieces = [&](int count, int linesEach) {
        Pieces p{status};
        for (int i = 0; i < count; ++i)
            p.push_back(Lines(linesEach, 64, i * linesEach));
        return p;
    };
    const std::string to30719 = Lines(31, 64, 1000) + Lines(1, 42, 2000); // 2026 bytes
    Pieces exact = pieces(14, 32);                                        // 21 + 14 * 2048 = 28693
    exact.push_back(to30719);
    Pieces under = exact;
    exact.push_back(Lines(1, 64, 3000));
    for (int i = 0; i < 3; ++i)
        exact.push_back(Lines(32, 64, 4000 + 32 * i));
    Pieces over = pieces(14, 32);
    over.push_back(Lines(31, 64, 1000) + Lines(1, 43, 2000)); // 30720, 30699 without the status
    over.push_back(Lines(32, 64, 3000));
    Pieces lastPiece = pieces(14, 32);
    lastPiece.push_back(Lines(31, 64, 1000) + Lines(1, 61, 2000)); // 30738 with the terminator

    struct CutCase {
        const char* name;
        Pieces pieces;
        std::size_t keptPieces; // after the status line
        bool cut;
        bool terminatorInLastPiece;
    };
    const CutCase cases[] = {
        {"2048-byte pieces pass 30719 in the 15th", pieces(20, 32), 15, true, false},
        {"1024-byte pieces pass it in the 30th", pieces(40, 16), 30, true, false},
        {"exactly 30719 bytes, then more", exact, 16, true, false},
        {"exactly 30719 bytes in all", under, 15, false, false},
        {"30720 bytes, the status line counted", over, 15, true, false},
        {"passed only in the piece that ends it", lastPiece, 15, false, true},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string expected;
        for (std::size_t i = 0; i <= c.keptPieces; ++i)
            expected += c.pieces[i];
        if (c.cut)
            expected +=
                "\r\n\r\n***** Warning: Long article (>32K bytes), truncated! *****\r\n\r\n";
        Pieces wire = c.pieces;
        if (c.terminatorInLastPiece)
            wire.back() += ".\r\n";
        else
            wire.push_back(".\r\n");
        Received r = Collect(wire, kArticle);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.dest.size(), expected.size());
        EXPECT_TRUE(r.dest == expected);
    }
}

TEST(ReceiveMultiline, LongArticleIsCutAtTheSameLineHoweverItArrives) {
    // 21 + 480 * 64 = 30741 is the first count past 30719: line 480 is the last kept.
    const std::string status = "220 7 <7@x> article\r\n";
    const std::string article = status + Lines(600, 64, 1) + ".\r\n";
    const std::string expected =
        status + Lines(480, 64, 1) +
        "\r\n\r\n***** Warning: Long article (>32K bytes), truncated! *****\r\n\r\n";
    std::vector<std::pair<std::string, Pieces>> ways;
    for (std::size_t size : {1, 7, 63, 64, 65, 1000, 2048, 3000, 40000})
        ways.push_back({"chopped at " + std::to_string(size), Chop(article, size)});
    // Sent ahead: the article arrives behind the end of another response, in
    // the same pieces, so the pieces start anywhere within it.
    for (std::size_t lead : {1, 500, 2047}) {
        Pieces p = Chop(std::string(lead, 'x') + article, 2048);
        p.front().erase(0, lead);
        ways.push_back({"after " + std::to_string(lead) + " bytes of another response", p});
    }
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        Received r = Collect(way.second, kArticle);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.dest.size(), expected.size());
        EXPECT_TRUE(r.dest == expected);
    }
    // The limit passed by the last line: nothing is dropped, so no warning.
    const std::string whole = status + Lines(480, 64, 1);
    for (std::size_t size : {1, 2048, 40000}) {
        Received r = Collect(Chop(whole + ".\r\n", size), kArticle);
        EXPECT_TRUE(r.dest == whole) << size;
    }
}

TEST(ReceiveMultiline, OverlongLineIsCutNearTheOthersHoweverItArrives) {
    const std::string status = "220 7 <7@x> article\r\n";
    const std::string warning =
        "\r\n\r\n***** Warning: Long article (>32K bytes), truncated! *****\r\n\r\n";
    const std::string head = "Subject: one line\r\n\r\n";
    struct Case {
        const char* name;
        std::string before; // the lines ahead of the long one
        std::size_t length; // the long line's length, without its CR LF
        bool whole;         // the long line is kept whole, only the last line goes
    };
    const Case cases[] = {
        {"a body of one line of a megabyte", head, 1 << 20, false},
        {"a megabyte line after 30,000 bytes", head + Lines(468, 64, 1), 1 << 20, false},
        {"a 100 KB line that starts just under the cut", head + Lines(479, 64, 1), 100000, false},
        // Longer than a receive, but ending before the article reaches 32 KB.
        {"a 20,000-byte line after 12,800 bytes", head + Lines(200, 64, 1), 20000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line(c.length, 'q');
        for (std::size_t i = 0; i < line.size(); i += 61)
            line[i] = static_cast<char>('a' + i % 26);
        const std::string article = status + c.before + line + "\r\nlast line\r\n.\r\n";
        std::string first;
        for (std::size_t size : {1, 5, 1000, 2047, 2048, 4100, 4101, 65536, 2000000}) {
            SCOPED_TRACE(size);
            Received r = Collect(Chop(article, size), kArticle);
            ASSERT_EQ(r.result, 1);
            // Cut inside the long line, far below the 64 KB buffer: near 32 KB,
            // as a long article of short lines is.
            ASSERT_GT(r.dest.size(), 31000U);
            EXPECT_LT(r.dest.size(), 36000U);
            ASSERT_EQ(r.dest.substr(r.dest.size() - warning.size()), warning);
            std::string kept = r.dest.substr(0, r.dest.size() - warning.size());
            ASSERT_GT(kept.size(), status.size() + c.before.size());
            EXPECT_EQ(kept.substr(0, status.size() + c.before.size()), status + c.before);
            std::string part = kept.substr(status.size() + c.before.size());
            if (c.whole)
                EXPECT_TRUE(part == line + "\r\n");
            else
                EXPECT_TRUE(part.size() < line.size() && part == line.substr(0, part.size()));
            // The same bytes however the response was split into pieces.
            if (first.empty()) first = r.dest;
            EXPECT_TRUE(r.dest == first);
        }
    }
    // A line that fits in one receive is kept whole, as it always was, even
    // when it passes the cut: only the lines after it go.
    const std::string before = status + Lines(479, 64, 1);
    const std::string line = std::string(3500, 'w') + "\r\n";
    for (std::size_t size : {1, 2048, 40000}) {
        Received r = Collect(Chop(before + line + "after\r\n.\r\n", size), kArticle);
        EXPECT_TRUE(r.dest == before + line + warning) << size;
    }
}

TEST(ReceiveMultiline, HeaderListLargerThanItsBufferKeepsWholeLines) {
    const std::string status = "221 Subject fields follow\r\n";
    Pieces lines;
    std::string wire = status;
    for (int i = 0; i < 700; ++i) { // 700 * 500 bytes = 350,000 > 256,513
        std::string line = std::to_string(i + 1) + " value ";
        line.resize(498, 'v');
        lines.push_back(line + "\r\n");
        wire += lines.back();
    }
    Received r = Collect(Chop(wire + ".\r\n", 2048), kHeaderList);
    EXPECT_EQ(r.result, 1);
    std::string expected = status;
    std::size_t kept = 0;
    while (kept < lines.size() &&
           r.dest.compare(expected.size(), lines[kept].size(), lines[kept]) == 0)
        expected += lines[kept++];
    EXPECT_TRUE(r.dest == expected + ".\r\n");
    // The lines stop only when the next one could not fit.
    EXPECT_GT(kept * 500 + status.size() + 3 + 512, KV_HEADER_LIST_SIZE - 1);
    EXPECT_LT(kept, lines.size());
}

TEST(ReceiveStatusLine, AssemblesLinesCutsOverlongOnesAndKeepsWhatFollows) {
    const std::string overlong = "200 " + std::string(6000, 'g') + "\r\n";
    Pieces pieces = Split("20|0 news.example| ready\r|\n211 3 10 12 alt.test\r\n221 ok\r\n1 a\r\n|"
                          ".\r\n");
    for (const std::string& p : Chop(overlong, 1500))
        pieces.push_back(p);
    pieces.push_back("211 0 0 0 g\r\n");
    pieces.push_back("200 no line end");
    PiecePeer peer(pieces, 0);
    kvConnection conn;
    conn.peer = &peer;
    char reply[512];
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 24);
    EXPECT_STREQ(reply, "200 news.example ready\r\n");
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 22);
    EXPECT_STREQ(reply, "211 3 10 12 alt.test\r\n");
    kvBuffer dest;
    ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
    EXPECT_EQ(ReceiveMultiline(conn, dest, 221, kHeaderList), 1);
    EXPECT_STREQ(dest.data.get(), "221 ok\r\n1 a\r\n.\r\n");
    EXPECT_GT(ReceiveStatusLine(conn, reply, sizeof reply), 0);
    EXPECT_EQ(std::string(reply), overlong.substr(0, 511));
    EXPECT_GT(ReceiveStatusLine(conn, reply, sizeof reply), 0);
    EXPECT_STREQ(reply, "211 0 0 0 g\r\n");
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 0);
}

TEST(ParseServerAddress, HostAndOptionalPort) {
    struct AddressCase {
        const char* text;
        const char* host;
        int port;
    };
    const AddressCase good[] = {
        {"news.example.org", "news.example.org", 119},
        {"news.example.org:119", "news.example.org", 119},
        {"127.0.0.1:1190", "127.0.0.1", 1190},
        {"host:1", "host", 1},
        {"host:65535", "host", 65535},
        {"host:00119", "host", 119},
        {"[::1]:1190", "::1", 1190},
        {"[::1]", "::1", 119},
        {"::1", "::1", 119},
        {"fe80::1:2", "fe80::1:2", 119},
    };
    for (const AddressCase& c : good) {
        std::string host;
        int port = -1;
        EXPECT_TRUE(ParseServerAddress(c.text, host, port)) << c.text;
        EXPECT_EQ(host, c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
    for (const char* text : {"host:", "host:0", "host:65536", "host:99999", "host:-1", "host:+1",
                             "host:12a", "host: 119", "host:000119", "[::1]:", "[::1]:0", "[::1",
                             "[::1]x", "[]:119", ":119", ""}) {
        std::string host;
        int port = -1;
        EXPECT_FALSE(ParseServerAddress(text, host, port)) << text;
    }
}

} // namespace

// kArticle reply code is the three digits a line starts with; a longer number must
// not wrap round onto a code (2^32 + 220 read as an int is 220), and a line
// that starts otherwise carries none.
TEST(ReplyCode, OnlyThreeDigitsAtTheStartAreACode) {
    const struct {
        const char* line;
        int code;
    } rows[] = {{"220 0 <a@b>\r\n", 220}, {"211\r\n", 211},         {"4294967516 x\r\n", -1},
                {"1220 x\r\n", -1},       {"0211 3 1 3 g\r\n", -1}, {"-220 x\r\n", -1},
                {" 211 3 1 3 g\r\n", -1}, {"22\r\n", -1},           {"", -1}};
    for (const auto& row : rows)
        EXPECT_EQ(ReplyCode(row.line), row.code) << row.line;
}
