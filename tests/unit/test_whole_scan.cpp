// Scanning a whole group: the bounded keeping of matches (only the last ones
// collected, with the count of all), and whole-group runs against a fake
// server holding a few hundred thousand article numbers.
#include "header_scan.h"
#include "search_run_harness.h"
#include "search_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace korvex_test;

std::vector<long> Kept(const kvMatches& m) {
    std::vector<long> out;
    for (int i = 0; i < m.Kept(); ++i)
        out.push_back(m.At(i));
    return out;
}

TEST(WholeScanMatches, KeepsTheLastCollectedInOrderAndCountsAll) {
    kvMatches m;
    ASSERT_TRUE(m.Reserve(4));
    EXPECT_EQ(m.Total(), 0);
    EXPECT_EQ(m.Kept(), 0);
    for (long n : {90, 80, 70})
        m.Add(n);
    EXPECT_EQ(Kept(m), (std::vector<long>{90, 80, 70}));
    m.Add(60); // exactly full
    EXPECT_EQ(Kept(m), (std::vector<long>{90, 80, 70, 60}));
    m.Add(50); // the oldest goes
    EXPECT_EQ(Kept(m), (std::vector<long>{80, 70, 60, 50}));
    EXPECT_EQ(m.Total(), 5);
    for (long n = 49; n >= 40; --n) // around the ring twice and a half
        m.Add(n);
    EXPECT_EQ(Kept(m), (std::vector<long>{43, 42, 41, 40}));
    EXPECT_EQ(m.Total(), 15);
    EXPECT_EQ(m.Kept(), 4);

    ASSERT_TRUE(m.Reserve(2)); // a new scan forgets the last one's numbers
    EXPECT_EQ(m.Total(), 0);
    m.Add(7);
    EXPECT_EQ(Kept(m), (std::vector<long>{7}));
}

TEST(WholeScanMatches, NumbersAtTheTopOfTheRangeAndARingOfOne) {
    kvMatches m;
    ASSERT_TRUE(m.Reserve(3));
    for (long i = 0; i < 5; ++i)
        m.Add(2147483647 - i);
    EXPECT_EQ(Kept(m), (std::vector<long>{2147483645, 2147483644, 2147483643}));
    kvMatches one;
    ASSERT_TRUE(one.Reserve(1));
    for (long n = 1; n <= 70000; ++n)
        one.Add(n);
    EXPECT_EQ(one.Total(), 70000);
    EXPECT_EQ(Kept(one), (std::vector<long>{70000}));
}

// A group of numbers 1..last where `matching` carry "match" in their Subject
// (fetchable unless in `refused`) and every other number a short value.
FakeGroup BigGroup(long last, const std::set<long>& matching, const std::set<long>& refused = {}) {
    FakeGroup g;
    for (long n = 1; n <= last; ++n)
        g.headers.emplace_hint(g.headers.end(), n, "x");
    for (long n : matching) {
        g.headers[n] = "a match number " + std::to_string(n);
        if (refused.count(n) == 0)
            g.articles[n] =
                FakeArticleText(n, g.headers[n], "Body of " + std::to_string(n) + ".\n");
    }
    return g;
}

std::vector<std::string> HeaderCommands(const Strings& commands) {
    std::vector<std::string> out;
    for (const std::string& c : commands)
        if (c.compare(0, 5, "XHDR ") == 0) out.push_back(c);
    return out;
}

std::vector<long> Articles(const Strings& commands) {
    std::vector<long> out;
    for (const std::string& c : commands)
        if (c.compare(0, 8, "ARTICLE ") == 0) out.push_back(std::atol(c.c_str() + 8));
    return out;
}

constexpr long kLast = 300'000;

