// The wildmats the header scan asks XPAT with, checked against an independent
// wildmat matcher (tests/support/wildmat_check.h): whatever the pattern, every
// value the matcher accepts must come back from the server; and the check of
// XPAT replies before their lines are trusted.
#include "matcher.h"
#include "mime_encode.h"
#include "server_filter.h"
#include "wildmat_check.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using korvex_test::BWord;
using korvex_test::QWord;

struct Derived {
    bool narrowed = false;
    std::vector<std::string> wildmats;
};

Derived Derive(const std::string& text, int mode, bool ignoreCase) {
    kvPattern p;
    ClearPattern(p);
    ParsePattern(p, text.c_str(), mode, ignoreCase);
    Derived d;
    d.narrowed = DeriveServerFilter(p, mode, d.wildmats);
    FreePatternWords(p);
    return d;
}

bool Accepted(const std::string& text, int mode, bool ignoreCase, const std::string& value) {
    kvPattern p;
    ClearPattern(p);
    ParsePattern(p, text.c_str(), mode, ignoreCase);
    std::string copy = value;
    bool accepted = MatchHeaderValue(p, copy.data(), mode);
    FreePatternWords(p);
    return accepted;
}

bool Listed(const Derived& d, const std::string& value) {
    for (const std::string& w : d.wildmats)
        if (TestWildmatMatches(w, value)) return true;
    return false;
}

const int kModes[] = {MATCH_ANY_WORD, MATCH_ALL_WORDS, MATCH_PHRASE};

