// The header scan with the server's pre-filtering (XPAT) against the scripted
// fake server: the same articles and messages as a full scan, XPAT only where
// an empty answer can be trusted, and a full scan again from the chunk where
// the server refused XPAT or listed what it was not asked for.
#include "mime_encode.h"
#include "search_run_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using namespace korvex_test;

struct Outcome {
    int result = 0;
    Numbers stored;
    Strings messages;
    Strings commands;
};

Outcome Search(const FakeGroup& group, bool filter, const Script& script = {},
               const char* pattern = "match", int mode = MATCH_ANY_WORD, int window = 1,
               const char* maxHeaders = "4000") {
    Harness h;
    h.request.serverFilter = filter;
    h.request.pipeline = window;
    h.request.matchMode = mode;
    CopyField(h.request.pattern, pattern);
    CopyField(h.request.maxHeaders, maxHeaders);
    h.server.SetGroup(group);
    for (const auto& s : script)
        h.server.When(s.first, s.second);
    Outcome r;
    r.result = h.Run();
    r.stored = h.Stored();
    r.messages = h.messages;
    r.commands = h.commands;
    return r;
}

// The header commands sent, each cut to its verb and range.
Strings Scans(const Strings& commands) {
    Strings out;
    for (const std::string& c : commands) {
        if (c.rfind("XHDR ", 0) != 0 && c.rfind("XPAT ", 0) != 0) continue;
        std::size_t range = c.find(' ', 5);
        std::size_t end = c.find(' ', range + 1);
        out.push_back(c.substr(0, 4) + c.substr(range, end - range));
    }
    return out;
}

// Articles 1..1700 (four chunks), matches spread over them; 1050 holds its
// match only in an encoded word, 1200 in capitals.
FakeGroup Spread(bool xpat) {
    FakeGroup g = Group(1, 1700, {3, 499, 500, 777, 1050, 1200, 1201, 1699});
    g.headers[1050] = "a " + BWord("match", "utf-8") + " " + BWord("number 1050", "utf-8");
    g.articles[1050] = FakeArticleText(1050, g.headers[1050], "Body.\n");
    g.headers[1200] = "A MATCH NUMBER 1200";
    g.headers[900] = "nothing, matched only by a wider filter: m?tch";
    g.xpat = xpat;
    return g;
}

TEST(SearchRunXpat, FilteredScanFindsWhatTheFullScanFinds) {
    for (int window : {1, KV_DEFAULT_PIPELINE}) {
        SCOPED_TRACE(window);
        for (const char* pattern : {"match", "number -nothing", "\"a match\""}) {
            SCOPED_TRACE(pattern);
            Outcome full = Search(Spread(true), false, {}, pattern, MATCH_ANY_WORD, window);
            Outcome filtered = Search(Spread(true), true, {}, pattern, MATCH_ANY_WORD, window);
            EXPECT_GT(full.result, 0);
            EXPECT_EQ(filtered.result, full.result);
            EXPECT_EQ(filtered.stored, full.stored);
            EXPECT_EQ(filtered.messages, full.messages);
        }
    }
    // The first chunk is listed whole (it shows the server lists the header),
    // then each chunk asks XPAT once per wildmat: the words, then encoded words.
    Outcome r = Search(Spread(true), true);
    EXPECT_EQ(Scans(r.commands),
              (Strings{"XHDR 1201-1700", "XPAT 701-1200", "XPAT 701-1200", "XPAT 201-700",
                       "XPAT 201-700", "XPAT 1-200", "XPAT 1-200"}));
    EXPECT_NE(std::find(r.commands.begin(), r.commands.end(),
                        "XPAT Subject 701-1200 *[Mm][Aa][Tt][Cc][Hh]*"),
              r.commands.end());
    EXPECT_NE(std::find(r.commands.begin(), r.commands.end(), "XPAT Subject 1-200 *=?*"),
              r.commands.end());
    // Turned off, or for a pattern that only excludes: no XPAT at all.
    for (const Outcome& full :
         {Search(Spread(true), false), Search(Spread(true), true, {}, "-zzz")})
        EXPECT_EQ(Scans(full.commands),
                  (Strings{"XHDR 1201-1700", "XHDR 701-1200", "XHDR 201-700", "XHDR 1-200"}));
}

TEST(SearchRunXpat, HeaderLimitCountsTheNumbersOfFilteredChunks) {
    // 1200 headers: the two newest chunks and 200 of the third, as without XPAT.
    Outcome full = Search(Spread(true), false, {}, "match", MATCH_ANY_WORD, 1, "1200");
    Outcome filtered = Search(Spread(true), true, {}, "match", MATCH_ANY_WORD, 1, "1200");
    EXPECT_EQ(filtered.stored, full.stored);
    EXPECT_EQ(filtered.messages, full.messages);
    EXPECT_EQ(Scans(filtered.commands), (Strings{"XHDR 1201-1700", "XPAT 701-1200", "XPAT 701-1200",
                                                 "XPAT 501-700", "XPAT 501-700"}));
    Numbers sorted = filtered.stored;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (Numbers{777, 1050, 1200, 1201, 1699}));
}

