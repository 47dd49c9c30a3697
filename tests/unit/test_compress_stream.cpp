// The deflated connection: what the server deflates reaches the line reading
// whole however it is split, commands leave deflated and flushed, a broken
// stream fails the receive, and the response bounds hold on inflated bytes.
#include "commands.h"
#include "net.h"
#include "test_sockets.h"
#include "transport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A raw deflate stream written with zlib directly, as a server would.
class ServerDeflate {
  public:
    ServerDeflate() {
        deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    }
    ~ServerDeflate() { deflateEnd(&z); }
    std::string Pack(const std::string& plain, int flush = Z_SYNC_FLUSH) {
        std::string packed;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
        z.avail_in = static_cast<uInt>(plain.size());
        do {
            unsigned char chunk[8192];
            z.next_out = chunk;
            z.avail_out = sizeof chunk;
            deflate(&z, flush);
            packed.append(reinterpret_cast<char*>(chunk), sizeof chunk - z.avail_out);
        } while (z.avail_out == 0);
        return packed;
    }

  private:
    z_stream z{};
};

std::string Inflate(const std::string& packed) {
    z_stream z{};
    inflateInit2(&z, -15);
    std::string plain(packed.size() * 20 + 1024, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(&plain[0]);
    z.avail_out = static_cast<uInt>(plain.size());
    inflate(&z, Z_SYNC_FLUSH);
    plain.resize(plain.size() - z.avail_out);
    inflateEnd(&z);
    return plain;
}

// Hands out fixed bytes in pieces of a given size, then the end of the connection.
class PiecePeer : public kvBytePeer {
  public:
    PiecePeer(std::string bytes, std::size_t piece) : data(std::move(bytes)), size(piece) {}
    long Receive(char* buffer, std::size_t room) override {
        std::size_t n = std::min({size, room, data.size() - at});
        std::copy(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n),
                  buffer);
        at += n;
        return static_cast<long>(n);
    }
    std::size_t at = 0;

  private:
    std::string data;
    std::size_t size;
};

// A server whose header list never ends: each receive gets more of an
// endless run of long lines, deflated (a few bytes per 100 KB).
class BombPeer : public kvBytePeer {
  public:
    BombPeer() { pending = deflater.Pack("221 Subject fields follow\r\n"); }
    long Receive(char* buffer, std::size_t room) override {
        if (pending.empty()) {
            std::string lines;
            for (int i = 0; i < 200; ++i)
                lines += std::to_string(i) + " " + std::string(500, 'x') + "\r\n";
            pending = deflater.Pack(lines, Z_NO_FLUSH);
            if (pending.empty()) pending = deflater.Pack("", Z_SYNC_FLUSH);
        }
        std::size_t n = std::min(room, pending.size());
        std::copy(pending.begin(), pending.begin() + static_cast<long>(n), buffer);
        pending.erase(0, n);
        delivered += n;
        return static_cast<long>(n);
    }
    std::size_t delivered = 0;

  private:
    ServerDeflate deflater;
    std::string pending;
};

std::string HeaderList(int lines) {
    std::string s = "221 Subject fields follow\r\n";
    for (int i = 1; i <= lines; ++i)
        s += std::to_string(i) + " Subject number " + std::to_string(i * 7919 % 1000) + "\r\n";
    return s + ".\r\n";
}

const std::string kArticle = "220 5 <5@x> article\r\nSubject: dots\r\n\r\n..leading dot\r\n"
                             "plain line\r\n.\r\n";

TEST(CompressStream, ResponsesArriveWholeHoweverTheDeflatedBytesAreSplit) {
    const std::string list = HeaderList(400);
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{7}, std::size_t{300}, std::size_t{5000}}) {
        ServerDeflate server;
        // The agreement's line and the first deflated bytes may come together.
        std::string packed = server.Pack(list);
        packed += server.Pack(kArticle);
        packed += server.Pack("205 bye\r\n");
        kvConnection conn;
        PiecePeer peer(packed.substr(3), piece);
        conn.peer = &peer;
        std::copy(packed.begin(), packed.begin() + 3, conn.input);
        conn.inputLength = 3;
        ASSERT_TRUE(StartCompressedStream(conn));
        EXPECT_FALSE(StartCompressedStream(conn)) << "a second start must be refused";

        kvBuffer dest;
        ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
        ASSERT_EQ(ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList), 1) << piece;
        EXPECT_EQ(std::string(dest.data.get(), dest.length), list) << piece;
        ASSERT_EQ(ReceiveMultiline(conn, dest, 220, kvResponseMode::Article), 1) << piece;
        EXPECT_EQ(std::string(dest.data.get()),
                  "220 5 <5@x> article\r\nSubject: dots\r\n\r\n.leading dot\r\nplain line\r\n");
        char reply[64];
        EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 9);
        EXPECT_STREQ(reply, "205 bye\r\n");
        EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 0) << "then the connection's end";
    }
}

