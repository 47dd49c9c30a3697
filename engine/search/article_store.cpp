#include "article_store.h"

#include "article.h"
#include "mime_body.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

void CopyWithoutNul(char* field, std::size_t capacity, const char* text, std::size_t length) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < length && kept + 1 < capacity; ++i)
        if (text[i] != '\0') field[kept++] = text[i];
    if (capacity > 0) field[kept] = '\0';
}

bool SplitArticleResponse(const char* response, std::size_t length, kvArticleResponse& parts) {
    // Searched by length: the article may hold NUL bytes.
    const char* end = response + length;
    const char* statusEnd = static_cast<const char*>(std::memchr(response, '\n', length));
    if (statusEnd == nullptr) return false;
    const char* headers = statusEnd + 1;
    static const char kBlankLine[] = "\r\n\r\n";
    const char* blank = std::search(headers, end, kBlankLine, kBlankLine + 4);
    if (blank == end) return false;
    parts.headers = headers;
    parts.headerLength = static_cast<std::size_t>(blank - headers);
    parts.body = blank + 4;
    parts.bodyLength = length - static_cast<std::size_t>(parts.body - response);
    return true;
}

bool StoreArticle(const kvArticleResponse& parts, char* headerText, std::size_t headerTextSize,
                  kvResultSet& set) {
    CopyWithoutNul(headerText, headerTextSize, parts.headers, parts.headerLength);
    std::unique_ptr<kvArticle> article(new (std::nothrow) kvArticle);
    if (!article) return false;
    ParseArticleHeaders(headerText, *article);
    if (parts.bodyLength > 0) {
        article->body.reset(new (std::nothrow) char[parts.bodyLength + 1]);
        if (!article->body) return false;
        std::size_t written =
            StripCarriageReturns(article->body.get(), parts.body, parts.bodyLength);
        article->body[written] = '\0';
    }
    DecodeArticleBody(headerText, *article);
    return set.Append(std::move(article));
}
