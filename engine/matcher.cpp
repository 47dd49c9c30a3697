#include "matcher.h"

#include <cstring>

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

void ParsePattern(kvPattern& p, const char* text, int matchMode, int ignoreCase) {
    char work[KV_PATTERN_SIZE];
    CopyField(work, text);
    if (ignoreCase == 1) LowerCaseAscii(work);

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

bool MatchHeader(const kvPattern& p, const char* value, int matchMode) {
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

void FreePatternWords(kvPattern& p) {
    for (int i = p.wordCount - 1; i >= 0; --i) {
        p.used[i] = false;
        std::memset(p.words[i], 0, sizeof p.words[i]);
        p.negated[i] = 0;
    }
    p.wordCount = 0;
}
