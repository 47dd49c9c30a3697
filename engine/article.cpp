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

// The value starting at `value` up to the end of its line, joined with the
// continuation lines that follow (lines starting with a blank or a tab, their
// line ends removed), as much as fits into the field.
void UnfoldedValue(const char* value, char (&field)[KV_FIELD_SIZE]) {
    std::size_t kept = 0;
    const char* at = value;
    for (;;) {
        const char* end = std::strchr(at, '\n');
        std::size_t length = end != nullptr ? static_cast<std::size_t>(end - at) : std::strlen(at);
        if (end != nullptr && length > 0 && at[length - 1] == '\r') --length;
        std::size_t take = length < sizeof field - 1 - kept ? length : sizeof field - 1 - kept;
        std::memcpy(field + kept, at, take);
        kept += take;
        if (end == nullptr || (end[1] != ' ' && end[1] != '\t') || kept == sizeof field - 1) break;
        at = end + 1;
    }
    field[kept] = '\0';
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
        char value[KV_FIELD_SIZE];
        UnfoldedValue(found[i] + std::strlen(name), value);
        if (kHeaders[i].field < 0)
            article.lines = static_cast<int>(DecodeNumber(value));
        else
            CopyField(ArticleField(article, kHeaders[i].field), KV_FIELD_SIZE, value);
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
