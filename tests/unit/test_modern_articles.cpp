// The modern test group read offline: each generated article, as it travels,
// parsed and decoded the way a received article is, must read as the
// generator says a reader reads it. (The server tests then only add the trip.)
#include "article.h"
#include "article_generator.h"
#include "mime_body.h"
#include "mime_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace korvex_test;

const char* const kFieldHeaders[KV_ARTICLE_FIELD_COUNT] = {
    "From",         "Newsgroups", "Subject", "Date",   "Message-ID",
    "Organization", "Keywords",   "Summary", "Sender", "Reply-To"};

// ESC is the one control character the group sends; it is shown as its picture.
std::string Visible(std::string text) {
    for (std::size_t at = text.find('\x1b'); at != std::string::npos; at = text.find('\x1b', at))
        text.replace(at, 1, "\xe2\x90\x9b");
    return text;
}

TEST(ModernGroup, EveryArticleReadsAsTheGeneratorSays) {
    std::vector<GeneratedArticle> group = GenerateGroup(kModernGroup);
    ASSERT_EQ(group.size(), 240u);
    int folded = 0, encodedFrom = 0, multipart = 0;
    for (const GeneratedArticle& a : group) {
        SCOPED_TRACE("article " + std::to_string(a.number));
        std::string wire = WireArticle(a);
        std::size_t blank = wire.find("\r\n\r\n");
        ASSERT_NE(blank, std::string::npos);
        std::string headers = wire.substr(0, blank);
        std::string body;
        for (std::size_t at = blank + 4; at < wire.size();) {
            std::size_t end = wire.find("\r\n", at);
            std::string line = wire.substr(at, end - at);
            if (line == ".") break;
            if (line[0] == '.') line.erase(0, 1);
            body += line + "\n";
            at = end + 2;
        }

        kvArticle record;
        ParseArticleHeaders(headers.c_str(), record);
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f) {
            const std::string* sent = a.Header(kFieldHeaders[f]);
            EXPECT_EQ(ArticleField(record, f), sent ? *sent : KV_NONE) << kFieldHeaders[f];
            if (sent != nullptr) {
                EXPECT_EQ(ReadableHeader(ArticleField(record, f)),
                          Visible(*a.ReadableHeader(kFieldHeaders[f])))
                    << kFieldHeaders[f];
            }
        }
        record.body.reset(new char[body.size() + 1]);
        std::memcpy(record.body.get(), body.c_str(), body.size() + 1);
        DecodeArticleBody(headers.c_str(), record);
        ASSERT_NE(record.body, nullptr);
        EXPECT_EQ(std::string(record.body.get()), a.ReadableBody());

        folded +=
            a.folded.size() > (a.Header("Content-Type")->rfind("multipart", 0) == 0 ? 1u : 0u);
        encodedFrom += a.Header("From")->find("=?") != std::string::npos;
        multipart += a.ReadableBody().find("[Attachment: ") != std::string::npos;
    }
    // The group holds what the server tests rely on.
    EXPECT_GE(folded, 10);
    EXPECT_GE(encodedFrom, 150);
    EXPECT_GE(multipart, 30);
}

} // namespace
