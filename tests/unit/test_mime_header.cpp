// Header values as a reader reads them: encoded words, the raw-byte rule and
// control characters. Every expectation is written out by hand.
#include "article.h"
#include "charset.h"
#include "mime_header.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* raw;
    const char* shown;
};

TEST(MimeHeader, EncodedWordsDecodeAsAReaderExpects) {
    const Case cases[] = {
        // The examples of RFC 2047, section 8.
        {"=?US-ASCII?Q?Keith_Moore?= <moore@cs.utk.edu>", "Keith Moore <moore@cs.utk.edu>"},
        {"=?ISO-8859-1?Q?Keld_J=F8rn_Simonsen?= <keld@dkuug.dk>",
         "Keld J\xc3\xb8rn Simonsen <keld@dkuug.dk>"},
        {"=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>",
         "Andr\xc3\xa9 Pirard <PIRARD@vm1.ulg.ac.be>"},
        {"=?ISO-8859-1?B?SWYgeW91IGNhbiByZWFkIHRoaXMgeW8=?= "
         "=?ISO-8859-2?B?dSB1bmRlcnN0YW5kIHRoZSBleGFtcGxlLg==?=",
         "If you can read this you understand the example."},
        {"(=?ISO-8859-1?Q?a?=)", "(a)"},
        {"(=?ISO-8859-1?Q?a?= b)", "(a b)"},
        {"(=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=)", "(ab)"},
        {"(=?ISO-8859-1?Q?a?=  =?ISO-8859-1?Q?b?=)", "(ab)"},
        {"(=?ISO-8859-1?Q?a?=    =?ISO-8859-1?Q?b?=)", "(ab)"}, // unfolded CRLF SPACE
        {"(=?ISO-8859-1?Q?a_b?=)", "(a b)"},
        {"(=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?_b?=)", "(a b)"},
        // Q with underscores and small hex digits; B with and without padding.
        {"=?UTF-8?Q?caf=C3=A9_au_lait?=", "caf\xc3\xa9 au lait"},
        {"=?utf-8?q?caf=c3=a9?=", "caf\xc3\xa9"},
        {"=?UTF-8?B?Y2Fmw6k=?=", "caf\xc3\xa9"},
        {"=?UTF-8?B?Y2Fmw6k?=", "caf\xc3\xa9"},
        {"=?KOI8-R?B?8NLJ18XUIM3J0g==?=", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 "
                                          "\xd0\xbc\xd0\xb8\xd1\x80"},
        {"=?windows-1252?Q?=80_5_=96_cheap?=", "\xe2\x82\xac 5 \xe2\x80\x93 cheap"},
        {"=?UTF-8*en?Q?tagged?=", "tagged"},
        // Mixed encoded and plain text; plain blanks stay.
        {"Re: =?ISO-8859-1?Q?Caf=E9?= talk", "Re: Caf\xc3\xa9 talk"},
        {"a =?UTF-8?Q?b?= c =?UTF-8?Q?d?=", "a b c d"},
        // One character split between two adjacent words of one charset.
        {"=?UTF-8?B?Y2Fmww==?= =?UTF-8?B?qQ==?=", "caf\xc3\xa9"},
        {"=?UTF-8?Q?caf=C3?= =?UTF-8?Q?=A9!?=", "caf\xc3\xa9!"},
        // Left as they were: unknown charset, broken base64, bytes the charset
        // does not have, not an encoded word at all.
        {"=?x-no-such-charset?Q?abc?=", "=?x-no-such-charset?Q?abc?="},
        {"=?UTF-8?B?Y2F*mw6k=?=", "=?UTF-8?B?Y2F*mw6k=?="},
        {"=?UTF-8?B?Y?=", "=?UTF-8?B?Y?="},
        {"=?UTF-8?Q?caf=E9?=", "=?UTF-8?Q?caf=E9?="},
        {"=?UTF-8?Q?a b?=", "=?UTF-8?Q?a b?="},
        {"=?UTF-8?X?abc?=", "=?UTF-8?X?abc?="},
        {"=?UTF-8?Q?abc", "=?UTF-8?Q?abc"},
        {"x =?UTF-8?Q?ok?= =?nope?Q?no?= =?UTF-8?Q?ok?=", "x ok =?nope?Q?no?= ok"},
        {"=?UTF-8?Q?a=ZZ?=", "a=ZZ"},
        // Raw 8-bit bytes: UTF-8 when valid, else Latin-1; also beside encoded words.
        {"Caf\xe9 cr\xe8me", "Caf\xc3\xa9 cr\xc3\xa8me"},
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},
        {"Caf\xe9 =?UTF-8?Q?cr=C3=A8me?=", "Caf\xc3\xa9 cr\xc3\xa8me"},
        // Control characters are made visible, never passed on.
        {"a\x1b[2Jb", "a\xe2\x90\x9b[2Jb"},
        {"=?UTF-8?Q?x=1B]0;title=07y?=", "x\xe2\x90\x9b]0;title\xe2\x90\x87y"},
        {"=?UTF-8?Q?=C2=9Bc?=", "\xef\xbf\xbd"
                                "c"},
        {"del\x7f", "del\xe2\x90\xa1"},
        {"two\nlines\r", "two\xe2\x90\x8alines\xe2\x90\x8d"},
        {"tab\tstays", "tab\tstays"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadableHeader(c.raw), c.shown) << c.raw;
}

