// Name lookups and connects that would not end by themselves: a stop request
// ends them at once, the time-out ends them otherwise, and a connect that
// times out moves on to the next address. Loopback only: a listener whose
// accept queue is full never answers a further connect.
#include "commands.h"
#include "connect.h"
#include "net.h"
#include "search_context.h"
#include "search_run_harness.h"
#include "slow_lookup.h"
#include "test_sockets.h"
#include "unanswered_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

kvAddressList Ports(const std::vector<int>& ports) {
    kvAddressList list;
    for (int port : ports) {
        sockaddr_in a = LoopbackAddress(port);
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&a);
        list.addresses.emplace_back(bytes, bytes + sizeof a);
        list.families.push_back(AF_INET);
    }
    return list;
}

// Requests a stop after `ms` (never when < 0) from another thread.
class StopLater {
  public:
    StopLater(kvStopSignal& stop, int ms) {
        if (ms >= 0)
            thread = std::thread([&stop, ms] {
                std::this_thread::sleep_for(Ms(ms));
                stop.RequestStop();
            });
    }
    ~StopLater() {
        if (thread.joinable()) thread.join();
    }

  private:
    std::thread thread;
};

TEST(ConnectToAny, UnansweredAddressCostsTheTimeOutAndAStopEndsItAtOnce) {
    Unanswering hole;
    int open = 0;
    int listener = TestListen(open, 4);
    ASSERT_GE(listener, 0) << "no loopback listener";
    const struct {
        const char* name;
        std::vector<int> ports;
        int timeoutSeconds, stopAfterMs;
        kvConnectResult result;
        int minMs, maxMs;
    } rows[] = {
        {"time-out", {hole.port}, 1, -1, kvConnectResult::Refused, 900, 4000},
        {"time-out, then the next address",
         {hole.port, open},
         1,
         -1,
         kvConnectResult::Connected,
         900,
         4000},
        {"stop", {hole.port}, 60, 200, kvConnectResult::Stopped, 150, 4000},
        {"stop before the next address",
         {hole.port, open},
         60,
         200,
         kvConnectResult::Stopped,
         150,
         4000},
        {"answered at once", {open, hole.port}, 60, -1, kvConnectResult::Connected, 0, 4000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        kvStopSignal stop;
        kvConnection conn;
        conn.stop = &stop;
        SetNetTimeout(conn, row.timeoutSeconds);
        auto started = Clock::now();
        kvConnectResult result;
        {
            StopLater later(stop, row.stopAfterMs);
            result = ConnectToAny(Ports(row.ports), conn);
        }
        auto ms = std::chrono::duration_cast<Ms>(Clock::now() - started).count();
        EXPECT_EQ(result, row.result);
        EXPECT_GE(ms, row.minMs);
        EXPECT_LT(ms, row.maxMs);
        if (result == kvConnectResult::Connected) {
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            ASSERT_EQ(getpeername(conn.socket, reinterpret_cast<sockaddr*>(&peer), &len), 0);
            EXPECT_EQ(ntohs(peer.sin_port), open);
        } else {
            EXPECT_EQ(conn.socket, -1);
        }
        CloseSocket(conn);
    }
    TestCloseSocket(listener);
}

TEST(ResolveServerInterruptibly, StopAndTimeOutEndTheWaitForASlowLookup) {
    kvResolver finds = [](const std::string& host, int port, kvAddressList& out) {
        out = Ports({port});
        return host == "news.example";
    };
    const struct {
        const char* name;
        const char* host;
        bool slow;
        int timeoutMs, stopAfterMs;
        kvResolveResult result;
        int maxMs;
    } rows[] = {
        {"stop", "news.example", true, 60000, 200, kvResolveResult::Stopped, 3000},
        {"time-out", "news.example", true, 500, -1, kvResolveResult::TimedOut, 3000},
        {"found", "news.example", false, 60000, -1, kvResolveResult::Found, 3000},
        {"not found", "other.example", false, 60000, -1, kvResolveResult::NotFound, 3000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SlowLookup slow;
        kvStopSignal stop;
        kvAddressList out;
        auto started = Clock::now();
        kvResolveResult result;
        {
            StopLater later(stop, row.stopAfterMs);
            result = ResolveServerInterruptibly(row.host, 1119, out, &stop, row.timeoutMs,
                                                row.slow ? slow.Resolver() : finds);
        }
        EXPECT_EQ(result, row.result);
        EXPECT_LT(Clock::now() - started, Ms(row.maxMs));
        EXPECT_EQ(out.addresses.size(), result == kvResolveResult::Found ? 1u : 0u);
    }
    // The system's resolver by default (an address needs no traffic).
    kvAddressList loopback;
    EXPECT_EQ(ResolveServerInterruptibly("127.0.0.1", 119, loopback, nullptr, 5000),
              kvResolveResult::Found);
    ASSERT_EQ(loopback.families.size(), 1u);
    EXPECT_EQ(loopback.families[0], AF_INET);
}

TEST(SearchRunFake, StopWhileLocatingOrConnectingEndsTheRunPromptly) {
    Unanswering hole;
    const std::string unanswered = "127.0.0.1:" + std::to_string(hole.port);
    const struct {
        const char* name;
        bool slowLookup;
        bool unansweredServer;
        int timeoutSeconds, stopAfterMs;
        const char* status;
    } rows[] = {
        {"stop while locating", true, false, 60, 300, "ERROR: Can't connect to server"},
        {"lookup time-out", true, false, 1, -1, "ERROR: Host not found"},
        {"stop while connecting", false, true, 60, 300, "ERROR: Can't connect to server"},
        {"connect time-out", false, true, 1, -1, "ERROR: Can't connect to server"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        korvex_test::Harness h;
        SlowLookup slow;
        if (row.slowLookup) h.context.resolve = slow.Resolver();
        if (row.unansweredServer) CopyField(h.request.server, unanswered.c_str());
        h.request.timeoutSeconds = row.timeoutSeconds;
        auto started = Clock::now();
        int result;
        {
            StopLater later(h.context.stop, row.stopAfterMs);
            result = h.Run();
        }
        EXPECT_EQ(result, -1);
        EXPECT_LT(Clock::now() - started, Ms(4000));
        EXPECT_EQ(h.Status(), row.status);
        EXPECT_TRUE(h.commands.empty());
    }
}

// A connection owns its socket: its end closes the socket (the peer reads the
// end of the stream). CloseSocket before that leaves nothing to close twice: a
// socket opened afterwards, most likely under the same number, stays open.
TEST(kvConnection, ClosesItsSocketAtItsEndAndOnceOnly) {
    for (bool closedFirst : {false, true}) {
        SCOPED_TRACE(closedFirst ? "closed, then ended" : "ended");
        int pair[2];
        ASSERT_TRUE(TestSocketPair(pair));
        int later = -1;
        {
            kvConnection conn;
            conn.socket = pair[0];
            if (closedFirst) {
                CloseSocket(conn);
                CloseSocket(conn); // nothing left to close
                EXPECT_EQ(conn.socket, -1);
                later = TestSocket();
                ASSERT_GE(later, 0);
            }
        }
        // The end of the stream within a few seconds, never a wait forever.
        kvPollFd peer = TestPollFd(pair[1], POLLIN);
        EXPECT_EQ(TestPoll(&peer, 1, 5000), 1);
        TestSetNonBlocking(pair[1]);
        char byte;
        EXPECT_EQ(TestRecv(pair[1], &byte, 1), 0);
        if (later >= 0) {
            int on = 1;
            EXPECT_EQ(TestSetOption(later, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on), 0)
                << "the connection's end closed a socket it no longer owned";
            TestCloseSocket(later);
        }
        TestCloseSocket(pair[1]);
    }
}

} // namespace

// The longest time-out the description file lets through (9,999,999 seconds)
// is still a long wait in milliseconds, not an overflow into "wait forever";
// a wait with it returns as soon as data is there.
TEST(NetTimeoutMs, LongestTimeOutIsComputedWithoutOverflow) {
    kvConnection conn;
    conn.timeoutSeconds = 9999999;
    EXPECT_EQ(NetTimeoutMs(conn), 9999999000LL);
    conn.timeoutSeconds = 2147484; // the first whose milliseconds pass INT_MAX
    EXPECT_GT(NetTimeoutMs(conn), 2147483647LL);

    int pair[2];
    ASSERT_TRUE(TestSocketPair(pair));
    conn.socket = pair[0];
    ASSERT_EQ(TestSend(pair[1], "200 ok\r\n", 8), 8);
    char reply[64];
    EXPECT_EQ(ReceiveStatusLine(conn, reply, sizeof reply), 8);
    EXPECT_STREQ(reply, "200 ok\r\n");
    CloseSocket(conn); // the connection owns pair[0]
    TestCloseSocket(pair[1]);
}
