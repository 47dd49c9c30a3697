// The whole search run against the scripted fake server: the exact commands
// sent, the return value, the status text, every message shown, and the result set.
#include "fake_nntp_server.h"
#include "search_run.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings Join(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One search against one fake server.
struct Harness {
    FakeNntpServer server;
    kvSearchRequest request;
    kvResultSet results;
    kvSearchContext context;
    std::vector<kvStatus> statuses; // texts point into `messages`
    Strings messages;
    Strings commands;
    int result = 0;

    Harness() {
        CopyField(request.server, server.address().c_str());
        CopyField(request.newsgroup, "alt.test");
        CopyField(request.pattern, "match");
        request.timeoutSeconds = 3;
        context.report = [this](const kvStatus& s) {
            messages.push_back(s.text);
            statuses.push_back(kvStatus{nullptr, s.phase, s.done, s.total});
        };
    }

    int Run() {
        server.Start();
        result = RunSearch(request, results, context);
        commands = server.Commands();
        return result;
    }

    std::string Status() const { return context.statusText; }

    // The messages shown from the first one that starts with `prefix` on.
    Strings MessagesFrom(const std::string& prefix) const {
        for (std::size_t i = 0; i < messages.size(); ++i)
            if (messages[i].compare(0, prefix.size(), prefix) == 0)
                return Strings(messages.begin() + static_cast<long>(i), messages.end());
        return {};
    }

    Strings ConnectMessages() const {
        return {"Korvex: Creating network connection...",
                "Korvex: Locating " + server.address() + "...",
                "Korvex: Connecting to " + server.address() + "..."};
    }
    Strings ToGroupMessages() const {
        return Join(ConnectMessages(), {"Korvex: Connected...", "Korvex: Selecting newsgroup..."});
    }

    // The article numbers of slots 0..count-1 (read back from their Message-IDs),
    // after checking that the chain visits the slots in order.
    std::vector<long> Stored(int count) const {
        std::vector<long> numbers;
        for (int i = 0; i < count; ++i) {
            const kvArticle* a = results.slots[i].get();
            if (a == nullptr) {
                ADD_FAILURE() << "slot " << i << " is empty";
                return numbers;
            }
            const kvArticle* expectedNext = i + 1 < count ? results.slots[i + 1].get() : nullptr;
            EXPECT_EQ(a->next, expectedNext) << "chain broken after slot " << i;
            numbers.push_back(std::atol(a->messageId + 1));
        }
        for (int i = count; i < KV_MAX_ARTICLES; ++i)
            EXPECT_EQ(results.slots[i], nullptr) << "slot " << i << " beyond the count is used";
        return numbers;
    }
};

// A group of articles first..last; the ones in `matching` carry "match" in
// their Subject and can be fetched, the others only have a header value.
FakeGroup Group(long first, long last, const std::set<long>& matching) {
    FakeGroup g;
    for (long n = first; n <= last; ++n) {
        bool hit = matching.count(n) > 0;
        g.headers[n] = (hit ? "a match number " : "nothing number ") + std::to_string(n);
        if (hit)
            g.articles[n] =
                FakeArticleText(n, g.headers[n], "Body of " + std::to_string(n) + ".\n");
    }
    return g;
}

std::set<long> Range(long first, long last) {
    std::set<long> s;
    for (long n = first; n <= last; ++n)
        s.insert(n);
    return s;
}

Strings Articles(std::initializer_list<long> numbers) {
    Strings out;
    for (long n : numbers)
        out.push_back("ARTICLE " + std::to_string(n));
    return out;
}

const Strings kToGroup = {"MODE READER", "GROUP alt.test"};

