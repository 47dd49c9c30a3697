// Charsets beyond UTF-8 and Latin-1, through the system's converters (iconv on
// Linux, the code pages on Windows): the same bytes must give the same text on
// both, and bytes that do not convert must be refused or repaired alike.
#include "charset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CharsetCase {
    const char* charset;
    std::string bytes;
    bool strictOk;
    const char* strict;   // the text when strictOk
    const char* repaired; // the text a repairing conversion gives
};

const CharsetCase kCases[] = {
    {"ISO-8859-2",
     "\xB1\xE6 \xA3\xF3"
     "d\xBC",
     true, "\xC4\x85\xC4\x87 \xC5\x81\xC3\xB3\x64\xC5\xBA",
     "\xC4\x85\xC4\x87 \xC5\x81\xC3\xB3\x64\xC5\xBA"},
    {"iso-8859-2*pl", "\xB1", true, "\xC4\x85", "\xC4\x85"}, // a language suffix
    {"KOI8-R", "\xF0\xD2\xC9", true, "\xD0\x9F\xD1\x80\xD0\xB8", "\xD0\x9F\xD1\x80\xD0\xB8"},
    {"windows-1252", "\x80 \x96", true, "\xE2\x82\xAC \xE2\x80\x93", "\xE2\x82\xAC \xE2\x80\x93"},
    {"Shift_JIS", "\x93\xFA\x96\x7B", true, "\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
    {"EUC-KR", "\xC7\xD1", true, "\xED\x95\x9C", "\xED\x95\x9C"},
    {"GB2312", "\xD6\xD0", true, "\xE4\xB8\xAD", "\xE4\xB8\xAD"},
    {"Big5", "\xA4\xA4", true, "\xE4\xB8\xAD", "\xE4\xB8\xAD"},
    {"EUC-JP", "\xC6\xFC\xCB\xDC", true, "\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
    {"ISO-2022-JP", "a \x1B$B\x46\x7C\x4B\x5C\x1B(B b", true, "a \xE6\x97\xA5\xE6\x9C\xAC b",
     "a \xE6\x97\xA5\xE6\x9C\xAC b"},
    {"ISO-2022-JP", "\x1B$B\x46\x7C\x4B\x5C\x1B(B", true, "\xE6\x97\xA5\xE6\x9C\xAC",
     "\xE6\x97\xA5\xE6\x9C\xAC"},
    // A lead byte whose trail byte is missing at the end: dropped when repairing.
    {"Shift_JIS", "\x93\xFA\x96", false, "", "\xE6\x97\xA5"},
    // A lead byte followed by a byte that cannot trail it: U+FFFD, then the byte.
    {"Shift_JIS", "\x93\x20x", false, "", "\xEF\xBF\xBD x"},
};

TEST(Charset, SystemConvertersAgree) {
    for (const CharsetCase& c : kCases) {
        std::string strict = "<";
        EXPECT_EQ(
            AppendInCharset(strict, c.charset, c.bytes.data(), c.bytes.size(), kvConvert::Strict),
            c.strictOk)
            << c.charset << " " << c.repaired;
        EXPECT_EQ(strict, c.strictOk ? std::string("<") + c.strict : "<") << c.charset;
        std::string repaired = "<";
        ASSERT_TRUE(
            AppendInCharset(repaired, c.charset, c.bytes.data(), c.bytes.size(), kvConvert::Repair))
            << c.charset;
        EXPECT_EQ(repaired, std::string("<") + c.repaired) << c.charset;
    }
}

TEST(Charset, UnknownCharsetsAreRefusedInBothModes) {
    for (const char* name : {"x-martian", "", "ISO-8859-99", "\"\""}) {
        std::string out = "kept";
        EXPECT_FALSE(AppendInCharset(out, name, "abc", 3, kvConvert::Strict)) << name;
        EXPECT_FALSE(AppendInCharset(out, name, "abc", 3, kvConvert::Repair)) << name;
        EXPECT_EQ(out, "kept");
    }
}

} // namespace
