// Test fixture for searches against the real news server: finds the server
// (KORVEX_NNTP_SERVER, default 127.0.0.1), makes sure once per run that it
// holds the generated articles, runs RunSearch with a request built from a
// SearchQuery, and compares fetched records with the generated articles.
//
// When the server cannot be used the tests are skipped, or fail when
// KORVEX_REQUIRE_INN=1 (as in CI). Runs on the gtest main thread only.
#pragma once

#include "article_generator.h"
#include "credentials.h"
#include "expected_search.h"
#include "records.h"
#include "result_set.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace korvex_test {

struct SearchOutcome {
    int result = 0;
    std::string statusText;
    long groupArticleCount = 0;
    std::vector<std::string> shown;    // every message shown, in order
    std::vector<std::string> warnings; // those of them shown as warnings
    std::unique_ptr<kvResultSet> set = std::make_unique<kvResultSet>();

    std::vector<const kvArticle*> Articles() const; // the set's records in order
    bool Showed(const std::string& message) const;
};

// How a search reaches the server when not in plain text as anyone: the
// server text, the CA file and where a login comes from.
struct ServerChoice {
    std::string server; // empty: Server()
    std::string caFile;
    int allowPlainPassword = 0;
    bool compress = true;     // COMPRESS DEFLATE when the server offers it
    bool serverFilter = true; // XPAT where the pattern narrows
    kvCredentialSource credentials;
};

class InnSearch : public ::testing::Test {
  public:
    void SetUp() override;

    static std::string Server();
    static const std::vector<GeneratedArticle>& Group(const std::string& name);
    // The generated article with that Message-ID in the group, or null.
    static const GeneratedArticle* ById(const std::string& group, const std::string& messageId);

    static SearchOutcome Search(const SearchQuery& query, const ServerChoice& choice = {});
    // Runs the search and checks it against Expect(): the result count, the
    // set of fetched articles, and every fetched record field by field.
    // Returns the search for further checks.
    static SearchOutcome SearchAndCompare(const SearchQuery& query,
                                          const ServerChoice& choice = {});
    // One record against the article it was fetched from: the ten fields as
    // the server sent them (unfolded), the line count, and the body as a reader
    // reads it (exact, or cut with the long-article warning).
    static void ExpectRecordMatches(const kvArticle& record, const GeneratedArticle& article);
};

} // namespace korvex_test