TEST(SearchRunFake, SuccessfulSearchShowsEveryStepAndStoresTheMatches) {
    Harness h;
    h.server.SetGreeting(FakeReply::Text("201 news.example ready, no posting\r\n"));
    FakeGroup g = Group(10, 12, {10, 12});
    g.headers[12] = "Third MATCH in capitals"; // ignoreCase 1: case does not matter
    g.articles[12] = FakeArticleText(12, "Third MATCH in capitals", "line one\n.dotted\n\nlast\n");
    h.server.SetGroup(g);

    ASSERT_EQ(h.Run(), 2);
    EXPECT_EQ(h.commands,
              Join(kToGroup, {"XHDR Subject 10-12", "ARTICLE 12", "ARTICLE 10", "QUIT"}));
    EXPECT_EQ(h.messages,
              Join(h.ToGroupMessages(),
                   {"SEARCH: 3 articles in this group; requesting headers...",
                    "Scanning headers... (100% done)", "SEARCH: Requesting matching articles...",
                    "SEARCH: Receiving article 1 of 2 found...", "Korvex: Article received",
                    "SEARCH: Receiving article 2 of 2 found...", "Korvex: Article received",
                    "Finished receiving articles; Closing connection...",
                    "Korvex: Sorting articles...", "SUCCESS: 2 articles received"}));
    EXPECT_EQ(h.Status(), "SUCCESS: 2 articles received");
    EXPECT_EQ(h.context.groupArticleCount, 3);

    EXPECT_EQ(h.Stored(2), (std::vector<long>{12, 10}));
    const kvArticle& a = *h.results.slots[0];
    EXPECT_STREQ(a.subject, "Third MATCH in capitals");
    EXPECT_STREQ(a.from, "Poster 12 <p12@example.org>");
    EXPECT_STREQ(a.newsgroups, "alt.test");
    EXPECT_STREQ(a.organization, KV_NONE);
    EXPECT_EQ(a.lines, 4);
    ASSERT_NE(a.body, nullptr);
    EXPECT_STREQ(a.body.get(), "line one\n.dotted\n\nlast\n"); // LF ends, dot-stuffing undone
    ASSERT_NE(h.results.slots[1]->body, nullptr);
    EXPECT_STREQ(h.results.slots[1]->body.get(), "Body of 10.\n");

    // The progress numbers travel with the texts.
    ASSERT_EQ(h.statuses.size(), h.messages.size());
    EXPECT_EQ(h.statuses[6].phase, kvPhase::HeaderScan);
    EXPECT_EQ(h.statuses[6].done, 100);
    EXPECT_EQ(h.statuses[8].phase, kvPhase::Fetch);
    EXPECT_EQ(h.statuses[8].done, 1);
    EXPECT_EQ(h.statuses[8].total, 2);
}

TEST(SearchRunFake, GreetingDecidesWhetherTheSearchGoesOn) {
    struct GreetingCase {
        FakeReply greeting;
        int result;
        const char* status;
        Strings commands;
    };
    const Strings noMatches = Join(kToGroup, {"XHDR Subject 10-12", "QUIT"});
    const GreetingCase cases[] = {
        {FakeReply::Text("200 ready\r\n"), 0, "SEARCH: No matching articles found", noMatches},
        {FakeReply::Text("201 ready, no posting\r\n"), 0, "SEARCH: No matching articles found",
         noMatches},
        {FakeReply::Pieces({"2", "00 ready in", " pieces\r", "\n"}), 0,
         "SEARCH: No matching articles found", noMatches},
        {FakeReply::Text("502 you may not talk to me\r\n"),
         -1,
         "ERROR: Not permitted to talk to this server",
         {}},
        {FakeReply::Text("400 service discontinued\r\n"),
         -1,
         "ERROR: NNTP-server not responding",
         {}},
        {FakeReply::Text("hello\r\n"), -1, "ERROR: NNTP-server not responding", {}},
        {FakeReply::Close(), -1, "ERROR: Timeout expired, no response from server", {}},
        {FakeReply::Reset(), -1, "ERROR: Socket read failure", {}},
    };
    for (const GreetingCase& c : cases) {
        SCOPED_TRACE(c.status + std::string(" / ") +
                     (c.greeting.pieces.empty() ? "no greeting" : c.greeting.pieces[0]));
        Harness h;
        h.server.SetGreeting(c.greeting);
        h.server.SetGroup(Group(10, 12, {}));
        EXPECT_EQ(h.Run(), c.result);
        EXPECT_EQ(h.Status(), c.status);
        EXPECT_EQ(h.commands, c.commands);
        if (c.result < 0) {
            EXPECT_EQ(h.messages, h.ConnectMessages());
        }
        EXPECT_EQ(h.results.first(), nullptr);
    }
}

TEST(SearchRunFake, SilentServerTimesOutAtTheGreeting) {
    Harness h;
    h.request.timeoutSeconds = 1;
    h.server.SetSilentGreeting();
    EXPECT_EQ(h.Run(), -1);
    EXPECT_EQ(h.Status(), "ERROR: Timeout expired, no response from server");
    EXPECT_EQ(h.messages, h.ConnectMessages());
    EXPECT_TRUE(h.commands.empty());
}

TEST(SearchRunFake, GroupReplies) {
    struct GroupCase {
        FakeReply reply;
        const char* status;
        bool quit;
        long groupCount; // -7: left as it was
    };
    const GroupCase cases[] = {
        {FakeReply::Text("411 no such news group\r\n"), "ERROR: No such group on server", true, -7},
        {FakeReply::Text("480 authentication required\r\n"), "ERROR: GROUP command error", true,
         -7},
        {FakeReply::Text("211 0 0 0 alt.test\r\n"), "SEARCH: No articles in this group on server",
         true, 0},
        {FakeReply::Pieces({"211 0 0", " 0 alt.test\r\n"}),
         "SEARCH: No articles in this group on server", true, 0},
        {FakeReply::Text("211 abc\r\n"), "ERROR: GROUP command error", true, -7},
        {FakeReply::Text("211 5 1\r\n"), "ERROR: GROUP command error", true, -7},
        {FakeReply::Text("211\r\n"), "ERROR: GROUP command error", true, -7},
        {FakeReply::Close(), "ERROR: Timeout expired, no response from server", false, -7},
        {FakeReply::Reset(), "ERROR: Socket read failure", false, -7},
    };
    for (const GroupCase& c : cases) {
        SCOPED_TRACE(c.reply.pieces.empty() ? std::string("connection ends") : c.reply.pieces[0]);
        Harness h;
        h.context.groupArticleCount = -7;
        h.server.When("GROUP alt.test", c.reply);
        EXPECT_EQ(h.Run(), -1);
        EXPECT_EQ(h.Status(), c.status);
        EXPECT_EQ(h.commands, c.quit ? Join(kToGroup, {"QUIT"}) : kToGroup);
        EXPECT_EQ(h.messages, h.ToGroupMessages());
        EXPECT_EQ(h.context.groupArticleCount, c.groupCount);
    }
}

