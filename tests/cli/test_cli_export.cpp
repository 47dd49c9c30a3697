// korvex-cli's CSV, JSON Lines and mbox exports: written by a search against
// the fake server and by export from the results file it saved, and the
// failures of export.
#include "cli_runner.h"
#include "fake_nntp_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

class CliExport : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(CliExport, SearchAndExportWriteTheSameArticles) {
    FakeGroup g;
    for (long n = 1; n <= 4; ++n) {
        g.headers[n] = n % 2 ? "a match " + std::to_string(n) : "other";
        if (n % 2) g.articles[n] = FakeArticleText(n, g.headers[n], "text\nFrom here\n");
    }
    FakeNntpServer server;
    server.SetGroup(g);
    server.Start();
    const std::string kvx = dir + "/found.kvx";
    CliResult r = RunCli({"search", "--server", server.Address(), "--group", "alt.test",
                          "--pattern", "match", "--timeout", "3", "--save", kvx, "--csv",
                          dir + "/s.csv", "--jsonl", dir + "/s.jsonl", "--mbox", dir + "/s.mbox"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("2 articles found in alt.test"), std::string::npos) << r.out;

    // The search knows the Lines fields; the results file does not keep them.
    std::string csv = ReadFile(dir + "/s.csv");
    EXPECT_EQ(csv.rfind("position,group,server,date,date_utc,from,address,subject,", 0), 0u);
    EXPECT_EQ(Count(csv, "\r\n"), 3u) << csv;
    EXPECT_NE(csv.find(",a match 3,<3@fake.example>,,,2,15,no\r\n"), std::string::npos) << csv;
    std::string jsonl = ReadFile(dir + "/s.jsonl");
    EXPECT_EQ(Count(jsonl, "\n"), 3u) << jsonl;
    EXPECT_EQ(jsonl.rfind("{\"type\":\"search\",\"pattern\":\"match\",", 0), 0u) << jsonl;
    EXPECT_EQ(Count(jsonl, "\"body\":\"text\\nFrom here\\n\""), 2u) << jsonl;

    r = RunCli({"export", kvx, "--jsonl", dir + "/e.jsonl", "--no-body", "--mbox", dir + "/e.mbox",
                "--csv", dir + "/e.csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_NE(ReadFile(dir + "/e.csv").find(",a match 3,<3@fake.example>,,,,15,no\r\n"),
              std::string::npos);
    jsonl = ReadFile(dir + "/e.jsonl");
    EXPECT_EQ(Count(jsonl, "\n"), 3u) << jsonl;
    EXPECT_EQ(jsonl.find("\"body\""), std::string::npos) << jsonl;
    EXPECT_EQ(Count(jsonl, "\"cut\":false"), 2u) << jsonl;
    // The same messages either way, the newest article first as the search holds them.
    std::string mbox = ReadFile(dir + "/e.mbox");
    EXPECT_EQ(mbox, ReadFile(dir + "/s.mbox"));
    EXPECT_EQ(mbox.rfind("From p3@example.org Thu Jan  1 00:00:00 1970\nFrom: Poster 3", 0), 0u)
        << mbox;
    EXPECT_EQ(Count(mbox, "\n>From here\n"), 2u) << mbox;
}

TEST_F(CliExport, FailuresExitWith2AndNameTheFile) {
    CliResult r = RunCli({"export", dir + "/missing.kvx", "--csv", dir + "/out.csv"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.LastErrLine().find("Error loading search results."), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.csv"));

    const std::string kvx = dir + "/one.kvx";
    {
        std::ofstream out(kvx, std::ios::binary);
        out << ".kvx file -- do not edit!\r\np\r\nSubject\r\nhost\r\ng\r\ndate\r\n1\r\n1\r\n"
               "A <a@b>\r\ng\r\nHi\r\n<none>\r\n<1@b>\r\n<none>\r\n<none>\r\n<none>\r\n<none>\r\n"
               "<none>\r\n\r\nbody\r\n\r\n"
            << '\0' << "\r\n";
    }
    const std::string unwritable = dir + "/no-such-dir/out.mbox";
    r = RunCli({"export", kvx, "--csv", dir + "/one.csv", "--mbox", unwritable});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.LastErrLine(), "Error exporting search results. (" + unwritable + ")");
    EXPECT_NE(ReadFile(dir + "/one.csv").find(",A <a@b>,a@b,Hi,<1@b>,,,,5,no\r\n"),
              std::string::npos);
}

} // namespace
