#include "article.h"

#include <cstring>

namespace {

struct HeaderName {
    const char* name;
    int field; // index of the text field, or -1 for "Lines: "
};

// The order in which headers are located and stored.
const HeaderName kHeaders[] = {
    {"From: ", 0},       {"Newsgroups: ", 1},   {"Subject: ", 2},  {"Date: ", 3},
    {"Message-ID: ", 4}, {"Organization: ", 5}, {"Lines: ", -1},   {"Keywords: ", 6},
    {"Summary: ", 7},    {"Sender: ", 8},       {"Reply-To: ", 9},
};

// First occurrence of name at the start of the text or right after a CR or LF.
const char* FindHeaderLine(const char* text, const char* name) {
    const char* at = text;
    while ((at = std::strstr(at, name)) != nullptr) {
        if (at == text || at[-1] == '\r' || at[-1] == '\n') return at;
        ++at;
    }
    return nullptr;
}

// The subject's grouping key: one leading reply prefix ("Re: " in any case) skipped.
const char* SubjectKey(const kvArticle& a) {
    const char* s = a.subject;
    if ((s[0] == 'R' || s[0] == 'r') && (s[1] == 'E' || s[1] == 'e') && s[2] == ':' && s[3] == ' ')
        return s + 4;
    return s;
}

} // namespace

void ParseArticleHeaders(const char* headerText, kvArticle& article) {
    constexpr int n = sizeof kHeaders / sizeof kHeaders[0];
    const char* found[n];
    for (int i = 0; i < n; ++i)
        found[i] = FindHeaderLine(headerText, kHeaders[i].name);

    article.lines = -1;
    for (int i = 0; i < n; ++i) {
        const char* name = kHeaders[i].name;
        if (found[i] == nullptr) {
            if (kHeaders[i].field >= 0)
                CopyField(ArticleField(article, kHeaders[i].field), KV_FIELD_SIZE, KV_NONE);
            continue;
        }
        const char* value = found[i] + std::strlen(name);
        const char* end = std::strchr(value, '\n');
        std::size_t length =
            end != nullptr ? static_cast<std::size_t>(end - value) : std::strlen(value);
        if (end != nullptr && length > 0 && value[length - 1] == '\r') --length;
        if (kHeaders[i].field < 0) {
            char number[32];
            CopyFieldN(number, sizeof number, value, length);
            article.lines = static_cast<int>(DecodeNumber(number));
        } else {
            CopyFieldN(ArticleField(article, kHeaders[i].field), KV_FIELD_SIZE, value, length);
        }
    }
}

std::size_t StripCarriageReturns(char* destination, const char* source, std::size_t length) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (source[i] != '\r' && source[i] != '\0') destination[written++] = source[i];
    return written;
}

void FreeArticles(kvResultSet& set, int lastIndex) {
    for (int i = 0; i <= lastIndex && i < KV_MAX_ARTICLES; ++i)
        set.slots[i].reset();
}

void RelinkArticles(kvResultSet& set, int count) {
    for (int i = 0; i < count; ++i)
        set.slots[i]->next = i + 1 < count ? set.slots[i + 1].get() : nullptr;
}

void SortArticlesBySubject(kvResultSet& set, int count) {
    for (int i = 0; i < count - 2; ++i) {
        const char* key = SubjectKey(*set.slots[i]);
        for (int j = i + 1; j < count; ++j) {
            if (std::strcmp(SubjectKey(*set.slots[j]), key) != 0) continue;
            if (j != i + 1) std::swap(set.slots[i + 1], set.slots[j]);
            break;
        }
    }
    RelinkArticles(set, count);
}