// Article numbers beyond 31 bits would overflow the chunk arithmetic and keep
// the scan going practically forever; such a reply is refused. The fake server
// stops the run after 20 requests so that a regression fails instead of hanging.
TEST(SearchRunFake, ExtremeArticleNumbersAreAGroupError) {
    const char* replies[] = {
        "211 5 -9223372036854775807 9223372036854775807 alt.test\r\n",
        "211 5 -9223372036854775700 -9223372036854775600 alt.test\r\n",
        "211 5 1 99999999999999999999 alt.test\r\n",
    };
    for (const char* reply : replies) {
        SCOPED_TRACE(reply);
        Harness h;
        h.server.When("GROUP alt.test", FakeReply::Text(reply));
        h.server.When("XHDR*", FakeReply::Text("221 none\r\n.\r\n"));
        std::atomic<int> requests{0};
        kvStopSignal& stop = h.context.stop;
        h.server.OnCommand("XHDR*", [&requests, &stop] {
            if (++requests == 20) stop.RequestStop();
        });
        EXPECT_EQ(h.Run(), -1);
        EXPECT_EQ(requests.load(), 0);
        EXPECT_EQ(h.Status(), "ERROR: GROUP command error");
    }
}

TEST(SearchRunFake, ModeReaderReplyIsIgnored) {
    for (FakeReply reply : {FakeReply::Text("500 what?\r\n"), FakeReply::Text("200 ok\r\n")}) {
        Harness h;
        h.server.When("MODE READER", reply);
        h.server.SetGroup(Group(10, 12, {11}));
        EXPECT_EQ(h.Run(), 1);
        EXPECT_EQ(h.commands, Join(kToGroup, {"XHDR Subject 10-12", "ARTICLE 11", "QUIT"}));
    }
}

TEST(SearchRunFake, HeadersAreRequestedInChunksFromTheNewest) {
    struct ChunkCase {
        long first, last;
        const char* maxHeaders;
        const char* header;
        Strings ranges;
        std::vector<int> percents;
    };
    const ChunkCase cases[] = {
        {1, 1000, "4000", "Subject", {"501-1000", "1-500"}, {50, 100}},
        {1, 1000, "all", "Subject", {"501-1000", "1-500"}, {50, 100}},
        {1, 1000, "700", "Subject", {"501-1000", "301-500"}, {72, 100}},
        {1, 1000, "500", "Subject", {"501-1000"}, {100}},
        {1, 1000, "501", "Subject", {"501-1000", "500-500"}, {100, 100}},
        {1, 1200, "0", "Subject", {"701-1200", "201-700", "1-200"}, {42, 84, 100}},
        {10, 12, "4000", "Subject", {"10-12"}, {100}},
        {10, 12, "4000", "Message-ID", {"10-12"}, {100}},
        {7, 7, "1", "From", {"7-7"}, {100}},
    };
    for (const ChunkCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + "-" + std::to_string(c.last) + " limit " +
                     c.maxHeaders);
        Harness h;
        CopyField(h.request.maxHeaders, c.maxHeaders);
        CopyField(h.request.header, c.header);
        h.server.SetGroup(Group(c.first, c.last, {}));
        EXPECT_EQ(h.Run(), 0);
        EXPECT_EQ(h.Status(), "SEARCH: No matching articles found");
        Strings expected = kToGroup;
        for (const std::string& r : c.ranges)
            expected.push_back(std::string("XHDR ") + c.header + " " + r);
        expected.push_back("QUIT");
        EXPECT_EQ(h.commands, expected);
        Strings progress;
        for (int p : c.percents)
            progress.push_back("Scanning headers... (" + std::to_string(p) + "% done)");
        EXPECT_EQ(h.MessagesFrom("SEARCH: "),
                  Join({"SEARCH: " + std::to_string(c.last - c.first + 1) +
                        " articles in this group; requesting headers..."},
                       progress));
    }
}

