// The stop signal on Windows: an event that ends every wait on it at once,
// from any thread, and stays set.
#include "search_context.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

TEST(WindowsStopSignal, EndsEveryWaitAtOnce) {
    kvStopSignal stop;
    ASSERT_NE(stop.WaitHandle(), nullptr);
    EXPECT_FALSE(stop.StopRequested());
    EXPECT_EQ(WaitForSingleObject(stop.WaitHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Several threads wait (as the network waits of a run would); one request wakes them all.
    std::vector<DWORD> results(4, WAIT_FAILED);
    std::vector<std::thread> waiters;
    for (DWORD& result : results)
        waiters.emplace_back(
            [&stop, &result] { result = WaitForSingleObject(stop.WaitHandle(), 20000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto start = std::chrono::steady_clock::now();
    std::thread([&stop] { stop.RequestStop(); }).join();
    for (std::thread& t : waiters)
        t.join();
    auto waited = std::chrono::steady_clock::now() - start;
    for (DWORD result : results)
        EXPECT_EQ(result, static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_LT(waited, std::chrono::seconds(10)); // far below the 20 s a missed wake-up would take

    // It stays set: a later wait and a later question see it, and asking does not consume it.
    EXPECT_TRUE(stop.StopRequested());
    EXPECT_TRUE(stop.StopRequested());
    EXPECT_EQ(WaitForSingleObject(stop.WaitHandle(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    stop.RequestStop(); // idempotent
    EXPECT_TRUE(stop.StopRequested());
}

TEST(WindowsStopSignal, WaitsAmongOtherEventsAndSignalsEachOwnerAlone) {
    kvStopSignal first;
    kvStopSignal second;
    HANDLE socketEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE handles[] = {socketEvent, second.WaitHandle()};
    first.RequestStop();
    EXPECT_FALSE(second.StopRequested());
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    second.RequestStop();
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 1000),
              static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    CloseHandle(socketEvent);
}

} // namespace
