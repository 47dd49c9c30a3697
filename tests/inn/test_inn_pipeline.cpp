// Commands sent ahead change nothing a user can see: against the real news
// server, a search one command at a time and one with the default window show
// the same messages in the same order and save byte-identical results files.
#include "inn_search_fixture.h"
#include "results_file.h"
#include "search_summary.h"
#include "temp_files.h"

namespace korvex_test {
namespace {

std::string SavedResults(const SearchOutcome& outcome, const SearchQuery& query,
                         const std::string& path) {
    if (outcome.result <= 0) return "";
    kvSearchRequest request;
    CopyField(request.pattern, query.pattern.c_str());
    CopyField(request.server, InnSearch::Server().c_str());
    CopyField(request.newsgroup, query.group.c_str());
    CopyField(request.header, query.header.c_str());
    kvSearchSummary summary;
    // A fixed start date: the two files may differ in nothing else.
    FillSearchSummary(summary, request, "Wed Dec  9 10:00:00 2026", outcome.groupArticleCount,
                      outcome.result);
    EXPECT_EQ(SaveResultsFile(path.c_str(), summary, *outcome.set), 1);
    return ReadBytes(path);
}

TEST_F(InnSearch, DefaultWindowSearchesLikeOneCommandAtATime) {
    struct Row {
        const char* group;
        const char* header;
        const char* pattern;
        int mode;
        const char* maxHeaders;
        const char* maxArticles;
    };
    const Row rows[] = {
        {kSmallGroup, "Subject", "kernel printer", MATCH_ANY_WORD, "all", "all"},
        {kSmallGroup, "Subject", "kernel panic", MATCH_PHRASE, "all", "3"},
        {kSmallGroup, "From", "e", MATCH_ANY_WORD, "all", "all"},
        {kMixedGroup, "Subject", "re:", MATCH_ANY_WORD, "all", "all"},
        {kMixedGroup, "Keywords", "-linux", MATCH_ANY_WORD, "all", "all"},
        {kMixedGroup, "Subject", "e", MATCH_ANY_WORD, "700", "7"},
        {kMixedGroup, "Subject", "no-such-word", MATCH_ANY_WORD, "all", "all"},
        {kBigGroup, "Subject", "keystone", MATCH_ANY_WORD, "all", "all"},
        {kBigGroup, "Subject", "item", MATCH_ANY_WORD, "all", "100"},
        {kBigGroup, "Subject", "keystone relic", MATCH_ANY_WORD, "4000", "all"},
    };
    TempDir dir("pipeline");
    int withArticles = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.group) + " " + row.header + " \"" + row.pattern + "\"");
        SearchQuery query{row.group, row.header,     row.pattern,     row.mode,
                          1,         row.maxHeaders, row.maxArticles, 1};
        SearchOutcome single = Search(query);
        query.pipeline = KV_DEFAULT_PIPELINE;
        SearchOutcome ahead = Search(query);

        EXPECT_EQ(ahead.result, single.result);
        EXPECT_EQ(ahead.statusText, single.statusText);
        EXPECT_EQ(ahead.groupArticleCount, single.groupArticleCount);
        EXPECT_EQ(ahead.shown, single.shown);
        EXPECT_GT(single.shown.size(), 5u);
        const std::string one = SavedResults(single, query, dir / "single.kvx");
        const std::string many = SavedResults(ahead, query, dir / "ahead.kvx");
        EXPECT_TRUE(one == many) << "results files differ";
        if (single.result > 0) {
            ++withArticles;
            EXPECT_FALSE(one.empty());
        }
    }
    EXPECT_GE(withArticles, 7); // the rows mean something only when most find articles
}

} // namespace
} // namespace korvex_test
