// The replies the header scan reads, each in its own grammar: the capability
// list, HDR/XHDR and OVER lines, LIST OVERVIEW.FMT, HEAD and LIST HEADERS,
// with the answers measured on INN, public-inbox and leafnode among them.
#include "capabilities.h"
#include "header_replies.h"

#include <gtest/gtest.h>

#include <string>

namespace {

kvCapabilities Caps(const std::string& response) {
    return ParseCapabilities(response.data(), response.size());
}

TEST(Capabilities, ListsOfRealServersGiveTheirFlags) {
    kvCapabilities inn = Caps("101 Capability list:\r\nVERSION 2\r\nIMPLEMENTATION INN 2.7.1\r\n"
                              "AUTHINFO SASL\r\nCOMPRESS DEFLATE\r\nHDR\r\nLIST ACTIVE "
                              "ACTIVE.TIMES COUNTS DISTRIB.PATS DISTRIBUTIONS HEADERS MODERATORS "
                              "MOTD NEWSGROUPS OVERVIEW.FMT SUBSCRIPTIONS\r\nOVER\r\nPOST\r\n"
                              "READER\r\nSASL PLAIN\r\nSTARTTLS\r\nXPAT\r\n.\r\n");
    EXPECT_TRUE(inn.known && inn.reader && inn.hdr && inn.over && inn.starttls);
    EXPECT_TRUE(inn.compressDeflate && inn.listHeaders && inn.listOverviewFmt && inn.authinfo);
    EXPECT_FALSE(inn.modeReader || inn.authinfoUser);

    // public-inbox: no HEADERS among the LIST arguments, no STARTTLS, no AUTHINFO.
    kvCapabilities inbox =
        Caps("101 Capability list:\r\nVERSION 2\r\nREADER\r\nNEWNEWS\r\n"
             "LIST ACTIVE ACTIVE.TIMES NEWSGROUPS OVERVIEW.FMT\r\nHDR\r\nOVER\r\n"
             "COMPRESS DEFLATE\r\n.\r\n");
    EXPECT_TRUE(inbox.known && inbox.reader && inbox.hdr && inbox.compressDeflate);
    EXPECT_TRUE(inbox.listOverviewFmt);
    EXPECT_FALSE(inbox.listHeaders || inbox.starttls || inbox.authinfo);

    // A transit server that reads only after MODE READER, in lower case, with
    // a NUL and a tab among the words.
    static const char transitList[] = "101 caps\r\nversion 2\r\nmode-reader\r\nihave\r\n"
                                      "authinfo\tuser sasl\r\ncompress gzip\r\n"
                                      "list\tactive\0 headers\r\n.\r\n";
    kvCapabilities transit = Caps(std::string(transitList, sizeof transitList - 1));
    EXPECT_TRUE(transit.known && transit.modeReader && transit.authinfoUser);
    EXPECT_TRUE(transit.listHeaders);
    EXPECT_FALSE(transit.reader || transit.hdr || transit.compressDeflate);
}

TEST(Capabilities, RefusalsAndOddListsGiveNothingTheyDoNotSay) {
    // leafnode and other older servers refuse the command.
    for (const char* refused : {"500 Unknown command\r\n", "502 no\r\n", "480 log in\r\n", "1"})
        EXPECT_FALSE(Caps(refused).known) << refused;
    // Words are whole: READERS, HDRX and STARTTLSX are not capabilities we know;
    // nothing after the terminating "." counts.
    kvCapabilities odd = Caps("101 list\r\nREADERS\r\nHDRX\r\nSTARTTLSX\r\n  OVER  \r\n.\r\n"
                              "READER\r\nHDR\r\n");
    EXPECT_TRUE(odd.known);
    EXPECT_TRUE(odd.over); // leading and trailing blanks are read over
    EXPECT_FALSE(odd.reader || odd.hdr || odd.starttls);
    // A list cut short without its ".": what arrived counts.
    EXPECT_TRUE(Caps("101 list\r\nHDR").hdr);
}

TEST(HeaderReplies, NumberedLinesOfHdrAndXhdr) {
    char inn[] = "3002 Re: a match";
    char* value = nullptr;
    EXPECT_EQ(ParseNumberedLine(inn, value), 3002);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "Re: a match");
    char empty[] = "17 "; // HDR of a header the article lacks (INN)
    EXPECT_EQ(ParseNumberedLine(empty, value), 17);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "");
    char bare[] = "18";
    EXPECT_EQ(ParseNumberedLine(bare, value), 18);
    EXPECT_EQ(value, nullptr);
    char noNumber[] = "x12 value";
    EXPECT_EQ(ParseNumberedLine(noNumber, value), 0);
}

