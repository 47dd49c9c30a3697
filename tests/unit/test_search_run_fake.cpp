// The whole search run against the scripted fake server: the exact commands
// sent, the return value, the status text, the messages shown, the result set.
#include "search_run_harness.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace korvex_test;

TEST(SearchRunFake, SuccessfulSearchShowsEveryStepAndStoresTheMatches) {
    Harness h;
    h.server.SetGreeting(Line("201 news.example ready, no posting"));
    h.server.When("MODE READER", Line("500 what?")); // its reply does not matter
    FakeGroup g = Group(10, 12, {10, 12});
    g.headers[12] = "Third MATCH in capitals";
    g.articles[12] = FakeArticleText(12, "Third MATCH in capitals", "line one\n.dotted\n\nlast\n");
    g.articles[10] = "Subject: a match\nMessage-ID: <10@x>\n\n";
    h.server.SetGroup(g);

    ASSERT_EQ(h.Run(), 2);
    EXPECT_EQ(h.commands, Sent({"10-12"}, {12, 10}));
    EXPECT_EQ(h.messages,
              (Strings{"Korvex: Creating network connection...", "Korvex: Locating *...",
                       "Korvex: Connecting to *...", "Korvex: Connected...",
                       "Korvex: Selecting newsgroup...",
                       "SEARCH: 3 articles in this group; requesting headers...",
                       "Scanning headers... (100% done)", "SEARCH: Requesting matching articles...",
                       "SEARCH: Receiving article 1 of 2 found...", "Korvex: Article received",
                       "SEARCH: Receiving article 2 of 2 found...", "Korvex: Article received",
                       "Finished receiving articles; Closing connection...",
                       "Korvex: Sorting articles...", Success(2)}));
    EXPECT_EQ(h.Status(), Success(2));
    EXPECT_EQ(h.context.groupArticleCount, 3);
    ASSERT_EQ(h.statuses.size(), h.messages.size());
    EXPECT_EQ(h.statuses[6].phase, kvPhase::HeaderScan);
    EXPECT_EQ(h.statuses[6].done, 100);
    EXPECT_EQ(h.statuses[8].phase, kvPhase::Fetch);
    EXPECT_EQ(h.statuses[8].done, 1);
    EXPECT_EQ(h.statuses[8].total, 2);

    ASSERT_EQ(h.Stored(), (Numbers{12, 10}));
    const kvArticle& a = h.results.At(0);
    EXPECT_EQ(std::string(a.subject) + "|" + a.from + "|" + a.newsgroups + "|" + a.organization,
              std::string("Third MATCH in capitals|Poster 12 <p12@example.org>|alt.test|") +
                  KV_NONE);
    EXPECT_EQ(a.lines, 4);
    ASSERT_NE(a.body, nullptr);
    EXPECT_STREQ(a.body.get(), "line one\n.dotted\n\nlast\n");
    EXPECT_STREQ(h.results.At(1).subject, "a match");
    EXPECT_EQ(h.results.At(1).body, nullptr);
    EXPECT_EQ(h.results.At(1).lines, -1);
}

