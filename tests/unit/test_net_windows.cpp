// The network layer's Windows side: Winsock that will not start ends the run
// with its own message before any connection, and a stop ends a socket wait at
// once, from another thread, while the socket stays silent.
#include "net.h"
#include "net_library.h"
#include "search_context.h"
#include "search_run_harness.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace korvex_test;

// Asks for the default version again however the test ends.
struct WinsockVersion {
    WinsockVersion(int major, int minor) { SetRequestedWinsockVersion(major, minor); }
    ~WinsockVersion() { SetRequestedWinsockVersion(2, 2); }
};

TEST(WindowsNet, WinsockThatWillNotStartEndsTheRunBeforeAnyConnection) {
    for (int minor : {0, 1}) {
        // 0.x does not exist; 1.1 starts but is not the 2.2 the layer needs.
        SCOPED_TRACE(minor);
        Harness h;
        h.server.SetGroup(Group(10, 12, {11}));
        WinsockVersion impossible(minor == 0 ? 0 : 1, minor == 0 ? 0 : 1);
        EXPECT_EQ(h.Run(), -1);
        EXPECT_EQ(h.Status(), "ERROR: Unable to initialize WinSock");
        EXPECT_TRUE(h.commands.empty());
        for (const std::string& shown : h.messages)
            EXPECT_EQ(shown.find("Connecting"), std::string::npos) << shown;
    }
    // With the version back, the same search goes through.
    Harness h;
    h.server.SetGroup(Group(10, 12, {11}));
    EXPECT_EQ(h.Run(), 1);
    EXPECT_EQ(h.Status(), Success(1));
}

TEST(WindowsNet, StartupAndCleanupPairOnEachThread) {
    // A cleanup without a start on this thread must leave another thread's Winsock alone.
    ASSERT_TRUE(NetStartup());
    std::thread([] { NetCleanup(); }).join();
    int fd = TestSocket();
    EXPECT_GE(fd, 0) << "Winsock was cleaned up by a thread that never started it";
    if (fd >= 0) TestCloseSocket(fd);
    NetCleanup();
}

TEST(WindowsNet, LibraryGuardCleansUpOnlyWhatItStarted) {
    ASSERT_TRUE(NetStartup()); // this thread's own start, outliving the guards
    {
        WinsockVersion impossible(0, 0);
        kvNetLibrary failed;
        EXPECT_FALSE(failed.Ready());
    }
    {
        kvNetLibrary started;
        EXPECT_TRUE(started.Ready());
    }
    int fd = TestSocket();
    EXPECT_GE(fd, 0) << "a guard cleaned up a start that was not its own";
    if (fd >= 0) TestCloseSocket(fd);
    NetCleanup();
}

TEST(WindowsNet, StopEndsASocketWaitAtOnce) {
    ASSERT_TRUE(NetStartup());
    int pair[2];
    ASSERT_TRUE(TestSocketPair(pair));
    kvStopSignal stop;
    kvConnection conn;
    conn.socket = pair[0];
    conn.stop = &stop;
    // Nothing to read: the wait runs its time, then says so.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(NetWait(conn, false, 150), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    // Data waiting: ready at once.
    ASSERT_EQ(TestSend(pair[1], "x", 1), 1);
    EXPECT_EQ(NetWait(conn, false, 5000), 1);
    char byte;
    ASSERT_EQ(TestRecv(pair[0], &byte, 1), 1);
    // A stop from another thread ends a long wait long before its time.
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.RequestStop();
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(NetWait(conn, false, 20000), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    stopper.join();
    // Once stopped, every later wait ends at once, even with data waiting.
    ASSERT_EQ(TestSend(pair[1], "y", 1), 1);
    EXPECT_EQ(NetWait(conn, false, 20000), -1);
    CloseSocket(conn); // the connection owns pair[0]
    TestCloseSocket(pair[1]);
    NetCleanup();
}

} // namespace
