#include "matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct MatchCase {
    const char* pattern;
    int mode;
    int ignoreCase;
    const char* value;
    bool expected;
};

bool Judge(const char* patternText, int mode, int ignoreCase, const char* value) {
    kvPattern pattern;
    ClearPattern(pattern);
    ParsePattern(pattern, patternText, mode, ignoreCase);
    std::string v(value);
    if (ignoreCase == 1) LowerCaseAscii(v.data());
    return MatchHeader(pattern, v.c_str(), mode);
}

TEST(Matcher, JudgesValuesAsTheSearchSeesThem) {
    const MatchCase cases[] = {
        // any word, with a negated second word
        {"linux -windows", MATCH_ANY_WORD, 1, "all about linux", true},
        {"linux -windows", MATCH_ANY_WORD, 1, "linux vs windows", false},
        {"linux -windows", MATCH_ANY_WORD, 1, "nothing here", false},
        {"alpha beta", MATCH_ANY_WORD, 1, "beta only", true},
        {"alpha beta", MATCH_ALL_WORDS, 1, "beta only", false},
        {"alpha beta", MATCH_ALL_WORDS, 1, "beta and alpha", true},
        // a pattern of one negated word matches what lacks it
        {"-spam", MATCH_ANY_WORD, 1, "ham and eggs", true},
        {"-spam", MATCH_ALL_WORDS, 1, "more SPAM", false},
        // a quoted phrase must occur exactly, its blank included
        {"\"big dog\" barks", MATCH_ALL_WORDS, 1, "the big dog barks", true},
        {"\"big dog\" barks", MATCH_ALL_WORDS, 1, "the big  dog barks", false},
        {"\"big dog\" barks", MATCH_ALL_WORDS, 1, "the dog big barks", false},
        {"-\"big dog\" cat", MATCH_ANY_WORD, 1, "a cat and a big dog", false},
        {"-\"big dog\" cat", MATCH_ANY_WORD, 1, "a cat and a dog", true},
        // substring search: no word boundaries
        {"cat", MATCH_ANY_WORD, 1, "concatenate", true},
        // case
        {"LINUX", MATCH_ANY_WORD, 1, "linux kernel", true},
        {"linux", MATCH_ANY_WORD, 1, "LINUX KERNEL", true},
        {"LINUX", MATCH_ANY_WORD, 0, "linux kernel", false},
        {"linux", MATCH_ANY_WORD, 0, "Linux kernel", false},
        // blanks only: no words, everything matches; empty phrase too
        {"   \t ", MATCH_ANY_WORD, 1, "anything", true},
        {"   ", MATCH_ALL_WORDS, 1, "anything", true},
        {"   ", MATCH_PHRASE, 1, "anything", true},
        // phrase mode keeps inner and trailing blanks
        {"  big dog ", MATCH_PHRASE, 1, "a big dog barks", true},
        {"  big dog ", MATCH_PHRASE, 1, "a big dog", false},
        {"big dog", MATCH_PHRASE, 1, "a big  dog", false},
        // two minus signs: a word that begins with one minus, not negated
        {"--x", MATCH_ANY_WORD, 1, "a -x b", true},
        {"--x", MATCH_ANY_WORD, 1, "a x b", false},
        // a lone minus is a word of one minus sign
        {"-", MATCH_ANY_WORD, 1, "a-b", true},
        {"-", MATCH_ANY_WORD, 1, "ab", false},
        // a quote that ends the pattern makes no word (an empty word would match anything)
        {"zzz \"", MATCH_ANY_WORD, 1, "abc", false},
        {"\"", MATCH_ANY_WORD, 1, "abc", true},
        // a header value still carries the CR before its LF
        {"end", MATCH_PHRASE, 1, "the end\r", true},
    };
    for (const MatchCase& c : cases)
        EXPECT_EQ(Judge(c.pattern, c.mode, c.ignoreCase, c.value), c.expected)
            << "pattern [" << c.pattern << "] mode " << c.mode << " value [" << c.value << "]";
}

TEST(Matcher, ParsesWordsQuotesAndLimits) {
    kvPattern p;
    ClearPattern(p);
    ParsePattern(p, "one two three four five six seven eight nine ten eleven", MATCH_ANY_WORD, 1);
    ASSERT_EQ(p.wordCount, 10);
    EXPECT_STREQ(p.words[9], "ten");
    EXPECT_FALSE(Judge("q1 q2 q3 q4 q5 q6 q7 q8 q9 q10 eleven", MATCH_ANY_WORD, 1, "eleven"));

    ClearPattern(p);
    ParsePattern(p, "abcdefghijklmnopqrstuvwxyz0123", MATCH_ANY_WORD, 1);
    ASSERT_EQ(p.wordCount, 1);
    EXPECT_STREQ(p.words[0], "abcdefghijklmnopqrstuvwx");
    EXPECT_TRUE(
        Judge("abcdefghijklmnopqrstuvwxyz0123", MATCH_ANY_WORD, 1, "abcdefghijklmnopqrstuvwxQQ"));

    ClearPattern(p);
    ParsePattern(p, "\"\"quoted\" -neg --dbl \tlast", MATCH_ALL_WORDS, 0);
    ASSERT_EQ(p.wordCount, 4);
    EXPECT_STREQ(p.words[0], "\"quoted");
    EXPECT_STREQ(p.words[1], "neg");
    EXPECT_EQ(p.negated[1], 1);
    EXPECT_STREQ(p.words[2], "-dbl");
    EXPECT_EQ(p.negated[2], 0);
    EXPECT_STREQ(p.words[3], "last");

    ClearPattern(p);
    ParsePattern(p, "Mixed CASE", MATCH_PHRASE, 1);
    EXPECT_EQ(p.wordCount, 0);
    EXPECT_STREQ(p.phrase, "mixed case");

    FreePatternWords(p);
    ClearPattern(p);
    ParsePattern(p, "x y", MATCH_ANY_WORD, 1);
    FreePatternWords(p);
    EXPECT_EQ(p.wordCount, 0);
    EXPECT_FALSE(p.used[0]);
}

TEST(Matcher, LowerCaseChangesOnlyAsciiLetters) {
    std::string text = "ABC xyz \xC4\xD6 [@Z]";
    LowerCaseAscii(text.data());
    EXPECT_EQ(text, "abc xyz \xC4\xD6 [@z]");
}

} // namespace