TEST(SearchRunFake, ScriptedRuns) {
    const FakeGroup three = Group(10, 12, {11}), thousand = Group(1, 1000, {600, 700});
    const FakeGroup allThree = Group(10, 12, {}, true), eight = Group(10, 17, {}, true);
    const FakeGroup twoOfThree = Group(10, 12, {10, 12}), past = Group(1, 1000, {700, 701});
    std::string list800 = "221 Subject fields follow\r\n"; // more than the 700 lines asked for
    for (long n = 1; n <= 800; ++n)
        list800 += std::to_string(n) + (n == 700 || n == 701 ? " match\r\n" : " other\r\n");
    FakeGroup subjects;
    const char* titles[] = {"P match", "S match", "Re: P match", "Q match", "P match"};
    for (long n = 10; n <= 14; ++n) {
        subjects.headers[n] = titles[n - 10];
        subjects.articles[n] = FakeArticleText(n, titles[n - 10], "text\n");
    }
    const FakeGroup odd = Group(10, 15, {11, 12, 14});
    // No value, a long match, a match past the 511 bytes kept, no blank, a match, empty.
    const std::string oddList = "221 Subject fields follow\r\n10\r\n11 match " +
                                std::string(2000, 'a') + "\r\n12 " + std::string(600, 'b') +
                                " match\r\n13nothing\r\n14 match\r\n15 \r\n.\r\n";

    const std::string timeout = "ERROR: Timeout expired, no response from server",
                      readFailure = RunningUnderWine() ? timeout : "ERROR: Socket read failure",
                      lost = "ERROR: connection failure; 5 complete articles received";
    const Strings connecting = {"Korvex: Connecting to *..."},
                  selecting = {"Korvex: Selecting newsgroup..."},
                  scanned = {"Scanning headers... (50% done)"},
                  passedOver = {"SEARCH: Receiving article 2 of 3 found...",
                                "SEARCH: Receiving article 2 of 3 found...",
                                "Korvex: Article received",
                                "Finished receiving articles; Closing connection...",
                                "Korvex: Sorting articles...",
                                Success(2)};
    auto sorted = [](int n) { return Strings{"Korvex: Sorting articles...", Success(n)}; };
    auto greeting = [&](FakeReply reply, const std::string& status, int seconds = 3) {
        ExpectRun(status, three, {{"", reply}}, -1, -7, {}, status, connecting, {}, {seconds});
    };
    auto group = [&](const std::string& reply, const char* status) {
        ExpectRun(reply, three, {{"GROUP alt.test", Line(reply)}}, -1, -7, Sent({}), status,
                  selecting, {});
    };
    const char* groupError = "ERROR: GROUP command error";
    greeting(Line("502 you may not talk to me"), "ERROR: Not permitted to talk to this server");
    greeting(Line("400 service discontinued"), "ERROR: NNTP-server not responding");
    greeting(FakeReply::Close(), timeout);
    greeting(FakeReply::Reset(), readFailure);
    greeting(FakeReply::Silent(), timeout, 1);
    group("411 no such news group", "ERROR: No such group on server");
    group("480 authentication required", "ERROR: Authentication required");
    group("211 abc", groupError);
    group("211 5 1", groupError);
    // Article numbers are 31-bit; larger ones would overflow the chunk arithmetic.
    group("211 5 -1 5 alt.test", groupError);
    group("211 3 --Organization: 02 alt.test", groupError);
    group("211 3 + 3 alt.test", groupError);
    group("211 5 1 2147483648 alt.test", groupError);
    group("211 5 1 99999999999999999999 alt.test", groupError);
    ExpectRun("empty group", three, {{"GROUP alt.test", Line("211 0 0 0 alt.test")}}, -1, 0,
              Sent({}), "SEARCH: No articles in this group on server", selecting, {});
    // Every source refused in turn, each asked for the top numbers; HEAD
    // goes up from the chunk's lowest number.
    Strings highest = Sent({"2147483148-2147483647"});
    highest.insert(highest.end() - 1,
                   {"LIST OVERVIEW.FMT", "XOVER 2147483148-2147483647", "HEAD 2147483148"});
    ExpectRun(
        "highest article number", three,
        {{"GROUP alt.test", Line("211 5 1 2147483647 alt.test")},
         {"XHDR*", Line("500 what?")},
         {"HEAD*", Line("500 what?")}},
        -1, 5, highest, "ERROR requesting article headers",
        {"SEARCH: 5 articles in this group; requesting headers...",
         "WARNING: The server does not serve the Subject header in lists; reading each article's "
         "header (slower)..."},
        {});
    ExpectRun("GROUP unanswered", three, {{"GROUP alt.test", FakeReply::Close()}}, -1, -7,
              Sent({}, {}, false), timeout, selecting, {});
    ExpectRun("GROUP reset", three, {{"GROUP alt.test", FakeReply::Reset()}}, -1, -7,
              Sent({}, {}, false), readFailure, selecting, {});
    ExpectRun("second header list refused", thousand,
              {{"XHDR Subject 1-500", Line("412 no newsgroup selected")}}, -1, 1000,
              Sent({"501-1000", "1-500"}), "ERROR requesting article headers", scanned, {});
    ExpectRun("second header list cut off", thousand,
              {{"XHDR Subject 1-500", FakeReply::Text("221 ok\r\n1 a match\r\n").ThenClose()}}, -1,
              1000, Sent({"501-1000", "1-500"}, {}, false), timeout, scanned, {});
    ExpectRun("second header list reset", thousand,
              {{"XHDR Subject 1-500", FakeReply::Text("221 ok\r\n1 a match\r\n").ThenReset()}}, -1,
              1000, Sent({"501-1000", "1-500"}, {}, false), readFailure, scanned, {});
    ExpectRun("lines past the header limit are read, not examined", past,
              {{"XHDR Subject 501-1000", FakeReply::Text(list800 + ".\r\n")}}, 1, 1000,
              Sent({"501-1000"}, {700}), Success(1), sorted(1), {700}, {3, "700"});
    ExpectRun("slow server, but no wait as long as the time-out", three,
              {{"GROUP alt.test", Line("211 3 10 12 alt.test").Delay(300)},
               {"XHDR Subject 10-12",
                FakeReply::Pieces({"221 Subject fields follow\r\n", "10 nothing\r\n11 a match\r\n",
                                   "12 nothing\r\n", ".\r\n"},
                                  350)}},
              1, 3, Sent({"10-12"}, {11}), Success(1), sorted(1), {11}, {1});
    ExpectRun("article refused", allThree,
              {{"ARTICLE 11", Line("423 no such article number in this group")}}, 2, 3,
              Sent({"10-12"}, {12, 11, 10}), Success(2), passedOver, {12, 10});
    ExpectRun(
        "article without a blank line", allThree,
        {{"ARTICLE 11", FakeReply::Text("220 11 <11@x>\r\nSubject: a match\r\nbody?\r\n.\r\n")}}, 2,
        3, Sent({"10-12"}, {12, 11, 10}), Success(2), passedOver, {12, 10});
    ExpectRun("every article refused", twoOfThree, {{"ARTICLE*", Line("423 gone")}}, 0, 3,
              Sent({"10-12"}, {12, 10}), "Finished receiving articles; Closing connection...",
              {"Finished receiving articles; Closing connection..."}, {});
    ExpectRun("connection lost at the 6th article", eight, {{"ARTICLE 12", FakeReply::Close()}}, 5,
              8, Sent({"10-17"}, Down(17, 12), false), lost,
              {"SEARCH: Receiving article 6 of 8 found...", "Korvex: Sorting articles...", lost},
              Down(17, 13));
    ExpectRun(
        "connection lost within the 6th article", eight,
        {{"ARTICLE 12", FakeReply::Text("220 12 <12@x>\r\nSubject: a match\r\n").ThenClose()}}, 5,
        8, Sent({"10-17"}, Down(17, 12), false), lost,
        {"SEARCH: Receiving article 6 of 8 found...", "Korvex: Sorting articles...", lost},
        Down(17, 13));
    ExpectRun("first article unanswered", eight, {{"ARTICLE 17", FakeReply::Close()}}, 0, 8,
              Sent({"10-17"}, {17}, false), timeout, {"SEARCH: Receiving article 1 of 8 found..."},
              {});
    ExpectRun("first article reset", eight, {{"ARTICLE 17", FakeReply::Reset()}}, 0, 8,
              Sent({"10-17"}, {17}, false), readFailure,
              {"SEARCH: Receiving article 1 of 8 found..."}, {});
    ExpectRun("articles grouped by subject", subjects, {}, 5, 5, Sent({"10-14"}, Down(14, 10)),
              Success(5), sorted(5), {14, 12, 10, 11, 13}); // P, Re: P, P, S, Q
    ExpectRun("odd header lines", odd, {{"XHDR Subject 10-15", FakeReply::Text(oddList)}}, 2, 6,
              Sent({"10-15"}, {14, 11}), Success(2), sorted(2), {14, 11});
}

