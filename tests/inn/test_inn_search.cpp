// Searches against the real news server (scripts/inn-start.sh), each checked
// against what the article generator says the server holds.
#include "inn_search_fixture.h"

#include <algorithm>
#include <set>

namespace korvex_test {
namespace {

constexpr int kAll = MATCH_ALL_WORDS;
constexpr int kAny = MATCH_ANY_WORD;
constexpr int kPhrase = MATCH_PHRASE;

struct Row {
    const char* header;
    const char* pattern;
    int mode;
    int ignoreCase;
    bool findsSome; // guards the generator: the row must have matches to mean anything
};

void RunTable(const char* group, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SearchQuery query{group, row.header, row.pattern, row.mode, row.ignoreCase};
        SCOPED_TRACE(std::string("pattern \"") + row.pattern + "\" in " + row.header);
        bool some = !Expect(InnSearch::Group(group), query).matches.empty();
        ASSERT_EQ(some, row.findsSome) << "the generated articles do not fit this row";
        InnSearch::SearchAndCompare(query);
    }
}

// Article numbers of the fetched records of a search in the mixed group.
std::set<long> Numbers(const SearchOutcome& outcome, const std::string& group) {
    std::set<long> numbers;
    for (const kvArticle* record : outcome.Articles()) {
        const GeneratedArticle* article = InnSearch::ById(group, record->messageId);
        numbers.insert(article != nullptr ? article->number : -1);
    }
    return numbers;
}

} // namespace

TEST_F(InnSearch, SubjectSearchInSmallGroupFindsWhatTheGeneratorSays) {
    RunTable(kSmallGroup, {
                              {"Subject", "kernel printer", kAny, 1, true},
                              {"Subject", "Kernel", kAny, 0, true},
                              {"Subject", "KERNEL", kAny, 0, true},
                              {"Subject", "KERNEL", kAny, 1, true},
                              {"Subject", "kernel panic", kAll, 1, true},
                              {"Subject", "\"card driver\" sound", kAll, 1, true},
                              {"Subject", "kernel panic", kPhrase, 1, true},
                              {"Subject", "Network Driver", kPhrase, 0, true},
                              {"Subject", "  for sale", kPhrase, 1, true},
                              {"Subject", "kernel -panic", kAny, 1, true},
                              {"Subject", "-modem -video -kernel", kAny, 1, true},
                              {"Subject", "Re: -kernel", kAll, 0, true},
                              {"Subject", "no-such-word", kAny, 1, false},
                          });
}

TEST_F(InnSearch, CaseMattersOnlyWhenAsked) {
    const auto& small = Group(kSmallGroup);
    auto matches = [&](int ignoreCase) {
        return Expect(small, {kSmallGroup, "Subject", "Kernel", kAny, ignoreCase}).matches;
    };
    // The generator's subjects spell the word three ways, so the two searches differ.
    ASSERT_LT(matches(0).size(), matches(1).size());
    SearchOutcome exact = Search({kSmallGroup, "Subject", "Kernel", kAny, 0});
    SearchOutcome folded = Search({kSmallGroup, "Subject", "Kernel", kAny, 1});
    EXPECT_EQ(exact.result, static_cast<int>(matches(0).size()));
    EXPECT_EQ(folded.result, static_cast<int>(matches(1).size()));
    for (const kvArticle* record : exact.Articles())
        EXPECT_NE(std::string(record->subject).find("Kernel"), std::string::npos)
            << record->subject;
}

TEST_F(InnSearch, ReplyPrefixesAndEightBitSubjectsInMixedGroup) {
    RunTable(kMixedGroup, {
                              {"Subject", "Re: Re:", kPhrase, 0, true},
                              {"Subject", "RE:", kAny, 0, true},
                              {"Subject", "re:", kAny, 1, true},
                              {"Subject", "caf\xe9", kAny, 1, true},
                              {"Subject", "CAF\xc3\xa9 talk", kPhrase, 1, true},
                              {"Subject", "CAF\xe9", kAny, 0, false},
                              {"Subject", "jumps", kAny, 1, true},
                              {"From", "j\xfcrgen gro\xdf", kAll, 1, true},
                              {"From", "\xc3\xbcller", kAny, 0, true},
                          });
}

TEST_F(InnSearch, OptionalHeadersListOnlyArticlesThatCarryThem) {
    RunTable(kMixedGroup, {
                              {"Keywords", "linux", kAny, 1, true},
                              {"Keywords", "Usenet faq", kAll, 0, true},
                              {"Keywords", "usenet", kAny, 0, false},
                              {"Summary", "lazy dog", kAny, 1, true},
                              {"Organization", "caf\xe9", kAny, 1, true},
                              {"Reply-To", "reply-1", kAny, 1, true},
                          });
}

