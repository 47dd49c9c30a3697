// Searches against the real news server (scripts/inn-start.sh), each checked
// against what the article generator says the server holds.
#include "inn_search_fixture.h"

#include <algorithm>

namespace korvex_test {
namespace {

constexpr int kAll = MATCH_ALL_WORDS;
constexpr int kAny = MATCH_ANY_WORD;
constexpr int kPhrase = MATCH_PHRASE;

struct Row {
    const char* group;
    const char* header;
    const char* pattern;
    int mode;
    int ignoreCase;
    bool findsSome; // guards the generator: the row means something only as stated
    const char* maxHeaders = "all";
    const char* maxArticles = "all";
};

void RunTable(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SearchQuery query{row.group,      row.header,     row.pattern,    row.mode,
                          row.ignoreCase, row.maxHeaders, row.maxArticles};
        ASSERT_EQ(!Expect(InnSearch::Group(row.group), query).matches.empty(), row.findsSome)
            << "the generated articles do not fit the row \"" << row.pattern << "\"";
        InnSearch::SearchAndCompare(query);
    }
}

} // namespace

TEST_F(InnSearch, SearchesFindWhatTheGeneratorSays) {
    RunTable({
        {kSmallGroup, "Subject", "kernel printer", kAny, 1, true},
        {kSmallGroup, "Subject", "Kernel", kAny, 0, true},
        {kSmallGroup, "Subject", "KERNEL", kAny, 0, true},
        {kSmallGroup, "Subject", "KERNEL", kAny, 1, true},
        {kSmallGroup, "Subject", "kernel panic", kAll, 1, true},
        {kSmallGroup, "Subject", "\"card driver\" sound", kAll, 1, true},
        {kSmallGroup, "Subject", "kernel panic", kPhrase, 1, true},
        {kSmallGroup, "Subject", "Network Driver", kPhrase, 0, true},
        {kSmallGroup, "Subject", "  for sale", kPhrase, 1, true},
        {kSmallGroup, "Subject", "kernel -panic", kAny, 1, true},
        {kSmallGroup, "Subject", "-modem -video -kernel", kAny, 1, true},
        {kSmallGroup, "Subject", "Re: -kernel", kAll, 0, true},
        {kSmallGroup, "Subject", "no-such-word", kAny, 1, false},
        // No article here carries Keywords: nothing is listed, nothing matches.
        {kSmallGroup, "Keywords", "-linux", kAny, 1, false},
        {kMixedGroup, "Subject", "Re: Re:", kPhrase, 0, true},
        {kMixedGroup, "Subject", "RE:", kAny, 0, true},
        {kMixedGroup, "Subject", "re:", kAny, 1, true},
        {kMixedGroup, "Subject", "caf\xe9", kAny, 1, true},
        {kMixedGroup, "Subject", "CAF\xc3\xa9 talk", kPhrase, 1, true},
        {kMixedGroup, "Subject", "CAF\xe9", kAny, 0, false},
        {kMixedGroup, "Subject", "jumps", kAny, 1, true},
        {kMixedGroup, "From", "j\xfcrgen gro\xdf", kAll, 1, true},
        {kMixedGroup, "From", "\xc3\xbcller", kAny, 0, true},
        {kMixedGroup, "Keywords", "linux", kAny, 1, true},
        {kMixedGroup, "Keywords", "Usenet faq", kAll, 0, true},
        {kMixedGroup, "Keywords", "usenet", kAny, 0, false},
        // Empty values match a negated word; articles without the header are not listed.
        {kMixedGroup, "Keywords", "-linux", kAny, 1, true},
        {kMixedGroup, "Summary", "lazy dog", kAny, 1, true},
        {kMixedGroup, "Organization", "caf\xe9", kAny, 1, true},
        {kMixedGroup, "Reply-To", "reply-1", kAny, 1, true},
        // The newest 500 (701-1200); then 7 of the matches, the oldest chunk's first.
        {kMixedGroup, "Subject", "kernel", kAny, 1, true, "500"},
        {kMixedGroup, "Subject", "e", kAny, 1, true, "all", "7"},
        {kBigGroup, "Subject", "item 51001", kPhrase, 1, true, "1000"},
        {kBigGroup, "Subject", "item 51000", kPhrase, 1, false, "1000"},
    });
}

