// The text an article window shows: which header lines appear, and the empty
// lines around the header block with and without a body.
#include "article_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

kvArticle Make(const char* optional, const char* body) {
    kvArticle a;
    CopyField(a.from, "Ann <ann@x.org>");
    CopyField(a.subject, "Hello");
    CopyField(a.date, "Tue, 8 Dec 2026");
    CopyField(a.newsgroups, "alt.test");
    CopyField(a.organization, KV_NONE);
    CopyField(a.messageId, "<1@x.org>");
    for (char* field : {a.keywords, a.summary, a.sender, a.replyTo}) {
        CopyField(field, KV_FIELD_SIZE, optional);
    }
    if (body) {
        a.body.reset(new char[std::strlen(body) + 1]);
        std::strcpy(a.body.get(), body);
    }
    return a;
}

const char* const kFive = "\nFrom: Ann <ann@x.org>\nSubject: Hello\nDate: Tue, 8 Dec 2026\n"
                          "Newsgroups: alt.test\nOrganization: <none>\n";

TEST(ArticleText, HeaderLinesAndEmptyLines) {
    struct Case {
        const char* optional;
        const char* body;
        std::string expected;
    };
    const Case cases[] = {
        {KV_NONE, nullptr, std::string(kFive) + "\n"},
        {KV_NONE, "line one\nline two\n", std::string(kFive) + "\n\nline one\nline two\n"},
        {"<none> and more", "", std::string(kFive) + "\n\n"}, // "<none>" first counts as missing
        {"v", "b\n",
         std::string(kFive) + "Keywords: v\nSummary: v\nSender: v\nReply-To: v\n\n\nb\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ArticleText(Make(c.optional, c.body)), c.expected) << c.optional;
    }
}

} // namespace