TEST_F(InnSearch, NegatedKeywordFindsEmptyValuesButNotMissingHeaders) {
    SearchQuery query{kMixedGroup, "Keywords", "-linux", kAny, 1};
    SearchAndCompare(query);
    SearchOutcome outcome = Search(query);
    long empty = 0;
    for (const GeneratedArticle& a : Group(kMixedGroup))
        if (a.Header("Keywords") != nullptr && a.Header("Keywords")->empty()) ++empty;
    ASSERT_GT(empty, 0) << "the generator makes no article with an empty Keywords header";
    long emptyFetched = 0;
    for (const kvArticle* record : outcome.Articles()) {
        EXPECT_FALSE(IsMissing(record->keywords)) << record->messageId;
        if (record->keywords[0] == '\0') ++emptyFetched;
    }
    EXPECT_EQ(emptyFetched, empty);

    // The small group's articles carry no Keywords: nothing is listed, so even
    // a pattern that every value would match finds nothing.
    SearchQuery none{kSmallGroup, "Keywords", "-linux", kAny, 1};
    ASSERT_TRUE(Expect(Group(kSmallGroup), none).matches.empty());
    SearchOutcome nothing = Search(none);
    EXPECT_EQ(nothing.result, 0);
    EXPECT_EQ(nothing.statusText, "SEARCH: No matching articles found");
}

TEST_F(InnSearch, MaxHeadersCoversOnlyTheNewestArticles) {
    SearchQuery query{kMixedGroup, "Subject", "kernel", kAny, 1, "500"};
    ExpectedSearch expected = Expect(Group(kMixedGroup), query);
    ASSERT_EQ(expected.lowest, 701);
    SearchQuery whole = query;
    whole.maxHeaders = "all";
    ASSERT_GT(Expect(Group(kMixedGroup), whole).matches.size(), expected.matches.size());

    SearchAndCompare(query);
    SearchOutcome outcome = Search(query);
    std::set<long> numbers = Numbers(outcome, kMixedGroup);
    ASSERT_FALSE(numbers.empty());
    EXPECT_GE(*numbers.begin(), 701);
}

TEST_F(InnSearch, MaxArticlesFetchesTheOldestChunksMatchesFirst) {
    // Three chunks: 701-1200, 201-700, 1-200. The fetch begins with the last
    // chunk scanned, highest number first.
    SearchQuery query{kMixedGroup, "Subject", "e", kAny, 1, "all", "7"};
    ExpectedSearch expected = Expect(Group(kMixedGroup), query);
    ASSERT_EQ(expected.fetchOrder.size(), 7u);
    ASSERT_LT(expected.fetchOrder.front(), 201);
    SearchAndCompare(query);
    SearchOutcome outcome = Search(query);
    EXPECT_TRUE(outcome.Showed("SEARCH: Receiving article 1 of 7 requested..."));
    EXPECT_EQ(Numbers(outcome, kMixedGroup),
              std::set<long>(expected.fetchOrder.begin(), expected.fetchOrder.end()));
}

TEST_F(InnSearch, BigGroupScansTheNewest51200Headers) {
    const auto& big = Group(kBigGroup);
    ASSERT_EQ(big.size(), 52000u);

    // "keystone" is in every 50th subject: 1040 in the group, 1024 of them in the scanned range.
    SearchQuery keystone{kBigGroup, "Subject", "keystone", kAny, 1};
    ExpectedSearch expected = Expect(big, keystone);
    ASSERT_EQ(expected.lowest, 801);
    ASSERT_EQ(expected.matches.size(), 1024u);
    SearchAndCompare(keystone);

    SearchOutcome outcome = Search(keystone);
    EXPECT_EQ(outcome.groupArticleCount, 52000);
    EXPECT_TRUE(outcome.Showed("SEARCH: 52000 articles in this group; requesting headers..."));
    long chunks = std::count_if(outcome.shown.begin(), outcome.shown.end(), [](const auto& text) {
        return text.rfind("Scanning headers... (", 0) == 0;
    });
    EXPECT_EQ(chunks, 103); // 51200 numbers: 102 chunks of 500 and the final 801-1000
    EXPECT_TRUE(outcome.Showed("Scanning headers... (100% done)"));
    EXPECT_EQ(*Numbers(outcome, kBigGroup).begin(), 850);

    // Words only in the oldest 800 articles are never seen.
    SearchQuery relic{kBigGroup, "Subject", "relic", kAny, 1};
    SearchQuery everything = relic;
    everything.maxHeaders = "60000"; // above the most, so the same as "all"
    EXPECT_EQ(Expect(big, relic).matches.size(), 0u);
    long relics = std::count_if(big.begin(), big.end(), [](const GeneratedArticle& a) {
        return a.Header("Subject")->find("relic") != std::string::npos;
    });
    ASSERT_EQ(relics, 8);
    SearchAndCompare(relic);
    SearchAndCompare(everything);

    // The boundary: article 801 is scanned, 800 is not.
    SearchAndCompare({kBigGroup, "Subject", "item 00801", kPhrase, 1});
    SearchAndCompare({kBigGroup, "Subject", "item 00800", kPhrase, 1});
    EXPECT_EQ(Search({kBigGroup, "Subject", "item 00801", kPhrase, 1}).result, 1);
}

TEST_F(InnSearch, NonexistentGroupFails) {
    SearchOutcome outcome = Search({"korvex.test.nonexistent", "Subject", "kernel", kAny, 1});
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.statusText, "ERROR: No such group on server");
    EXPECT_TRUE(outcome.Showed("Korvex: Selecting newsgroup..."));
    EXPECT_EQ(outcome.set->slots[0], nullptr);
}

} // namespace korvex_test