// A NUL byte from the server is left out, as in article bodies: it hides no
// later header line, keeps no line from matching and drops no article.
TEST(SearchRunFake, NulBytesInHeaderListsAndArticles) {
    using namespace std::string_literals;
    const FakeGroup past = Group(1, 1000, {700});
    std::string list = "221 Subject fields follow\r\n"; // 800 lines; the limit is 700
    for (long n = 1; n <= 800; ++n)
        list += std::to_string(n) +
                (n == 2     ? " x\0y"s
                 : n == 700 ? " ma\0tch"s
                            : " other"s) +
                "\r\n";
    ExpectRun("NUL in a header list", past,
              {{"XHDR Subject 501-1000", FakeReply::Text(list + ".\r\n")}}, 1, 1000,
              Sent({"501-1000"}, {700}), Success(1), {Success(1)}, {700}, {3, "700"});

    FakeGroup g = Group(10, 12, {11});
    const std::string text = "From: P\0oster\nSubject: a ma\0tch\nMessage-ID: <11@x>\n\nbo\0dy\n"s;
    g.articles[11] = text;
    ExpectRun("NUL in an article's headers", g, {}, 1, 3, Sent({"10-12"}, {11}), Success(1),
              {Success(1)}, {11});
    Harness h;
    h.server.SetGroup(g);
    ASSERT_EQ(h.Run(), 1);
    ASSERT_EQ(h.Stored(), Numbers{11});
    EXPECT_STREQ(h.results.At(0).subject, "a match");
    EXPECT_STREQ(h.results.At(0).from, "Poster");
    EXPECT_STREQ(h.results.At(0).body.get(), "body\n");
}

