// The header scan against servers that answer the header commands
// differently, in the manners measured on INN, public-inbox and leafnode:
// which command the capability list chooses, each fallback when a command is
// refused, HEAD where no list serves the header, and the exact commands sent.
#include "search_run_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using namespace korvex_test;

const std::string kInnCaps = "101 Capability list:\r\nVERSION 2\r\nIMPLEMENTATION INN 2.7.1\r\n"
                             "HDR\r\nLIST ACTIVE HEADERS NEWSGROUPS OVERVIEW.FMT\r\nOVER\r\n"
                             "READER\r\nXPAT\r\n.\r\n";
const std::string kInboxCaps = "101 Capability list:\r\nVERSION 2\r\nREADER\r\nNEWNEWS\r\n"
                               "LIST ACTIVE ACTIVE.TIMES NEWSGROUPS OVERVIEW.FMT\r\nHDR\r\nOVER\r\n"
                               "COMPRESS DEFLATE\r\n.\r\n";
const std::string kInboxFormat =
    "215 Order of fields in overview database.\r\nSubject:\r\nFrom:\r\n"
    "Date:\r\nMessage-ID:\r\nReferences:\r\nBytes:\r\nLines:\r\n"
    "Xref:full\r\n.\r\n";
const std::string kSlow = "WARNING: The server does not serve the Keywords header in lists; "
                          "reading each article's header (slower)...";

FakeReply Caps(const std::string& list) {
    return FakeReply::Text(list);
}

Strings Join(std::initializer_list<Strings> parts) {
    Strings s;
    for (const Strings& p : parts)
        s.insert(s.end(), p.begin(), p.end());
    return s;
}

Strings Heads(long from, long to) {
    Strings s;
    for (long n = from; n <= to; ++n)
        s.push_back("HEAD " + std::to_string(n));
    return s;
}

// Articles first..last but those in `missing`; `keywords` gives the header
// lines (besides the usual ones) of some, with LF line ends.
FakeGroup KeywordGroup(long first, long last, const std::map<long, std::string>& keywords,
                       const std::set<long>& missing = {}) {
    FakeGroup g;
    g.count = last - first + 1;
    g.first = first;
    g.last = last;
    for (long n = first; n <= last; ++n) {
        if (missing.count(n) > 0) continue;
        std::string number = (n < 10 ? "kw 00" : n < 100 ? "kw 0" : "kw ") + std::to_string(n);
        std::string text = FakeArticleText(n, number + " match in the subject only", "text\n");
        auto k = keywords.find(n);
        if (k != keywords.end()) text = k->second + text;
        g.articles[n] = text;
    }
    return g;
}

Strings Fetched(int n) {
    Strings s = {"SEARCH: Requesting matching articles..."};
    for (int i = 1; i <= n; ++i) {
        s.push_back("SEARCH: Receiving article " + std::to_string(i) + " of " + std::to_string(n) +
                    " found...");
        s.push_back("Korvex: Article received");
    }
    s.insert(s.end(), {"Finished receiving articles; Closing connection...",
                       "Korvex: Sorting articles...", Success(n)});
    return s;
}

