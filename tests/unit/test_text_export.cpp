// Text report, single-article text and reply list: exact text for each case.
#include "article.h"
#include "temp_files.h"
#include "text_export.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Fields in record order: from, newsgroups, subject, date, messageId,
// organization, keywords, summary, sender, replyTo.
std::unique_ptr<kvArticle> MakeArticle(std::vector<const char*> fields, const char* body) {
    auto a = std::make_unique<kvArticle>();
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
        CopyField(ArticleField(*a, f), KV_FIELD_SIZE, fields[f]);
    if (body != nullptr) {
        a->body.reset(new char[std::strlen(body) + 1]);
        std::strcpy(a->body.get(), body);
    }
    return a;
}

const std::vector<const char*> kFull = {"Ann <ann@x.org>", "alt.test",   "Hello", "Tue, 8 Dec 2026",
                                        "<1@x.org>",       "X Org",      "kw",    "sum",
                                        "sender@x.org",    "reply@x.org"};
const std::string kFullHeaders = "From: Ann <ann@x.org>\nSubject: Hello\nDate: Tue, 8 Dec 2026\n"
                                 "Newsgroups: alt.test\nOrganization: X Org\n"
                                 "Message-ID: <1@x.org>\nKeywords: kw\nSummary: sum\n"
                                 "Sender: sender@x.org\nReply-To: reply@x.org\n";
// Missing fields: the first six are written all the same, the last four left
// out, "<none>" followed by text counting as missing too.
const std::vector<const char*> kSparse = {"<none>",       "g",      "<none>",        "d",
                                          "<3@x>",        "<none>", "<none> really", "<none>x",
                                          "<none><none>", "<none>"};
const std::string kSparseHeaders = "From: <none>\nSubject: <none>\nDate: d\nNewsgroups: g\n"
                                   "Organization: <none>\nMessage-ID: <3@x>\n";

class TextExport : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path.empty());
        dir = temp.path;
        path = dir + "/out.txt";
        CopyField(s.pattern, "perl -python");
        CopyField(s.header, "Subject");
        CopyField(s.server, "news.example");
        CopyField(s.newsgroup, "comp.lang.misc");
        CopyField(s.searchDate, "Tue Dec  8 22:09:47 2026");
        CopyField(s.groupCount, "1500");
        CopyField(s.foundCount, "3");
        set.Append(MakeArticle(kFull, "Body ends with a line end\n"));
        set.Append(MakeArticle(kSparse, "no final line end"));
        set.Append(MakeArticle(kFull, nullptr));
    }
    korvex_test::TempDir temp{"text"};
    std::string dir, path;
    kvSearchSummary s;
    kvResultSet set;
};

TEST_F(TextExport, ReportHoldsTheSummaryAndTheChainedArticles) {
    const std::string separator = std::string(72, '=') + "\n\n";
    ASSERT_TRUE(SaveArticlesReport(path.c_str(), s, set));
    EXPECT_EQ(ReadText(path), "Korvex search results for: \"perl -python\" in 'Subject' header\n"
                              "Search performed on: Tue Dec  8 22:09:47 2026\n"
                              "Server: news.example\nNewsgroup: comp.lang.misc\n"
                              "Total articles in this group: 1500\nArticles found: 3\n\n" +
                                  separator + kFullHeaders + "\n\nBody ends with a line end\n\n" +
                                  separator + kSparseHeaders + "\n\nno final line end\n" +
                                  separator + kFullHeaders + "\n\n\n" + separator);

    ASSERT_TRUE(SaveArticleText(path.c_str(), set.First()));
    EXPECT_EQ(ReadText(path), kFullHeaders + "\n\nBody ends with a line end\n");
}

TEST_F(TextExport, ReplyListHasOneLinePerAuthor) {
    const char* none = KV_NONE;
    struct Case { // The authors are (From, Reply-To); the same Sender everywhere plays no part.
        const char* name;
        std::vector<std::pair<const char*, const char*>> authors;
        int count;
        const char* expected;
    } cases[] = {
        {"same From as entry 0", {{"a@x", none}, {"b@x", none}, {"a@x", none}}, 3, "a@x\nb@x\n"},
        {"Reply-To vs earlier From", {{"X", none}, {"Y", "X"}}, 2, "X\nX\n"},
        {"same Reply-To, other From", {{"a@x", "r@x"}, {"b@x", "r@x"}}, 2, "r@x\n"},
        {"same From, other Reply-To", {{"a@x", "r1@x"}, {"a@x", "r2@x"}}, 2, "r1@x\n"},
        {"no Reply-To: From alone", {{"a@x", none}, {"b@x", none}}, 2, "a@x\nb@x\n"},
        {"<none> x is missing", {{"a@x", "<none> x"}, {"b@x", "<none> x"}}, 2, "a@x\nb@x\n"},
        {"case-sensitive", {{"a@x", none}, {"A@x", none}}, 2, "a@x\nA@x\n"},
        {"verbatim", {{"Ann <a@x> (home)", "\"Ann B\" <ab@x>"}}, 1, "\"Ann B\" <ab@x>\n"},
        {"past the count", {{"a@x", none}, {"b@x", none}}, 1, "a@x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvResultSet replies;
        for (int i = 0; i < c.count; ++i) {
            std::vector<const char*> fields = kFull;
            fields[0] = c.authors[i].first;
            fields[9] = c.authors[i].second;
            replies.Append(MakeArticle(fields, nullptr));
        }
        ASSERT_TRUE(WriteReplyList(path.c_str(), replies));
        EXPECT_EQ(ReadText(path), c.expected);
    }
}

TEST_F(TextExport, FailuresReturnMinusOneAndLeaveNoFile) {
    fs::create_directory(path); // a directory in the target's place cannot be replaced
    for (const std::string& target : {dir + "/no such directory/out.txt", path}) {
        EXPECT_FALSE(SaveArticlesReport(target.c_str(), s, set));
        EXPECT_FALSE(SaveArticleText(target.c_str(), set.First()));
        EXPECT_FALSE(WriteReplyList(target.c_str(), set));
    }
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1); // no leftovers

    std::string other = dir + "/other.txt";
    EXPECT_FALSE(WriteReplyList(other.c_str(), kvResultSet()));
    EXPECT_FALSE(SaveArticleText(other.c_str(), nullptr));
    EXPECT_FALSE(fs::exists(other));
}

} // namespace