// Lines that do not start with an article number are counted but never
// fetched: they would otherwise be asked for as article 0 or a negative one.
// A dot-stuffed line is one of them and does not end the list.
TEST(SearchRunFake, HeaderLinesWithoutAnArticleNumberAreNeverFetched) {
    const std::string list = "221 Subject fields follow\r\n12 other\r\nx a match\r\n..stuffed\r\n"
                             " 12 a match\r\n-11 a match\r\n0 a match\r\n11 a match\r\n.\r\n";
    ExpectRun("numberless lines", Group(10, 12, {11}),
              {{"XHDR Subject 10-12", FakeReply::Text(list)}}, 1, 3, Sent({"10-12"}, {11}),
              Success(1), {Success(1)}, {11});
}

// A multi-line reply the command did not ask for is read to its end: its data
// lines, made to look like the next answer here, never answer a later command.
TEST(SearchRunFake, UnexpectedMultilineRepliesAreReadToTheirEnd) {
    const FakeGroup allThree = Group(10, 12, {}, true);
    const std::string lookalike =
        "220 99 <99@x>\r\nSubject: a match\r\nMessage-ID: <99@x>\r\n\r\nfake\r\n.\r\n";
    const Strings passedOver = {"SEARCH: Receiving article 2 of 3 found...",
                                "SEARCH: Receiving article 2 of 3 found...",
                                "Korvex: Article received",
                                "Finished receiving articles; Closing connection...",
                                "Korvex: Sorting articles...",
                                Success(2)};
    for (const char* code : {"222", "221", "224", "100"})
        ExpectRun(
            std::string(code) + " to ARTICLE", allThree,
            {{"ARTICLE 11", FakeReply::Text(std::string(code) + " 11 <11@x>\r\n" + lookalike)}}, 2,
            3, Sent({"10-12"}, {12, 11, 10}), Success(2), passedOver, {12, 10});
    ExpectRun("215 to MODE READER", Group(10, 12, {11}),
              {{"MODE READER", FakeReply::Text("215 list\r\n211 99 1 99 alt.test\r\n.\r\n")}}, 1, 3,
              Sent({"10-12"}, {11}), Success(1), {Success(1)}, {11});
}

