// The search pattern, parsed once per search, and the judgement of one header
// value against it. Matching is plain substring search, byte for byte; case
// folding (A-Z only) is applied to both sides by the caller's choice.
//
// Values holding MIME encoded words are matched by their decoded UTF-8 text
// instead, and case folding then covers non-ASCII letters too.
//
// Pattern syntax: words separated by blanks or tabs; "double quotes" group
// words into one; a leading minus sign negates a word or quoted group. At most
// ten words of at most 24 characters are kept. Phrase mode takes the whole
// pattern (after leading blanks) as one phrase.
#pragma once

#include "records.h"

constexpr int KV_PATTERN_WORDS = 10;
constexpr int KV_WORD_MAX = 24;

struct kvPatternWords {
    char words[KV_PATTERN_WORDS][KV_WORD_MAX + 1];
    bool used[KV_PATTERN_WORDS];
    unsigned char negated[KV_PATTERN_WORDS];
    int wordCount;
    char phrase[KV_PATTERN_SIZE];
};

// The pattern as typed (matched against values as the server sent them) and,
// in `decoded`, the same pattern taken as UTF-8 (Latin-1 when it is not valid
// UTF-8) and, when case is ignored, folded beyond A-Z: it is matched against
// values whose MIME encoded words were decoded.
struct kvPattern : kvPatternWords {
    kvPatternWords decoded;
    bool ignoreCase;
};

// Empties the pattern: no words, an all-NUL phrase.
void ClearPattern(kvPattern& pattern);
void ParsePattern(kvPattern& pattern, const char* text, int matchMode, bool ignoreCase);
// value must already be lower-cased (LowerCaseAscii) when the pattern ignores case.
bool MatchHeader(const kvPatternWords& pattern, const char* value, int matchMode);
// A header value as the server sent it (it may be changed in place): when it
// holds encoded words, its decoded text is matched against the decoded
// pattern; otherwise it is matched as MatchHeader does, A-Z folded first when
// the pattern ignores case.
bool MatchHeaderValue(const kvPattern& pattern, char* value, int matchMode);
void FreePatternWords(kvPattern& pattern);

// Converts A-Z to a-z in place; every other byte stays.
void LowerCaseAscii(char* text);
