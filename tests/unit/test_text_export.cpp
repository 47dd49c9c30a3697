// Text report, single-article text and reply list: exact text for each case.
#include "article.h"
#include "text_export.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

const std::string kSeparator(72, '=');

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

// Every field missing: the first six are still written.
const std::vector<const char*> kSparse(KV_ARTICLE_FIELD_COUNT, "<none>");
const std::string kSparseHeaders = "From: <none>\nSubject: <none>\nDate: <none>\n"
                                   "Newsgroups: <none>\nOrganization: <none>\nMessage-ID: <none>\n";

const std::vector<const char*> kNoneWithText = {
    "b@x", "g", "s", "d", "<3@x>", "o", "<none> really", "<none>x", "<none><none>", "<none> "};
const std::string kNoneWithTextHeaders =
    "From: b@x\nSubject: s\nDate: d\nNewsgroups: g\nOrganization: o\nMessage-ID: <3@x>\n";

class TextExport : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvex-text-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/out.txt";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string dir;
    std::string path;
};

TEST_F(TextExport, SingleArticleText) {
    struct Case {
        const char* name;
        std::vector<const char*> fields;
        const char* body;
        std::string expected;
    } cases[] = {
        {"all ten headers, body with final line end", kFull, "Line 1\nLine 2\n",
         kFullHeaders + "\n\nLine 1\nLine 2\n"},
        {"every field <none>", kSparse, "no final line end",
         kSparseHeaders + "\n\nno final line end"},
        {"<none> followed by text counts as missing", kNoneWithText, "x",
         kNoneWithTextHeaders + "\n\nx"},
        {"no body", kFull, nullptr, kFullHeaders + "\n\n"},
        {"empty body", kFull, "", kFullHeaders + "\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto article = MakeArticle(c.fields, c.body);
        ASSERT_EQ(SaveArticleText(article.get(), path.c_str()), 1);
        EXPECT_EQ(ReadText(path), c.expected);
    }
}

TEST_F(TextExport, SingleArticleWithoutArticleCreatesNoFile) {
    EXPECT_EQ(SaveArticleText(nullptr, path.c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TextExport, ReportOfSummaryAndEveryArticle) {
    kvSearchSummary s;
    CopyField(s.pattern, "perl -python");
    CopyField(s.header, "Subject");
    CopyField(s.server, "news.example");
    CopyField(s.newsgroup, "comp.lang.misc");
    CopyField(s.searchDate, "Tue Dec  8 22:09:47 2026");
    CopyField(s.groupCount, "1500");
    CopyField(s.foundCount, "3");
    kvResultSet set;
    set.slots[0] = MakeArticle(kFull, "Body ends with a line end\n");
    set.slots[1] = MakeArticle(kSparse, "no final line end");
    set.slots[2] = MakeArticle(kNoneWithText, nullptr);
    set.count = 3;
    RelinkArticles(set, 3);
    // The chain, not the count, decides what the report holds.
    set.slots[3] = MakeArticle(kFull, "not in the chain");

    const std::string closing = "\n" + kSeparator + "\n\n";
    const std::string expected = "Korvex search results for: \"perl -python\" in 'Subject' header\n"
                                 "Search performed on: Tue Dec  8 22:09:47 2026\n"
                                 "Server: news.example\n"
                                 "Newsgroup: comp.lang.misc\n"
                                 "Total articles in this group: 1500\n"
                                 "Articles found: 3\n"
                                 "\n" +
                                 kSeparator + "\n\n" + kFullHeaders +
                                 "\n\nBody ends with a line end\n" + closing + kSparseHeaders +
                                 "\n\nno final line end" + closing + kNoneWithTextHeaders + "\n\n" +
                                 closing;
    ASSERT_EQ(SaveArticlesReport(path.c_str(), s, set), 1);
    EXPECT_EQ(ReadText(path), expected);
}

TEST_F(TextExport, ReplyListHasOneLinePerAuthor) {
    struct Entry {
        const char* from;
        const char* replyTo;
    };
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        int count;
        std::string expected;
    } cases[] = {
        {"one article", {{"a@x", "<none>"}}, 1, "a@x\n"},
        {"same From as entry 0, no Reply-To",
         {{"a@x", "<none>"}, {"b@x", "<none>"}, {"a@x", "<none>"}},
         3,
         "a@x\nb@x\n"},
        {"Reply-To equal to an earlier From is not compared with it",
         {{"X", "<none>"}, {"Y", "X"}},
         2,
         "X\nX\n"},
        {"same Reply-To, different From", {{"a@x", "r@x"}, {"b@x", "r@x"}}, 2, "r@x\n"},
        {"same From, different Reply-To: the first one's",
         {{"a@x", "r1@x"}, {"a@x", "r2@x"}},
         2,
         "r1@x\n"},
        {"no Reply-To is compared on From alone",
         {{"a@x", "<none>"}, {"b@x", "<none>"}},
         2,
         "a@x\nb@x\n"},
        {"<none> followed by text is no Reply-To",
         {{"a@x", "<none> x"}, {"b@x", "<none> x"}},
         2,
         "a@x\nb@x\n"},
        {"comparison is case-sensitive", {{"a@x", "<none>"}, {"A@x", "<none>"}}, 2, "a@x\nA@x\n"},
        {"whole field written verbatim",
         {{"Ann <a@x> (home)", "\"Ann B\" <ab@x>"}},
         1,
         "\"Ann B\" <ab@x>\n"},
        {"entries past the count are left out", {{"a@x", "<none>"}, {"b@x", "<none>"}}, 1, "a@x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvResultSet set;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            std::vector<const char*> fields = kFull;
            fields[0] = c.entries[i].from;
            fields[8] = "same-sender@x"; // the Sender plays no part
            fields[9] = c.entries[i].replyTo;
            set.slots[i] = MakeArticle(fields, nullptr);
        }
        set.count = c.count;
        RelinkArticles(set, c.count);
        ASSERT_EQ(WriteReplyList(path.c_str(), set), 1);
        EXPECT_EQ(ReadText(path), c.expected);
    }
}

TEST_F(TextExport, FailuresReturnMinusOneAndLeaveNoFile) {
    kvSearchSummary summary;
    kvResultSet set;
    set.slots[0] = MakeArticle(kFull, "body");
    set.count = 1;
    RelinkArticles(set, 1);
    std::string nowhere = dir + "/no such directory/out.txt";
    EXPECT_EQ(SaveArticlesReport(nowhere.c_str(), summary, set), -1);
    EXPECT_EQ(SaveArticleText(set.first(), nowhere.c_str()), -1);
    EXPECT_EQ(WriteReplyList(nowhere.c_str(), set), -1);

    // A directory in the target's place cannot be replaced.
    std::filesystem::create_directory(path);
    EXPECT_EQ(SaveArticlesReport(path.c_str(), summary, set), -1);
    EXPECT_EQ(SaveArticleText(set.first(), path.c_str()), -1);
    EXPECT_EQ(WriteReplyList(path.c_str(), set), -1);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1); // no leftovers

    kvResultSet empty;
    std::string other = dir + "/reply.txt";
    EXPECT_EQ(WriteReplyList(other.c_str(), empty), -1);
    EXPECT_FALSE(std::filesystem::exists(other));
}

} // namespace
