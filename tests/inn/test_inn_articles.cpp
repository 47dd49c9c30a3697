// Fetching particular articles of the mixed group from the real news server
// and checking what the records hold: long bodies cut with the warning,
// missing bodies, dot-stuffed lines, 8-bit header bytes, empty and missing
// optional headers. The articles are picked from the generator by what they
// contain and found by searching their Message-IDs.
#include "inn_search_fixture.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

namespace korvex_test {
namespace {

struct Fetched {
    std::vector<SearchOutcome> outcomes; // own the records
    std::map<long, const kvArticle*> byNumber;
};

// Fetches the articles with the given numbers, ten Message-IDs per search.
Fetched FetchArticles(const std::string& group, const std::vector<long>& numbers) {
    Fetched fetched;
    int index = 0;
    for (const GeneratedGroupInfo& g : GeneratedGroups())
        if (g.name == group) index = g.index;
    for (std::size_t start = 0; start < numbers.size(); start += 10) {
        std::string pattern;
        std::size_t end = std::min(numbers.size(), start + 10);
        for (std::size_t i = start; i < end; ++i) {
            std::string id = GeneratedMessageId(index, numbers[i]);
            pattern += id.substr(0, id.find('@') + 1) + " "; // "<g2.75.v1@" names one article
        }
        SearchOutcome outcome =
            InnSearch::Search({group, "Message-ID", pattern, MATCH_ANY_WORD, 0});
        EXPECT_EQ(outcome.result, static_cast<int>(end - start)) << outcome.statusText;
        for (const kvArticle* record : outcome.Articles()) {
            const GeneratedArticle* article = InnSearch::ById(group, record->messageId);
            if (article != nullptr) fetched.byNumber[article->number] = record;
        }
        fetched.outcomes.push_back(std::move(outcome));
    }
    return fetched;
}

// Numbers of up to `most` mixed-group articles that satisfy `wanted`.
std::vector<long> Pick(const std::function<bool(const GeneratedArticle&)>& wanted,
                       std::size_t most) {
    std::vector<long> numbers;
    for (const GeneratedArticle& a : InnSearch::Group(kMixedGroup))
        if (numbers.size() < most && wanted(a)) numbers.push_back(a.number);
    return numbers;
}

bool HasEightBit(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// Fetches the picked articles and checks every record against its article.
Fetched FetchAndCompare(const std::vector<long>& numbers) {
    Fetched fetched = FetchArticles(kMixedGroup, numbers);
    EXPECT_EQ(fetched.byNumber.size(), numbers.size());
    const auto& mixed = InnSearch::Group(kMixedGroup);
    for (const auto& [number, record] : fetched.byNumber)
        InnSearch::ExpectRecordMatches(*record, mixed[static_cast<std::size_t>(number - 1)]);
    return fetched;
}

} // namespace

TEST_F(InnSearch, LongArticlesComeBackCutWithTheWarning) {
    std::vector<long> numbers =
        Pick([](const GeneratedArticle& a) { return a.body.size() > 40000; }, 20);
    ASSERT_GE(numbers.size(), 3u);
    Fetched fetched = FetchAndCompare(numbers);
    for (const auto& [number, record] : fetched.byNumber) {
        ASSERT_NE(record->body, nullptr) << number;
        std::string body = record->body.get();
        EXPECT_LT(body.size(), 32768u) << number;
        EXPECT_EQ(body.substr(body.size() - std::strlen(kLongArticleTail)), kLongArticleTail)
            << number;
    }
}

TEST_F(InnSearch, ArticlesWithoutBodyHaveNone) {
    std::vector<long> numbers = Pick([](const GeneratedArticle& a) { return a.body.empty(); }, 6);
    ASSERT_GE(numbers.size(), 3u);
    Fetched fetched = FetchAndCompare(numbers);
    for (const auto& [number, record] : fetched.byNumber) {
        EXPECT_EQ(record->body, nullptr) << number;
        EXPECT_EQ(record->lines, 0) << number;
    }
}

TEST_F(InnSearch, DotStuffedLinesComeBackUndoneWithLfLineEnds) {
    std::vector<long> numbers = Pick(
        [](const GeneratedArticle& a) {
            return a.body.size() < 20000 && a.body.rfind(".\n..\n", 0) == 0;
        },
        8);
    ASSERT_GE(numbers.size(), 3u);
    Fetched fetched = FetchAndCompare(numbers);
    for (const auto& [number, record] : fetched.byNumber) {
        ASSERT_NE(record->body, nullptr) << number;
        std::string body = record->body.get();
        EXPECT_EQ(body.rfind(".\n..\n.hidden dot line\n", 0), 0u) << number;
        EXPECT_NE(body.find("\n...three dots\n.\n"), std::string::npos) << number;
        EXPECT_EQ(body.find('\r'), std::string::npos) << number;
    }
}

TEST_F(InnSearch, EightBitBytesComeBackUnchanged) {
    std::vector<long> numbers = Pick(
        [](const GeneratedArticle& a) {
            return HasEightBit(*a.Header("From")) || HasEightBit(*a.Header("Subject")) ||
                   HasEightBit(a.body);
        },
        20);
    ASSERT_GE(numbers.size(), 10u);
    Fetched fetched = FetchAndCompare(numbers);
    const auto& mixed = Group(kMixedGroup);
    for (const auto& [number, record] : fetched.byNumber) {
        const GeneratedArticle& a = mixed[static_cast<std::size_t>(number - 1)];
        EXPECT_EQ(std::string(record->from), *a.Header("From")) << number;
        EXPECT_EQ(std::string(record->subject), a.Header("Subject")->substr(0, 511)) << number;
    }
}

TEST_F(InnSearch, OptionalHeadersAreStoredEmptyOrAsNone) {
    std::vector<long> numbers;
    for (const char* name : {"Organization", "Keywords", "Summary", "Reply-To"}) {
        auto empty = [name](const GeneratedArticle& a) {
            return a.Header(name) != nullptr && a.Header(name)->empty();
        };
        std::vector<long> some = Pick(empty, 2);
        ASSERT_EQ(some.size(), 2u) << "no empty " << name << " header generated";
        numbers.insert(numbers.end(), some.begin(), some.end());
        std::vector<long> absent =
            Pick([name](const GeneratedArticle& a) { return a.Header(name) == nullptr; }, 2);
        numbers.insert(numbers.end(), absent.begin(), absent.end());
    }
    std::vector<long> senders =
        Pick([](const GeneratedArticle& a) { return a.Header("Sender") != nullptr; }, 2);
    ASSERT_EQ(senders.size(), 2u);
    numbers.insert(numbers.end(), senders.begin(), senders.end());
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    FetchAndCompare(numbers); // field by field: "" for empty, "<none>" for absent
}

} // namespace korvex_test
