// Lost connections in the middle of a search against the scripted fake
// server: the run connects again, selects the group again and goes on with the
// first command that had no complete answer, so that it stores what a run
// without the loss stores; the reconnects a search may make, the waits before
// them, and what is never taken for a lost connection (a stop, the time limit).
#include "search_run_harness.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace korvex_test;

using Waits = std::vector<long long>;

// Articles 1..1200, scanned in three chunks; five of them match.
FakeGroup Twelve() {
    return Group(1, 1200, {150, 600, 650, 700, 1100});
}

// What the whole scan and fetch of Twelve() sends without a loss.
const Strings kScan = {"701-1200", "201-700", "1-200"};
const Numbers kFetch = {150, 700, 650, 600, 1100};

struct Outcome {
    int result = 0;
    std::string status;
    Numbers stored;
    Strings bodies;
    Strings commands;
    Strings messages;
    Strings reconnecting; // the reconnect messages shown
    std::vector<kvStatusKind> reconnectKinds;
    Waits waits;
    int connections = 0;
    int asked = 0; // how often the credentials were asked for
};

struct RunSetup {
    int retries = 3;
    int window = 1;
    int timeoutSeconds = 3;
    std::function<void(FakeNntpServer&)> script;
    std::function<void(Harness&)> prepare;
};

Outcome Search(const RunSetup& setup) {
    Harness h;
    h.request.retries = setup.retries;
    h.request.pipeline = setup.window;
    h.request.timeoutSeconds = setup.timeoutSeconds;
    h.server.SetGroup(Twelve());
    if (setup.script) setup.script(h.server);
    Outcome out;
    h.context.credentials = [&out](const std::string&, kvCredentials& login, std::string&) {
        ++out.asked;
        login.user = "reader";
        login.password = "pw";
        return kvCredentialAnswer::Given;
    };
    h.request.allowPlainPassword = true;
    if (setup.prepare) setup.prepare(h);
    out.result = h.Run();
    out.status = h.Status();
    out.stored = h.Stored();
    for (int i = 0; i < h.results.Size(); ++i)
        out.bodies.push_back(h.results.At(i).body ? h.results.At(i).body.get() : "(none)");
    out.commands = h.commands;
    out.messages = h.messages;
    for (std::size_t i = 0; i < h.messages.size(); ++i)
        if (h.messages[i].rfind("SEARCH: Connection lost", 0) == 0) {
            out.reconnecting.push_back(h.messages[i]);
            out.reconnectKinds.push_back(h.statuses[i].kind);
        }
    out.waits = h.waits;
    out.connections = h.server.Connections();
    return out;
}

Strings Join(std::vector<Strings> parts) {
    Strings s;
    for (const Strings& p : parts)
        s.insert(s.end(), p.begin(), p.end());
    return s;
}

// The commands of an uninterrupted run from `command` on (QUIT included).
Strings From(const std::string& command) {
    Strings all = Sent(kScan, kFetch);
    auto at = std::find(all.begin(), all.end(), command);
    EXPECT_NE(at, all.end()) << command;
    return Strings(at, all.end());
}

// The commands of an uninterrupted run up to and including `command`.
Strings Through(const std::string& command) {
    Strings all = Sent(kScan, kFetch);
    auto at = std::find(all.begin(), all.end(), command);
    EXPECT_NE(at, all.end()) << command;
    return Strings(all.begin(), at == all.end() ? at : at + 1);
}

const Strings kSelect = {"CAPABILITIES", "MODE READER", "GROUP alt.test"};

