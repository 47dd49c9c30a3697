// Closing the main frame stops the running search and waits for it: that must
// not hang on a name lookup that takes minutes or a server that never answers
// the connect.
#include "search_worker.h"
#include "slow_lookup.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

TEST(SearchWorkerStop, StopAndWaitEndsALookupOrConnectThatWouldTakeMinutes) {
    // A loopback listener with a full queue: a further connect is never answered.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
    int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a);
    pollfd p{filler, POLLOUT, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    const std::string unanswered = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));

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
    close(filler);
    close(listener);
}

} // namespace
