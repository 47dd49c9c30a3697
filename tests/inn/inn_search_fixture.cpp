#include "inn_search_fixture.h"

#include "search_run.h"
#include "server_check.h"

#include <cstdlib>
#include <sstream>

namespace korvex_test {

namespace {

// How the body of a record ends after the client cut a long article.
const char kLongArticleTail[] =
    "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";

constexpr std::size_t kFieldKept = 511;
constexpr std::size_t kArticleCut = 30719;
// Path and Xref lines that the server adds, and the 220 status line.
constexpr std::size_t kServerAddedBytes = 200;

const char* const kFieldHeaders[KV_ARTICLE_FIELD_COUNT] = {
    "From",         "Newsgroups", "Subject", "Date",   "Message-ID",
    "Organization", "Keywords",   "Summary", "Sender", "Reply-To"};

std::string Describe(const SearchQuery& query) {
    return query.group + " " + query.header + " \"" + query.pattern + "\" mode " +
           std::to_string(query.matchMode) + " ignoreCase " + std::to_string(query.ignoreCase) +
           " maxHeaders " + query.maxHeaders + " maxArticles " + query.maxArticles;
}

} // namespace

std::vector<const kvArticle*> SearchOutcome::Articles() const {
    std::vector<const kvArticle*> records;
    for (const kvArticle& article : *set)
        records.push_back(&article);
    return records;
}

bool SearchOutcome::Showed(const std::string& message) const {
    for (const std::string& text : shown)
        if (text == message) return true;
    return false;
}

std::string InnSearch::Server() {
    const char* server = std::getenv("KORVEX_NNTP_SERVER");
    return server != nullptr && *server != '\0' ? server : "127.0.0.1";
}

void InnSearch::SetUp() {
    static bool checked = false;
    static ServerState state = ServerState::Unreachable;
    static std::string report;
    if (!checked) {
        std::ostringstream out;
        state = CheckServer(Server(), out, CheckDepth::Quick);
        report = out.str();
        checked = true;
    }
    if (state == ServerState::Loaded) return;
    std::string why = "the news server at " + Server() +
                      " does not serve the generated test articles:\n" + report +
                      "Start it with: scripts/inn-start.sh BUILD_DIR";
    const char* require = std::getenv("KORVEX_REQUIRE_INN");
    if (require != nullptr && std::string(require) == "1") FAIL() << why;
    GTEST_SKIP() << why;
}

const std::vector<GeneratedArticle>& InnSearch::Group(const std::string& name) {
    static std::map<std::string, std::vector<GeneratedArticle>> groups;
    auto it = groups.find(name);
    if (it == groups.end()) it = groups.emplace(name, GenerateGroup(name)).first;
    return it->second;
}

const GeneratedArticle* InnSearch::ById(const std::string& group, const std::string& messageId) {
    static std::map<std::string, const GeneratedArticle*> index;
    if (index.empty()) {
        for (const GeneratedGroupInfo& g : GeneratedGroups())
            for (const GeneratedArticle& a : Group(g.name))
                index[a.group + a.MessageId()] = &a;
    }
    auto it = index.find(group + messageId);
    return it == index.end() ? nullptr : it->second;
}

SearchOutcome InnSearch::Search(const SearchQuery& query, const ServerChoice& choice) {
    kvSearchRequest request;
    CopyField(request.pattern, query.pattern.c_str());
    CopyField(request.server, choice.server.empty() ? Server().c_str() : choice.server.c_str());
    CopyField(request.caFile, choice.caFile.c_str());
    request.allowPlainPassword = choice.allowPlainPassword;
    request.compress = choice.compress;
    request.serverFilter = choice.serverFilter;
    CopyField(request.newsgroup, query.group.c_str());
    CopyField(request.header, query.header.c_str());
    CopyField(request.maxHeaders, query.maxHeaders.c_str());
    CopyField(request.maxArticles, query.maxArticles.c_str());
    request.matchMode = query.matchMode;
    request.ignoreCase = query.ignoreCase;
    request.pipeline = query.pipeline;

    SearchOutcome outcome;
    kvSearchContext context;
    context.report = [&outcome](const kvStatus& status) {
        outcome.shown.push_back(status.text);
        if (status.kind == kvStatusKind::Warning) outcome.warnings.push_back(status.text);
    };
    context.credentials = choice.credentials;
    outcome.result = RunSearch(request, *outcome.set, context);
    outcome.statusText = context.statusText;
    outcome.groupArticleCount = context.groupArticleCount;
    return outcome;
}

SearchOutcome InnSearch::SearchAndCompare(const SearchQuery& query, const ServerChoice& choice) {
    SCOPED_TRACE(Describe(query));
    const std::vector<GeneratedArticle>& articles = Group(query.group);
    ExpectedSearch expected = Expect(articles, query);
    SearchOutcome outcome = Search(query, choice);

    if (expected.fetchOrder.empty()) {
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.statusText, "SEARCH: No matching articles found");
        return outcome;
    }
    int count = static_cast<int>(expected.fetchOrder.size());
    EXPECT_EQ(outcome.result, count) << outcome.statusText;
    if (outcome.result != count) return outcome;
    EXPECT_EQ(outcome.statusText, "SUCCESS: " + std::to_string(count) + " articles received");
    // The first fetch names how many matched (or how many are requested).
    int limit = expected.matches.size() > expected.fetchOrder.size()
                    ? count
                    : static_cast<int>(expected.matches.size());
    // A whole-group scan says how many matched beside the articles requested.
    std::string of = expected.matches.size() <= expected.fetchOrder.size() ? " found..."
                     : query.maxHeaders == "whole"
                         ? " requested (" + std::to_string(expected.matches.size()) + " matched)..."
                         : " requested...";
    EXPECT_TRUE(outcome.Showed("SEARCH: Receiving article 1 of " + std::to_string(limit) + of));

