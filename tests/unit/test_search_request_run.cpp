// The one call that runs a search for a front end (RunSearchRequest) against
// the scripted fake server: how the run ended, the result set and the summary
// it hands over, and the kind every message was given where it was made.
#include "search_run_harness.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace korvex_test;
using Kinds = std::vector<std::pair<std::string, kvStatusKind>>;

constexpr kvStatusKind kProgress = kvStatusKind::Progress;

// The messages a harness saw shown, each with its kind.
Kinds ShownKinds(const Harness& h) {
    Kinds out;
    for (std::size_t i = 0; i < h.messages.size() && i < h.statuses.size(); ++i)
        out.emplace_back(h.messages[i], h.statuses[i].kind);
    return out;
}

kvSearchOutcome RunRequest(Harness& h) {
    h.server.Start();
    kvSearchOutcome outcome = RunSearchRequest(h.request, h.context);
    h.commands = h.server.Commands();
    return outcome;
}

// An outcome without articles: an empty set in every slot, no summary.
void ExpectEmpty(const kvSearchOutcome& o, kvSearchEnd end, const std::string& status,
                 kvStatusKind kind) {
    EXPECT_EQ(o.end, end);
    EXPECT_EQ(o.count, 0);
    EXPECT_EQ(o.status, status);
    EXPECT_EQ(o.statusKind, kind);
    ASSERT_NE(o.results, nullptr);
    EXPECT_EQ(o.results->Size(), 0);
    EXPECT_EQ(o.results->First(), nullptr);
    EXPECT_EQ(o.summary, nullptr);
}

TEST(SearchRequestRun, FoundArticlesComeWithTheirSummary) {
    Harness h;
    h.server.SetGroup(Group(10, 14, {10, 13}));
    CopyField(h.request.header, "Subject");
    kvSearchOutcome o = RunRequest(h);

    EXPECT_EQ(o.end, kvSearchEnd::Found);
    EXPECT_EQ(o.count, 2);
    EXPECT_EQ(o.status, "SUCCESS: 2 articles received");
    EXPECT_EQ(o.statusKind, kvStatusKind::Result);
    ASSERT_NE(o.results, nullptr);
    EXPECT_EQ(o.results->Size(), 2);
    ASSERT_NE(o.results->First(), nullptr);
    EXPECT_STREQ(o.results->First()->messageId, "<13@fake.example>");
    ASSERT_NE(o.results->First()->next, nullptr);
    EXPECT_EQ(o.results->First()->next->next, nullptr);

    ASSERT_NE(o.summary, nullptr);
    EXPECT_STREQ(o.summary->pattern, "match");
    EXPECT_STREQ(o.summary->header, "Subject");
    EXPECT_STREQ(o.summary->newsgroup, "alt.test");
    EXPECT_EQ(std::string(o.summary->server), h.server.Address());
    EXPECT_STREQ(o.summary->groupCount, "5");
    EXPECT_STREQ(o.summary->foundCount, "2");
    EXPECT_EQ(std::strlen(o.summary->searchDate), 24u) << o.summary->searchDate;
    EXPECT_FALSE(o.summary->loadedFromFile);
}

TEST(SearchRequestRun, NothingFoundHoldsNoArticlesAndNoSummary) {
    Harness h;
    h.server.SetGroup(Group(10, 14, {}));
    kvSearchOutcome o = RunRequest(h);

    ExpectEmpty(o, kvSearchEnd::NothingFound, "SEARCH: No matching articles found",
                kvStatusKind::Result);
}

