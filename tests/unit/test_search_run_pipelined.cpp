// Commands sent ahead against the scripted fake server: they really are
// outstanding, within the window, the articles still wanted and the command
// bytes allowed, and every ending of a run (time limit, lost connection, stop,
// refused articles) comes out as it does one command at a time.
#include "search_run_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>

namespace {

using namespace korvex_test;

struct Outcome {
    int result = 0;
    std::string status;
    Strings messages;
    Strings commands;
    Numbers stored;
    std::map<std::string, int> behind; // lines waiting behind each command when it was answered
};

Outcome RunWith(int window, const std::function<void(Harness&)>& setup) {
    Harness h;
    h.request.pipeline = window;
    setup(h);
    Outcome o;
    o.result = h.Run();
    o.status = h.Status();
    o.messages = h.messages;
    o.commands = h.commands;
    o.stored = h.Stored();
    std::vector<int> behind = h.server.Behind();
    for (std::size_t i = 0; i < behind.size() && i < o.commands.size(); ++i)
        o.behind[o.commands[i]] = behind[i];
    return o;
}

// Eight matches; collected 600..1000 from the newer chunk, then 100..300, so
// fetched 300, 200, 100, 1000, 900, 800, 700, 600.
FakeGroup EightInTwoChunks() {
    return Group(1, 1000, {100, 200, 300, 600, 700, 800, 900, 1000});
}
const Numbers kEightFetched = {300, 200, 100, 1000, 900, 800, 700, 600};

TEST(SearchRunPipelined, CommandsAreOutstandingWithinTheWindowAndTheArticlesWanted) {
    struct Row {
        const char* name;
        int window;
        const char* maxArticles;
        int holdMs;        // how long the first ARTICLE waits for the others
        int xhdrBehind;    // lines behind the first XHDR when answered
        int articleBehind; // lines behind the first ARTICLE when answered
        Numbers sent;      // ARTICLE commands, in order
        Numbers stored;
    };
    const Row rows[] = {
        {"default window", KV_DEFAULT_PIPELINE, "all", 3000, 1, 7, kEightFetched, kEightFetched},
        {"window 3", 3, "all", 300, 1, 2, kEightFetched, kEightFetched},
        {"window 2", 2, "all", 300, 1, 1, kEightFetched, kEightFetched},
        {"one at a time", 1, "all", 300, 0, 0, kEightFetched, kEightFetched},
        // 300 and 200 refused: each frees a place for the next number.
        {"3 wanted, 2 refused",
         KV_DEFAULT_PIPELINE,
         "3",
         300,
         1,
         2,
         {300, 200, 100, 1000, 900},
         {100, 1000, 900}},
        {"5 wanted",
         KV_DEFAULT_PIPELINE,
         "5",
         300,
         1,
         4,
         {300, 200, 100, 1000, 900, 800, 700},
         {100, 1000, 900, 800, 700}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool refusing = row.sent.size() > row.stored.size();
        Outcome o = RunWith(row.window, [&](Harness& h) {
            h.server.SetGroup(EightInTwoChunks());
            CopyField(h.request.maxArticles, row.maxArticles);
            if (refusing) {
                h.server.When("ARTICLE 300", Line("423 gone"));
                h.server.When("ARTICLE 200", Line("423 gone"));
            }
            h.server.HoldUntilBehind("XHDR Subject 501-1000", 1, row.holdMs);
            h.server.HoldUntilBehind("ARTICLE 300", 7, row.holdMs);
        });
        EXPECT_EQ(o.result, static_cast<int>(row.stored.size()));
        EXPECT_EQ(o.commands, Sent({"501-1000", "1-500"}, row.sent));
        EXPECT_EQ(o.behind["XHDR Subject 501-1000"], row.xhdrBehind);
        EXPECT_EQ(o.behind["ARTICLE 300"], row.articleBehind);
        EXPECT_EQ(o.stored, row.stored);
    }
}

TEST(SearchRunPipelined, RefusedArticlesInAWindowShowTheSameMessages) {
    auto setup = [](Harness& h) {
        h.server.SetGroup(EightInTwoChunks());
        CopyField(h.request.maxArticles, "3");
        h.server.When("ARTICLE 300", Line("423 gone"));
        h.server.When("ARTICLE 1000", Line("430 no such article"));
    };
    const Strings fetch = {"SEARCH: Requesting matching articles...",
                           "SEARCH: Receiving article 1 of 3 requested...",
                           "SEARCH: Receiving article 1 of 3 requested...",
                           "Korvex: Article received",
                           "SEARCH: Receiving article 2 of 3 requested...",
                           "Korvex: Article received",
                           "SEARCH: Receiving article 3 of 3 requested...",
                           "SEARCH: Receiving article 3 of 3 requested...",
                           "Korvex: Article received",
                           "Finished receiving articles; Closing connection...",
                           "Korvex: Sorting articles...",
                           Success(3)};
    for (int window : {1, 2, KV_DEFAULT_PIPELINE}) {
        SCOPED_TRACE(window);
        Outcome o = RunWith(window, setup);
        EXPECT_EQ(o.result, 3);
        EXPECT_EQ(o.commands, Sent({"501-1000", "1-500"}, {300, 200, 100, 1000, 900}));
        ASSERT_GE(o.messages.size(), fetch.size());
        EXPECT_EQ(Strings(o.messages.end() - static_cast<long>(fetch.size()), o.messages.end()),
                  fetch);
        EXPECT_EQ(o.stored, (Numbers{200, 100, 900}));
    }
}

TEST(SearchRunPipelined, CommandBytesOutstandingStayWithinTheirBound) {
    // 1024 matches numbered 1000000..1001023, three chunks: every ARTICLE
    // command is 17 bytes, and 963 of them fit in 16 KB.
    Outcome o = RunWith(KV_MAX_PIPELINE, [](Harness& h) {
        h.server.SetGroup(Group(1000000, 1001023, {}, true));
        h.server.HoldUntilBehind("ARTICLE 1000023", 1023, 500);
    });
    EXPECT_EQ(o.result, 1024);
    // The matches of the last chunk scanned are fetched first.
    Numbers fetched = Down(1000023, 1000000);
    for (const Numbers& chunk : {Down(1000523, 1000024), Down(1001023, 1000524)})
        fetched.insert(fetched.end(), chunk.begin(), chunk.end());
    EXPECT_EQ(o.commands, Sent({"1000524-1001023", "1000024-1000523", "1000000-1000023"}, fetched));
    EXPECT_EQ(o.behind["ARTICLE 1000023"], 962);
}

// The run's clock moves on by a minute and a second when the n-th message
// with a given start is shown: the same moment in the run whatever the window.
struct ClockStep {
    const char* message;
    int nth;
};

TEST(SearchRunPipelined, TimeLimitEndsTheRunWithCommandsInFlight) {
    FakeGroup g = Group(1, 1000, {100, 900, 950, 980});
    g.articles.erase(950); // answered with 423
    struct Row {
        ClockStep step;
        int result;
        std::string status;
        Numbers singleSent, aheadSent; // ARTICLE commands
        bool scanExpired;
        Numbers stored;
    };
    const Numbers all = {100, 980, 950, 900};
    const std::string stopped = "WARNING: Search time expired, stopped.";
    const Row rows[] = {
        {{"Scanning headers... (50% done)", 1},
         -1,
         "WARNING: Search time expired, nothing found",
         {},
         {},
         true,
         {}},
        {{"Korvex: Article received", 1}, 1, Success(1), {100}, all, false, {100}},
        {{"Korvex: Article received", 2}, 2, Success(2), {100, 980}, all, false, {100, 980}},
        {{"Korvex: Article received", 3}, 3, Success(3), all, all, false, {100, 980, 900}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.step.message) + " #" + std::to_string(row.step.nth));
        std::map<int, Outcome> outcomes;
        for (int window : {1, KV_DEFAULT_PIPELINE}) {
            long long now = 5000;
            int seen = 0;
            outcomes[window] = RunWith(window, [&](Harness& h) {
                h.server.SetGroup(g);
                CopyField(h.request.timeLimit, "1");
                h.context.clock = [&now] { return now; };
                auto report = h.context.report;
                h.context.report = [&, report](const kvStatus& s) {
                    report(s);
                    if (std::string(s.text).rfind(row.step.message, 0) == 0 &&
                        ++seen == row.step.nth)
                        now += 61000;
                };
            });
        }
        const Outcome& single = outcomes[1];
        const Outcome& ahead = outcomes[KV_DEFAULT_PIPELINE];
        const Strings chunks = {"501-1000", "1-500"};
        EXPECT_EQ(single.commands,
                  row.scanExpired ? Sent({"501-1000"}) : Sent(chunks, row.singleSent));
        EXPECT_EQ(ahead.commands,
                  Sent(chunks, row.aheadSent)); // QUIT behind the commands in flight
        for (const Outcome* o : {&single, &ahead}) {
            EXPECT_EQ(o->result, row.result);
            EXPECT_EQ(o->status, row.status);
            EXPECT_EQ(o->stored, row.stored);
            if (row.result > 0) {
                EXPECT_EQ(o->messages.at(o->messages.size() - 3), stopped);
            }
        }
        EXPECT_EQ(ahead.messages, single.messages);
    }
}

TEST(SearchRunPipelined, LostConnectionAndStopWithCommandsInFlight) {
    const std::string lost5 = "ERROR: connection failure; 5 complete articles received";
    const std::string lost1 = "ERROR: connection failure; 1 complete articles received";
    struct Row {
        const char* name;
        std::function<void(Harness&)> setup;
        int result;
        std::string status;
        Strings singleSent, aheadSent;
        Numbers stored;
    };
    auto stopAt = [](const std::string& message) {
        return [message](Harness& h) {
            kvStopSignal& stop = h.context.stop;
            auto report = h.context.report;
            h.context.report = [&stop, report, message](const kvStatus& s) {
                report(s);
                if (message == s.text) stop.RequestStop();
            };
        };
    };
    const Row rows[] = {
        {"closed at the 6th article",
         [](Harness& h) { h.server.When("ARTICLE 12", FakeReply::Close()); }, 5, lost5,
         Sent({"10-17"}, Down(17, 12), false), Sent({"10-17"}, Down(17, 10), false), Down(17, 13)},
        {"closed within the 6th article",
         [](Harness& h) {
             h.server.When("ARTICLE 12",
                           FakeReply::Text("220 12 <12@x>\r\nSubject: a match\r\n").ThenClose());
         },
         5, lost5, Sent({"10-17"}, Down(17, 12), false), Sent({"10-17"}, Down(17, 10), false),
         Down(17, 13)},
        // The second article arrives with the first: the stop still comes before it.
        {"stopped after the first article",
         [&](Harness& h) {
             auto wire = [](int n) {
                 const std::string id = "<" + std::to_string(n) + "@fake.example>";
                 return "220 " + std::to_string(n) + " " + id + "\r\nSubject: a match\r\n" +
                        "Message-ID: " + id + "\r\n\r\nbody\r\n.\r\n";
             };
             h.server.When("ARTICLE 17", FakeReply::Text(wire(17) + wire(16)));
             h.server.When("ARTICLE 16", FakeReply{}); // answered already
             stopAt("Korvex: Article received")(h);
         },
         1,
         lost1,
         Sent({"10-17"}, {17, 16}, false),
         Sent({"10-17"}, Down(17, 10), false),
         {17}},
        {"stopped in the scan",
         [&](Harness& h) {
             h.server.SetGroup(Group(1, 1000, {5}));
             stopAt("Scanning headers... (50% done)")(h);
         },
         -1,
         "ERROR: Socket read failure",
         Sent({"501-1000", "1-500"}, {}, false),
         Sent({"501-1000", "1-500"}, {}, false),
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::map<int, Outcome> outcomes;
        for (int window : {1, KV_DEFAULT_PIPELINE}) {
            auto started = std::chrono::steady_clock::now();
            outcomes[window] = RunWith(window, [&](Harness& h) {
                h.request.timeoutSeconds = 30;              // a stop must not wait for it
                h.server.SetGroup(Group(10, 17, {}, true)); // the setup may set another
                row.setup(h);
            });
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        }
        EXPECT_EQ(outcomes[1].commands, row.singleSent);
        EXPECT_EQ(outcomes[KV_DEFAULT_PIPELINE].commands, row.aheadSent);
        for (auto& [window, o] : outcomes) {
            SCOPED_TRACE(window);
            EXPECT_EQ(o.result, row.result);
            EXPECT_EQ(o.status, row.status);
            EXPECT_EQ(o.stored, row.stored);
        }
        EXPECT_EQ(outcomes[KV_DEFAULT_PIPELINE].messages, outcomes[1].messages);
    }
}

TEST(SearchRunPipelined, ServerThatSendsEveryByteApart) {
    FakeGroup g = Group(1, 700, {5, 250, 480, 520, 690});
    g.articles[480] = FakeArticleText(480, "a match number 480", "line\n.dotted\n..two\n\nend\n");
    std::map<int, Outcome> outcomes;
    for (int window : {1, KV_DEFAULT_PIPELINE}) {
        SCOPED_TRACE(window);
        outcomes[window] = RunWith(window, [&](Harness& h) {
            h.server.SetGroup(g);
            h.server.SplitEveryByte();
        });
        const Outcome& o = outcomes[window];
        EXPECT_EQ(o.result, 5);
        EXPECT_EQ(o.status, Success(5));
        EXPECT_EQ(o.commands, Sent({"201-700", "1-200"}, {5, 690, 520, 480, 250}));
        EXPECT_EQ(o.stored, (Numbers{5, 690, 520, 480, 250}));
    }
    EXPECT_EQ(outcomes[KV_DEFAULT_PIPELINE].messages, outcomes[1].messages);
}

} // namespace