TEST(SearchRunFake, LinesBeyondTheHeaderLimitAreNotExamined) {
    // A server that lists more lines than asked for: once 700 lines have been
    // examined the rest of the chunk is read but not matched, and the scan ends.
    Harness h;
    CopyField(h.request.maxHeaders, "700");
    FakeGroup g = Group(1, 1000, {700, 701});
    std::string list = "221 Subject fields follow\r\n";
    for (long n = 1; n <= 800; ++n)
        list += std::to_string(n) + " " + (n == 700 || n == 701 ? "match" : "other") + "\r\n";
    h.server.When("XHDR Subject 501-1000", FakeReply::Text(list + ".\r\n"));
    h.server.SetGroup(g);
    EXPECT_EQ(h.Run(), 1);
    EXPECT_EQ(h.commands, Join(kToGroup, {"XHDR Subject 501-1000", "ARTICLE 700", "QUIT"}));
}

TEST(SearchRunFake, HeaderListFailures) {
    struct ListCase {
        FakeReply reply;
        const char* status;
        bool quit;
    };
    const ListCase cases[] = {
        {FakeReply::Text("500 command not recognized\r\n"), "ERROR requesting article headers",
         true},
        {FakeReply::Pieces({"41", "2 no newsgroup selected\r\n"}),
         "ERROR requesting article headers", true},
        {FakeReply::Text("221 ok\r\n1 a match\r\n").ThenClose(),
         "ERROR: Timeout expired, no response from server", false},
        {FakeReply::Text("221 ok\r\n1 a match\r\n").ThenReset(), "ERROR: Socket read failure",
         false},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.status);
        Harness h;
        // The first chunk is fine and has matches; the second one fails, and
        // nothing is fetched.
        h.server.When("XHDR Subject 1-500", c.reply);
        h.server.SetGroup(Group(1, 1000, {600, 700}));
        EXPECT_EQ(h.Run(), -1);
        EXPECT_EQ(h.Status(), c.status);
        Strings expected = Join(kToGroup, {"XHDR Subject 501-1000", "XHDR Subject 1-500"});
        if (c.quit) expected.push_back("QUIT");
        EXPECT_EQ(h.commands, expected);
        EXPECT_EQ(h.MessagesFrom("Scanning"), Strings{"Scanning headers... (50% done)"});
        EXPECT_EQ(h.results.first(), nullptr);
    }
}

TEST(SearchRunFake, SlowServerFailsOnlyWhenOneWaitIsTooLong) {
    // With a 1-second time-out, a header list that takes 1.05 s in all but
    // never leaves the client waiting a whole second is received.
    Harness h;
    h.request.timeoutSeconds = 1;
    h.server.SetGroup(Group(10, 12, {11}));
    h.server.When("GROUP alt.test", FakeReply::Text("211 3 10 12 alt.test\r\n").Delay(300));
    h.server.When("XHDR Subject 10-12",
                  FakeReply::Pieces({"221 Subject fields follow\r\n",
                                     "10 nothing\r\n11 a match\r\n", "12 nothing\r\n", ".\r\n"},
                                    350));
    EXPECT_EQ(h.Run(), 1);
    EXPECT_EQ(h.commands, Join(kToGroup, {"XHDR Subject 10-12", "ARTICLE 11", "QUIT"}));
}

TEST(SearchRunFake, EachSearchUsesAConnectionOfItsOwn) {
    Harness h;
    h.server.SetGroup(Group(10, 12, {11}));
    EXPECT_EQ(h.Run(), 1);
    // A second search on the same server, from a fresh context and result set.
    kvResultSet second;
    kvSearchContext context;
    EXPECT_EQ(RunSearch(h.request, second, context), 1);
    EXPECT_STREQ(context.statusText, "SUCCESS: 1 articles received");
    const Strings one = Join(kToGroup, {"XHDR Subject 10-12", "ARTICLE 11", "QUIT"});
    EXPECT_EQ(h.server.Commands(), Join(one, one));
    EXPECT_EQ(h.server.ConnectionCount(), 2);
}

TEST(SearchRunFake, MatchesAreFetchedInReverseOrderOfCollection) {
    Harness h;
    h.server.SetGroup(Group(1, 1000, {100, 200, 600, 900}));
    EXPECT_EQ(h.Run(), 4);
    EXPECT_EQ(h.commands, Join(kToGroup, Join({"XHDR Subject 501-1000", "XHDR Subject 1-500"},
                                              Join(Articles({200, 100, 900, 600}), {"QUIT"}))));
    // Different subjects: the grouping leaves the fetch order.
    EXPECT_EQ(h.Stored(4), (std::vector<long>{200, 100, 900, 600}));
    EXPECT_EQ(h.Status(), "SUCCESS: 4 articles received");
}