TEST(SearchRunReconnect, LossAtEveryPointResumesWithTheSameResult) {
    const Outcome whole = Search({});
    ASSERT_EQ(whole.result, 5);
    ASSERT_EQ(whole.status, Success(5));
    EXPECT_EQ(whole.commands, Sent(kScan, kFetch));
    EXPECT_EQ(whole.connections, 1);
    EXPECT_TRUE(whole.reconnecting.empty());
    EXPECT_TRUE(whole.waits.empty());

    const std::string partialArticle =
        "220 700 <700@fake.example> article\r\nPath: fake!not-for-mail\r\nFrom: Poster 7";
    struct Case {
        const char* name;
        std::function<void(FakeNntpServer&)> script;
        Strings commands; // one command at a time
        int timeoutSeconds;
    };
    const Case cases[] = {
        {"the greeting", [](FakeNntpServer& s) { s.GreetFirst({FakeReply::Close()}); },
         Sent(kScan, kFetch), 3},
        {"a greeting cut short",
         [](FakeNntpServer& s) { s.GreetFirst({FakeReply::Text("200 fake ne").ThenClose()}); },
         Sent(kScan, kFetch), 3},
        // The GROUP after an unanswered MODE READER still reaches the server.
        {"MODE READER", [](FakeNntpServer& s) { s.When("MODE READER", FakeReply::Close(), 1); },
         Join({kSelect, Sent(kScan, kFetch)}), 3},
        {"GROUP", [](FakeNntpServer& s) { s.When("GROUP alt.test", FakeReply::Reset(), 1); },
         Join({kSelect, Sent(kScan, kFetch)}), 3},
        {"in the middle of a header chunk",
         [](FakeNntpServer& s) {
             s.When("XHDR Subject 201-700",
                    FakeReply::Pieces({"221 Subject fields follow\r\n201 nothing number 201\r\n",
                                       "600 a match number 600\r\n650 a ma"})
                        .ThenClose(),
                    1);
         },
         Join({Through("XHDR Subject 201-700"), kSelect, From("XHDR Subject 201-700")}), 3},
        {"a chunk answered 400",
         [](FakeNntpServer& s) { s.When("XHDR Subject 1-200", Line("400 service going away"), 1); },
         Join({Through("XHDR Subject 1-200"), kSelect, From("XHDR Subject 1-200")}), 3},
        {"in the middle of an article",
         [&](FakeNntpServer& s) {
             s.When("ARTICLE 700", FakeReply::Text(partialArticle).ThenReset(), 1);
         },
         Join({Through("ARTICLE 700"), kSelect, From("ARTICLE 700")}), 3},
        {"between two articles",
         [](FakeNntpServer& s) { s.When("ARTICLE 650", FakeReply::Close(), 1); },
         Join({Through("ARTICLE 650"), kSelect, From("ARTICLE 650")}), 3},
        {"an unasked goodbye",
         [](FakeNntpServer& s) { s.When("ARTICLE 1100", Line("205 closing connection"), 1); },
         Join({Through("ARTICLE 1100"), kSelect, From("ARTICLE 1100")}), 3},
        {"an answer that never comes",
         [](FakeNntpServer& s) { s.When("ARTICLE 600", FakeReply::Silent(), 1); },
         Join({Through("ARTICLE 600"), kSelect, From("ARTICLE 600")}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int window : {1, KV_DEFAULT_PIPELINE}) {
            SCOPED_TRACE(window);
            RunSetup setup;
            setup.script = c.script;
            setup.window = window;
            setup.timeoutSeconds = c.timeoutSeconds;
            const Outcome o = Search(setup);
            EXPECT_EQ(o.result, whole.result);
            EXPECT_EQ(o.status, whole.status);
            EXPECT_EQ(o.stored, whole.stored);
            EXPECT_EQ(o.bodies, whole.bodies);
            EXPECT_EQ(o.connections, 2);
            EXPECT_EQ(o.waits, Waits{1000});
            EXPECT_EQ(o.reconnecting, Strings{"SEARCH: Connection lost, reconnecting (1 of 3)..."});
            EXPECT_EQ(o.reconnectKinds, std::vector<kvStatusKind>{kvStatusKind::Warning});
            // Commands sent ahead on the lost connection may reach the server
            // besides; one at a time, exactly these.
            if (window == 1) {
                EXPECT_EQ(o.commands, c.commands);
            }
        }
    }
}

TEST(SearchRunReconnect, ReconnectsAreCountedForTheWholeSearch) {
    struct Case {
        const char* name;
        std::function<void(FakeNntpServer&)> script;
        int result;
        std::string status;
        Numbers stored;
        Strings commandsWithout; // one command at a time, with no reconnects
    };
    const Case cases[] = {
        {"GROUP lost every time",
         [](FakeNntpServer& s) { s.When("GROUP alt.test", FakeReply::Close()); },
         -1,
         "ERROR: Timeout expired, no response from server",
         {},
         kSelect},
        {"a header chunk reset every time",
         [](FakeNntpServer& s) {
             s.When("XHDR Subject 201-700",
                    FakeReply::Text("221 Subject fields follow\r\n201 nothing\r\n").ThenReset());
         },
         -1,
         // Wine reports a reset connection as an orderly end.
         RunningUnderWine() ? "ERROR: Timeout expired, no response from server"
                            : "ERROR: Socket read failure",
         {},
         Through("XHDR Subject 201-700")},
        // The articles received whole are kept, as they always were.
        {"an article lost every time",
         [](FakeNntpServer& s) { s.When("ARTICLE 650", FakeReply::Close()); },
         2,
         "ERROR: connection failure; 2 complete articles received",
         {150, 700},
         Through("ARTICLE 650")},
        // Four losses at four different commands: the fourth ends the search.
        {"one loss at each of four articles",
         [](FakeNntpServer& s) {
             for (const char* command :
                  {"ARTICLE 150", "ARTICLE 700", "ARTICLE 650", "ARTICLE 600"})
                 s.When(command, FakeReply::Close(), 1);
         },
         -2,
         "",
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetup with;
        with.script = c.script;
        RunSetup without = with;
        without.retries = 0;
        const Outcome tried = Search(with);
        const Outcome today = Search(without);
        EXPECT_EQ(tried.waits, (Waits{1000, 2000, 4000}));
        EXPECT_EQ(tried.connections, 4);
        EXPECT_EQ(tried.reconnecting,
                  (Strings{"SEARCH: Connection lost, reconnecting (1 of 3)...",
                           "SEARCH: Connection lost, reconnecting (2 of 3)...",
                           "SEARCH: Connection lost, reconnecting (3 of 3)..."}));
        // No reconnect at all: the search ends as it did before reconnects existed.
        EXPECT_EQ(today.connections, 1);
        EXPECT_TRUE(today.waits.empty());
        EXPECT_TRUE(today.reconnecting.empty());
        if (c.result == -2) {
            // Connected four times, the articles of the first three losses
            // were received; ARTICLE 600 is lost for good.
            EXPECT_EQ(tried.result, 3);
            EXPECT_EQ(tried.status, "ERROR: connection failure; 3 complete articles received");
            EXPECT_EQ(tried.stored, (Numbers{150, 700, 650}));
            EXPECT_EQ(today.result, 0); // the first article already lost, nothing kept
            EXPECT_EQ(today.status, "ERROR: Timeout expired, no response from server");
            EXPECT_EQ(today.commands, Through("ARTICLE 150"));
            continue;
        }
        EXPECT_EQ(tried.result, c.result);
        EXPECT_EQ(tried.status, c.status);
        EXPECT_EQ(tried.stored, c.stored);
        EXPECT_EQ(today.result, c.result);
        EXPECT_EQ(today.status, c.status);
        EXPECT_EQ(today.stored, c.stored);
        EXPECT_EQ(today.commands, c.commandsWithout);
    }
}

// A server that goes away refuses the connects that follow: each refusal
// uses up a try, and when they are used up the articles received whole are
// kept, as on any lost connection.
TEST(SearchRunReconnect, RefusedConnectsUseUpTheTriesAndKeepTheArticles) {
    RunSetup setup;
    setup.script = [](FakeNntpServer& s) {
        s.When("ARTICLE 650", FakeReply::Close());
        s.RefuseAfter(1);
    };
    setup.prepare = [](Harness& h) {
        FakeNntpServer& server = h.server;
        std::vector<long long>& waits = h.waits;
        h.context.pause = [&server, &waits](long long ms) {
            waits.push_back(ms);
            server.Commands(); // the lost connection is over, the port closed
            return true;
        };
    };
    const Outcome o = Search(setup);
    EXPECT_EQ(o.connections, 1);
    EXPECT_EQ(o.waits, (Waits{1000, 2000, 4000}));
    EXPECT_EQ(o.reconnecting.size(), 3u);
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(o.status, "ERROR: connection failure; 2 complete articles received");
    EXPECT_EQ(o.stored, (Numbers{150, 700}));
}

TEST(SearchRunReconnect, StopsAndTheTimeLimitAreNotLostConnections) {
    {
        SCOPED_TRACE("a stop while a response is awaited");
        RunSetup setup;
        setup.timeoutSeconds = 60;
        setup.prepare = [](Harness& h) {
            kvStopSignal& stop = h.context.stop;
            h.server.When("XHDR*", FakeReply::Silent());
            h.server.OnCommand("XHDR*", [&stop] { stop.RequestStop(); });
        };
        const Outcome o = Search(setup);
        EXPECT_EQ(o.result, -1);
        EXPECT_EQ(o.status, "ERROR: Socket read failure");
        EXPECT_EQ(o.connections, 1);
        EXPECT_TRUE(o.waits.empty());
        EXPECT_TRUE(o.reconnecting.empty());
    }
    {
        SCOPED_TRACE("a stop during the real wait before reconnecting");
        std::thread stopper;
        RunSetup setup;
        setup.script = [](FakeNntpServer& s) { s.When("ARTICLE 650", FakeReply::Close()); };
        setup.prepare = [&stopper](Harness& h) {
            h.context.pause = nullptr; // waits for real
            kvStopSignal& stop = h.context.stop;
            h.server.OnCommand("ARTICLE 650", [&stopper, &stop] {
                stopper = std::thread([&stop] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(150));
                    stop.RequestStop();
                });
            });
        };
        auto started = std::chrono::steady_clock::now();
        const Outcome o = Search(setup);
        auto took = std::chrono::steady_clock::now() - started;
        if (stopper.joinable()) stopper.join();
        // The articles before the loss are kept; no second connection is made.
        EXPECT_EQ(o.result, 2);
        EXPECT_EQ(o.status, "ERROR: connection failure; 2 complete articles received");
        EXPECT_EQ(o.connections, 1);
        EXPECT_EQ(o.reconnecting, Strings{"SEARCH: Connection lost, reconnecting (1 of 3)..."});
        // Waiting out all three pauses would take seven seconds.
        EXPECT_LT(took, std::chrono::seconds(6));
    }
    {
        SCOPED_TRACE("the time limit passes during the wait");
        std::atomic<long long> now{5000};
        RunSetup setup;
        setup.script = [](FakeNntpServer& s) { s.When("ARTICLE 650", FakeReply::Close()); };
        setup.prepare = [&now](Harness& h) {
            CopyField(h.request.timeLimit, "1");
            h.context.clock = [&now] { return now.load(); };
            h.context.pause = [&now, &h](long long ms) {
                h.waits.push_back(ms);
                now += ms;
                return true;
            };
            // 60 s used up when ARTICLE 650 is lost: the first wait passes the limit.
            h.server.OnCommand("ARTICLE 650", [&now] { now += 60000; });
        };
        const Outcome o = Search(setup);
        EXPECT_EQ(o.result, 2);
        // Stopped as the time limit stops a fetch: what came whole is kept.
        EXPECT_EQ(o.status, Success(2));
        EXPECT_EQ(std::count(o.messages.begin(), o.messages.end(),
                             "WARNING: Search time expired, stopped."),
                  1);
        EXPECT_EQ(o.stored, (Numbers{150, 700}));
        EXPECT_EQ(o.waits, Waits{1000});
        EXPECT_EQ(o.connections, 1);
    }
}

