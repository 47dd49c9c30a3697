// The reference matcher the news-server tests compare searches with must fold
// decoded letters the same on every system the tests run on: a letter it
// missed would make the expected results differ between the builds.
#include "expected_search.h"

#include <gtest/gtest.h>

namespace korvex_test {
namespace {

TEST(ReferenceMatch, DecodedCapitalsFindTheirSmallLettersOnEverySystem) {
    struct Pair {
        const char* name;
        const char* capital; // UTF-8
        const char* small;
    };
    const Pair pairs[] = {
        {"A with diaeresis", "\xc3\x84", "\xc3\xa4"},
        {"L with stroke", "\xc5\x81", "\xc5\x82"},
        {"Cyrillic zhe", "\xd0\x96", "\xd0\xb6"},
        {"Greek sigma", "\xce\xa3", "\xcf\x83"},
        {"I with dot above", "\xc4\xb0", "i"},
        {"DZ with caron", "\xc7\x84", "\xc7\x86"},
        {"title-case Dz with caron", "\xc7\x85", "\xc7\x86"},
        {"capital theta symbol", "\xcf\xb4", "\xce\xb8"},
        {"capital sharp s", "\xe1\xba\x9e", "\xc3\x9f"},
        {"Ohm sign", "\xe2\x84\xa6", "\xcf\x89"},
        {"Kelvin sign", "\xe2\x84\xaa", "k"},
        {"Angstrom sign", "\xe2\x84\xab", "\xc3\xa5"},
        {"Deseret long I (outside the BMP)", "\xf0\x90\x90\x80", "\xf0\x90\x90\xa8"},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.name);
        std::string value = std::string("Gr") + p.capital + "ss";
        std::string word = std::string("gr") + p.small + "ss";
        EXPECT_TRUE(ReferenceMatch(word, MATCH_ANY_WORD, 1, value, true));
        // Case kept: the letters differ.
        EXPECT_FALSE(ReferenceMatch(word, MATCH_ANY_WORD, 0, value, true));
        // A value read as listed (not decoded) folds only A-Z.
        EXPECT_FALSE(ReferenceMatch(word, MATCH_ANY_WORD, 1, value, false));
    }
}

TEST(ReferenceMatch, LettersAreLowerCasedNotFolded) {
    // Lower-casing leaves a small letter alone: final sigma is not sigma and
    // sharp s is not "ss" (as case folding would have them).
    const char* const pairs[][2] = {{"\xcf\x82", "\xcf\x83"},
                                    {"stra\xc3\x9f"
                                     "e",
                                     "strasse"}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(p[0]);
        EXPECT_FALSE(ReferenceMatch(p[1], MATCH_ANY_WORD, 1, p[0], true));
        EXPECT_FALSE(ReferenceMatch(p[0], MATCH_ANY_WORD, 1, p[1], true));
    }
}

} // namespace
} // namespace korvex_test