TEST(SearchRunFake, UnusableArticlesArePassedOverSilently) {
    struct PassCase {
        const char* name;
        FakeReply reply; // for ARTICLE 11
    };
    const PassCase cases[] = {
        {"423 refusal", FakeReply::Text("423 no such article number in this group\r\n")},
        {"430 refusal in pieces", FakeReply::Pieces({"430 no such", " article\r\n"})},
        {"no blank line after the headers",
         FakeReply::Text(
             "220 11 <11@fake.example>\r\nSubject: a match\r\nFrom: x\r\nbody?\r\n.\r\n")},
        {"headers only, no line end", FakeReply::Text("220 11 <11@fake.example>\r\n.\r\n")},
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.server.When("ARTICLE 11", c.reply);
        h.server.SetGroup(Group(10, 12, {10, 11, 12}));
        EXPECT_EQ(h.Run(), 2);
        EXPECT_EQ(h.commands, Join(kToGroup, {"XHDR Subject 10-12", "ARTICLE 12", "ARTICLE 11",
                                              "ARTICLE 10", "QUIT"}));
        EXPECT_EQ(h.MessagesFrom("SEARCH: Requesting"),
                  (Strings{"SEARCH: Requesting matching articles...",
                           "SEARCH: Receiving article 1 of 3 found...", "Korvex: Article received",
                           "SEARCH: Receiving article 2 of 3 found...",
                           "SEARCH: Receiving article 2 of 3 found...", "Korvex: Article received",
                           "Finished receiving articles; Closing connection...",
                           "Korvex: Sorting articles...", "SUCCESS: 2 articles received"}));
        EXPECT_EQ(h.Stored(2), (std::vector<long>{12, 10}));
    }
}

TEST(SearchRunFake, EveryArticlePassedOverReturnsZero) {
    Harness h;
    h.server.When("ARTICLE*", FakeReply::Text("423 gone\r\n"));
    h.server.SetGroup(Group(10, 12, {10, 12}));
    EXPECT_EQ(h.Run(), 0);
    EXPECT_EQ(h.commands,
              Join(kToGroup, {"XHDR Subject 10-12", "ARTICLE 12", "ARTICLE 10", "QUIT"}));
    EXPECT_EQ(h.Status(), "Finished receiving articles; Closing connection...");
    EXPECT_EQ(h.messages.back(), "Finished receiving articles; Closing connection...");
}

TEST(SearchRunFake, ArticleWithNothingAfterItsBlankLineHasNoBody) {
    Harness h;
    FakeGroup g = Group(10, 10, {10});
    g.articles[10] = "Subject: a match\nFrom: f\n\n";
    h.server.SetGroup(g);
    ASSERT_EQ(h.Run(), 1);
    EXPECT_STREQ(h.results.slots[0]->subject, "a match");
    EXPECT_EQ(h.results.slots[0]->body, nullptr);
    EXPECT_EQ(h.results.slots[0]->lines, -1);
}

TEST(SearchRunFake, ArticleLimitDecidesTheProgressWording) {
    struct LimitCase {
        int matches;
        const char* maxArticles;
        int stored;
        std::string first, last;
    };
    const LimitCase cases[] = {
        {30, "10", 10, "SEARCH: Receiving article 1 of 10 requested...",
         "SEARCH: Receiving article 10 of 10 requested..."},
        {3, "all", 3, "SEARCH: Receiving article 1 of 3 found...",
         "SEARCH: Receiving article 3 of 3 found..."},
        {3, "3", 3, "SEARCH: Receiving article 1 of 3 found...",
         "SEARCH: Receiving article 3 of 3 found..."},
        {4, "3", 3, "SEARCH: Receiving article 1 of 3 requested...",
         "SEARCH: Receiving article 3 of 3 requested..."},
        {3, "0", 3, "SEARCH: Receiving article 1 of 3 found...",
         "SEARCH: Receiving article 3 of 3 found..."},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.matches) + " matches, limit " + c.maxArticles);
        Harness h;
        CopyField(h.request.maxArticles, c.maxArticles);
        h.server.SetGroup(Group(1, c.matches, Range(1, c.matches)));
        EXPECT_EQ(h.Run(), c.stored);
        Strings expected = Join(kToGroup, {"XHDR Subject 1-" + std::to_string(c.matches)});
        for (int n = c.matches; n > c.matches - c.stored; --n)
            expected.push_back("ARTICLE " + std::to_string(n));
        expected.push_back("QUIT");
        EXPECT_EQ(h.commands, expected);
        Strings receiving;
        for (const std::string& m : h.messages)
            if (m.rfind("SEARCH: Receiving", 0) == 0) receiving.push_back(m);
        ASSERT_EQ(receiving.size(), static_cast<std::size_t>(c.stored));
        EXPECT_EQ(receiving.front(), c.first);
        EXPECT_EQ(receiving.back(), c.last);
        EXPECT_EQ(h.Status(), "SUCCESS: " + std::to_string(c.stored) + " articles received");
    }
}