TEST(CompressStream, BrokenStreamsFailTheReceive) {
    ServerDeflate good;
    std::string valid = good.Pack(HeaderList(3));
    std::string flipped = valid;
    flipped[0] = static_cast<char>(flipped[0] ^ 0x06); // a reserved block type
    ServerDeflate ended;
    std::string pastEnd = ended.Pack("200 ok\r\n", Z_FINISH) + "garbage after the end";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"not deflate at all", std::string("\xff\xff\xff\xff plain text\r\n")},
        {"a reserved block type", flipped},
        {"bytes after the stream's end", pastEnd},
    };
    for (const auto& c : cases) {
        kvConnection conn;
        PiecePeer peer(c.second, 64);
        conn.peer = &peer;
        ASSERT_TRUE(StartCompressedStream(conn));
        kvBuffer dest;
        ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
        long n = ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList);
        if (std::string(c.first) == "bytes after the stream's end") {
            // The status line before the end is read; what follows it is not.
            EXPECT_EQ(n, 1) << c.first;
            EXPECT_EQ(ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList), -1) << c.first;
        } else {
            EXPECT_EQ(n, -1) << c.first;
        }
    }
}

TEST(CompressStream, SizeBoundCountsInflatedBytes) {
    // About 60 KB of lines deflate to a small fraction: the bound is on what they inflate to.
    const std::string list = HeaderList(3000);
    ServerDeflate server;
    const std::string packed = server.Pack(list);
    ASSERT_LT(packed.size() * 2, list.size());
    struct Case {
        std::size_t bound;
        long result;
    };
    for (Case c : {Case{list.size() - 1, -1}, Case{list.size(), 1}, Case{packed.size() + 10, -1}}) {
        kvConnection conn;
        PiecePeer peer(packed, 512);
        conn.peer = &peer;
        conn.maxResponseBytes = c.bound;
        ASSERT_TRUE(StartCompressedStream(conn));
        kvBuffer dest;
        ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
        EXPECT_EQ(ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList), c.result)
            << c.bound;
        EXPECT_EQ(conn.boundHit, c.result < 0 ? kvBoundHit::ResponseSize : kvBoundHit::None);
        if (c.result < 0) {
            EXPECT_STREQ(ReceiveFailureMessage(conn, -1), "ERROR: Server response too large");
        }
    }
}

TEST(CompressStream, EndlessStreamEndsAtTheSizeBoundAfterFewBytes) {
    kvConnection conn;
    BombPeer bomb;
    conn.peer = &bomb;
    conn.maxResponseBytes = 4 * 1024 * 1024;
    ASSERT_TRUE(StartCompressedStream(conn));
    kvBuffer dest;
    ASSERT_TRUE(dest.Allocate(KV_HEADER_LIST_SIZE));
    EXPECT_EQ(ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList), -1);
    EXPECT_EQ(conn.boundHit, kvBoundHit::ResponseSize);
    // Inflated in pieces: only about what the bound allows was asked of the peer.
    EXPECT_LT(bomb.delivered, std::size_t{200 * 1024});
    // The kept lines stay within the list's buffer and its line limit.
    EXPECT_LT(dest.length, KV_HEADER_LIST_SIZE);
    EXPECT_EQ(std::string(dest.data.get()).find(std::string(KV_HEADER_LINE_MAX + 1, 'x')),
              std::string::npos);
}

TEST(CompressStream, CommandsLeaveDeflatedAndFlushedOneByOne) {
    int fds[2];
    ASSERT_TRUE(TestSocketPair(fds));
    {
        kvConnection conn;
        conn.socket = fds[0];
        SetNetTimeout(conn, 2);
        ASSERT_TRUE(StartCompressedStream(conn));
        std::string packed;
        const std::vector<std::string> commands = {"GROUP alt.test\r\n", "XHDR Subject 1-500\r\n",
                                                   "ARTICLE 17\r\n"};
        std::string all;
        for (const std::string& c : commands) {
            all += c;
            if (c[0] == 'A') {
                EXPECT_EQ(NetTrySend(conn, c.data(), c.size()), static_cast<long>(c.size()));
            } else {
                ASSERT_TRUE(SendCommand(conn, "%s", c.c_str()));
            }
            // Each command is readable on its own, before the next is written.
            char buffer[512];
            long n = TestRecv(fds[1], buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            packed.append(buffer, static_cast<std::size_t>(n));
            EXPECT_EQ(Inflate(packed), all);
        }
        EXPECT_LT(packed.size(), all.size() + 24); // flushed: a few bytes of framing each
        conn.socket = -1;
    }
    TestCloseSocket(fds[0]);
    TestCloseSocket(fds[1]);
}

} // namespace