// Patterns and values drawn from the same small alphabet, so that values often
// hold a pattern's words, in another case, beside the bytes wildmats treat
// specially, and sometimes as MIME encoded words.
TEST(ServerFilter, EveryAcceptedValueIsListedByTheServer) {
    const std::string alphabet = "abAB xy\t*?[]\\,!@^-\"=_.:";
    std::mt19937 random(20261211);
    auto draw = [&](std::size_t most) {
        std::string s;
        std::size_t n = random() % (most + 1);
        for (std::size_t i = 0; i < n; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    int accepted = 0, narrowed = 0, refusedByFilter = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string pattern = draw(12);
        int mode = kModes[random() % 3];
        bool ignoreCase = random() % 2 == 0;
        Derived d = Derive(pattern, mode, ignoreCase);
        if (!d.narrowed) continue;
        ++narrowed;
        for (const std::string& w : d.wildmats)
            EXPECT_LE(w.size(), KV_WILDMAT_MAX) << pattern;
        for (int v = 0; v < 40; ++v) {
            std::string value = draw(6) + pattern.substr(random() % (pattern.size() + 1)) + draw(6);
            if (random() % 8 == 0) value = QWord(value, "utf-8") + " " + draw(4);
            if (random() % 8 == 0) value = BWord(value, "utf-8");
            bool yes = Accepted(pattern, mode, ignoreCase, value);
            accepted += yes ? 1 : 0;
            if (!Listed(d, value)) {
                ++refusedByFilter;
                EXPECT_FALSE(yes) << "pattern [" << pattern << "] mode " << mode << " case "
                                  << ignoreCase << " value [" << value << "]";
            }
        }
    }
    // The rounds exercised both sides: filters narrowed, values accepted and
    // values the server would leave out.
    EXPECT_GT(narrowed, 1000);
    EXPECT_GT(accepted, 10000);
    EXPECT_GT(refusedByFilter, 10000);
}

TEST(ServerFilter, PatternsThatCannotBeNarrowedAreScannedFully) {
    const struct {
        const char* pattern;
        int mode;
    } cases[] = {
        {"", MATCH_ANY_WORD},
        {"   ", MATCH_ALL_WORDS},
        {"", MATCH_PHRASE},
        {"-spam -eggs", MATCH_ANY_WORD},
        {"-spam", MATCH_ALL_WORDS},
        {"caf\xC3\xA9 bar", MATCH_ANY_WORD}, // any word may be the 8-bit one
        {"caf\xC3\xA9 bar", MATCH_PHRASE},
        {"\"\t \"", MATCH_ANY_WORD}, // blanks alone would list everything
    };
    for (const auto& c : cases) {
        Derived d = Derive(c.pattern, c.mode, true);
        EXPECT_FALSE(d.narrowed) << "[" << c.pattern << "] mode " << c.mode;
    }
    // All words must be there: an ASCII one narrows when another is 8-bit.
    Derived d = Derive("caf\xC3\xA9 bar", MATCH_ALL_WORDS, false);
    ASSERT_TRUE(d.narrowed);
    EXPECT_TRUE(Listed(d, "a bar"));
    EXPECT_FALSE(Listed(d, "caf\xC3\xA9 only"));
}

// What the filters let through besides the matches: the case and specials
// are not widened beyond what was asked.
TEST(ServerFilter, FiltersStayNarrow) {
    const struct {
        const char* pattern;
        int mode;
        bool ignoreCase;
        const char* value;
        bool listed;
    } cases[] = {
        {"keystone", MATCH_ANY_WORD, true, "the KeyStone item", true},
        {"keystone", MATCH_ANY_WORD, false, "the KeyStone item", false},
        {"keystone", MATCH_ANY_WORD, true, "orchid kettle", false},
        {"keystone orchid", MATCH_ANY_WORD, true, "orchid kettle", true},
        {"keystone orchid", MATCH_ALL_WORDS, true, "orchid kettle", false}, // the longest word
        {"keystone orchid", MATCH_ALL_WORDS, true, "a keystone", true},
        {"keystone -orchid", MATCH_ANY_WORD, true, "orchid keystone", true}, // matched here
        {"big dog", MATCH_PHRASE, true, "a big\tdog", true},
        {"big dog", MATCH_PHRASE, true, "a big cat", false},
        {"a*b", MATCH_ANY_WORD, true, "xa*by", true},
        {"a*b", MATCH_ANY_WORD, true, "xa, b", false},
        {"keystone", MATCH_ANY_WORD, true, "=?utf-8?b?a2V5c3RvbmU=?=", true}, // decoded here
    };
    for (const auto& c : cases) {
        Derived d = Derive(c.pattern, c.mode, c.ignoreCase);
        ASSERT_TRUE(d.narrowed) << c.pattern;
        EXPECT_EQ(Listed(d, c.value), c.listed) << c.pattern << " / " << c.value;
    }
    // A pattern too long for one command is cut, still matching its values.
    std::string longWord(KV_PATTERN_SIZE - 1, 'q');
    Derived d = Derive(longWord, MATCH_PHRASE, true);
    ASSERT_TRUE(d.narrowed);
    for (const std::string& w : d.wildmats)
        EXPECT_LE(w.size(), KV_WILDMAT_MAX);
    EXPECT_TRUE(Listed(d, "x" + longWord + "y"));
}

TEST(ServerFilter, XpatLinesAreCheckedBeforeUse) {
    const struct {
        const char* response;
        bool valid;
    } cases[] = {
        {"221 ok\r\n.\r\n", true},
        {"221 ok\r\n100 a\r\n200 b\r\n.\r\n", true},
        {"221 ok\r\n100\r\n.\r\n", true},    // an empty value, numbered
        {"221 ok\r\n99 a\r\n.\r\n", false},  // below the range
        {"221 ok\r\n201 a\r\n.\r\n", false}, // above it
        {"221 ok\r\n99999999999999999999 a\r\n.\r\n", false},
        {"221 ok\r\nabc\r\n.\r\n", false}, // no number
        {"221 ok\r\n 150 a\r\n.\r\n", false},
        {"221 ok\r\n150x a\r\n.\r\n", false},
        {"221 ok\r\n..dot\r\n150 a\r\n.\r\n", false}, // a dot-stuffed line is data
        {"221 ok\r\n150 a\r\n.\r\n999 after the end\r\n", true},
    };
    for (const auto& c : cases) {
        kvXpatLines lines;
        std::string r = c.response;
        EXPECT_EQ(lines.Add(r.data(), r.size(), 100, 200), c.valid) << r;
        if (!c.valid) {
            EXPECT_EQ(lines.Count(), 0U) << r;
        }
    }
    // Two answers merged: in number order, each article once, values as XHDR's.
    kvXpatLines lines;
    std::string a = "221 ok\r\n150 second b\r\n120 first\r\n.\r\n";
    std::string b = std::string("221 ok\r\n150 second b\r\n180 x") + '\0' + "y\r\n.\r\n";
    ASSERT_TRUE(lines.Add(a.data(), a.size(), 100, 200));
    ASSERT_TRUE(lines.Add(b.data(), b.size(), 100, 200));
    std::string bad = "221 ok\r\n130 ok\r\n300 out\r\n.\r\n";
    EXPECT_FALSE(lines.Add(bad.data(), bad.size(), 100, 200));
    lines.Merge();
    ASSERT_EQ(lines.Count(), 3U);
    char line[600];
    EXPECT_EQ(lines.Number(0), 120);
    EXPECT_STREQ(lines.Value(0, line, sizeof line), "first\r");
    EXPECT_EQ(lines.Number(1), 150);
    EXPECT_STREQ(lines.Value(1, line, sizeof line), "second b\r");
    EXPECT_EQ(lines.Number(2), 180);
    EXPECT_STREQ(lines.Value(2, line, sizeof line), "xy\r");
}

} // namespace
