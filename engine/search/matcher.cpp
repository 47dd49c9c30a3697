#include "matcher.h"

#include "case_fold.h"
#include "mime_header.h"
#include "utf8_text.h"

#include <cstring>
#include <string>

void ClearPattern(kvPattern& p) {
    std::memset(&p, 0, sizeof p);
}

void LowerCaseAscii(char* text) {
    for (; *text != '\0'; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

static bool IsLineEnd(char c) {
    return c == '\0' || c == '\r' || c == '\n';
}
static bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

namespace {

void ParseWords(kvPatternWords& p, const char* text, int matchMode, bool ignoreCase) {
    char work[KV_PATTERN_SIZE];
    CopyField(work, text);
    if (ignoreCase) LowerCaseAscii(work);

    const char* c = work;
    while (IsBlank(*c))
        ++c;

    if (matchMode == MATCH_PHRASE) {
        std::size_t n = 0;
        while (!IsLineEnd(c[n]) && n + 1 < sizeof p.phrase) {
            p.phrase[n] = c[n];
            ++n;
        }
        p.phrase[n] = '\0';
        return;
    }

    while (p.wordCount < KV_PATTERN_WORDS) {
        if (IsLineEnd(*c)) break;
        int slot = p.wordCount;
        char* word = p.words[slot];
        std::memset(word, 0, sizeof p.words[slot]);
        p.used[slot] = true;
        bool quoted = false;
        int length = 0;
        if (*c == '"') {
            // A quote that ends the pattern opens nothing: it makes no word,
            // where an empty word would match every value.
            if (IsLineEnd(c[1])) {
                p.used[slot] = false;
                break;
            }
            quoted = true;
            ++c;
            word[length++] = *c++; // taken whatever it is, a second quote included
        } else if (*c == '-' && c[1] == '"') {
            quoted = true;
            word[length++] = '-';
            c += 2;
        } else {
            word[length++] = *c++;
        }
        while (!IsLineEnd(*c) && (quoted ? *c != '"' : !IsBlank(*c))) {
            if (length < KV_WORD_MAX) word[length++] = *c;
            ++c;
        }
        if (*c == '"') ++c;
        if (word[0] == '-' && length > 1) {
            std::memmove(word, word + 1, static_cast<std::size_t>(length)); // moves the NUL too
            if (word[0] != '-') p.negated[slot] = 1;
        }
        while (IsBlank(*c))
            ++c;
        ++p.wordCount;
    }
}

} // namespace

void ParsePattern(kvPattern& p, const char* text, int matchMode, bool ignoreCase) {
    ParseWords(p, text, matchMode, ignoreCase);
    p.ignoreCase = ignoreCase;
    std::string utf8;
    AppendRawAsUtf8(utf8, text, strnlen(text, KV_PATTERN_SIZE - 1));
    std::string folded;
    if (ignoreCase) FoldCaseUtf8(utf8, folded);
    const std::string& decoded = ignoreCase ? folded : utf8;
    char work[KV_PATTERN_SIZE];
    std::size_t length = decoded.size() < sizeof work ? decoded.size() : sizeof work - 1;
    // Cut before a character that would not fit whole.
    while (length < decoded.size() && length > 0 &&
           (static_cast<unsigned char>(decoded[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(work, decoded.data(), length);
    work[length] = '\0';
    ParseWords(p.decoded, work, matchMode, 0);
}

bool MatchHeader(const kvPatternWords& p, const char* value, int matchMode) {
    if (matchMode == MATCH_PHRASE) return std::strstr(value, p.phrase) != nullptr;
    if (p.wordCount == 0) return true;

    bool sawPositive = false;
    bool result = false;
    for (int i = 0; i < p.wordCount && p.used[i]; ++i) {
        bool found = std::strstr(value, p.words[i]) != nullptr;
        if (p.negated[i]) {
            if (found) return false;
            continue;
        }
        if (!sawPositive) {
            result = found;
            sawPositive = true;
        } else if (matchMode == MATCH_ALL_WORDS) {
            result = result && found;
        } else {
            result = result || found;
        }
        if (matchMode == MATCH_ALL_WORDS && !result) return false;
    }
    return sawPositive ? result : true;
}

bool MatchHeaderValue(const kvPattern& p, char* value, int matchMode) {
    // Reused between calls, so that decoding allocates only while they grow.
    thread_local std::string decoded, folded;
    if (std::strstr(value, "=?") != nullptr && DecodeEncodedWords(value, decoded)) {
        if (!p.ignoreCase) return MatchHeader(p.decoded, decoded.c_str(), matchMode);
        FoldCaseUtf8(decoded, folded);
        return MatchHeader(p.decoded, folded.c_str(), matchMode);
    }
    if (p.ignoreCase) LowerCaseAscii(value);
    return MatchHeader(p, value, matchMode);
}

namespace {
void FreeWords(kvPatternWords& p) {
    for (int i = p.wordCount - 1; i >= 0; --i) {
        p.used[i] = false;
        std::memset(p.words[i], 0, sizeof p.words[i]);
        p.negated[i] = 0;
    }
    p.wordCount = 0;
}
} // namespace

void FreePatternWords(kvPattern& p) {
    FreeWords(p);
    FreeWords(p.decoded);
}