TEST(WholeScanRun, WholeCoversEveryNumberAndAllStopsAt51200) {
    const std::set<long> matching = {3, 700, 150'000, 299'990};
    {
        Harness h;
        h.server.SetGroup(BigGroup(kLast, matching));
        CopyField(h.request.maxHeaders, "whole");
        ASSERT_EQ(h.Run(), 4) << h.Status();
        std::vector<std::string> xhdr = HeaderCommands(h.commands);
        ASSERT_EQ(xhdr.size(), 600u);
        EXPECT_EQ(xhdr.front(), "XHDR Subject 299501-300000");
        EXPECT_EQ(xhdr[1], "XHDR Subject 299001-299500");
        EXPECT_EQ(xhdr.back(), "XHDR Subject 1-500");
        // Fetched in the reverse order of collection: the last collected first.
        EXPECT_EQ(Articles(h.commands), (std::vector<long>{3, 700, 150'000, 299'990}));
        EXPECT_EQ(h.context.matchedTotal, 4);
        Strings scans = h.Shown("Scanning headers... (");
        ASSERT_EQ(scans.size(), 600u);
        EXPECT_EQ(scans.front(), "Scanning headers... (1% done)");
        EXPECT_EQ(scans[299], "Scanning headers... (50% done)");
        EXPECT_EQ(scans.back(), "Scanning headers... (100% done)");
        EXPECT_EQ(h.Shown("SEARCH: Receiving article 1 of ")[0],
                  "SEARCH: Receiving article 1 of 4 found...");
        // The scan hands on its numbers: done of the whole group.
        const kvStatus* lastScan = nullptr;
        for (const kvStatus& s : h.statuses)
            if (s.phase == kvPhase::HeaderScan) lastScan = &s;
        ASSERT_NE(lastScan, nullptr);
        EXPECT_EQ(lastScan->numbersDone, kLast);
        EXPECT_EQ(lastScan->numbersTotal, kLast);
    }
    {
        Harness h;
        h.server.SetGroup(BigGroup(kLast, matching));
        CopyField(h.request.maxHeaders, "all");
        ASSERT_EQ(h.Run(), 1) << h.Status();
        std::vector<std::string> xhdr = HeaderCommands(h.commands);
        ASSERT_EQ(xhdr.size(), 103u); // 51,200 numbers: 102 chunks of 500 and one of 200
        EXPECT_EQ(xhdr.back(), "XHDR Subject 248801-249000");
        EXPECT_EQ(Articles(h.commands), (std::vector<long>{299'990}));
        EXPECT_EQ(h.context.matchedTotal, 1);
    }
}

// A connection lost far below the newest 51,200 numbers: the scan goes on
// from the chunk without a whole answer, the matches before it counted once.
TEST(WholeScanRun, ResumesBelowTheUsualLimitAfterALostConnection) {
    Harness h;
    h.server.SetGroup(BigGroup(kLast, {3, 150'000, 299'990}));
    h.server.When("XHDR Subject 100001-100500", FakeReply::Reset(), 1);
    CopyField(h.request.maxHeaders, "whole");
    h.request.retries = 1;
    ASSERT_EQ(h.Run(), 3) << h.Status();
    EXPECT_EQ(h.waits, (std::vector<long long>{1000}));
    EXPECT_EQ(h.context.matchedTotal, 3);
    std::vector<std::string> xhdr = HeaderCommands(h.commands);
    EXPECT_EQ(std::count(xhdr.begin(), xhdr.end(), "XHDR Subject 100001-100500"), 2);
    EXPECT_EQ(xhdr.back(), "XHDR Subject 1-500");
    EXPECT_EQ(Articles(h.commands), (std::vector<long>{3, 150'000, 299'990}));
}

// A group that ends at the largest article number, 2^31 - 1: the chunks, the
// percentages and the numbers fetched stay exact.
TEST(WholeScanRun, GroupEndingAtTheLargestArticleNumber) {
    const long first = 2'147'482'000L, last = 2'147'483'647L;
    FakeGroup g;
    // Counted in long long: where long has 32 bits, last is its largest value.
    for (long long n = first; n <= last; ++n)
        g.headers.emplace_hint(g.headers.end(), static_cast<long>(n), "x");
    for (long n : {2'147'482'001L, last}) {
        g.headers[n] = "a match number " + std::to_string(n);
        g.articles[n] = FakeArticleText(n, g.headers[n], "Body.\n");
    }
    Harness h;
    h.server.SetGroup(g);
    CopyField(h.request.maxHeaders, "whole");
    ASSERT_EQ(h.Run(), 2) << h.Status();
    EXPECT_EQ(HeaderCommands(h.commands),
              (std::vector<std::string>{
                  "XHDR Subject 2147483148-2147483647", "XHDR Subject 2147482648-2147483147",
                  "XHDR Subject 2147482148-2147482647", "XHDR Subject 2147482000-2147482147"}));
    EXPECT_EQ(Articles(h.commands), (std::vector<long>{2'147'482'001L, last}));
    EXPECT_EQ(h.Shown("Scanning headers... ("),
              (Strings{"Scanning headers... (31% done)", "Scanning headers... (61% done)",
                       "Scanning headers... (92% done)", "Scanning headers... (100% done)"}));
}

TEST(WholeScanRun, MoreMatchesThanKeptFetchTheLastCollectedAndCountThemAll) {
    // Every fifth number matches: 60,000 matches, more than the 51,200 kept.
    std::set<long> matching;
    for (long n = 5; n <= kLast; n += 5)
        matching.insert(n);
    Harness h;
    h.server.SetGroup(BigGroup(kLast, matching, {500})); // 500 is refused
    CopyField(h.request.maxHeaders, "whole");
    CopyField(h.request.maxArticles, "3");
    ASSERT_EQ(h.Run(), 3) << h.Status();
    // The last chunk, 1-500, is collected last and from its low end up: 500
    // comes first, is refused, and the next one makes up for it.
    std::vector<long> asked = Articles(h.commands);
    ASSERT_GE(asked.size(), 4u);
    EXPECT_EQ(std::vector<long>(asked.begin(), asked.begin() + 4),
              (std::vector<long>{500, 495, 490, 485}));
    std::vector<long> stored = h.Stored();
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<long>{485, 490, 495}));
    EXPECT_EQ(h.context.matchedTotal, 60'000);
    EXPECT_EQ(h.Shown("SEARCH: Receiving article 1 of ")[0],
              "SEARCH: Receiving article 1 of 3 requested (60000 matched)...");

    // The summary of the search reports every match, not only those received.
    kvSearchSummary summary;
    FillSearchSummary(summary, h.request, "Fri Dec 11 07:00:00 2026", kLast, 3,
                      h.context.matchedTotal);
    std::string info = SearchInfoText(summary);
    EXPECT_NE(info.find("\nMatching articles found: 3\nHeaders matched in the scan: 60000"),
              std::string::npos)
        << info;
}

TEST(WholeScanRun, FewerMatchesThanTheLimitSayFoundWithTheTotal) {
    std::set<long> matching;
    for (long n = 1000; n <= kLast; n += 1000)
        matching.insert(n); // 300 matches
    Harness h;
    h.server.SetGroup(BigGroup(kLast, matching));
    CopyField(h.request.maxHeaders, "whole");
    ASSERT_EQ(h.Run(), 300) << h.Status();
    EXPECT_EQ(h.context.matchedTotal, 300);
    EXPECT_EQ(h.Shown("SEARCH: Receiving article 300 of ")[0],
              "SEARCH: Receiving article 300 of 300 found...");
    kvSearchSummary summary;
    FillSearchSummary(summary, h.request, "Fri Dec 11 07:00:00 2026", kLast, 300, 300);
    EXPECT_EQ(SearchInfoText(summary).find("Headers matched"), std::string::npos)
        << "nothing to add when every match came";
}

} // namespace
