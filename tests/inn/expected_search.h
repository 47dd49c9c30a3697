// What a search of the test server must find, worked out from the generated
// articles alone: which articles the server lists for a header (those that
// carry it), which of them fall in the scanned range of newest numbers, which
// values match the pattern (plain substring search, A-Z folded when case is
// ignored; values with MIME encoded words by their decoded text, all letters
// folded), and in which order the matches are fetched.
//
// Deliberately written apart from the engine's matcher and search run: it
// supports the simple patterns the tests use (words, "quoted groups", leading
// minus signs) and says nothing about edge cases of the pattern syntax.
#pragma once

#include "article_generator.h"
#include "records.h"

#include <string>
#include <vector>

namespace korvex_test {

struct SearchQuery {
    std::string group;
    std::string header;
    std::string pattern;
    int matchMode;  // 0 all words, 1 any word, 2 phrase
    int ignoreCase; // 1: A-Z folded on both sides
    std::string maxHeaders = "all";
    std::string maxArticles = "all";
    int pipeline = KV_DEFAULT_PIPELINE; // commands the search keeps outstanding
};

// True when the header value, as a reader sees it, matches the pattern.
// decoded: the value is the decoded text of encoded words; then the pattern is
// taken as UTF-8 and, when case is ignored, every letter of both is lower-cased
// (not only A-Z).
bool ReferenceMatch(const std::string& pattern, int matchMode, int ignoreCase,
                    const std::string& value, bool decoded = false);

struct ExpectedSearch {
    long lowest = 0;              // lowest article number scanned
    std::vector<long> matches;    // in the order the scan collects them
    std::vector<long> fetchOrder; // the articles fetched, in fetch order (at most the limit)
};

// The order the result set shows the fetched articles in: the fetch order,
// regrouped so that subjects equal after one leading reply prefix ("Re: " in
// any case) stand together; each position pulls its first later namesake up
// behind it.
std::vector<long> GroupedBySubject(const std::vector<GeneratedArticle>& articles,
                                   const std::vector<long>& fetchOrder);

// articles: the whole group, article n at index n-1. Only "all" and plain
// numbers are understood for the two limits.
ExpectedSearch Expect(const std::vector<GeneratedArticle>& articles, const SearchQuery& query);

} // namespace korvex_test
