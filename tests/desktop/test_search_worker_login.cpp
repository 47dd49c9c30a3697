// The search worker's logins: ~/.netrc first, then an answer given earlier in
// the program run, then the login handler on the GUI thread; Cancel fails the
// search; a stop ends the wait for the handler.
#include "fake_nntp_server.h"
#include "search_worker.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

using Strings = std::vector<std::string>;

// Stands in for the GUI thread: tasks posted by the worker run when the test pumps.
class TaskQueue {
  public:
    void Post(kvSearchWorker::Task task) {
        std::lock_guard<std::mutex> lock(mutex);
        tasks.push_back(std::move(task));
        changed.notify_all();
    }
    bool HasTask() {
        std::lock_guard<std::mutex> lock(mutex);
        return !tasks.empty();
    }
    // Runs tasks until `done` holds, at most 10 s; false on time-out.
    template <class Done> bool PumpUntil(Done done) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            std::unique_lock<std::mutex> lock(mutex);
            if (!changed.wait_until(lock, until, [this] { return !tasks.empty(); })) return false;
            kvSearchWorker::Task task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
        }
        return true;
    }

  private:
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<kvSearchWorker::Task> tasks;
};

// A server that answers the first GROUP with 480 and takes any login.
void Script(FakeNntpServer& server) {
    FakeGroup g;
    g.headers[1] = "a match";
    g.articles[1] = FakeArticleText(1, "a match", "Body.\n");
    server.SetGroup(g);
    server.When("GROUP alt.test", FakeReply::Text("480 Authentication required\r\n"), 1);
    server.When("AUTHINFO USER *", FakeReply::Text("381 Enter password\r\n"));
    server.When("AUTHINFO PASS *", FakeReply::Text("281 Authentication succeeded\r\n"));
    server.Start();
}

struct WorkerRun {
    korvex_test::TempDir dir{"worker-login"};
    FakeNntpServer server;
    FakeNntpServer second; // another port on the same host, for a second search
    TaskQueue queue;
    kvSearchRequest request;
    std::vector<std::string> asked; // hosts the login handler was asked for
    bool cancel = false;
    int finished = 0;
    std::string status;
    kvSearchWorker worker{[this](kvSearchWorker::Task t) { queue.Post(std::move(t)); },
                          [](const std::string&) {},
                          [this](kvSearchWorker::Outcome& o) {
                              status = o.status;
                              ++finished;
                          }};

    explicit WorkerRun(const std::string& netrc) {
        Script(server);
        Script(second);
        CopyField(request.server, server.Address().c_str());
        CopyField(request.newsgroup, "alt.test");
        CopyField(request.pattern, "match");
        request.allowPlainPassword = 1;
        request.timeoutSeconds = 3;
        std::string path = dir / "netrc";
        korvex_test::WriteBytes(path, netrc);
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
        worker.SetNetrcPath(path);
        worker.SetLoginHandler([this](const std::string& host, kvCredentials& login) {
            asked.push_back(host);
            if (cancel) return false;
            login.user = "typed";
            login.password = "typedpass";
            return true;
        });
    }

    void Search(bool onSecond = false) {
        int before = finished;
        CopyField(request.server, (onSecond ? second : server).Address().c_str());
        ASSERT_TRUE(worker.Start(request));
        ASSERT_TRUE(queue.PumpUntil([&] { return finished > before; }));
    }
};

TEST(SearchWorkerLogin, NetrcThenTheAnswerGivenEarlierThenTheHandler) {
    const std::string success = "SUCCESS: 1 articles received";
    {
        WorkerRun run("machine 127.0.0.1 login netrcuser password netrcpass\n");
        run.Search();
        EXPECT_EQ(run.status, success);
        EXPECT_TRUE(run.asked.empty());
        Strings c = run.server.Commands();
        EXPECT_NE(std::find(c.begin(), c.end(), "AUTHINFO PASS netrcpass"), c.end());
    }
    {
        WorkerRun run("machine other.example login x password y\n");
        run.Search();
        EXPECT_EQ(run.status, success);
        EXPECT_EQ(run.asked, Strings{"127.0.0.1"});
        // The next search of this program run logs in without asking.
        run.Search(true);
        EXPECT_EQ(run.status, success);
        EXPECT_EQ(run.asked, Strings{"127.0.0.1"});
        for (FakeNntpServer* s : {&run.server, &run.second}) {
            Strings c = s->Commands();
            EXPECT_EQ(std::count(c.begin(), c.end(), "AUTHINFO PASS typedpass"), 1);
        }
    }
    {
        WorkerRun run("");
        run.cancel = true;
        run.Search();
        EXPECT_EQ(run.status, "ERROR: Authentication required");
        EXPECT_EQ(run.asked.size(), 1u);
        // A cancelled box is asked again next time.
        run.Search(true);
        EXPECT_EQ(run.asked.size(), 2u);
    }
}

TEST(SearchWorkerLogin, StopEndsTheWaitForTheLoginBox) {
    WorkerRun run("");
    ASSERT_TRUE(run.worker.Start(run.request));
    // Wait until the worker has asked the GUI thread, but never answer.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!run.queue.HasTask() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(run.queue.HasTask());
    auto started = std::chrono::steady_clock::now();
    run.worker.StopAndWait();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_TRUE(run.asked.empty());
}

} // namespace