TEST_F(InnSearch, BigGroupScansTheNewest51200Headers) {
    const auto& big = Group(kBigGroup);
    ASSERT_EQ(big.size(), 52000u);
    // "keystone" is in every 50th subject: 1040 in the group, 1024 of them in the scanned range.
    SearchQuery keystone{kBigGroup, "Subject", "keystone", kAny, 1};
    ExpectedSearch expected = Expect(big, keystone);
    ASSERT_EQ(expected.lowest, 801);
    ASSERT_EQ(expected.matches.size(), 1024u);
    SearchOutcome outcome = SearchAndCompare(keystone);
    EXPECT_EQ(outcome.groupArticleCount, 52000);
    EXPECT_TRUE(outcome.Showed("SEARCH: 52000 articles in this group; requesting headers..."));
    long chunks = std::count_if(outcome.shown.begin(), outcome.shown.end(), [](const auto& text) {
        return text.rfind("Scanning headers... (", 0) == 0;
    });
    EXPECT_EQ(chunks, 103); // 51200 numbers: 102 chunks of 500 and the final 801-1000
    EXPECT_TRUE(outcome.Showed("Scanning headers... (100% done)"));

    // "relic" is only in articles 100..800, which no search scans, even one
    // that asks for more headers than the most.
    ASSERT_EQ(std::count_if(big.begin(), big.end(),
                            [](const GeneratedArticle& a) {
                                return a.Header("Subject")->find("relic") != std::string::npos;
                            }),
              8);
    RunTable({
        {kBigGroup, "Subject", "relic", kAny, 1, false},
        {kBigGroup, "Subject", "relic", kAny, 1, false, "60000"},
        {kBigGroup, "Subject", "item 00801", kPhrase, 1, true},
        {kBigGroup, "Subject", "item 00800", kPhrase, 1, false},
    });
}

// "whole" goes past the newest 51,200 down to the group's first article: the
// "relic" articles below them are found, and every "keystone" is counted.
TEST_F(InnSearch, BigGroupScannedWholeReachesTheOldestArticles) {
    const auto& big = Group(kBigGroup);
    SearchQuery keystone{kBigGroup, "Subject", "keystone", kAny, 1, "whole"};
    ExpectedSearch expected = Expect(big, keystone);
    ASSERT_EQ(expected.lowest, 1);
    ASSERT_EQ(expected.matches.size(), 1040u);
    SearchOutcome outcome = SearchAndCompare(keystone);
    long chunks = std::count_if(outcome.shown.begin(), outcome.shown.end(), [](const auto& text) {
        return text.rfind("Scanning headers... (", 0) == 0;
    });
    EXPECT_EQ(chunks, 104); // 52,000 numbers in chunks of 500
    EXPECT_TRUE(outcome.Showed("SEARCH: Receiving article 1 of 1024 requested (1040 matched)..."));
    RunTable({
        {kBigGroup, "Subject", "relic", kAny, 1, true, "whole"},
        {kBigGroup, "Subject", "item 00001", kPhrase, 1, true, "whole"},
    });
}

TEST_F(InnSearch, NonexistentGroupFails) {
    SearchOutcome outcome = Search({"korvex.test.nonexistent", "Subject", "kernel", kAny, 1});
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.statusText, "ERROR: No such group on server");
    EXPECT_TRUE(outcome.Showed("Korvex: Selecting newsgroup..."));
    EXPECT_EQ(outcome.set->First(), nullptr);
}

} // namespace korvex_test
