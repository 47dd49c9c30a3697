#include "article_text.h"

#include "mime_header.h"
#include "utf8_text.h"

namespace {
void AddLine(std::string& text, const char* name, const char* value) {
    text += name;
    text += ReadableHeader(value);
    text += '\n';
}
} // namespace

std::string ArticleText(const kvArticle& article) {
    std::string text = "\n";
    AddLine(text, "From: ", article.from);
    AddLine(text, "Subject: ", article.subject);
    AddLine(text, "Date: ", article.date);
    AddLine(text, "Newsgroups: ", article.newsgroups);
    AddLine(text, "Organization: ", article.organization);
    const struct {
        const char* name;
        const char* value;
    } optional[] = {{"Keywords: ", article.keywords},
                    {"Summary: ", article.summary},
                    {"Sender: ", article.sender},
                    {"Reply-To: ", article.replyTo}};
    for (const auto& line : optional) {
        if (!IsMissing(line.value)) AddLine(text, line.name, line.value);
    }
    text += '\n';
    if (article.body) {
        text += '\n';
        text += ReadableText(article.body.get(), true);
    }
    return text;
}