TEST(SearchRunServers, CapabilitiesDecideModeReaderAndTheHeaderCommand) {
    const FakeGroup three = Group(10, 12, {11});
    const Strings fetch = {"ARTICLE 11", "QUIT"};
    const Strings found = {"Korvex: Sorting articles...", Success(1)};
    ExpectRun(
        "refused, as leafnode does: MODE READER and XHDR", three,
        {{"CAPABILITIES", Line("500 Unknown command")}}, 1, 3,
        Join({{"CAPABILITIES", "MODE READER", "GROUP alt.test", "XHDR Subject 10-12"}, fetch}),
        Success(1), found, {11});
    ExpectRun("READER listed: no MODE READER; no HDR listed: XHDR", three,
              {{"CAPABILITIES", Caps("101 list\r\nVERSION 2\r\nREADER\r\n.\r\n")}}, 1, 3,
              Join({{"CAPABILITIES", "GROUP alt.test", "XHDR Subject 10-12"}, fetch}), Success(1),
              found, {11});
    ExpectRun("no READER: MODE READER, the list kept", three,
              {{"CAPABILITIES", Caps("101 list\r\nVERSION 2\r\nIHAVE\r\nHDR\r\n.\r\n")}}, 1, 3,
              Join({{"CAPABILITIES", "MODE READER", "GROUP alt.test", "HDR Subject 10-12"}, fetch}),
              Success(1), found, {11});
    // MODE-READER: the list after MODE READER is the one that counts.
    Script modeSwitch = {
        {"CAPABILITIES", Caps("101 list\r\nVERSION 2\r\nMODE-READER\r\nIHAVE\r\n.\r\n")},
        {"CAPABILITIES", Caps("101 list\r\nVERSION 2\r\nREADER\r\nHDR\r\n.\r\n")}};
    Harness h;
    h.server.SetGroup(three);
    h.server.When(modeSwitch[0].first, modeSwitch[0].second, 1);
    h.server.When(modeSwitch[1].first, modeSwitch[1].second);
    EXPECT_EQ(h.Run(), 1);
    EXPECT_EQ(h.commands, Join({{"CAPABILITIES", "MODE READER", "CAPABILITIES", "GROUP alt.test",
                                 "HDR Subject 10-12"},
                                fetch}));
    // INN: HDR, and LIST HEADERS goes with GROUP.
    ExpectRun(
        "INN", three, {{"CAPABILITIES", Caps(kInnCaps)}, {"LIST HEADERS", Line("215 h\r\n:\r\n.")}},
        1, 3,
        Join({{"CAPABILITIES", "GROUP alt.test", "LIST HEADERS", "HDR Subject 10-12"}, fetch}),
        Success(1), found, {11});
}

TEST(SearchRunServers, PatternThatMatchesAnEmptyValueUsesXhdr) {
    // INN's HDR answers "3 " for an article without the header, as for an
    // empty one; its XHDR leaves the article out. Excluding words alone
    // matches an empty value: only XHDR keeps articles without the header out.
    for (const char* pattern : {"-linux", "match"}) {
        SCOPED_TRACE(pattern);
        Harness h;
        CopyField(h.request.pattern, pattern);
        FakeGroup g;
        g.headers = {{10, ""}, {11, "a match"}};
        g.articles[10] = FakeArticleText(10, "", "text\n");
        g.articles[11] = FakeArticleText(11, "a match", "text\n");
        h.server.SetGroup(g);
        h.server.When("CAPABILITIES", Caps(kInnCaps));
        h.server.When("LIST HEADERS", Line("215 h\r\n:\r\n."));
        h.server.When("HDR Subject 10-11", FakeReply::Text("225 ok\r\n10 \r\n11 a match\r\n.\r\n"));
        h.server.When("XHDR Subject 10-11", FakeReply::Text("221 ok\r\n11 a match\r\n.\r\n"));
        EXPECT_EQ(h.Run(), 1);
        bool exclude = pattern[0] == '-';
        EXPECT_EQ(h.commands, (Strings{"CAPABILITIES", "GROUP alt.test", "LIST HEADERS",
                                       exclude ? "XHDR Subject 10-11" : "HDR Subject 10-11",
                                       "ARTICLE 11", "QUIT"}));
    }
}

TEST(SearchRunServers, ListHeadersTravelsWithGroupAtNoRoundTrip) {
    Harness h;
    h.server.SetGroup(Group(10, 12, {11}));
    h.server.When("CAPABILITIES", Caps(kInnCaps));
    h.server.When("LIST HEADERS", Line("215 headers supported:\r\n:\r\n."));
    // GROUP is answered only once LIST HEADERS has arrived behind it: a client
    // that waited for the GROUP reply first would wait here 3 s in vain.
    h.server.HoldUntilBehind("GROUP alt.test", 1, 3000);
    EXPECT_EQ(h.Run(), 1);
    Strings sent = h.commands;
    std::vector<int> behind = h.server.Behind();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[1], "GROUP alt.test");
    EXPECT_EQ(sent[2], "LIST HEADERS");
    EXPECT_GE(behind[1], 1);
}