    // The same articles, in the order of the fetch regrouped by subject.
    std::vector<std::string> wanted, got;
    for (long n : GroupedBySubject(articles, expected.fetchOrder))
        wanted.push_back(articles[static_cast<std::size_t>(n - 1)].MessageId());
    std::vector<const kvArticle*> records = outcome.Articles();
    for (std::size_t i = 0; i < records.size(); ++i) {
        got.push_back(records[i]->messageId);
        EXPECT_EQ(records[i]->next, i + 1 < records.size() ? records[i + 1] : nullptr);
        const GeneratedArticle* article = ById(query.group, records[i]->messageId);
        if (article == nullptr) {
            ADD_FAILURE() << "fetched an article the group does not hold: "
                          << records[i]->messageId;
            continue;
        }
        ExpectRecordMatches(*records[i], *article);
    }
    EXPECT_EQ(got, wanted);
    return outcome;
}

void InnSearch::ExpectRecordMatches(const kvArticle& record, const GeneratedArticle& article) {
    SCOPED_TRACE(article.group + " article " + std::to_string(article.number));
    for (int i = 0; i < KV_ARTICLE_FIELD_COUNT; ++i) {
        const std::string* value = article.Header(kFieldHeaders[i]);
        std::string want = value != nullptr ? value->substr(0, kFieldKept) : KV_NONE;
        EXPECT_EQ(ArticleField(record, i), want) << kFieldHeaders[i];
    }
    EXPECT_EQ(record.lines, article.BodyLines());

    if (article.ReadableBody().empty()) {
        EXPECT_EQ(record.body, nullptr);
        return;
    }
    ASSERT_NE(record.body, nullptr);
    std::string body = record.body.get();
    EXPECT_EQ(body.find('\r'), std::string::npos);
    std::size_t wireSize = WireArticle(article).size() + kServerAddedBytes;
    if (wireSize <= kArticleCut) {
        EXPECT_EQ(body, article.ReadableBody());
    } else if (!article.mime && article.body.size() > kArticleCut + 4096) {
        std::string tail = kLongArticleTail;
        ASSERT_GT(body.size(), tail.size());
        ASSERT_EQ(body.substr(body.size() - tail.size()), tail);
        std::string kept = body.substr(0, body.size() - tail.size());
        EXPECT_EQ(article.body.compare(0, kept.size(), kept), 0) << "kept text is not the start";
        EXPECT_EQ(kept.back(), '\n') << "cut inside a line";
        EXPECT_GT(kept.size(), kArticleCut - 4096);
        EXPECT_LT(kept.size(), kArticleCut + 4096);
        EXPECT_LT(body.size(), 32768u);
    } else {
        ADD_FAILURE() << "the generator made an article too close to the cut to predict it";
    }
}

} // namespace korvex_test