TEST(SearchRunFake, NeverStoresMoreThanTheResultSetHolds) {
    Harness h;
    CopyField(h.request.maxArticles, "5000");
    h.server.SetGroup(Group(1, 1100, Range(1, 1100)));
    ASSERT_EQ(h.Run(), KV_MAX_ARTICLES);
    EXPECT_EQ(h.Stored(KV_MAX_ARTICLES).size(), static_cast<std::size_t>(KV_MAX_ARTICLES));
    int fetched = 0;
    for (const std::string& c : h.commands)
        if (c.rfind("ARTICLE ", 0) == 0) ++fetched;
    EXPECT_EQ(fetched, KV_MAX_ARTICLES);
    EXPECT_EQ(h.commands.back(), "QUIT");
    // A setting above 1024 may be lowered to 1024 or simply stop the fetch
    // there; the wording of the progress follows from that choice.
    const std::string first = h.MessagesFrom("SEARCH: Receiving").at(0);
    EXPECT_TRUE(first == "SEARCH: Receiving article 1 of 1024 requested..." ||
                first == "SEARCH: Receiving article 1 of 1100 found...")
        << first;
    EXPECT_EQ(h.Status(), "SUCCESS: 1024 articles received");
}

TEST(SearchRunFake, ConnectionLostWhileFetchingKeepsTheCompleteArticles) {
    struct DropCase {
        long dropAt; // the article whose request ends the connection
        FakeReply how;
        int stored;
        const char* status;
    };
    const DropCase cases[] = {
        {12, FakeReply::Close(), 5, "ERROR: connection failure; 5 complete articles received"},
        {12, FakeReply::Reset(), 5, "ERROR: connection failure; 5 complete articles received"},
        {12, FakeReply::Text("220 12 <12@fake.example>\r\nSubject: a match\r\n").ThenClose(), 5,
         "ERROR: connection failure; 5 complete articles received"},
        {17, FakeReply::Close(), 0, "ERROR: Timeout expired, no response from server"},
        {17, FakeReply::Reset(), 0, "ERROR: Socket read failure"},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.status);
        Harness h;
        h.server.When("ARTICLE " + std::to_string(c.dropAt), c.how);
        h.server.SetGroup(Group(10, 17, Range(10, 17)));
        EXPECT_EQ(h.Run(), c.stored);
        Strings expected = Join(kToGroup, {"XHDR Subject 10-17"});
        for (long n = 17; n >= c.dropAt; --n)
            expected.push_back("ARTICLE " + std::to_string(n));
        EXPECT_EQ(h.commands, expected); // no QUIT after a failed receive
        EXPECT_EQ(h.Status(), c.status);
        if (c.stored > 0) {
            EXPECT_EQ(h.MessagesFrom("SEARCH: Receiving article 6"),
                      (Strings{"SEARCH: Receiving article 6 of 8 found...",
                               "Korvex: Sorting articles...", c.status}));
            EXPECT_EQ(h.Stored(c.stored), (std::vector<long>{17, 16, 15, 14, 13}));
        } else {
            EXPECT_EQ(h.messages.back(), "SEARCH: Receiving article 1 of 8 found...");
            EXPECT_EQ(h.results.first(), nullptr);
        }
    }
}

TEST(SearchRunFake, LongArticleIsCutWithTheWarningAtTheEndOfItsBody) {
    std::string body;
    std::vector<std::string> lines;
    for (int i = 0; body.size() < 40000; ++i) {
        std::string line = "Body line " + std::to_string(i) + " ";
        line.resize(63, '-');
        lines.push_back(line + "\n");
        body += lines.back();
    }
    Harness h;
    FakeGroup g = Group(5, 5, {5});
    g.articles[5] = FakeArticleText(5, "a long match", body);
    h.server.SetGroup(g);
    ASSERT_EQ(h.Run(), 1);
    ASSERT_NE(h.results.slots[0]->body, nullptr);
    const std::string stored = h.results.slots[0]->body.get();
    const std::string warning =
        "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";
    ASSERT_GT(stored.size(), warning.size());
    EXPECT_EQ(stored.substr(stored.size() - warning.size()), warning);
    EXPECT_EQ(stored.find('\r'), std::string::npos);
    // Whole lines from the start, in order; the cut falls somewhere after 30719
    // bytes of the response, at most one receive later.
    const std::string kept = stored.substr(0, stored.size() - warning.size());
    std::size_t whole = 0, at = 0;
    while (whole < lines.size() && kept.compare(at, lines[whole].size(), lines[whole]) == 0)
        at += lines[whole++].size();
    EXPECT_EQ(at, kept.size()) << "kept text is not a run of whole lines from the start";
    EXPECT_GT(kept.size(), 30719u - 300u); // less the status line and header block
    EXPECT_LT(kept.size(), 30719u + 2048u);
    EXPECT_LT(whole, lines.size());
    EXPECT_STREQ(h.results.slots[0]->subject, "a long match");
}