TEST(SearchRunFake, HeadersInChunksFromTheNewestAndTheArticleLimit) {
    auto scan = [](long last, const char* maxHeaders, const Strings& xhdr,
                   std::vector<int> percents, const char* header = "Subject") {
        Strings progress;
        for (int p : percents)
            progress.push_back("Scanning headers... (" + std::to_string(p) + "% done)");
        ExpectRun(std::to_string(last) + " headers, limit " + maxHeaders, Group(1, last, {}), {}, 0,
                  last, Sent(xhdr), "SEARCH: No matching articles found", progress, {},
                  {3, maxHeaders, "all", header});
    };
    scan(1000, "4000", {"501-1000", "1-500"}, {50, 100});
    scan(1000, "700", {"501-1000", "301-500"}, {72, 100});
    scan(1000, "500", {"501-1000"}, {100});
    scan(1000, "501", {"501-1000", "500-500"}, {100, 100});
    scan(1200, "4000", {"701-1200", "201-700", "1-200"}, {42, 84, 100});
    scan(1, "1", {"From 1-1"}, {100}, "From");

    // Matches are fetched in the reverse order of their collection.
    auto fetch = [](int matches, const char* maxArticles, const char* wording, const Strings& xhdr,
                    const Numbers& fetched) {
        const int n = static_cast<int>(fetched.size());
        const std::string last = "SEARCH: Receiving article " + std::to_string(n) + " of " +
                                 std::to_string(n) + " " + wording + "...";
        ExpectRun(std::to_string(matches) + " matches, limit " + maxArticles,
                  Group(1, matches, {}, true), {}, n, matches, Sent(xhdr, fetched), Success(n),
                  {last, "Korvex: Article received",
                   "Finished receiving articles; Closing connection...",
                   "Korvex: Sorting articles...", Success(n)},
                  fetched, {3, "4000", maxArticles});
    };
    fetch(30, "10", "requested", {"1-30"}, Down(30, 21));
    fetch(3, "3", "found", {"1-3"}, Down(3, 1));
    fetch(4, "3", "requested", {"1-4"}, Down(4, 2));
    fetch(1100, "5000", "requested", {"601-1100", "101-600", "1-100"}, // no more than a set holds
          Down(1100, 677, Down(600, 101, Down(100, 1))));
}

TEST(SearchRunFake, LongArticleIsCutWithTheWarningAtTheEndOfItsBody) {
    std::string body;
    for (int i = 0; body.size() < 40000; ++i) {
        std::string line = "Body line " + std::to_string(i) + " ";
        line.resize(63, '-');
        body += line + "\n";
    }
    Harness h;
    FakeGroup g = Group(5, 5, {5});
    g.articles[5] = FakeArticleText(5, "a long match", body);
    h.server.SetGroup(g);
    ASSERT_EQ(h.Run(), 1);
    ASSERT_NE(h.results.At(0).body, nullptr);
    const std::string stored = h.results.At(0).body.get();
    const std::string warning =
        "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";
    ASSERT_GT(stored.size(), warning.size());
    EXPECT_EQ(stored.substr(stored.size() - warning.size()), warning);
    // Whole lines from the start, up to the line that takes the response
    // past 30719 bytes: its status line, the headers and the blank line, then
    // 64-byte body lines (65 with their CR on the wire, 64 once stored).
    const std::string kept = stored.substr(0, stored.size() - warning.size());
    EXPECT_TRUE(kept == body.substr(0, kept.size()));
    EXPECT_EQ(kept.back(), '\n');
    std::string head = "220 5 <5@fake.example> article\n" +
                       g.articles[5].substr(0, g.articles[5].size() - body.size());
    std::size_t wire = head.size() + std::count(head.begin(), head.end(), '\n');
    std::size_t lines = 0;
    while (wire + 65 * lines <= 30719)
        ++lines;
    EXPECT_EQ(kept.size(), 64 * lines);
}

TEST(SearchRunFake, ArticleOfOneMegabyteLineIsCutNearTheOthers) {
    std::string line(1 << 20, 'z');
    for (std::size_t i = 0; i < line.size(); i += 97)
        line[i] = static_cast<char>('A' + i % 26);
    const std::string warning =
        "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";
    for (int window : {1, KV_DEFAULT_PIPELINE}) {
        SCOPED_TRACE(window);
        Harness h;
        h.request.pipeline = window;
        FakeGroup g = Group(5, 7, {5, 7});
        g.articles[6] = FakeArticleText(6, "a match, one line", line + "\n");
        g.headers[6] = "a match, one line";
        h.server.SetGroup(g);
        ASSERT_EQ(h.Run(), 3);
        EXPECT_EQ(h.Status(), Success(3));
        const Numbers numbers = h.Stored();
        ASSERT_EQ(numbers.size(), 3U);
        int at = -1;
        for (int i = 0; i < 3; ++i) {
            if (numbers[i] == 6)
                at = i;
            else // the articles around the long one are whole
                EXPECT_EQ(h.results.At(i).body.get(),
                          "Body of " + std::to_string(numbers[i]) + ".\n");
        }
        ASSERT_GE(at, 0);
        ASSERT_NE(h.results.At(at).body, nullptr);
        const std::string stored = h.results.At(at).body.get();
        // Cut near 32 KB like any long article, not at the 64 KB buffer's end.
        ASSERT_GT(stored.size(), warning.size() + 28000);
        EXPECT_LT(stored.size(), 36000U);
        EXPECT_EQ(stored.substr(stored.size() - warning.size()), warning);
        const std::string kept = stored.substr(0, stored.size() - warning.size());
        EXPECT_TRUE(kept == line.substr(0, kept.size()));
    }
}

