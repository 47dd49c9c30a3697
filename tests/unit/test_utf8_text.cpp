// Readable text and case folding: written-out expectations.
#include "case_fold.h"
#include "utf8_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Utf8Text, BodiesBecomeValidUtf8WithoutControls) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"line one\r\nline\x07two\n", "line one\nline\xe2\x90\x87two\n"},
        // Lines in different encodings are each read on their own.
        {"Gr\xfc\xdf\nGr\xc3\xbc\xc3\x9f\n", "Gr\xc3\xbc\xc3\x9f\nGr\xc3\xbc\xc3\x9f\n"},
        {"esc \x1b[31mred\x1b[0m\n", "esc \xe2\x90\x9b[31mred\xe2\x90\x9b[0m\n"},
        {"csi \xc2\x9b"
         "31m\n",
         "csi \xef\xbf\xbd"
         "31m\n"},
        {"lone\rcr\n", "lone\xe2\x90\x8d"
                       "cr\n"},
        {"tab\tkept\n\n", "tab\tkept\n\n"},
        {std::string("nul\0byte", 8), "nul\xe2\x90\x80"
                                      "byte"},
        {"\xed\xa0\x80 surrogate", "\xc3\xad\xc2\xa0\xef\xbf\xbd surrogate"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadableText(c.raw.data(), c.raw.size(), true), c.shown) << c.raw;
}

TEST(Utf8Text, ValidityFollowsTheEncodingRules) {
    const struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"plain", true},
        {"caf\xc3\xa9", true},
        {"caf\xe9", false},
        {"\xc0\xaf", false},
        {"\xe0\x80\xaf", false},
        {"\xed\xa0\x80", false},
        {"\xf4\x90\x80\x80", false},
        {"\xf0\x9f\x98\x80", true},
        {"\xe2\x82", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidUtf8(c.bytes, std::strlen(c.bytes)), c.valid) << c.bytes;
}

TEST(Utf8Text, CutTextDropsOnlyTheIncompleteLastCharacter) {
    std::string out;
    AppendUtf8Repaired(out, "ok \xc3\xa9 \xe2\x82", 8, true);
    EXPECT_EQ(out, "ok \xc3\xa9 ");
    out.clear();
    AppendUtf8Repaired(out, "ok \xff \xe2\x82", 7, false);
    EXPECT_EQ(out, "ok \xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd");
}

TEST(CaseFold, CapitalsOfDecodedTextFoldToSmallLetters) {
    const struct {
        const char* capital;
        const char* small;
    } pairs[] = {
        {"ABCXYZ", "abcxyz"},
        {"\xc3\x89\xc3\x9c\xc3\x80\xc3\x9e", "\xc3\xa9\xc3\xbc\xc3\xa0\xc3\xbe"}, // ÉÜÀÞ
        {"\xc5\xb8", "\xc3\xbf"},                                                 // Ÿ
        {"\xc4\x80\xc5\x81\xc5\xbd\xc5\x8a", "\xc4\x81\xc5\x82\xc5\xbe\xc5\x8b"}, // ĀŁŽŊ
        {"\xce\xa9\xce\x86\xce\x8e\xce\x91", "\xcf\x89\xce\xac\xcf\x8d\xce\xb1"}, // ΩΆΎΑ
        {"\xcf\x82", "\xcf\x83"},                                                 // ς
        {"\xd0\xaf\xd0\x81\xd0\x96", "\xd1\x8f\xd1\x91\xd0\xb6"},                 // ЯЁЖ
        {"\xd1\xa2\xd2\x90\xd3\x81", "\xd1\xa3\xd2\x91\xd3\x82"},                 // ѢҐӁ
        // Not letters, or nothing to fold: unchanged.
        {"\xc3\x97\xc3\x9f\xe2\x82\xac\xc4\xb1 1-9", "\xc3\x97\xc3\x9f\xe2\x82\xac\xc4\xb1 1-9"},
        {"\xc3\xa9\xd1\x8f", "\xc3\xa9\xd1\x8f"},
    };
    std::string folded;
    for (const auto& p : pairs) {
        FoldCaseUtf8(p.capital, folded);
        EXPECT_EQ(folded, p.small) << p.capital;
    }
}

} // namespace