TEST(SearchRunFake, SubjectsAreGroupedInTheFinalSet) {
    // Fetched newest first: 14 P, 13 Q, 12 Re: P, 11 S, 10 P.
    Harness h;
    CopyField(h.request.pattern, "kv");
    FakeGroup g;
    const char* subjects[] = {"P kv", "S kv", "Re: P kv", "Q kv", "P kv"};
    for (long n = 10; n <= 14; ++n) {
        g.headers[n] = subjects[n - 10];
        g.articles[n] = FakeArticleText(n, subjects[n - 10], "text\n");
    }
    h.server.SetGroup(g);
    ASSERT_EQ(h.Run(), 5);
    EXPECT_EQ(h.commands, Join(kToGroup, Join({"XHDR Subject 10-14"},
                                              Join(Articles({14, 13, 12, 11, 10}), {"QUIT"}))));
    EXPECT_EQ(h.Stored(5), (std::vector<long>{14, 12, 10, 11, 13})); // P, Re: P, P, S, Q
}

TEST(SearchRunFake, OddHeaderLinesDoNotDisturbTheScan) {
    Harness h;
    FakeGroup g = Group(10, 15, {11, 12, 14});
    const std::string longSubject = "match " + std::string(2000, 'a');
    g.articles[11] = FakeArticleText(11, longSubject, "x\n");
    h.server.SetGroup(g);
    std::string list = "221 Subject fields follow\r\n";
    list += "10\r\n";                                     // no blank, no value
    list += "11 " + longSubject + "\r\n";                 // a match near the start
    list += "12 " + std::string(600, 'b') + " match\r\n"; // a match past 511 bytes
    list += "13nothing\r\n";                              // no blank
    list += "14 match\r\n";
    list += "15 \r\n"; // an empty value
    h.server.When("XHDR Subject 10-15", FakeReply::Text(list + ".\r\n"));
    EXPECT_EQ(h.Run(), 2);
    EXPECT_EQ(h.commands,
              Join(kToGroup, {"XHDR Subject 10-15", "ARTICLE 14", "ARTICLE 11", "QUIT"}));
    EXPECT_EQ(h.Stored(2), (std::vector<long>{14, 11}));
    EXPECT_EQ(std::string(h.results.slots[1]->subject), longSubject.substr(0, KV_FIELD_SIZE - 1));
}

TEST(SearchRunFake, TimeLimitDuringTheHeaderScan) {
    struct ScanClockCase {
        const char* name;
        const char* timeLimit;
        std::string when; // the command whose arrival moves the clock on
        long long advanceMs;
        int result;
        Strings ranges;
    };
    const ScanClockCase cases[] = {
        {"61 s after the first chunk", "1", "XHDR Subject 501-1000", 61000, -1, {"501-1000"}},
        {"connecting counts against the limit", "1", "GROUP alt.test", 61000, -1, {"501-1000"}},
        {"60.999 s is not past one minute",
         "1",
         "XHDR Subject 501-1000",
         60999,
         2,
         {"501-1000", "1-500"}},
        {"two minutes", "2", "XHDR Subject 501-1000", 120999, 2, {"501-1000", "1-500"}},
        {"past two minutes", "2", "XHDR Subject 501-1000", 121000, -1, {"501-1000"}},
        {"no limit", "any", "XHDR Subject 501-1000", 9000000, 2, {"501-1000", "1-500"}},
        {"zero minutes is no limit",
         "0",
         "XHDR Subject 501-1000",
         9000000,
         2,
         {"501-1000", "1-500"}},
    };
    for (const ScanClockCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        std::atomic<long long> now{5000};
        h.context.clock = [&now] { return now.load(); };
        CopyField(h.request.timeLimit, c.timeLimit);
        h.server.SetGroup(Group(1, 1000, {100, 900}));
        const long long advance = c.advanceMs;
        h.server.OnCommand(c.when, [&now, advance] { now += advance; });
        EXPECT_EQ(h.Run(), c.result);
        Strings expected = kToGroup;
        for (const std::string& r : c.ranges)
            expected.push_back("XHDR Subject " + r);
        if (c.result > 0) expected = Join(expected, Articles({100, 900}));
        expected.push_back("QUIT");
        EXPECT_EQ(h.commands, expected);
        if (c.result < 0) {
            // Matches found so far are dropped; the warning is left for the caller to show.
            EXPECT_EQ(h.Status(), "WARNING: Search time expired, nothing found");
            EXPECT_EQ(h.messages.back(), "Scanning headers... (50% done)");
            EXPECT_EQ(h.results.first(), nullptr);
        } else {
            EXPECT_EQ(h.Status(), "SUCCESS: 2 articles received");
        }
    }
}