TEST(SearchRunServers, EachRefusedCommandFallsBackToTheNext) {
    const FakeGroup three = Group(10, 12, {11});
    const Strings found = {"Korvex: Sorting articles...", Success(1)};
    std::string over = "224 Overview information follows\r\n";
    for (long n = 10; n <= 12; ++n)
        over += std::to_string(n) + "\t" + three.headers.at(n) + "\tPoster <p@x>\tdate\t<" +
                std::to_string(n) +
                "@x>\t\t100\t5\tXref: news.example alt.test:" + std::to_string(n) + "\r\n";
    over += ".\r\n";
    for (const char* refusal :
         {"500 what?", "501 syntax", "502 no", "503 not permitted", "430 no"}) {
        ExpectRun(std::string("HDR refused: XHDR, ") + refusal, three,
                  {{"CAPABILITIES", Caps(kInboxCaps)}, {"HDR*", Line(refusal)}}, 1, 3,
                  {"CAPABILITIES", "GROUP alt.test", "COMPRESS DEFLATE", "HDR Subject 10-12",
                   "XHDR Subject 10-12", "ARTICLE 11", "QUIT"},
                  Success(1), found, {11});
    }
    ExpectRun("HDR and XHDR refused: OVER at the overview's column", three,
              {{"CAPABILITIES", Caps(kInboxCaps)},
               {"HDR*", Line("503 not permitted")},
               {"XHDR*", Line("500 what?")},
               {"LIST OVERVIEW.FMT", FakeReply::Text(kInboxFormat)},
               {"OVER 10-12", FakeReply::Text(over)}},
              1, 3,
              {"CAPABILITIES", "GROUP alt.test", "COMPRESS DEFLATE", "HDR Subject 10-12",
               "XHDR Subject 10-12", "LIST OVERVIEW.FMT", "OVER 10-12", "ARTICLE 11", "QUIT"},
              Success(1), found, {11});
    // Without OVER in the list (or without a list) it is XOVER; without an
    // overview format the standard order places the Subject.
    ExpectRun(
        "XHDR refused, no capability list, no format: XOVER", three,
        {{"XHDR*", Line("500 what?")},
         {"LIST OVERVIEW.FMT", Line("503 no")},
         {"XOVER 10-12", FakeReply::Text(over)}},
        1, 3,
        Join({Sent({}, {}, false),
              {"XHDR Subject 10-12", "LIST OVERVIEW.FMT", "XOVER 10-12", "ARTICLE 11", "QUIT"}}),
        Success(1), found, {11});
}

TEST(SearchRunServers, OverviewExtraFullFieldIsMatchedWithoutItsName) {
    FakeGroup g = Group(10, 13, {11, 13});
    std::string over = "224 Overview information follows\r\n"
                       // a match in the Subject, none in the Xref column
                       "10\ta match\tP\td\t<10@x>\t\t1\t1\tXref: news.example alt.test:10\r\n"
                       "11\tplain\tP\td\t<11@x>\t\t1\t1\tXref: news.example match.group:11\r\n"
                       "12\tplain\tP\td\t<12@x>\t\t1\t1\t\r\n" // no Xref
                       "13\tplain\tP\td\t<13@x>\t\t1\t1\tXref: match.host alt.test:13\r\n.\r\n";
    Ask ask;
    ask.header = "Xref";
    ExpectRun("Xref:full", g,
              {{"XHDR*", Line("502 no")},
               {"LIST OVERVIEW.FMT", FakeReply::Text(kInboxFormat)},
               {"XOVER 10-13", FakeReply::Text(over)}},
              2, 4,
              Join({Sent({}, {}, false),
                    {"XHDR Xref 10-13", "LIST OVERVIEW.FMT", "XOVER 10-13", "ARTICLE 13",
                     "ARTICLE 11", "QUIT"}}),
              Success(2), {"Korvex: Sorting articles...", Success(2)}, {13, 11}, ask);
}

