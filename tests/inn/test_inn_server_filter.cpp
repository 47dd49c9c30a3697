// The server's pre-filtering (XPAT) against the real news server: for words,
// phrases, cases, specials, 8-bit and encoded words, a search with it finds,
// fetches and shows exactly what the same search without it does.
#include "inn_search_fixture.h"

#include <string>
#include <vector>

namespace korvex_test {
namespace {

std::vector<std::string> Ids(const SearchOutcome& outcome) {
    std::vector<std::string> ids;
    for (const kvArticle* a : outcome.Articles())
        ids.push_back(a->messageId);
    return ids;
}

TEST_F(InnSearch, PreFilteredSearchesEqualFullScans) {
    const struct {
        const char* group;
        const char* header;
        const char* pattern;
        int mode;
        int ignoreCase;
        const char* maxHeaders;
    } rows[] = {
        {kBigGroup, "Subject", "keystone", MATCH_ANY_WORD, 1, "all"},
        {kBigGroup, "Subject", "KEYSTONE orchid", MATCH_ANY_WORD, 1, "all"},
        {kBigGroup, "Subject", "orchid keystone", MATCH_ALL_WORDS, 1, "all"},
        {kBigGroup, "Subject", "orchid -keystone", MATCH_ALL_WORDS, 0, "20000"},
        {kBigGroup, "Subject", "item 5100", MATCH_PHRASE, 1, "all"},
        {kBigGroup, "Subject", "Item 5100", MATCH_PHRASE, 0, "all"},
        {kBigGroup, "Subject", "item*51?00 [x]", MATCH_ANY_WORD, 1, "3000"},
        {kBigGroup, "From", "example", MATCH_ANY_WORD, 1, "2000"},
        // The whole group, down to the oldest articles no limited scan reaches.
        {kBigGroup, "Subject", "relic", MATCH_ANY_WORD, 1, "whole"},
        {kBigGroup, "Subject", "keystone RELIC", MATCH_ANY_WORD, 1, "whole"},
        {kSmallGroup, "Subject", "kernel printer", MATCH_ANY_WORD, 1, "all"},
        {kSmallGroup, "Subject", "\"card driver\" sound", MATCH_ALL_WORDS, 1, "all"},
        {kMixedGroup, "Subject", "re:", MATCH_ANY_WORD, 1, "all"},
        {kMixedGroup, "Subject", "jumps", MATCH_ANY_WORD, 1, "all"},
        {kMixedGroup, "Subject", "caf\xe9 kernel", MATCH_ALL_WORDS, 1, "all"},
        {kMixedGroup, "Keywords", "linux", MATCH_ANY_WORD, 1, "all"},
        {kMixedGroup, "Summary", "lazy dog", MATCH_PHRASE, 1, "all"},
        {kModernGroup, "Subject", "CAF\xc3\x89", MATCH_ANY_WORD, 1, "all"},
        {kModernGroup, "Subject", "kernel", MATCH_ANY_WORD, 1, "all"},
        {kModernGroup, "Subject", "abc", MATCH_ANY_WORD, 1, "all"},
        {kModernGroup, "From", "m\xc3\xbcller example", MATCH_ANY_WORD, 1, "all"},
    };
    int found = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.group) + " " + row.header + " [" + row.pattern + "]");
        SearchQuery query{row.group, row.header,     row.pattern,
                          row.mode,  row.ignoreCase, row.maxHeaders};
        ServerChoice full;
        full.serverFilter = false;
        SearchOutcome plain = Search(query, full);
        SearchOutcome filtered = Search(query);
        EXPECT_EQ(filtered.result, plain.result);
        EXPECT_EQ(filtered.statusText, plain.statusText);
        EXPECT_EQ(filtered.shown, plain.shown);
        EXPECT_EQ(Ids(filtered), Ids(plain));
        found += plain.result > 0 ? 1 : 0;
    }
    EXPECT_GE(found, 16); // most rows find articles, so the comparison means something
}

} // namespace
} // namespace korvex_test
