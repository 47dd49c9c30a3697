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

// Values as the server sends them, through MatchHeaderValue: encoded words are
// matched by their decoded text, with non-ASCII letters folded there.
TEST(Matcher, EncodedValuesAreMatchedDecoded) {
    const MatchCase cases[] = {
        {"CAF\xc3\x89", MATCH_ANY_WORD, 1, "=?UTF-8?Q?caf=C3=A9?=", true},
        {"caf\xc3\xa9", MATCH_ANY_WORD, 1, "=?UTF-8?B?Q0FGw4k=?=", true}, // "CAFÉ" in base64
        {"CAF\xc3\x89", MATCH_ANY_WORD, 1, "=?UTF-8?B?Y2Fmw6k=?=", true},
        {"caf\xc3\xa9", MATCH_ANY_WORD, 0, "=?ISO-8859-1?Q?Caf=E9?=", false},
        {"Caf\xc3\xa9", MATCH_ANY_WORD, 0, "=?ISO-8859-1?Q?Caf=E9?=", true},
        // a pattern that is not UTF-8 is read as Latin-1
        {"CAF\xc9", MATCH_ANY_WORD, 1, "=?UTF-8?Q?caf=C3=A9?=", true},
        {"\xd0\x9f\xd0\xa0\xd0\x98\xd0\x92\xd0\x95\xd0\xa2", MATCH_ANY_WORD, 1,
         "=?KOI8-R?B?8NLJ18XU?= mir", true},
        {"\xce\xb1\xce\xb8\xce\xae\xce\xbd\xce\xb1", MATCH_ANY_WORD, 1,
         "=?ISO-8859-7?Q?=C1=E8=DE=ED=E1?=", true}, // Αθήνα
        {"caf\xc3\xa9 cr\xc3\xa8me", MATCH_PHRASE, 1,
         "=?UTF-8?Q?Caf=C3=A9_?= =?UTF-8?Q?Cr=C3=A8me?=", true},
        {"CAF\xc3\x89 talk", MATCH_ALL_WORDS, 1, "Re: =?UTF-8?Q?Caf=C3=A9?= Talk", true},
        {"kernel -CAF\xc3\x89", MATCH_ANY_WORD, 1, "kernel =?UTF-8?Q?caf=C3=A9?=", false},
        {"kernel -CAF\xc3\x89", MATCH_ANY_WORD, 1, "KERNEL =?UTF-8?Q?tea?=", true},
        // an encoded word's own text does not match once decoded
        {"utf-8", MATCH_ANY_WORD, 1, "=?UTF-8?Q?caf=C3=A9?=", false},
        // values without encoded words behave as before: only A-Z fold
        {"KERNEL", MATCH_ANY_WORD, 1, "kernel panic", true},
        {"CAF\xc3\x89", MATCH_ANY_WORD, 1, "caf\xc3\xa9", false},
        {"caf\xc3\xa9", MATCH_ANY_WORD, 1, "CAF\xc3\xa9", true},
        // an undecodable word is matched as it stands
        {"=?bogus?q?x?=", MATCH_PHRASE, 1, "=?bogus?Q?x?=", true},
    };
    for (const MatchCase& c : cases) {
        kvPattern pattern;
        ClearPattern(pattern);
        ParsePattern(pattern, c.pattern, c.mode, c.ignoreCase);
        std::string value(c.value);
        EXPECT_EQ(MatchHeaderValue(pattern, value.data(), c.mode), c.expected)
            << c.pattern << " / " << c.value;
        FreePatternWords(pattern);
    }
}
