// korvex-cli search and show against the local test news server: the files
// it writes must agree with each other and with what it reports.
#include "cli_inn_fixture.h"
#include "cli_runner.h"
#include "expected_search.h"
#include "results_file.h"
#include "utf8_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

using korvex_test::InnSearch;

class CliSearch : public korvex_test::CliInnTest {};

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool ContainsIgnoringCase(std::string text, std::string word) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find(word) != std::string::npos;
}

TEST_F(CliSearch, SearchSaveShowAndExportAgree) {
    const std::string kvx = dir + "/out.kvx", report = dir + "/report.txt",
                      replies = dir + "/replies.txt";
    CliResult r = RunCli({"search", "--server", Server(), "--group", "korvex.test.small",
                          "--pattern", "KERNEL", "--max-headers", "all", "--save", kvx, "--report",
                          report, "--reply-list", replies});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int found = std::atoi(r.out.c_str());
    korvex_test::SearchQuery query{"korvex.test.small", "Subject", "KERNEL", 1, 1};
    const auto& articles = Group(query.group);
    const korvex_test::ExpectedSearch expected = korvex_test::Expect(articles, query);
    ASSERT_FALSE(expected.fetchOrder.empty());
    ASSERT_EQ(found, static_cast<int>(expected.fetchOrder.size())) << r.out;
    EXPECT_EQ(r.out, std::to_string(found) + " articles found in korvex.test.small on " + Server() +
                         "; saved to " + kvx + "\n");
    EXPECT_EQ(r.LastErrLine(), "SUCCESS: " + std::to_string(found) + " articles received");
    EXPECT_EQ(r.err.find("Korvex: Creating network connection...\n"), 0u);
    EXPECT_NE(r.err.find("Scanning headers... (100% done)\n"), std::string::npos);

    auto set = std::make_unique<kvResultSet>();
    kvSearchSummary summary;
    ASSERT_EQ(LoadResultsFile(kvx.c_str(), summary, *set), found);
    EXPECT_STREQ(summary.pattern, "KERNEL");
    EXPECT_STREQ(summary.header, "Subject");
    EXPECT_STREQ(summary.newsgroup, "korvex.test.small");
    EXPECT_EQ(std::string(summary.foundCount), std::to_string(found));
    const std::vector<long> order = korvex_test::GroupedBySubject(articles, expected.fetchOrder);
    for (int i = 0; i < found; ++i) {
        EXPECT_TRUE(ContainsIgnoringCase(set->At(i).subject, "kernel")) << set->At(i).subject;
        EXPECT_EQ(std::string(set->At(i).messageId),
                  articles[static_cast<std::size_t>(order[i] - 1)].MessageId());
    }

    std::string reportText = ReadFile(report);
    EXPECT_EQ(reportText.rfind("Korvex search results for: \"KERNEL\" in 'Subject' header\n", 0),
              0u);
    EXPECT_EQ(Count(reportText, "\n" + std::string(72, '=') + "\n"),
              static_cast<std::size_t>(found) + 1);
    EXPECT_GT(Count(ReadFile(replies), "\n"), 0u);

    CliResult shown = RunCli({"show", kvx});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind("Search pattern: KERNEL\nHeader: Subject\nDate: ", 0), 0u);
    EXPECT_NE(shown.out.find("\nMatching articles found: " + std::to_string(found) +
                             "\nLoaded from: out.kvx\n\n"),
              std::string::npos);
    EXPECT_NE(
        shown.out.find("\n1\t" + std::string(set->At(0).from) + "\t" + set->At(0).subject + "\n"),
        std::string::npos);
    EXPECT_NE(shown.out.find("\n" + std::to_string(found) + "\t"), std::string::npos);
    EXPECT_EQ(shown.out.find("\n" + std::to_string(found + 1) + "\t"), std::string::npos);
}

TEST_F(CliSearch, NothingFoundExitsWith1AndNoSuchGroupWith2) {
    CliResult r = RunCli({"search", "--server", Server(), "--group", "korvex.test.small",
                          "--pattern", "zzqqxxnotthere", "--save", dir + "/none.kvx"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.LastErrLine(), "SEARCH: No matching articles found");
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(std::filesystem::exists(dir + "/none.kvx"));

    r = RunCli(
        {"search", "--server", Server(), "--group", "korvex.no.such.group", "--pattern", "x"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.LastErrLine(), "ERROR: No such group on server");
}

} // namespace

namespace {

TEST_F(CliSearch, ShowWritesDecodedTextAndNoControlBytes) {
    const std::string kvx = dir + "/modern.kvx";
    CliResult r = RunCli({"search", "--server", Server(), "--group", korvex_test::kModernGroup,
                          "--pattern", "alert CAF\xc3\x89", "--save", kvx});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(PrintableOnly(r.out)) << r.out;
    EXPECT_TRUE(PrintableOnly(r.err));
    CliResult shown = RunCli({"show", kvx});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(PrintableOnly(shown.out)) << shown.out;
    // The subject that carries a screen-clearing escape shows it as a picture.
    EXPECT_NE(shown.out.find("\tAlert\xe2\x90\x9b[2J now "), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Caf\xc3\xa9"), std::string::npos);
    EXPECT_EQ(shown.out.find("=?UTF-8?"), std::string::npos);
    EXPECT_NE(shown.out.find("Search pattern: alert CAF\xc3\x89\n"), std::string::npos);
}

// A hand-made file: raw Latin-1, escape sequences and a CR in its fields.
TEST(CliShow, RawBytesAndControlsInAFileAreNeutralised) {
    std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    std::string kvx = dir + "/raw.kvx";
    {
        std::ofstream out(kvx, std::ios::binary);
        out << ".kvx file -- do not edit!\r\npat\x1b[2J\r\nSubject\r\nnews\r\ngroup\r\n"
               "Mon Dec  7 10:00:00 2026\r\n1\r\n1\r\n"
               "Jos\xe9 <j@x>\r\ng\r\n=?UTF-8?Q?caf=C3=A9?= \x1b]0;owned\x07\r\nd\r\n<1@x>\r\n"
               "<none>\r\n<none>\r\n<none>\r\n<none>\r\n<none>\r\n\r\nbody\r\n\r\n"
            << '\0' << "\r\n";
    }
    CliResult shown = RunCli({"show", kvx});
    std::filesystem::remove_all(dir);
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(PrintableOnly(shown.out)) << shown.out;
    EXPECT_NE(shown.out.find("Search pattern: pat\xe2\x90\x9b[2J\n"), std::string::npos);
    EXPECT_NE(
        shown.out.find("\n1\tJos\xc3\xa9 <j@x>\tcaf\xc3\xa9 \xe2\x90\x9b]0;owned\xe2\x90\x87\n"),
        std::string::npos)
        << shown.out;
}

} // namespace
