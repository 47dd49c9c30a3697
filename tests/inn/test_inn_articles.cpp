// Fetching particular articles of the mixed group from the real news server:
// long bodies cut with the warning, missing bodies, dot-stuffed lines, 8-bit
// bytes, empty and missing optional headers. The articles are picked from the
// generator by what they contain, found by searching their Message-IDs, and
// each record is compared with its article field by field and body by body.
#include "inn_search_fixture.h"

#include <algorithm>
#include <functional>

namespace korvex_test {
namespace {

struct Pick {
    std::string what;
    std::function<bool(const GeneratedArticle&)> wanted;
    std::size_t most, least;
};

bool HasEightBit(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Fetches up to pick.most articles, ten Message-IDs per search, and compares them.
void FetchAndCompare(const Pick& pick) {
    SCOPED_TRACE(pick.what);
    const auto& mixed = InnSearch::Group(kMixedGroup);
    std::vector<long> numbers;
    for (const GeneratedArticle& a : mixed)
        if (numbers.size() < pick.most && pick.wanted(a)) numbers.push_back(a.number);
    ASSERT_GE(numbers.size(), pick.least) << "the generator makes too few such articles";
    int index = 0;
    for (const GeneratedGroupInfo& g : GeneratedGroups())
        if (g.name == kMixedGroup) index = g.index;
    for (std::size_t start = 0; start < numbers.size(); start += 10) {
        std::string pattern;
        std::size_t end = std::min(numbers.size(), start + 10);
        for (std::size_t i = start; i < end; ++i) {
            std::string id = GeneratedMessageId(index, numbers[i]);
            pattern += id.substr(0, id.find('@') + 1) + " "; // "<g2.75.v1@" names one article
        }
        SearchOutcome outcome =
            InnSearch::Search({kMixedGroup, "Message-ID", pattern, MATCH_ANY_WORD, 0});
        std::vector<long> got;
        for (const kvArticle* record : outcome.Articles()) {
            const GeneratedArticle* article = InnSearch::ById(kMixedGroup, record->messageId);
            ASSERT_NE(article, nullptr) << record->messageId;
            got.push_back(article->number);
            InnSearch::ExpectRecordMatches(*record, *article);
        }
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, std::vector<long>(numbers.begin() + start, numbers.begin() + end))
            << outcome.statusText;
    }
}

} // namespace

TEST_F(InnSearch, FetchedArticlesMatchTheGeneratedOnes) {
    std::vector<Pick> picks = {
        {"body over 40000 bytes", [](const auto& a) { return a.body.size() > 40000; }, 20, 3},
        {"no body", [](const auto& a) { return a.body.empty(); }, 6, 3},
        {"dot-stuffed lines",
         [](const auto& a) { return a.body.size() < 20000 && a.body.rfind(".\n..\n", 0) == 0; }, 8,
         3},
        {"8-bit bytes",
         [](const auto& a) {
             return HasEightBit(*a.Header("From")) || HasEightBit(*a.Header("Subject")) ||
                    HasEightBit(a.body);
         },
         20, 10},
        {"a Sender", [](const auto& a) { return a.Header("Sender") != nullptr; }, 2, 2},
    };
    for (std::string name : {"Organization", "Keywords", "Summary", "Reply-To"}) {
        picks.push_back(
            {"empty " + name,
             [name](const auto& a) { return a.Header(name) != nullptr && a.Header(name)->empty(); },
             2, 2});
        picks.push_back(
            {"no " + name, [name](const auto& a) { return a.Header(name) == nullptr; }, 2, 2});
    }
    for (const Pick& pick : picks)
        FetchAndCompare(pick);
}

} // namespace korvex_test