TEST(SearchRunServers, FullFieldNameIsNoPartOfTheValue) {
    Harness h;
    CopyField(h.request.header, "Xref");
    CopyField(h.request.pattern, "Xref"); // only the field's name would match
    h.server.SetGroup(Group(10, 10, {10}));
    h.server.When("XHDR*", Line("502 no"));
    h.server.When("LIST OVERVIEW.FMT", FakeReply::Text(kInboxFormat));
    h.server.When("XOVER 10-10",
                  FakeReply::Text("224 ok\r\n10\ts\tP\td\t<10@x>\t\t1\t1\tXref: h a:1\r\n.\r\n"));
    EXPECT_EQ(h.Run(), 0);
    EXPECT_EQ(h.Status(), "SEARCH: No matching articles found");
    EXPECT_EQ(h.commands.back(), "QUIT");
    EXPECT_EQ(h.commands[h.commands.size() - 2], "XOVER 10-10");
}

TEST(SearchRunServers, HeaderNotServedInListsIsReadWithHead) {
    // Keywords in some articles: in capitals, folded, in a second line only
    // (the first one counts), not at all; the Subject of every article holds
    // "match", which must not count.
    const std::map<long, std::string> keywords = {
        {5, "KEYWORDS: a match in capitals\n"},
        {30, "Keywords: first\n\tmatch folded\n"},
        {200, "Keywords: other\n"},
        {400, "Keywords: none\nKeywords: match second\n"}};
    const FakeGroup many = KeywordGroup(1, 520, keywords, {300});
    Ask ask;
    ask.header = "Keywords";
    const std::string emptyList = "221 Header follows\r\n.\r\n";
    // public-inbox: HDR refused, XHDR an empty list for what it holds. A HEAD
    // check of the chunk finds the header: HEAD for the rest, with one warning.
    ExpectRun("public-inbox", many,
              {{"CAPABILITIES", Caps(kInboxCaps)},
               {"HDR Keywords*", Line("503 HDR not permitted on Keywords")},
               {"XHDR Keywords*", FakeReply::Text(emptyList)}},
              2, 520,
              Join({{"CAPABILITIES", "GROUP alt.test", "COMPRESS DEFLATE", "HDR Keywords 21-520",
                     "XHDR Keywords 21-520"},
                    Heads(21, 520),
                    Heads(1, 20),
                    {"ARTICLE 5", "ARTICLE 30", "QUIT"}}),
              Success(2),
              Join({{kSlow, "Scanning headers... (97% done)", "Scanning headers... (100% done)"},
                    Fetched(2)}),
              {5, 30}, ask);

    // leafnode: no capability list, no LIST HEADERS, and no article has the
    // header: the empty list was true. No warning; XHDR again, trusted.
    const FakeGroup none = KeywordGroup(1, 520, {}, {100, 101});
    ExpectRun(
        "leafnode", none,
        {{"XHDR Keywords*", FakeReply::Text("221 Keywords: header (from article files)\r\n"
                                            ".\r\n")}},
        0, 520,
        Join(
            {Sent({"Keywords 21-520"}, {}, false), Heads(21, 520), {"XHDR Keywords 1-20", "QUIT"}}),
        "SEARCH: No matching articles found",
        {"SEARCH: 520 articles in this group; requesting headers...",
         "Scanning headers... (97% done)", "Scanning headers... (100% done)"},
        {}, ask);

    const FakeGroup three = KeywordGroup(10, 12, {{11, "Keywords: a match\n"}});
    const Strings found = Join({{kSlow, "Scanning headers... (100% done)"}, Fetched(1)});
    ExpectRun("LIST HEADERS without it: HEAD from the start", three,
              {{"CAPABILITIES", Caps("101 l\r\nREADER\r\nLIST ACTIVE HEADERS\r\n.\r\n")},
               {"LIST HEADERS", FakeReply::Text("215 supported\r\nSubject\r\nFrom\r\n:bytes\r\n"
                                                ":lines\r\nXref\r\n.\r\n")}},
              1, 3,
              Join({{"CAPABILITIES", "GROUP alt.test", "LIST HEADERS"},
                    Heads(10, 12),
                    {"ARTICLE 11", "QUIT"}}),
              Success(1), found, {11}, ask);
    ExpectRun("every list command refused: HEAD", three,
              {{"CAPABILITIES", Caps(kInboxCaps)},
               {"HDR*", Line("503 not permitted")},
               {"XHDR*", Line("502 no")},
               {"LIST OVERVIEW.FMT", FakeReply::Text(kInboxFormat)}},
              1, 3,
              Join({{"CAPABILITIES", "GROUP alt.test", "COMPRESS DEFLATE", "HDR Keywords 10-12",
                     "XHDR Keywords 10-12", "LIST OVERVIEW.FMT"},
                    Heads(10, 12),
                    {"ARTICLE 11", "QUIT"}}),
              Success(1), found, {11}, ask);
    // INN answers LIST HEADERS with ":": its empty lists are true at once.
    ExpectRun("INN, an empty list", three,
              {{"CAPABILITIES", Caps(kInnCaps)},
               {"LIST HEADERS", Line("215 h\r\n:\r\n.")},
               {"HDR Keywords*", FakeReply::Text("225 Keywords header follows\r\n.\r\n")}},
              0, 3,
              {"CAPABILITIES", "GROUP alt.test", "LIST HEADERS", "HDR Keywords 10-12", "QUIT"},
              "SEARCH: No matching articles found",
              {"SEARCH: 3 articles in this group; requesting headers...",
               "Scanning headers... (100% done)"},
              {}, ask);
}