TEST(SearchRunFake, TimeLimit) {
    FakeGroup g = Group(1, 1000, {100, 900, 950, 980});
    g.articles.erase(950); // answered with 423
    auto run = [&](const char* minutes, const std::string& when, long long stepMs,
                   const Numbers& sent, const Numbers& stored, bool fetchStopped = false) {
        const int n = static_cast<int>(stored.size());
        const Ask ask{3, "4000", "all", "Subject", minutes, when, stepMs};
        const std::string name =
            std::string(minutes) + " min, " + when + " +" + std::to_string(stepMs);
        if (sent.empty()) // the scan stops after its first chunk
            ExpectRun(name, g, {}, -1, 1000, Sent({"501-1000"}),
                      "WARNING: Search time expired, nothing found",
                      {"Scanning headers... (50% done)"}, {}, ask);
        else
            ExpectRun(name, g, {}, n, 1000, Sent({"501-1000", "1-500"}, sent), Success(n),
                      {fetchStopped ? "WARNING: Search time expired, stopped."
                                    : "Finished receiving articles; Closing connection...",
                       "Korvex: Sorting articles...", Success(n)},
                      stored, ask);
    };
    const Numbers all = {100, 980, 950, 900}, three = {100, 980, 900};
    const std::string first = "XHDR Subject 501-1000";
    run("1", first, 61000, {}, {});
    run("1", "GROUP alt.test", 61000, {}, {}); // connecting counts
    run("1", first, 60999, all, three);
    run("2", first, 120999, all, three);
    run("2", first, 121000, {}, {});
    run("any", first, 9000000, all, three);
    run("0", first, 9000000, all, three);
    run("1", "ARTICLE 980", 61000, {100, 980}, {100, 980}, true);
    run("1", "ARTICLE 950", 61000, all, three, true); // no time check after a refused article
    run("1", "ARTICLE 900", 61000, all, three, true);
}

