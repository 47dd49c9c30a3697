// Closing the main frame stops the running search and waits for it: that must
// not hang on a name lookup that takes minutes or a server that never answers
// the connect.
#include "search_worker.h"
#include "slow_lookup.h"
#include "unanswered_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

TEST(SearchWorkerStop, StopAndWaitEndsALookupOrConnectThatWouldTakeMinutes) {
    Unanswering hole;
    const std::string unanswered = "127.0.0.1:" + std::to_string(hole.port);

    for (bool slowLookup : {true, false}) {
        SCOPED_TRACE(slowLookup ? "locating" : "connecting");
        SlowLookup slow;
        // The GUI thread's queue: the tasks are kept, never run.
        std::mutex mutex;
        std::vector<kvSearchWorker::Task> posted;
        kvSearchWorker worker(
            [&](kvSearchWorker::Task task) {
                std::lock_guard<std::mutex> lock(mutex);
                posted.push_back(std::move(task));
            },
            [](const std::string&) {}, [](kvSearchWorker::Outcome&) {});
        if (slowLookup) worker.SetResolver(slow.Resolver());
        kvSearchRequest request;
        CopyField(request.server, slowLookup ? "news.example" : unanswered.c_str());
        CopyField(request.newsgroup, "alt.test");
        CopyField(request.pattern, "match");
        request.timeoutSeconds = 120;
        ASSERT_TRUE(worker.Start(request));
        if (slowLookup) {
            ASSERT_TRUE(slow.Begun());
        } else {
            // A literal address needs no lookup: the connect is under way.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        auto started = Clock::now();
        worker.StopAndWait();
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
        EXPECT_FALSE(worker.Running());
    }
}

} // namespace