TEST(SearchRunXpat, ServerThatMishandlesXpatIsScannedFully) {
    Outcome full = Search(Spread(true), false);
    const struct {
        const char* name;
        Script script;
    } servers[] = {
        {"refused", {}}, // the group answers no XPAT: 500
        {"not permitted", {{"XPAT *", FakeReply::Text("502 not permitted\r\n")}}},
        {"a line above the range",
         {{"XPAT *", FakeReply::Text("221 follows\r\n1000 a match\r\n1699 a match\r\n.\r\n")}}},
        {"a line without a number",
         {{"XPAT *", FakeReply::Text("221 follows\r\n1000 a match\r\nmatch\r\n.\r\n")}}},
        // The first XPAT of the chunk is fine, the second is not: nothing of
        // the chunk is taken from the first.
        {"the second answer wrong",
         {{"XPAT Subject 701-1200 *=?*",
           FakeReply::Text("221 follows\r\n1700 a match number 1700\r\n.\r\n")}}},
    };
    for (const auto& s : servers) {
        SCOPED_TRACE(s.name);
        for (int window : {1, KV_DEFAULT_PIPELINE}) {
            SCOPED_TRACE(window);
            FakeGroup g = Spread(std::string(s.name) != "refused");
            Outcome r = Search(g, true, s.script, "match", MATCH_ANY_WORD, window);
            EXPECT_EQ(r.result, full.result);
            EXPECT_EQ(r.stored, full.stored);
            EXPECT_EQ(r.messages, full.messages);
            // From the chunk where XPAT failed, the list command again, and
            // no XPAT after it.
            Strings scans = Scans(r.commands);
            auto again = std::find(scans.begin(), scans.end(), "XHDR 701-1200");
            ASSERT_NE(again, scans.end());
            EXPECT_EQ(std::count(again, scans.end(), "XPAT 201-700"), 0);
            EXPECT_EQ(std::vector<std::string>(again, again + 3),
                      (Strings{"XHDR 701-1200", "XHDR 201-700", "XHDR 1-200"}));
        }
    }
}

TEST(SearchRunXpat, LostConnectionAsksTheWholeChunkAgain) {
    Outcome full = Search(Spread(true), false);
    for (int window : {1, KV_DEFAULT_PIPELINE}) {
        SCOPED_TRACE(window);
        // Lost after the chunk's first XPAT was answered: its lines are not
        // kept, the chunk is asked again whole, the rest as before.
        Harness h;
        h.request.serverFilter = true;
        h.request.retries = 1;
        h.request.pipeline = window;
        h.server.SetGroup(Spread(true));
        h.server.When("XPAT Subject 201-700 *=?*", FakeReply::Close(), 1);
        EXPECT_EQ(h.Run(), full.result);
        EXPECT_EQ(h.Stored(), full.stored);
        EXPECT_EQ(h.waits.size(), 1U);
        Strings scans = Scans(h.commands);
        EXPECT_EQ(std::count(scans.begin(), scans.end(), "XPAT 201-700"), 4);
        // Sent ahead, the next chunk's may have reached the server before the loss too.
        long next = std::count(scans.begin(), scans.end(), "XPAT 1-200");
        EXPECT_TRUE(window == 1 ? next == 2 : next == 2 || next == 4) << next;
        EXPECT_EQ(std::count(scans.begin(), scans.end(), "XHDR 201-700"), 0);
    }
}

TEST(SearchRunXpat, EmptyListsAreCheckedBeforeXpatIsTrusted) {
    // The newest chunk lists nothing: HEAD finds no header there, so empty
    // lists are true and XPAT follows; the matches further down are found.
    FakeGroup g = Group(1, 1200, {5, 650});
    for (long n = 701; n <= 1200; ++n)
        g.headers.erase(n);
    g.first = 1;
    g.last = 1200;
    g.count = 1200;
    g.xpat = true;
    Harness h;
    h.request.serverFilter = true;
    h.request.pipeline = 1;
    h.server.SetGroup(g);
    EXPECT_EQ(h.Run(), 2);
    EXPECT_EQ(h.Stored(), (Numbers{5, 650}));
    Strings scans = Scans(h.commands);
    EXPECT_EQ(scans, (Strings{"XHDR 701-1200", "XPAT 201-700", "XPAT 201-700", "XPAT 1-200",
                              "XPAT 1-200"}));
}

} // namespace
