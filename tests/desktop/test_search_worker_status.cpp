// The search worker's status lines reaching a GUI thread that is too busy to
// take them as they come: the progress messages in between give way, the
// results and the last messages arrive, in order, before the outcome.
#include "fake_nntp_server.h"
#include "search_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// Thirty articles (10..39) whose subjects all match.
FakeGroup ThirtyMatches() {
    FakeGroup g;
    g.name = "alt.test";
    for (long n = 10; n <= 39; ++n) {
        g.headers[n] = "a match " + std::to_string(n);
        g.articles[n] = FakeArticleText(n, g.headers[n], "text\n");
    }
    return g;
}

TEST(SearchWorkerStatus, BusyGuiThreadGetsTheResultsAndTheLastMessages) {
    struct Row {
        const char* name;
        const char* closeAt; // the command answered by closing the connection, or ""
        int count;
        Strings shown;
    };
    const Row rows[] = {
        {"success", "", 30, {"Korvex: Sorting articles...", "SUCCESS: 30 articles received"}},
        {"connection lost at the 6th article",
         "ARTICLE 34",
         5,
         {"Korvex: Sorting articles...",
          "ERROR: connection failure; 5 complete articles received"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeNntpServer server;
        server.SetGroup(ThirtyMatches());
        if (*row.closeAt != '\0') server.When(row.closeAt, FakeReply::Close());
        server.Start();

        // The GUI thread's queue: nothing runs until the search has posted its outcome.
        std::mutex mutex;
        std::condition_variable posted;
        std::deque<kvSearchWorker::Task> tasks;
        Strings shown;
        int count = -2;
        bool done = false;
        kvSearchWorker worker(
            [&](kvSearchWorker::Task task) {
                std::lock_guard<std::mutex> lock(mutex);
                tasks.push_back(std::move(task));
                posted.notify_one();
            },
            [&](const std::string& text) { shown.push_back(text); },
            [&](kvSearchWorker::Outcome& outcome) {
                count = outcome.count;
                done = true;
            });
        kvSearchRequest request;
        CopyField(request.server, server.Address().c_str());
        CopyField(request.newsgroup, "alt.test");
        CopyField(request.pattern, "match");
        request.timeoutSeconds = 5;
        request.retries = 0; // a lost connection ends the search at once
        ASSERT_TRUE(worker.Start(request));

        // One delivery for every message the run showed (the first woke the
        // GUI thread; the rest waited behind it), then the outcome.
        std::deque<kvSearchWorker::Task> ready;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ASSERT_TRUE(
                posted.wait_for(lock, std::chrono::seconds(20), [&] { return tasks.size() >= 2; }));
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // nothing more comes
            ready.swap(tasks);
        }
        EXPECT_EQ(ready.size(), 2u);
        for (auto& task : ready)
            task();
        EXPECT_TRUE(done);
        EXPECT_EQ(count, row.count);
        EXPECT_EQ(shown, row.shown);
    }
}

} // namespace