// No server keeps a run alive inside one response: the time limit, the time
// a response may take and the bytes it may bring end it, however the bytes
// trickle in (here one byte every 200 ms, never as long as the time-out).
TEST(SearchRunFake, BoundsHoldInsideAResponse) {
    auto trickle = [](const std::string& status) {
        std::vector<std::string> pieces = {status};
        for (int i = 0; i < 30; ++i)
            pieces.push_back(std::to_string(i % 10));
        return FakeReply::Pieces(pieces, 200);
    };
    std::string endless = "221 ok\r\n"; // no end within 300 kB
    while (endless.size() < 300000)
        endless += "10 nothing to see here\r\n";
    const FakeGroup three = Group(10, 12, {}, true);
    const std::string scanning = "SEARCH: 3 articles in this group; requesting headers...",
                      expired = "WARNING: Search time expired, nothing found",
                      slow = "ERROR: Server response too slow",
                      large = "ERROR: Server response too large",
                      lost = "ERROR: connection failure; 1 complete articles received";
    Ask limit, oneSecond, small;
    limit.timeLimit = "1";
    limit.stepMs = 71000; // past the minute and the seconds an answer under way is given
    oneSecond.maxResponseSeconds = 1;
    small.maxResponseBytes = 100000;
    auto at = [](Ask ask, const char* command) {
        ask.clockAt = command;
        return ask;
    };
    const struct {
        const char* name;
        Script script;
        int result;
        long count;
        Strings commands;
        std::string status;
        Strings tail;
        Numbers stored;
        Ask ask;
    } rows[] = {
        {"time limit in a header list",
         {{"XHDR Subject 10-12", trickle("221 ok\r\n")}},
         -1,
         3,
         Sent({"10-12"}, {}, false),
         expired,
         {scanning},
         {},
         at(limit, "XHDR Subject 10-12")},
        {"time limit in an article",
         {{"ARTICLE 11", trickle("220 11 <11@x>\r\n")}},
         1,
         3,
         Sent({"10-12"}, {12, 11}, false),
         Success(1),
         {"WARNING: Search time expired, stopped.", "Korvex: Sorting articles...", Success(1)},
         {12},
         at(limit, "ARTICLE 11")},
        {"slow greeting",
         {{"", trickle("200 hello")}},
         -1,
         -7,
         {},
         slow,
         {"Korvex: Connecting to *..."},
         {},
         oneSecond},
        {"slow header list",
         {{"XHDR Subject 10-12", trickle("221 ok\r\n")}},
         -1,
         3,
         Sent({"10-12"}, {}, false),
         slow,
         {scanning},
         {},
         oneSecond},
        {"slow article",
         {{"ARTICLE 11", trickle("220 11 <11@x>\r\n")}},
         1,
         3,
         Sent({"10-12"}, {12, 11}, false),
         lost,
         {"SEARCH: Receiving article 2 of 3 found...", "Korvex: Sorting articles...", lost},
         {12},
         oneSecond},
        {"endless header list",
         {{"XHDR Subject 10-12", FakeReply::Text(endless)}},
         -1,
         3,
         Sent({"10-12"}, {}, false),
         large,
         {scanning},
         {},
         small},
        {"endless article",
         {{"ARTICLE 12", FakeReply::Text("220 12 <12@x>\r\n" + endless)}},
         0,
         3,
         Sent({"10-12"}, {12}, false),
         large,
         {"SEARCH: Receiving article 1 of 3 found..."},
         {},
         small},
    };
    for (const auto& row : rows) {
        auto started = std::chrono::steady_clock::now();
        ExpectRun(row.name, three, row.script, row.result, row.count, row.commands, row.status,
                  row.tail, row.stored, row.ask);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << row.name;
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
    EXPECT_EQ(h.commands, Sent({"10-12"}, {}, false));
}

TEST(SearchRunFake, LongServerNameIsCutInTheProgressMessages) {
    Harness h;
    // 511 characters that still reach the fake server: "127.0.0." and an octal 1
    // with hundreds of leading zeros.
    const std::string tail = "1:" + std::to_string(h.server.Port());
    const std::string name = "127.0.0." + std::string(KV_FIELD_SIZE - 9 - tail.size(), '0') + tail;
    ASSERT_EQ(name.size(), static_cast<std::size_t>(KV_FIELD_SIZE - 1));
    CopyField(h.request.server, name.c_str());
    h.server.SetGroup(Group(10, 12, {}));
    EXPECT_EQ(h.Run(), 0);
    EXPECT_EQ(h.commands, Sent({"10-12"}));
    for (const std::string prefix : {"Korvex: Locating ", "Korvex: Connecting to "})
        EXPECT_EQ(h.Shown(prefix).at(0),
                  prefix + name.substr(0, KV_STATUS_SIZE - 4 - prefix.size()) + "...");
}

TEST(SearchRunFake, ServerThatCannotBeReached) {
    // A port that is bound but not listening refuses the connection.
    int holder = TestSocket();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    auto run = [](const std::string& server, const char* status, bool located) {
        Ask ask;
        ask.server = server;
        ExpectRun(server, Group(10, 12, {11}), {}, -1, -7, {}, status,
                  {(located ? "Korvex: Connecting to " : "Korvex: Locating ") + server + "..."}, {},
                  ask);
    };
    run("127.0.0.1:" + std::to_string(ntohs(addr.sin_port)), "ERROR: Can't connect to server",
        true);
    // A label longer than 63 characters fails in the resolver, with no query sent.
    run("no-such-host-" + std::string(60, 'x') + ".invalid", "ERROR: Host not found", false);
    run("127.0.0.1:0", "ERROR: Host not found", false);
    TestCloseSocket(holder);
}

} // namespace
