#include "article.h"

#include "header_lines.h"

#include <climits>
#include <cstring>

namespace {

constexpr const char* kLinesLabel = "Lines: "; // the line count, kept as a number

// First occurrence of name at the start of the text or right after a CR or LF.
const char* FindHeaderLine(const char* text, const char* name) {
    const char* at = text;
    while ((at = std::strstr(at, name)) != nullptr) {
        if (at == text || at[-1] == '\r' || at[-1] == '\n') return at;
        ++at;
    }
    return nullptr;
}

} // namespace

void CopyUnfoldedValue(const char* at, char* field, std::size_t capacity) {
    std::size_t kept = 0;
    for (;;) {
        const char* end = std::strchr(at, '\n');
        std::size_t length = end != nullptr ? static_cast<std::size_t>(end - at) : std::strlen(at);
        if (end != nullptr && length > 0 && at[length - 1] == '\r') --length;
        std::size_t take = length < capacity - 1 - kept ? length : capacity - 1 - kept;
        std::memcpy(field + kept, at, take);
        kept += take;
        if (end == nullptr || (end[1] != ' ' && end[1] != '\t') || kept == capacity - 1) break;
        at = end + 1;
    }
    field[kept] = '\0';
}

void ParseArticleHeaders(const char* headerText, kvArticle& article) {
    for (const kvHeaderLine& header : kvHeaderLines) {
        char* field = ArticleField(article, header.field);
        const char* line = FindHeaderLine(headerText, header.label);
        if (line == nullptr) {
            CopyField(field, KV_FIELD_SIZE, KV_NONE);
        } else {
            CopyUnfoldedValue(line + std::strlen(header.label), field, KV_FIELD_SIZE);
        }
    }
    article.lines = -1;
    if (const char* line = FindHeaderLine(headerText, kLinesLabel)) {
        char number[32];
        CopyUnfoldedValue(line + std::strlen(kLinesLabel), number, sizeof number);
        // A count past what an int holds is kept as the largest one, not
        // wrapped round to a small or negative (missing) count.
        long lines = DecodeNumber(number);
        article.lines = lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
    }
}

std::size_t StripCarriageReturns(char* destination, const char* source, std::size_t length) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (source[i] != '\r' && source[i] != '\0') destination[written++] = source[i];
    return written;
}
