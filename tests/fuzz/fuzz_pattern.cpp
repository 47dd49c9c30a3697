// Pattern parsing and matching. Input: one byte (bits 0-1: 0 all words,
// 1 any word, 2 phrase; bit 2: ignore case), the pattern up to the first LF,
// then the header value. Any pattern parses into at most ten words of at most
// 24 characters and a phrase inside its buffer. Patterns of letters, digits,
// blanks, tabs and minus signs, and every phrase, are also judged by the
// reference below, written from the pattern rules: words split at blanks,
// the first ten kept, each cut to 24 characters, a leading minus (when more
// follows and that is not a minus too) negating the rest; a value matches
// when it holds no negated word and all (or any) of the others, or when it
// has no other words; a phrase (the pattern after leading blanks) matches
// where it occurs. Ignoring case folds A-Z on both sides.
#include "fuzz_check.h"
#include "pattern_input.h"

#include "matcher.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Fold(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool Simple(const std::string& pattern) {
    for (char c : pattern) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == ' ' || c == '\t' || c == '-';
        if (!ok) return false;
    }
    return true;
}

bool ReferenceWords(const std::string& pattern, const std::string& value, bool all) {
    std::vector<std::string> positive, negative;
    std::size_t pos = 0;
    int words = 0;
    while (words < 10) {
        while (pos < pattern.size() && (pattern[pos] == ' ' || pattern[pos] == '\t'))
            ++pos;
        if (pos == pattern.size()) break;
        std::size_t end = pattern.find_first_of(" \t", pos);
        std::string token = pattern.substr(pos, end == std::string::npos ? end : end - pos);
        pos = end == std::string::npos ? pattern.size() : end;
        ++words;
        token = token.substr(0, 24);
        if (token.size() > 1 && token[0] == '-') {
            std::string rest = token.substr(1);
            (rest[0] == '-' ? positive : negative).push_back(rest);
        } else {
            positive.push_back(token);
        }
    }
    for (const std::string& w : negative)
        if (value.find(w) != std::string::npos) return false;
    if (positive.empty()) return true;
    int found = 0;
    for (const std::string& w : positive)
        if (value.find(w) != std::string::npos) ++found;
    return all ? found == static_cast<int>(positive.size()) : found > 0;
}

bool ReferencePhrase(const std::string& pattern, const std::string& value) {
    std::size_t start = pattern.find_first_not_of(" \t");
    std::string phrase = start == std::string::npos ? "" : pattern.substr(start);
    phrase = phrase.substr(0, phrase.find_first_of("\r\n"));
    return value.find(phrase) != std::string::npos;
}

void CheckWords(const kvPatternWords& p) {
    FUZZ_CHECK(p.wordCount >= 0 && p.wordCount <= KV_PATTERN_WORDS);
    for (int i = 0; i < p.wordCount; ++i)
        FUZZ_CHECK(strnlen(p.words[i], KV_WORD_MAX + 1) <= KV_WORD_MAX);
    FUZZ_CHECK(strnlen(p.phrase, KV_PATTERN_SIZE) < KV_PATTERN_SIZE);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvPatternInput in;
    if (!ReadPatternInput(data, size, in)) return 0;
    const int mode = in.mode;
    const auto ignoreCase = (in.ignoreCase ? 1 : 0);
    const std::string& pattern = in.pattern;
    const std::string& value = in.value;

    kvPattern p;
    ClearPattern(p);
    ParsePattern(p, pattern.c_str(), mode, ignoreCase);
    CheckWords(p);
    CheckWords(p.decoded);

    char field[KV_FIELD_SIZE];
    std::memcpy(field, value.c_str(), value.size() + 1);
    bool matched = MatchHeaderValue(p, field, mode);
    if (value.find("=?") == std::string::npos) {
        std::string v = ignoreCase ? Fold(value) : value;
        std::string pat = ignoreCase ? Fold(pattern) : pattern;
        if (mode == MATCH_PHRASE) {
            FUZZ_CHECK(matched == ReferencePhrase(pat, v));
        } else if (Simple(pattern)) {
            FUZZ_CHECK(matched == ReferenceWords(pat, v, mode == MATCH_ALL_WORDS));
        }
    }
    FreePatternWords(p);
    FUZZ_CHECK(p.wordCount == 0 && p.decoded.wordCount == 0);
    return 0;
}