TEST(SearchRequestRun, RunsEndingAfterSomeArticles) {
    // A login asked for at the third article, with nowhere to get one: the
    // run fails and the two articles already received go too.
    {
        Harness h;
        h.request.pipeline = 1;
        h.server.SetGroup(Group(10, 17, {}, true));
        h.server.When("ARTICLE 15", Line("480 authentication required"));
        kvSearchOutcome o = RunRequest(h);
        ExpectEmpty(o, kvSearchEnd::Failed, "ERROR: Authentication required", kvStatusKind::Error);
        EXPECT_EQ(h.commands, Sent({"10-17"}, {17, 16, 15}));
    }
    // The connection lost at the sixth article: the five before it are kept.
    {
        Harness h;
        h.server.SetGroup(Group(10, 17, {}, true));
        h.server.When("ARTICLE 12", FakeReply::Close());
        kvSearchOutcome o = RunRequest(h);
        EXPECT_EQ(o.end, kvSearchEnd::Found);
        EXPECT_EQ(o.count, 5);
        EXPECT_EQ(o.status, "ERROR: connection failure; 5 complete articles received");
        EXPECT_EQ(o.statusKind, kvStatusKind::Error);
        ASSERT_NE(o.summary, nullptr);
        EXPECT_STREQ(o.summary->foundCount, "5");
        EXPECT_STREQ(o.summary->groupCount, "8");
        ASSERT_NE(o.results, nullptr);
        EXPECT_EQ(o.results->Size(), 5);
    }
}

TEST(SearchRequestRun, EveryMessageCarriesItsKind) {
    {
        Harness h;
        h.server.SetGroup(Group(10, 12, {10, 12}));
        RunRequest(h);
        EXPECT_EQ(ShownKinds(h),
                  (Kinds{{"Korvex: Creating network connection...", kProgress},
                         {"Korvex: Locating *...", kProgress},
                         {"Korvex: Connecting to *...", kProgress},
                         {"Korvex: Connected...", kProgress},
                         {"Korvex: Selecting newsgroup...", kProgress},
                         {"SEARCH: 3 articles in this group; requesting headers...", kProgress},
                         {"Scanning headers... (100% done)", kProgress},
                         {"SEARCH: Requesting matching articles...", kProgress},
                         {"SEARCH: Receiving article 1 of 2 found...", kProgress},
                         {"Korvex: Article received", kProgress},
                         {"SEARCH: Receiving article 2 of 2 found...", kProgress},
                         {"Korvex: Article received", kProgress},
                         {"Finished receiving articles; Closing connection...", kProgress},
                         {"Korvex: Sorting articles...", kProgress},
                         {"SUCCESS: 2 articles received", kvStatusKind::Result}}));
        EXPECT_EQ(h.context.statusKind, kvStatusKind::Result);
    }
    {
        Harness h;
        h.server.SetGroup(Group(10, 12, {11}));
        h.server.When("ARTICLE 11", FakeReply::Reset());
        RunRequest(h);
        Kinds shown = ShownKinds(h);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown.back(),
                  (Kinds::value_type{"SEARCH: Receiving article 1 of 1 found...", kProgress}));
        for (const auto& message : shown)
            EXPECT_EQ(message.second, kProgress) << message.first;
        // The reason is written, not shown, and is an error (Wine reports the
        // reset as an orderly end, which reads as the server's silence).
        EXPECT_EQ(h.Status(), RunningUnderWine() ? "ERROR: Timeout expired, no response from server"
                                                 : "ERROR: Socket read failure");
        EXPECT_EQ(h.context.statusKind, kvStatusKind::Error);
    }
    {
        Harness h;
        h.server.SetGroup(Group(10, 17, {}, true));
        h.server.When("ARTICLE 12", FakeReply::Close());
        RunRequest(h);
        Kinds shown = ShownKinds(h);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown[shown.size() - 2],
                  (Kinds::value_type{"Korvex: Sorting articles...", kProgress}));
        EXPECT_EQ(shown.back(),
                  (Kinds::value_type{"ERROR: connection failure; 5 complete articles received",
                                     kvStatusKind::Error}));
    }
    {
        Harness h;
        h.server.SetGroup(Group(10, 12, {11}));
        h.server.When("GROUP alt.test", Line("411 no such group"));
        RunRequest(h);
        EXPECT_EQ(h.Status(), "ERROR: No such group on server");
        EXPECT_EQ(h.context.statusKind, kvStatusKind::Error);
    }
}

} // namespace