TEST(SearchRunFake, TimeLimitDuringTheFetchKeepsWhatArrived) {
    struct FetchClockCase {
        const char* name;
        std::string when; // the command whose arrival moves the clock past the limit
        Strings articles; // the ARTICLE commands sent
        std::vector<long> stored;
        bool expired;
    };
    const FetchClockCase cases[] = {
        {"expires with the second article", "ARTICLE 12", Articles({13, 12}), {13, 12}, true},
        {"a refused article is not followed by a time check",
         "ARTICLE 11",
         Articles({13, 12, 11, 10}),
         {13, 12, 10},
         true},
        {"expires with the last article",
         "ARTICLE 10",
         Articles({13, 12, 11, 10}),
         {13, 12, 10},
         true},
    };
    for (const FetchClockCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        std::atomic<long long> now{0};
        h.context.clock = [&now] { return now.load(); };
        CopyField(h.request.timeLimit, "1");
        FakeGroup g = Group(10, 13, Range(10, 13));
        g.articles.erase(11); // answered with 423
        h.server.SetGroup(g);
        h.server.OnCommand(c.when, [&now] { now = 61000; });
        const int stored = static_cast<int>(c.stored.size());
        EXPECT_EQ(h.Run(), stored);
        EXPECT_EQ(h.commands,
                  Join(kToGroup, Join({"XHDR Subject 10-13"}, Join(c.articles, {"QUIT"}))));
        EXPECT_EQ(h.Stored(stored), c.stored);
        const std::string success = "SUCCESS: " + std::to_string(stored) + " articles received";
        EXPECT_EQ(h.MessagesFrom("WARNING"), (Strings{"WARNING: Search time expired, stopped.",
                                                      "Korvex: Sorting articles...", success}));
        EXPECT_EQ(h.Status(), success);
    }
}

TEST(SearchRunFake, StopRequestEndsTheRunPromptly) {
    Harness h;
    h.request.timeoutSeconds = 60;
    h.server.SetGroup(Group(10, 12, {11}));
    h.server.When("XHDR*", FakeReply::Silent());
    kvStopSignal& stop = h.context.stop;
    h.server.OnCommand("XHDR*", [&stop] { stop.RequestStop(); });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(h.Run(), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_EQ(h.Status(), "ERROR: Socket read failure");
    EXPECT_EQ(h.commands, Join(kToGroup, {"XHDR Subject 10-12"}));
}

// A server name of 511 characters that still reaches the fake server:
// "127.0.0." then the last part with hundreds of leading zeros (an octal 1).
std::string LongLoopbackName(int port) {
    std::string tail = ":" + std::to_string(port);
    std::string name = "127.0.0.";
    name += std::string(KV_FIELD_SIZE - 1 - name.size() - 1 - tail.size(), '0');
    return name + "1" + tail;
}

TEST(SearchRunFake, LongServerNameIsCutInTheProgressMessages) {
    Harness h;
    const std::string name = LongLoopbackName(h.server.port());
    ASSERT_EQ(name.size(), static_cast<std::size_t>(KV_FIELD_SIZE - 1));
    CopyField(h.request.server, name.c_str());
    h.server.SetGroup(Group(10, 12, {}));
    EXPECT_EQ(h.Run(), 0);
    EXPECT_EQ(h.commands, Join(kToGroup, {"XHDR Subject 10-12", "QUIT"}));
    ASSERT_GE(h.messages.size(), 3u);
    for (const std::string prefix : {"Korvex: Locating ", "Korvex: Connecting to "}) {
        SCOPED_TRACE(prefix);
        const std::string m = h.MessagesFrom(prefix).at(0);
        EXPECT_EQ(m.size(), static_cast<std::size_t>(KV_STATUS_SIZE - 1));
        EXPECT_EQ(m.substr(0, prefix.size()), prefix);
        EXPECT_EQ(m.substr(m.size() - 3), "...");
        EXPECT_EQ(m.substr(prefix.size(), m.size() - prefix.size() - 3),
                  name.substr(0, m.size() - prefix.size() - 3));
    }
}

TEST(SearchRunFake, ServerThatCannotBeReached) {
    // A port that is bound but not listening refuses the connection.
    int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    const std::string closedPort = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));

    // A first label longer than 63 characters cannot be put into a DNS query,
    // so the resolver fails without sending anything off this machine.
    const std::string unresolvable = "no-such-host-" + std::string(60, 'x') + ".invalid";
    struct ReachCase {
        std::string server;
        const char* status;
        bool located;
    };
    const ReachCase cases[] = {
        {closedPort, "ERROR: Can't connect to server", true},
        {unresolvable, "ERROR: Host not found", false},
        {"127.0.0.1:0", "ERROR: Host not found", false},
        {"127.0.0.1:70000", "ERROR: Host not found", false},
        {"[::1", "ERROR: Host not found", false},
    };
    for (const ReachCase& c : cases) {
        SCOPED_TRACE(c.server);
        kvSearchRequest request;
        CopyField(request.server, c.server.c_str());
        CopyField(request.newsgroup, "alt.test");
        CopyField(request.pattern, "match");
        kvResultSet results;
        kvSearchContext context;
        Strings messages;
        context.report = [&messages](const kvStatus& s) { messages.push_back(s.text); };
        EXPECT_EQ(RunSearch(request, results, context), -1);
        EXPECT_STREQ(context.statusText, c.status);
        Strings expected = {"Korvex: Creating network connection...",
                            "Korvex: Locating " + c.server + "..."};
        if (c.located) expected.push_back("Korvex: Connecting to " + c.server + "...");
        EXPECT_EQ(messages, expected);
    }
    close(holder);
}

} // namespace