TEST(HeaderReplies, OverviewFormatPlacesTheHeader) {
    const std::string inbox = "215 Order of fields in overview database.\r\nSubject:\r\nFrom:\r\n"
                              "Date:\r\nMessage-ID:\r\nReferences:\r\nBytes:\r\nLines:\r\n"
                              "Xref:full\r\n.\r\n";
    auto place = [](const std::string& format, const char* header) {
        kvOverviewField f = FindOverviewField(format.data(), format.size(), header);
        return std::to_string(f.column) + (f.full ? " full" : "");
    };
    EXPECT_EQ(place(inbox, "Subject"), "1");
    EXPECT_EQ(place(inbox, "message-id"), "4");
    EXPECT_EQ(place(inbox, "XREF"), "8 full");
    EXPECT_EQ(place(inbox, "Keywords"), "0");
    EXPECT_EQ(place(inbox, "Lines"), "0"); // a count, not the header
    const std::string metadata = "215 fmt\r\nSubject:\r\nFrom:\r\nDate:\r\nMessage-ID:\r\n"
                                 "References:\r\n:bytes\r\n:lines\r\nKeywords:full\r\n"
                                 "Summary:\r\n.\r\n";
    EXPECT_EQ(place(metadata, "Keywords"), "8 full");
    EXPECT_EQ(place(metadata, "Summary"), "9");
    EXPECT_EQ(place(metadata, "bytes"), "0");
    // Without a list: the order every server keeps for the first five.
    EXPECT_EQ(FindOverviewField(nullptr, 0, "References").column, 5);
    EXPECT_EQ(FindOverviewField(nullptr, 0, "from").column, 2);
    EXPECT_EQ(FindOverviewField(nullptr, 0, "Xref").column, 0);
}

TEST(HeaderReplies, OverviewLinesGiveTheFieldOrNothing) {
    char* value = nullptr;
    char line[] = "301\ta match\tPoster <p@x>\tdate\t<301@x>\t\t1200\t20\tXref: news.example "
                  "alt.test:301";
    EXPECT_EQ(ParseOverviewLine(line, kvOverviewField{8, true}, value), 301);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "news.example alt.test:301");

    char again[] = "301\ta match\tPoster <p@x>\tdate\t<301@x>\t\t1200\t20";
    EXPECT_EQ(ParseOverviewLine(again, kvOverviewField{1, false}, value), 301);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "a match");
    // An empty field is a header the article lacks; so is a line too short.
    char empty[] = "302\ts\tf\td\t<m>\t\t1\t2";
    EXPECT_EQ(ParseOverviewLine(empty, kvOverviewField{5, false}, value), 302);
    EXPECT_EQ(value, nullptr);
    char shortLine[] = "303\ts\tf";
    EXPECT_EQ(ParseOverviewLine(shortLine, kvOverviewField{8, true}, value), 303);
    EXPECT_EQ(value, nullptr);
    // A full field left empty, or with the name alone.
    char noValue[] = "304\ts\tf\td\t<m>\t\t1\t2\tXref:";
    EXPECT_EQ(ParseOverviewLine(noValue, kvOverviewField{8, true}, value), 304);
    EXPECT_EQ(value, nullptr);
}

TEST(HeaderReplies, HeadGivesTheFirstLineOfThatNameUnfolded) {
    const char* head = "221 12 <12@x> head\r\nPath: a!b\r\nKeywords-Extra: not this\r\n"
                       "keywords:first\r\n\tand folded\r\n  twice\r\nKeywords: second\r\n"
                       "Subject: s\r\n";
    char value[64];
    ASSERT_TRUE(FindHeadValue(head, "Keywords", value, sizeof value));
    EXPECT_STREQ(value, "first\tand folded  twice");
    ASSERT_TRUE(FindHeadValue(head, "SUBJECT", value, sizeof value));
    EXPECT_STREQ(value, "s");
    EXPECT_FALSE(FindHeadValue(head, "Summary", value, sizeof value));
    EXPECT_FALSE(FindHeadValue(head, "221 12 <12@x> head", value, sizeof value));
    // The header block ends at a blank line: a body line is no header.
    const char* article = "220 1 <1@x>\r\nSubject: s\r\n\r\nKeywords: body\r\n";
    EXPECT_FALSE(FindHeadValue(article, "Keywords", value, sizeof value));
    // A value longer than the room keeps its start.
    char small[6];
    ASSERT_TRUE(FindHeadValue(head, "Path", small, sizeof small));
    EXPECT_STREQ(small, "a!b");
    ASSERT_TRUE(FindHeadValue(head, "Keywords-Extra", small, sizeof small));
    EXPECT_STREQ(small, "not t");
}

TEST(HeaderReplies, ListHeadersSaysWhetherTheHeaderIsServed) {
    auto read = [](const std::string& response, const char* header) {
        return ReadListHeaders(response.data(), response.size(), header);
    };
    const std::string inn = "215 headers supported:\r\n:\r\n.\r\n";
    const std::string inbox =
        "215 headers and metadata items supported\r\nSubject\r\nFrom\r\n"
        "Date\r\nMessage-ID\r\nReferences\r\n:bytes\r\n:lines\r\nXref\r\n.\r\n";
    EXPECT_EQ(read(inn, "Keywords"), kvListedHeader::Listed);
    EXPECT_EQ(read(inbox, "subject"), kvListedHeader::Listed);
    EXPECT_EQ(read(inbox, "Keywords"), kvListedHeader::NotListed);
    EXPECT_EQ(read(inbox, "Lines"), kvListedHeader::NotListed); // ":lines" is no ":"
    EXPECT_EQ(read("503 Syntax error\r\n", "Subject"), kvListedHeader::Unknown); // leafnode
    EXPECT_EQ(read("215 empty\r\n.\r\n", "Subject"), kvListedHeader::NotListed);
}

} // namespace
