// korvex-cli against the scripted fake server, as a user runs it against a
// hostile or broken one: NUL bytes in a header list, a multi-line answer the
// command did not ask for, answers that trickle or never end, and control
// bytes in the subjects and names it prints.
#include "cli_runner.h"
#include "fake_nntp_server.h"
#include "mime_encode.h"
#include "results_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

class CliFakeServer : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        ClearVariable("KORVEX_MAX_RESPONSE_SECONDS");
        ClearVariable("KORVEX_MAX_RESPONSE_BYTES");
    }
    CliResult Search(FakeNntpServer& server, Strings more) {
        server.Start();
        Strings args = {"search",    "--server", server.Address(), "--group", "alt.test",
                        "--pattern", "match",    "--timeout",      "3"};
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    }
    // The subjects of a saved results file, in its order.
    Strings Subjects(const std::string& kvx) {
        auto set = std::make_unique<kvResultSet>();
        kvSearchSummary summary;
        int n = LoadResultsFile(kvx.c_str(), summary, *set);
        Strings out;
        for (int i = 0; i < n; ++i)
            out.push_back(set->At(i).subject);
        return out;
    }
    std::string dir;
};

FakeGroup Matching(long first, long last, const std::vector<long>& matching) {
    FakeGroup g;
    for (long n = first; n <= last; ++n) {
        bool hit = std::find(matching.begin(), matching.end(), n) != matching.end();
        g.headers[n] = (hit ? "a match " : "other ") + std::to_string(n);
        if (hit) g.articles[n] = FakeArticleText(n, g.headers[n], "text\n");
    }
    return g;
}

// A NUL in a header list hides no later line: the match after it is found,
// and the lines scanned reach the limit, so no further chunk is asked for.
TEST_F(CliFakeServer, NulInAHeaderList) {
    std::string list = "221 Subject fields follow\r\n"; // 800 lines for 500 asked; limit 700
    for (long n = 1; n <= 800; ++n)
        list += std::to_string(n) +
                (n == 2     ? " x\0y"s
                 : n == 700 ? " a ma\0tch 700"s
                            : " other"s) +
                "\r\n";
    for (const char* window : {"1", "512"}) {
        SCOPED_TRACE(std::string("pipeline ") + window);
        FakeNntpServer server;
        server.SetGroup(Matching(1, 1000, {700}));
        server.When("XHDR Subject 501-1000", FakeReply::Text(list + ".\r\n"));
        const std::string kvx = dir + "/nul-" + window + ".kvx";
        CliResult r = Search(server, {"--pipeline", window, "--max-headers", "700", "--save", kvx});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 17), "1 articles found ");
        EXPECT_EQ(Subjects(kvx), Strings{"a match 700"});
        Strings commands = server.Commands();
        if (std::string(window) == "1")
            EXPECT_EQ(commands, (Strings{"CAPABILITIES", "MODE READER", "GROUP alt.test",
                                         "XHDR Subject 501-1000", "ARTICLE 700", "QUIT"}));
        else // the next chunk was asked for ahead, its answer never read
            EXPECT_EQ(commands.back(), "QUIT");
    }
}

