// The same searches on servers that hold the same articles: INN (which lists
// any header with HDR/XHDR), public-inbox (which lists only its overview
// headers and answers an empty list for any other) and leafnode (which reads
// other headers from its article files, and keeps not every article). Article
// numbers agree between INN and public-inbox here, but only the set of
// Message-IDs found is compared, with each other and with what the generator
// says the articles hold.
#include "inn_search_fixture.h"
#include "other_servers.h"

#include <cstdlib>
#include <set>

namespace korvex_test {
namespace {

constexpr int kAll = MATCH_ALL_WORDS;
constexpr int kAny = MATCH_ANY_WORD;
constexpr int kPhrase = MATCH_PHRASE;

class SameArticles : public InnSearch {
  public:
    void SetUp() override {
        InnSearch::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        static bool checked = false;
        static bool usable = false;
        static std::string why;
        if (!checked) {
            usable = ServesGeneratedGroup(PublicInboxServer(), kPublicInboxGroup, why);
            checked = true;
        }
        if (usable) return;
        std::string message = "public-inbox at " + PublicInboxServer() + " does not serve " +
                              kPublicInboxGroup + ": " + why +
                              "\nStart it with: scripts/public-inbox-start.sh BUILD_DIR";
        const char* require = std::getenv("KORVEX_REQUIRE_PUBLIC_INBOX");
        if (require != nullptr && std::string(require) == "1") FAIL() << message;
        GTEST_SKIP() << message;
    }
};

struct Row {
    const char* header;
    const char* pattern;
    int mode;
    int ignoreCase;
    bool findsSome; // guards the generator: the row means something only as stated
    const char* maxHeaders = "all";
    const char* maxArticles = "all";
};

std::set<std::string> FetchedIds(const SearchOutcome& outcome) {
    std::set<std::string> ids;
    for (const kvArticle* record : outcome.Articles())
        ids.insert(record->messageId);
    return ids;
}

// The records fetched from a server carry the header values the generator
// gave their articles (those a search on them depends on).
void ExpectGeneratedFields(const SearchOutcome& outcome) {
    for (const kvArticle* record : outcome.Articles()) {
        const GeneratedArticle* article = InnSearch::ById(kPublicInboxGroup, record->messageId);
        if (article == nullptr) {
            ADD_FAILURE() << "fetched an article the group does not hold: " << record->messageId;
            continue;
        }
        SCOPED_TRACE(record->messageId);
        auto want = [&](const char* name) {
            const std::string* value = article->Header(name);
            return value != nullptr ? value->substr(0, KV_FIELD_SIZE - 1) : std::string(KV_NONE);
        };
        EXPECT_EQ(record->from, want("From"));
        EXPECT_EQ(record->subject, want("Subject"));
        EXPECT_EQ(record->keywords, want("Keywords"));
        EXPECT_EQ(record->organization, want("Organization"));
    }
}

// Runs every row on INN and on public-inbox. Both must fetch exactly the
// articles the generator says match; `listedByPublicInbox` says whether
// public-inbox lists the header itself (no warning may be shown) or the search
// has to read it from the article heads and says so with a warning.
void RunOnBoth(const std::vector<Row>& rows, bool listedByPublicInbox) {
    for (const Row& row : rows) {
        SearchQuery query{kPublicInboxGroup, row.header,     row.pattern,    row.mode,
                          row.ignoreCase,    row.maxHeaders, row.maxArticles};
        SCOPED_TRACE(std::string(row.header) + " \"" + row.pattern + "\" mode " +
                     std::to_string(row.mode) + " ignoreCase " + std::to_string(row.ignoreCase) +
                     " maxHeaders " + row.maxHeaders + " maxArticles " + row.maxArticles);
        const std::vector<GeneratedArticle>& articles = InnSearch::Group(kPublicInboxGroup);
        ExpectedSearch expected = Expect(articles, query);
        ASSERT_EQ(!expected.matches.empty(), row.findsSome)
            << "the generated articles do not fit the row";
        std::set<std::string> wanted;
        for (long n : expected.fetchOrder)
            wanted.insert(articles[static_cast<std::size_t>(n - 1)].MessageId());

        SearchOutcome inn = InnSearch::Search(query);
        ServerChoice publicInbox;
        publicInbox.server = PublicInboxServer();
        SearchOutcome pi = InnSearch::Search(query, publicInbox);

        int count = static_cast<int>(wanted.size());
        EXPECT_EQ(inn.result, count) << "INN: " << inn.statusText;
        EXPECT_EQ(pi.result, count) << "public-inbox: " << pi.statusText;
        EXPECT_EQ(FetchedIds(inn), wanted) << "INN";
        EXPECT_EQ(FetchedIds(pi), wanted) << "public-inbox";
        EXPECT_EQ(FetchedIds(pi), FetchedIds(inn));
        EXPECT_TRUE(inn.warnings.empty()) << "INN warned: " << inn.warnings.front();
        if (listedByPublicInbox)
            EXPECT_TRUE(pi.warnings.empty()) << "public-inbox warned: " << pi.warnings.front();
        else
            EXPECT_FALSE(pi.warnings.empty())
                << "public-inbox does not list " << row.header
                << ", yet the search did not warn that it read the article heads instead";
        ExpectGeneratedFields(pi);
    }
}

TEST_F(SameArticles, OverviewHeadersFindTheSameArticlesOnBothServers) {
    RunOnBoth(
        {
            {"Subject", "kernel", kAny, 1, true},
            {"Subject", "Network Driver", kPhrase, 0, true},
            {"Subject", "printer -panic", kAll, 1, true},
            {"Subject", "Re: Re:", kPhrase, 0, true},
            {"Subject", "RE:", kAny, 0, true},
            {"Subject", "no-such-word", kAny, 1, false},
            {"From", "alice", kAny, 1, true},
            {"From", "example.net", kAny, 0, true},
            {"From", "Archer Dunn", kAny, 0, true},
            // The newest 500 headers only, and at most 7 of the matches.
            {"Subject", "kernel", kAny, 1, true, "500"},
            {"Subject", "e", kAny, 1, true, "all", "7"},
        },
        true);
}

TEST_F(SameArticles, HeadersOutsideTheOverviewFindTheSameArticlesOnBothServers) {
    RunOnBoth(
        {
            {"Keywords", "linux", kAny, 1, true},
            {"Keywords", "Usenet faq", kAll, 0, true},
            {"Keywords", "security printing", kAny, 1, true},
            {"Keywords", "usenet", kAny, 0, false},
            // Empty values match a negated word; articles without the header are not listed.
            {"Keywords", "-linux", kAny, 1, true},
            {"Organization", "korvex lab", kAll, 1, true},
            {"Organization", "Example Corp.", kPhrase, 0, true},
            {"Organization", "nowhere", kAny, 1, true, "500"},
            {"Organization", "university", kAny, 1, true, "all", "5"},
        },
        false);
}

// leafnode, filled from INN by fetchnews, holds most of the group's articles
// under numbers of its own: it must find what INN finds among the articles it
// holds. Only searches of the whole group, as the numbers differ.
TEST_F(SameArticles, LeafnodeFindsTheSameAmongTheArticlesItHolds) {
    std::set<std::string> held;
    std::string why;
    if (!ListedMessageIds(LeafnodeServer(), kPublicInboxGroup, held, why)) {
        std::string message = "leafnode at " + LeafnodeServer() + " does not serve " +
                              kPublicInboxGroup + ": " + why +
                              "\nStart it with: scripts/leafnode-start.sh BUILD_DIR";
        const char* require = std::getenv("KORVEX_REQUIRE_LEAFNODE");
        if (require != nullptr && std::string(require) == "1") FAIL() << message;
        GTEST_SKIP() << message;
    }
    const std::vector<GeneratedArticle>& articles = Group(kPublicInboxGroup);
    for (const std::string& id : held)
        ASSERT_NE(ById(kPublicInboxGroup, id), nullptr) << "leafnode holds an unknown " << id;
    // Enough of the group for the rows to mean something.
    ASSERT_GT(held.size(), articles.size() * 9 / 10);

    const std::vector<Row> rows = {
        {"Subject", "kernel", kAny, 1, true},
        {"Subject", "Network Driver", kPhrase, 0, true},
        {"Subject", "Re: Re:", kPhrase, 0, true},
        {"From", "alice", kAny, 1, true},
        {"Keywords", "linux", kAny, 1, true},
        {"Keywords", "Usenet faq", kAll, 0, true},
        {"Keywords", "-linux", kAny, 1, true},
        {"Organization", "korvex lab", kAll, 1, true},
        {"Organization", "university", kAny, 1, true},
    };
    ServerChoice leafnode;
    leafnode.server = LeafnodeServer();
    for (const Row& row : rows) {
        SearchQuery query{kPublicInboxGroup, row.header, row.pattern, row.mode, row.ignoreCase};
        SCOPED_TRACE(std::string(row.header) + " \"" + row.pattern + "\"");
        ExpectedSearch expected = Expect(articles, query);
        std::set<std::string> wanted;
        for (long n : expected.fetchOrder) {
            const std::string& id = articles[static_cast<std::size_t>(n - 1)].MessageId();
            if (held.count(id) != 0) wanted.insert(id);
        }
        ASSERT_EQ(!wanted.empty(), row.findsSome) << "the held articles do not fit the row";
        SearchOutcome inn = Search(query);
        SearchOutcome leaf = Search(query, leafnode);
        std::set<std::string> innHeld;
        for (const std::string& id : FetchedIds(inn))
            if (held.count(id) != 0) innHeld.insert(id);
        EXPECT_EQ(leaf.result, static_cast<int>(wanted.size())) << leaf.statusText;
        EXPECT_EQ(FetchedIds(leaf), wanted);
        EXPECT_EQ(FetchedIds(leaf), innHeld);
        ExpectGeneratedFields(leaf);
    }
}

} // namespace
} // namespace korvex_test