// A connection lost while the heads are read: the search connects again,
// reads the capabilities and selects the group again, and goes on with the
// head that had no answer, keeping to HEAD without a second warning.
TEST(SearchRunServers, LostWhileReadingHeadsGoesOnFromTheHeadUnanswered) {
    Harness h;
    h.request.retries = 3;
    h.request.pipeline = 1;
    CopyField(h.request.header, "Keywords");
    h.server.SetGroup(
        KeywordGroup(1, 520, {{5, "Keywords: a match\n"}, {260, "Keywords: match\n"}}, {300}));
    h.server.When("CAPABILITIES", Caps(kInboxCaps));
    h.server.When("HDR Keywords*", Line("503 HDR not permitted on Keywords"));
    h.server.When("XHDR Keywords*", FakeReply::Text("221 Header follows\r\n.\r\n"));
    h.server.When("HEAD 250", FakeReply::Close(), 1);
    EXPECT_EQ(h.Run(), 2) << h.Status();
    EXPECT_EQ(h.Stored(), (Numbers{5, 260}));
    // public-inbox offers COMPRESS: asked for on each connection (refused here).
    const Strings again = {"CAPABILITIES", "GROUP alt.test", "COMPRESS DEFLATE"};
    EXPECT_EQ(h.commands, Join({{"CAPABILITIES", "GROUP alt.test", "COMPRESS DEFLATE",
                                 "HDR Keywords 21-520", "XHDR Keywords 21-520"},
                                Heads(21, 250),
                                again,
                                Heads(250, 520),
                                Heads(1, 20),
                                {"ARTICLE 5", "ARTICLE 260", "QUIT"}}));
    EXPECT_EQ(std::count(h.messages.begin(), h.messages.end(), kSlow), 1);
    EXPECT_EQ(h.waits, (std::vector<long long>{1000}));
}

} // namespace