TEST(SearchRunReconnect, TimeLimitPassingWhileConnectingAgainStopsTheFetch) {
    std::atomic<long long> now{5000};
    std::atomic<int> groups{0};
    RunSetup setup;
    setup.script = [](FakeNntpServer& s) { s.When("ARTICLE 650", FakeReply::Close(), 1); };
    setup.prepare = [&](Harness& h) {
        CopyField(h.request.timeLimit, "1");
        h.context.clock = [&now] { return now.load(); };
        // The second GROUP arrives 80 s into the search: past the limit and
        // the grace a response under way is given.
        h.server.OnCommand("GROUP alt.test", [&] {
            if (++groups == 2) now += 80000;
        });
    };
    const Outcome o = Search(setup);
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(o.status, Success(2));
    EXPECT_EQ(o.stored, (Numbers{150, 700}));
    EXPECT_EQ(o.connections, 2);
    EXPECT_EQ(
        std::count(o.messages.begin(), o.messages.end(), "WARNING: Search time expired, stopped."),
        1);
    EXPECT_EQ(std::count(o.messages.begin(), o.messages.end(),
                         "ERROR: connection failure; 2 complete articles received"),
              0);
}

TEST(SearchRunReconnect, TheLoginIsSentAgainWithoutAskingAgain) {
    const FakeReply askLogin = Line("480 Authentication required");
    RunSetup setup;
    setup.script = [&askLogin](FakeNntpServer& s) {
        // First connection: a login in the middle of the fetch, then the
        // connection is lost; the new one wants the login again.
        s.When("ARTICLE 700", askLogin, 1);
        s.When("ARTICLE 650", FakeReply::Close(), 1);
        s.When("ARTICLE 650", askLogin, 1);
        s.When("CAPABILITIES", Line("500 What?"));
        s.When("AUTHINFO USER reader", Line("381 Enter password"));
        s.When("AUTHINFO PASS pw", Line("281 Authentication succeeded"));
    };
    const Outcome o = Search(setup);
    // The capabilities are read again after the login.
    const Strings login = {"AUTHINFO USER reader", "AUTHINFO PASS pw", "CAPABILITIES",
                           "GROUP alt.test"};
    EXPECT_EQ(o.result, 5);
    EXPECT_EQ(o.stored, (Numbers{150, 700, 650, 600, 1100}));
    EXPECT_EQ(o.asked, 1);
    EXPECT_EQ(o.connections, 2);
    EXPECT_EQ(o.commands, Join({Through("ARTICLE 700"),
                                login,
                                {"ARTICLE 700", "ARTICLE 650"},
                                kSelect,
                                {"ARTICLE 650"},
                                login,
                                From("ARTICLE 650")}));
}

} // namespace
