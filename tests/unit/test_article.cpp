#include "article.h"
#include "result_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

kvArticle Parse(const std::string& headerText) {
    kvArticle a;
    ParseArticleHeaders(headerText.c_str(), a);
    return a;
}

TEST(ArticleHeaders, FillsFieldsFromLineStartsOnly) {
    kvArticle a = Parse("Path: x!y\r\nFrom: Ann <ann@x.org>\r\nNewsgroups: a.b\r\n"
                        "Subject: Re: hello\r\nDate: Mon, 1 Jan 2024\r\n"
                        "Message-ID: <1@x>\r\nX-Note: From: nobody\r\nReply-To: r@x\r\nLines: 42");
    EXPECT_STREQ(a.from, "Ann <ann@x.org>");
    EXPECT_STREQ(a.newsgroups, "a.b");
    EXPECT_STREQ(a.subject, "Re: hello");
    EXPECT_STREQ(a.messageId, "<1@x>");
    EXPECT_STREQ(a.replyTo, "r@x");
    EXPECT_STREQ(a.organization, KV_NONE);
    EXPECT_STREQ(a.keywords, KV_NONE);
    EXPECT_STREQ(a.summary, KV_NONE);
    EXPECT_STREQ(a.sender, KV_NONE);
    EXPECT_EQ(a.lines, 42);

    // "From: " only inside another header's line is not a From header; a
    // lower-case "Message-Id" is not found; no Lines gives -1.
    kvArticle b = Parse("X-Quote: From: someone\r\nMessage-Id: <2@x>\r\nSubject: s");
    EXPECT_STREQ(b.from, KV_NONE);
    EXPECT_STREQ(b.messageId, KV_NONE);
    EXPECT_STREQ(b.subject, "s");
    EXPECT_EQ(b.lines, -1);

    // The first occurrence at a line start wins; a folded header is unfolded.
    kvArticle c = Parse("Subject: first\r\n\tcontinued\r\nSubject: second\nFrom: bare-lf");
    EXPECT_STREQ(c.subject, "first\tcontinued");
    EXPECT_STREQ(c.from, "bare-lf");
}

// A Lines count past what an int holds stays the largest count: never
// wrapped to 0 or to a negative count that would read as missing.
TEST(ArticleHeaders, HugeLinesCountsStayLarge) {
    for (const char* lines : {"2147483648", "4294967296", "99999999999999999999999"}) {
        SCOPED_TRACE(lines);
        EXPECT_EQ(Parse(std::string("Subject: s\r\nLines: ") + lines).lines, 2147483647);
    }
    EXPECT_EQ(Parse("Lines: 2147483647").lines, 2147483647);
}

TEST(ArticleHeaders, CutsOverlongValuesToTheField) {
    std::string longValue(2000, 'v');
    kvArticle a = Parse("Subject: " + longValue + "\r\nFrom: f");
    EXPECT_EQ(std::string(a.subject), longValue.substr(0, KV_FIELD_SIZE - 1));
    EXPECT_STREQ(a.from, "f");
}

TEST(ArticleBody, StripsCarriageReturnsAndNuls) {
    const char source[] = "a\r\nb\r\n\0c\r";
    char out[sizeof source];
    std::size_t n = StripCarriageReturns(out, source, sizeof source - 1);
    EXPECT_EQ(std::string(out, n), "a\nb\nc");
}

std::vector<std::string> Subjects(const kvResultSet& set, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(set.At(i).subject);
    return out;
}

std::vector<std::string> ChainSubjects(const kvResultSet& set) {
    std::vector<std::string> out;
    for (const kvArticle* a = set.First(); a != nullptr; a = a->next)
        out.push_back(a->subject);
    return out;
}

kvResultSet MakeSet(const std::vector<std::string>& subjects) {
    kvResultSet set;
    for (const std::string& subject : subjects) {
        auto article = std::make_unique<kvArticle>();
        CopyField(article->subject, subject.c_str());
        set.Append(std::move(article));
    }
    return set;
}

TEST(SubjectOrder, GroupsEqualKeysAndKeepsTheChainInStep) {
    struct Case {
        std::vector<std::string> in, out;
    };
    const Case cases[] = {
        {{"P", "Q", "Re: P", "S", "P"}, {"P", "Re: P", "P", "S", "Q"}},
        {{"P", "Q", "S", "Q", "P"}, {"P", "P", "S", "Q", "Q"}},
        {{"P", "x", "RE: P"}, {"P", "RE: P", "x"}},
        {{"Re: Re: P", "P", "Re: P"}, {"Re: Re: P", "P", "Re: P"}},
        {{"Re: Re: P", "x", "Re: P", "rE: Re: P"}, {"Re: Re: P", "rE: Re: P", "Re: P", "x"}},
        {{"Re: ", "x", "", "y"}, {"Re: ", "", "x", "y"}},
        {{"<none>", "a", "<none>"}, {"<none>", "<none>", "a"}},
        {{"b", "a"}, {"b", "a"}},
        {{"only"}, {"only"}},
        {{"p", "q", "P"}, {"p", "q", "P"}}, // keys compare case-sensitively
    };
    for (const Case& c : cases) {
        kvResultSet set = MakeSet(c.in);
        int count = static_cast<int>(c.in.size());
        set.SortBySubject();
        EXPECT_EQ(Subjects(set, count), c.out);
        EXPECT_EQ(ChainSubjects(set), c.out);
    }
}

TEST(ArticleRelease, ClearReleasesEveryRecord) {
    kvResultSet set = MakeSet({"a", "b", "c"});
    set.Clear();
    EXPECT_EQ(set.Size(), 0);
    EXPECT_EQ(set.First(), nullptr);
    EXPECT_TRUE(ChainSubjects(set).empty());
}

} // namespace
