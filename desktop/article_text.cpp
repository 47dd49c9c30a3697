#include "article_text.h"

#include "header_lines.h"
#include "mime_header.h"
#include "utf8_text.h"

std::string ArticleText(const kvArticle& article) {
    std::string text = "\n";
    for (const kvHeaderLine& line : kvHeaderLines) {
        const char* value = ArticleField(article, line.field);
        if (line.field == KV_MESSAGE_ID_FIELD || (!line.always && IsMissing(value))) continue;
        text += line.label;
        text += ReadableHeader(value);
        text += '\n';
    }
    text += '\n';
    if (article.body) {
        text += '\n';
        text += ReadableText(article.body.get(), true);
    }
    return text;
}