TEST(MimeHeader, DecodeTellsWhetherAWordWasDecoded) {
    const struct {
        const char* raw;
        bool decoded;
    } cases[] = {
        {"plain text", false},
        {"=?UTF-8?Q?x?=", true},
        {"=?bogus?Q?x?=", false},
        {"a =?UTF-8?B?!!!!?= b", false},
        {"=?bogus?Q?x?= =?UTF-8?Q?y?=", true},
    };
    std::string out;
    for (const auto& c : cases)
        EXPECT_EQ(DecodeEncodedWords(c.raw, out), c.decoded) << c.raw;
}

// A word that does not convert keeps its text by the raw-byte rule, as the
// rest of the value does: the decoded value stays valid UTF-8 (matching reads
// it as such) when the value holds Latin-1 bytes, inside such a word too.
TEST(MimeHeader, WordsLeftAsTheyWereFollowTheRawByteRule) {
    const Case cases[] = {
        {"Caf\xe9 =?bogus?Q?x\xe8?= =?UTF-8?Q?y?=", "Caf\xc3\xa9 =?bogus?Q?x\xc3\xa8?= y"},
        {"=?UTF-8?Q?ok?= =?x-no-\xff?Q?z?= \xe9", "ok =?x-no-\xc3\xbf?Q?z?= \xc3\xa9"},
        {"=?UTF-8?Q?caf=E9\xe9?= =?UTF-8?Q?y?=", "=?UTF-8?Q?caf=E9\xc3\xa9?= y"},
    };
    std::string out;
    for (const Case& c : cases) {
        EXPECT_TRUE(DecodeEncodedWords(c.raw, out)) << c.raw;
        EXPECT_EQ(out, c.shown) << c.raw;
    }
}

// A charset name of punctuation, 8-bit bytes or with a NUL names no charset
// (the converter library would take it for the locale's): the word stays.
TEST(MimeHeader, CharsetNamesWithoutLettersAreUnknown) {
    const Case cases[] = {
        {"=?\xff?Q?z?=", "=?\xc3\xbf?Q?z?="},
        {"=?-?Q?z?=", "=?-?Q?z?="},
        {"=?__?B?eg==?=", "=?__?B?eg==?="},
        {"=?UTF-8?Q?ok?= =?.?Q?z?=", "ok =?.?Q?z?="},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadableHeader(c.raw), c.shown) << c.raw;
    for (const std::string& name :
         {std::string("\xff"), std::string("-"), std::string(), std::string("UTF-8\0x", 7),
          std::string("\0", 1), std::string("KOI8\x01R")}) {
        std::string out = "kept";
        EXPECT_FALSE(AppendInCharset(out, name, "z", 1, kvConvert::Repair)) << name;
        EXPECT_EQ(out, "kept");
    }
    std::string out;
    EXPECT_TRUE(AppendInCharset(out, "koi8-r", "\xf0", 1, kvConvert::Strict));
    EXPECT_EQ(out, "\xd0\x9f");
}

TEST(MimeHeader, FoldedHeadersAreUnfoldedWithinTheField) {
    kvArticle a;
    ParseArticleHeaders("Subject: =?UTF-8?Q?caf=C3=A9?=\r\n =?UTF-8?Q?_cr=C3=A8me?=\r\n"
                        "\tand more\r\nFrom: Ann\r\n <ann@x.org>\r\nLines: \r\n 7\r\n"
                        "Keywords: one\r\nSummary: last\r\n  line",
                        a);
    EXPECT_STREQ(a.subject, "=?UTF-8?Q?caf=C3=A9?= =?UTF-8?Q?_cr=C3=A8me?=\tand more");
    EXPECT_EQ(ReadableHeader(a.subject), "caf\xc3\xa9 cr\xc3\xa8me\tand more");
    EXPECT_STREQ(a.from, "Ann <ann@x.org>");
    EXPECT_STREQ(a.keywords, "one");
    EXPECT_STREQ(a.summary, "last  line");
    EXPECT_EQ(a.lines, 7);

    // A value folded past the field keeps its first 511 bytes.
    std::string text = "Subject: " + std::string(300, 'a');
    for (int i = 0; i < 3; ++i)
        text += "\r\n " + std::string(100, static_cast<char>('b' + i));
    text += "\r\nFrom: after";
    ParseArticleHeaders(text.c_str(), a);
    std::string want = std::string(300, 'a') + " " + std::string(100, 'b') + " " +
                       std::string(100, 'c') + " " + std::string(8, 'd');
    EXPECT_EQ(a.subject, want);
    EXPECT_STREQ(a.from, "after");
}

} // namespace