// --max-headers whole scans past the 51,200 newest numbers; the summary line
// counts every match when fewer articles were fetched, and the saved file
// holds the received count as before.
TEST_F(CliFakeServer, WholeGroupSummaryCountsEveryMatch) {
    std::vector<long> matching;
    for (long n = 1000; n <= 60'000; n += 1000)
        matching.push_back(n); // 60 matches, 9 of them below the newest 51,200
    FakeNntpServer server;
    server.SetGroup(Matching(1, 60'000, matching));
    const std::string kvx = dir + "/whole.kvx";
    CliResult r =
        Search(server, {"--max-headers", "whole", "--max-articles", "5", "--save", kvx, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "5 articles found in alt.test on " + server.Address() +
                         " (60 matched); saved to " + kvx + "\n");
    // The last collected come first: the oldest chunk's matches.
    Strings subjects = Subjects(kvx);
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects, (Strings{"a match 1000", "a match 2000", "a match 3000", "a match 4000",
                                 "a match 5000"}));
    kvSearchSummary summary;
    auto set = std::make_unique<kvResultSet>();
    ASSERT_EQ(LoadResultsFile(kvx.c_str(), summary, *set), 5);
    EXPECT_STREQ(summary.foundCount, "5");
}

// ARTICLE answered with 222 and a body made to look like the next answer:
// that body never becomes an article, one command at a time or sent ahead.
TEST_F(CliFakeServer, UnexpectedMultilineAnswer) {
    for (const char* window : {"1", "512"}) {
        SCOPED_TRACE(std::string("pipeline ") + window);
        FakeNntpServer server;
        server.SetGroup(Matching(10, 12, {10, 11, 12}));
        server.When("ARTICLE 11", FakeReply::Text("222 11 <11@x>\r\n220 99 <99@x>\r\n"
                                                  "Subject: a match 99\r\nMessage-ID: <99@x>\r\n"
                                                  "\r\nfake\r\n.\r\n"));
        const std::string kvx = dir + "/222-" + window + ".kvx";
        CliResult r = Search(server, {"--pipeline", window, "--save", kvx});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.LastErrLine(), "SUCCESS: 2 articles received");
        Strings subjects = Subjects(kvx);
        std::sort(subjects.begin(), subjects.end());
        EXPECT_EQ(subjects, (Strings{"a match 10", "a match 12"}));
    }
}

// A connection lost once in the fetch: --retries 1 connects again and gets
// every article; --retries 0 ends the search with the articles before the loss.
TEST_F(CliFakeServer, LostConnectionAndRetries) {
    struct Case {
        const char* retries;
        int exitCode;
        std::string last;
        Strings subjects;
        int connections;
    };
    const Case cases[] = {
        {"1", 0, "SUCCESS: 3 articles received", {"a match 10", "a match 11", "a match 12"}, 2},
        {"0", 0, "ERROR: connection failure; 1 complete articles received", {"a match 12"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("retries ") + c.retries);
        FakeNntpServer server;
        server.SetGroup(Matching(10, 12, {10, 11, 12}));
        server.When("ARTICLE 11", FakeReply::Close(), 1);
        const std::string kvx = dir + "/lost-" + c.retries + ".kvx";
        CliResult r = Search(server, {"--retries", c.retries, "--pipeline", "1", "--save", kvx});
        ASSERT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.LastErrLine(), c.last);
        bool told =
            r.err.find("SEARCH: Connection lost, reconnecting (1 of 1)...") != std::string::npos;
        EXPECT_EQ(told, c.connections > 1) << r.err;
        EXPECT_EQ(server.Connections(), c.connections);
        Strings subjects = Subjects(kvx);
        std::sort(subjects.begin(), subjects.end());
        EXPECT_EQ(subjects, c.subjects);
    }
}

// A header list that trickles in a byte at a time (never as slowly as the
// time-out) or never ends is ended by the bounds on one response, lowered here.
TEST_F(CliFakeServer, TricklingOrEndlessAnswerEndsTheSearch) {
    std::vector<std::string> trickle = {"221 ok\r\n"};
    for (int i = 0; i < 40; ++i)
        trickle.push_back("1");
    std::string endless = "221 ok\r\n";
    while (endless.size() < 400000)
        endless += "10 other value\r\n";
    const struct {
        const char* name;
        FakeReply reply;
        const char* variable;
        const char* value;
        const char* last;
    } rows[] = {
        {"trickle", FakeReply::Pieces(trickle, 200), "KORVEX_MAX_RESPONSE_SECONDS", "1",
         "ERROR: Server response too slow"},
        {"endless", FakeReply::Text(endless), "KORVEX_MAX_RESPONSE_BYTES", "100000",
         "ERROR: Server response too large"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetVariable(row.variable, row.value);
        FakeNntpServer server;
        server.SetGroup(Matching(10, 12, {11}));
        server.When("XHDR*", row.reply);
        auto started = std::chrono::steady_clock::now();
        CliResult r = Search(server, {});
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        ClearVariable(row.variable);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.LastErrLine(), row.last);
        EXPECT_EQ(r.out, "");
    }
}

// Control bytes in subjects and names, raw or MIME-encoded, reach neither
// the search's output nor show's: they are printed as pictures.
TEST_F(CliFakeServer, ControlBytesFromTheServerNeverReachTheTerminal) {
    using korvex_test::BWord;
    using korvex_test::QWord;
    const Strings subjects = {
        "a match \x1b[2J clear",
        "a match \x07 bell \r return",
        "a match \xc2\x9b"
        "31m C1",
        QWord("a match \x1b]0;owned\x07", "UTF-8"),
        QWord("a match \x9b"
              "2J",
              "ISO-8859-1"),
    };
    FakeGroup g;
    for (long n = 1; n <= 5; ++n) {
        g.headers[n] = subjects[n - 1];
        g.articles[n] = "From: " + BWord("\x1b[31mred", "UTF-8") +
                        " <r@x>\nSubject: " + subjects[n - 1] + "\nMessage-ID: <" +
                        std::to_string(n) + "@x>\n\nbody\n";
    }
    FakeNntpServer server;
    server.SetGroup(g);
    const std::string kvx = dir + "/controls.kvx";
    CliResult r = Search(server, {"--save", kvx});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(PrintableOnly(r.out)) << r.out;
    EXPECT_TRUE(PrintableOnly(r.err)) << r.err;
    CliResult shown = RunCli({"show", kvx});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(PrintableOnly(shown.out)) << shown.out;
    const std::string esc = "\xe2\x90\x9b", bel = "\xe2\x90\x87", cr = "\xe2\x90\x8d",
                      c1 = "\xef\xbf\xbd";
    for (const std::string& seen :
         {"a match " + esc + "[2J clear", "a match " + bel + " bell " + cr + " return",
          "a match " + c1 + "31m C1", "a match " + esc + "]0;owned" + bel, "a match " + c1 + "2J",
          esc + "[31mred <r@x>"})
        EXPECT_NE(shown.out.find(seen), std::string::npos) << seen << "\n" << shown.out;
}

} // namespace

namespace {

// A server that asks for a login at GROUP and lists COMPRESS DEFLATE: the
// search deflates the connection unless told not to, and stores the same articles.
TEST_F(CliFakeServer, NoCompressKeepsTheConnectionPlain) {
    SetVariable("KORVEX_PASSWORD", "pw");
    Strings stored[2];
    for (int plain = 0; plain <= 1; ++plain) {
        SCOPED_TRACE(plain ? "--no-compress" : "deflated");
        FakeNntpServer server;
        server.SetGroup(Matching(1, 30, {4, 17, 29}));
        server.When("GROUP alt.test", FakeReply::Text("480 login first\r\n"), 1);
        server.When("CAPABILITIES",
                    FakeReply::Text("101 caps\r\nVERSION 2\r\nREADER\r\nCOMPRESS DEFLATE\r\n"
                                    "AUTHINFO USER\r\n.\r\n"));
        server.When("AUTHINFO USER *", FakeReply::Text("381 more\r\n"));
        server.When("AUTHINFO PASS *", FakeReply::Text("281 welcome\r\n"));
        server.When("COMPRESS DEFLATE", FakeReply::Text("206 on\r\n").ThenDeflate());
        std::string kvx = dir + (plain ? "/plain.kvx" : "/deflated.kvx");
        Strings more = {"--user", "reader", "--allow-plain-password", "--save", kvx};
        if (plain) more.push_back("--no-compress");
        CliResult r = Search(server, more);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        Strings commands = server.Commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "COMPRESS DEFLATE"), plain ? 0 : 1);
        EXPECT_EQ(commands.back(), "QUIT");
        stored[plain] = Subjects(kvx);
    }
    ClearVariable("KORVEX_PASSWORD");
    EXPECT_EQ(stored[0].size(), 3u);
    EXPECT_EQ(stored[0], stored[1]);
}

} // namespace
