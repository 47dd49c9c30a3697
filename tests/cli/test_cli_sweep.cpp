// korvex-cli searching a list of groups against the scripted fake server: a
// results file per group with articles in the --save directory, one line per
// group and a totals line on standard output, one report and reply list for
// all groups, and the exit status of sweeps that find something, nothing, or
// cannot start.
#include "cli_inn_fixture.h"
#include "cli_runner.h"
#include "expected_search.h"
#include "fake_nntp_server.h"
#include "results_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// What korvex-cli puts between the save directory and a group's file name.
#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

class CliSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
        FakeGroup g; // alt.test: 1..50, 7 and 30 match
        for (long n = 1; n <= 50; ++n) {
            bool hit = n == 7 || n == 30;
            g.headers[n] = (hit ? "a match " : "other ") + std::to_string(n);
            if (hit) g.articles[n] = FakeArticleText(n, g.headers[n], "text\n");
        }
        server.SetGroup(g);
        server.When("GROUP alt.empty", FakeReply::Text("211 0 0 0 alt.empty\r\n"));
        server.When("LIST ACTIVE alt.*", FakeReply::Text("215 list follows\r\n"
                                                         "alt.test 50 1 y\r\n"
                                                         "alt.empty 0 1 m\r\n"
                                                         "alt.gone 3 1 y\r\n"
                                                         ".\r\n"));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    CliResult Sweep(const std::string& groups, Strings more) {
        server.Start();
        Strings args = {"search",    "--server", server.Address(), "--group", groups,
                        "--pattern", "match",    "--timeout",      "3",       "--quiet"};
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    }
    FakeNntpServer server;
    std::string dir;
};

TEST_F(CliSweep, EachGroupWithArticlesGetsItsFileAndALine) {
    const std::string out = dir + "/sweep"; // made by the search
    CliResult r = Sweep("alt.*,!alt.gone,alt.none", {"--save", out, "--report", dir + "/report.txt",
                                                     "--reply-list", dir + "/replies.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "alt.empty: SEARCH: No articles in this group on server\n"
                     "alt.none: ERROR: No such group on server\n"
                     "alt.test: 2 articles found; saved to " +
                         out + kSep +
                         "alt.test.kvx\n"
                         "2 articles found in 1 of 3 groups on " +
                         server.Address() + "; saved to " + out + "\n");
    Strings files;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, Strings{"alt.test.kvx"});

    auto set = std::make_unique<kvResultSet>();
    kvSearchSummary summary;
    EXPECT_EQ(LoadResultsFile((out + "/alt.test.kvx").c_str(), summary, *set), 2);
    EXPECT_STREQ(summary.newsgroup, "alt.test");
    std::string report = ReadFile(dir + "/report.txt");
    EXPECT_NE(report.find("a match 30"), std::string::npos);
    EXPECT_NE(report.find("a match 7"), std::string::npos);
    EXPECT_FALSE(ReadFile(dir + "/replies.txt").empty());
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(CliSweep, NothingFoundInEveryGroupIsStatus1) {
    CliResult r = Sweep("alt.empty,alt.none", {"--save", dir});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
              "0 articles found in 0 of 2 groups on " + server.Address() + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(CliSweep, AListTheServerRefusesEndsWithStatus2) {
    server.When("LIST*", FakeReply::Text("502 no\r\n"));
    CliResult r = Sweep("sci.*", {});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.LastErrLine(), "ERROR: Newsgroup list refused by server");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliSweep, ASaveDirectoryThatIsAFileIsRefusedBeforeConnecting) {
    const std::string file = dir + "/plain";
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    CliResult r = Sweep("alt.test,alt.empty", {"--save", file});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Error saving search results. (" + file + ")"), std::string::npos);
    EXPECT_EQ(server.Connections(), 0);
}

class CliInnSweep : public korvex_test::CliInnTest {};

// Three of the test server's groups by a wildmat (the big one excluded), and
// one it does not have: each group's file holds what a search of that group
// alone finds.
TEST_F(CliInnSweep, SweepsTheTestGroupsIntoOneFileEach) {
    const std::string out = dir + "/groups";
    CliResult r =
        RunCli({"search", "--server", Server(), "--group",
                "korvex.test.*,!korvex.test.big,korvex.test.nothere", "--pattern", "kernel printer",
                "--mode", "any", "--max-headers", "all", "--save", out, "--quiet"});
    std::string lines;
    int total = 0, groupsFound = 0;
    for (const char* group :
         {"korvex.test.mixed", "korvex.test.modern", "korvex.test.nothere", "korvex.test.small"}) {
        if (std::string(group) == "korvex.test.nothere") {
            lines += "korvex.test.nothere: ERROR: No such group on server\n";
            continue;
        }
        korvex_test::SearchQuery query{group, "Subject", "kernel printer", MATCH_ANY_WORD, 1};
        int expected = static_cast<int>(korvex_test::Expect(Group(group), query).fetchOrder.size());
        const std::string kvx = out + kSep + group + ".kvx";
        if (expected == 0) {
            lines += std::string(group) + ": SEARCH: No matching articles found\n";
            EXPECT_FALSE(std::filesystem::exists(kvx)) << kvx;
            continue;
        }
        lines += std::string(group) + ": " + std::to_string(expected) +
                 " articles found; saved to " + kvx + "\n";
        total += expected;
        ++groupsFound;
        auto set = std::make_unique<kvResultSet>();
        kvSearchSummary summary;
        EXPECT_EQ(LoadResultsFile(kvx.c_str(), summary, *set), expected) << kvx;
        EXPECT_STREQ(summary.newsgroup, group);
    }
    ASSERT_GT(groupsFound, 1) << "the sweep should find articles in more than one group";
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, lines + std::to_string(total) + " articles found in " +
                         std::to_string(groupsFound) + " of 4 groups on " + Server() +
                         "; saved to " + out + "\n");
}

} // namespace
