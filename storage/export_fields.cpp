#include "export_fields.h"

#include "mail_date.h"
#include "mime_body.h"
#include "utf8_text.h"

#include <cstdint>
#include <cstring>

namespace {

// The end of a quoted string that starts at `at` (just past its closing quote).
const char* SkipQuoted(const char* at) {
    for (++at; *at != '\0' && *at != '"'; ++at)
        if (*at == '\\' && at[1] != '\0') ++at;
    return *at == '"' ? at + 1 : at;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const char* begin, const char* end) {
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
    return std::string(begin, end);
}

} // namespace

bool IsCutArticle(const kvArticle& article) {
    if (!article.body) return false;
    std::size_t length = std::strlen(article.body.get());
    std::size_t tail = std::strlen(KV_LONG_ARTICLE_TAIL);
    return length >= tail &&
           std::memcmp(article.body.get() + length - tail, KV_LONG_ARTICLE_TAIL, tail) == 0;
}

long StoredLength(const kvArticle& article) {
    return article.body ? static_cast<long>(std::strlen(article.body.get())) : 0;
}

std::string IsoDateOf(const kvArticle& article) {
    std::int64_t seconds = 0;
    if (IsMissing(article.date) || !ParseMailDate(article.date, seconds)) return "";
    return FormatIsoUtc(seconds);
}

std::string AuthorAddress(const char* from) {
    if (IsMissing(from)) return "";
    // An address in angle brackets, outside quoted strings and comments.
    for (const char* at = from; *at != '\0';) {
        if (*at == '"') {
            at = SkipQuoted(at);
        } else if (*at == '(') {
            at = SkipMailComment(at);
        } else if (*at == '<') {
            const char* end = std::strchr(at, '>');
            if (end == nullptr) break;
            return Trimmed(at + 1, end);
        } else {
            ++at;
        }
    }
    // Else the first word outside comments.
    const char* at = from;
    while (*at != '\0' && (IsBlank(*at) || *at == '('))
        at = *at == '(' ? SkipMailComment(at) : at + 1;
    const char* end = at;
    while (*end != '\0' && !IsBlank(*end) && *end != '(')
        ++end;
    return std::string(at, end);
}

std::string Utf8Text(const char* bytes) {
    std::size_t length = std::strlen(bytes);
    if (IsValidUtf8(bytes, length)) return std::string(bytes, length);
    std::string out;
    for (const char* line = bytes; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        std::size_t n = end ? static_cast<std::size_t>(end - line + 1) : std::strlen(line);
        AppendRawAsUtf8(out, line, n);
        line += n;
    }
    return out;
}
