// Sweeps against the scripted fake server: the groups a LIST ACTIVE answer
// selects (missing, empty, moderated and aliased groups among them), each
// searched in turn on one connection; a refused LIST ACTIVE; a group that
// fails or loses the connection in the middle of the sweep, and the sweep
// going on (or ending when the connection cannot be had again).
#include "search_run_harness.h"
#include "sweep_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

using namespace korvex_test;

struct GroupEnd {
    std::string group;
    kvSearchEnd end;
    std::string status;
    int count;
    std::string summaryGroup; // the group the summary names, when found
};

struct Sweep {
    kvSweepOutcome outcome;
    std::vector<GroupEnd> groups;
    Strings commands;
    int connections = 0;
};

// Sweeps `selection` with one command at a time (or `window`); alt.test holds
// articles 1..100, of which 10 and 20 match.
Sweep RunSweepOn(Harness& h, const std::string& selection, int window = 1) {
    h.request.pipeline = window;
    h.server.SetGroup(Group(1, 100, {10, 20}));
    h.server.Start();
    Sweep sweep;
    sweep.outcome =
        RunSweep(h.request, selection, h.context, [&](const std::string& g, kvSearchOutcome& o) {
            sweep.groups.push_back(
                {g, o.end, o.status, o.count, o.summary ? o.summary->newsgroup : ""});
        });
    sweep.commands = h.server.Commands();
    sweep.connections = h.server.Connections();
    return sweep;
}

void ExpectGroup(const GroupEnd& got, const std::string& group, kvSearchEnd end,
                 const std::string& status, int count = 0) {
    EXPECT_EQ(got.group, group);
    EXPECT_EQ(got.end, end) << group;
    EXPECT_EQ(got.status, status) << group;
    EXPECT_EQ(got.count, count) << group;
    if (end == kvSearchEnd::Found) {
        EXPECT_EQ(got.summaryGroup, group);
    }
}

const char* const kList = "215 list follows\r\n"
                          "alt.test 100 1 y\r\n"
                          "alt.empty 0 1 y\r\n"
                          "alt.moderated 203 201 m\r\n"
                          "alt.old 0 1 =alt.test\r\n"
                          "alt.gone 9 1 y\r\n"
                          "sci.math 9 1 y\r\n"
                          ".\r\n";

// The moderated group: articles 201..203, 201 matching.
void ScriptModerated(FakeNntpServer& server) {
    server.When("GROUP alt.moderated", Line("211 3 201 203 alt.moderated"));
    server.When("XHDR Subject 201-203", FakeReply::Text("221 Subject follows\r\n"
                                                        "201 a match in moderated\r\n"
                                                        "202 nothing\r\n203 nothing\r\n.\r\n"));
    server.When("ARTICLE 201", FakeReply::Text("220 201 <201@fake.example> article\r\n"
                                               "From: a@example.com\r\n"
                                               "Subject: a match in moderated\r\n"
                                               "Message-ID: <201@fake.example>\r\n"
                                               "\r\nModerated body.\r\n.\r\n"));
}

TEST(SweepRun, ListedGroupsAreSearchedInTurnOnOneConnection) {
    Harness h;
    h.server.When("LIST ACTIVE *", FakeReply::Text(kList));
    h.server.When("GROUP alt.empty", Line("211 0 0 0 alt.empty"));
    ScriptModerated(h.server);
    Sweep s = RunSweepOn(h, "alt.*,!alt.gone,alt.missing");

    ASSERT_TRUE(s.outcome.ran) << s.outcome.status;
    // The server's answer is matched here too: sci.math and alt.gone are left
    // out; alt.old is filed under alt.test; alt.missing is asked for as named.
    ASSERT_EQ(s.groups.size(), 4u);
    ExpectGroup(s.groups[0], "alt.empty", kvSearchEnd::NothingFound,
                "SEARCH: No articles in this group on server");
    ExpectGroup(s.groups[1], "alt.missing", kvSearchEnd::Failed, "ERROR: No such group on server");
    ExpectGroup(s.groups[2], "alt.moderated", kvSearchEnd::Found, Success(1), 1);
    ExpectGroup(s.groups[3], "alt.test", kvSearchEnd::Found, Success(2), 2);
    EXPECT_EQ(s.outcome.groups, 4);
    EXPECT_EQ(s.outcome.groupsFound, 2);
    EXPECT_EQ(s.outcome.articles, 3);
    EXPECT_EQ(s.outcome.failed, 1);
    EXPECT_EQ(s.outcome.notSearched, 0);
    EXPECT_EQ(s.outcome.status, "SEARCH: 3 articles found in 2 of 4 newsgroups");

    EXPECT_EQ(s.connections, 1);
    EXPECT_EQ(s.commands,
              (Strings{"CAPABILITIES", "MODE READER", "LIST ACTIVE alt.*,!alt.gone,alt.missing",
                       "GROUP alt.empty", "GROUP alt.missing", "GROUP alt.moderated",
                       "XHDR Subject 201-203", "ARTICLE 201", "GROUP alt.test",
                       "XHDR Subject 1-100", "ARTICLE 20", "ARTICLE 10", "QUIT"}));
}

// Commands sent ahead in a group that ends early (an error reply to one chunk
// of the scan, with the later chunks already sent) are answered and dropped
// before the next group's GROUP: the connection goes on.
TEST(SweepRun, CommandsSentAheadAreSettledBeforeTheNextGroup) {
    Harness h;
    h.server.SetGroup(Group(1, 3000, {}));
    h.request.pipeline = 64;
    CopyField(h.request.maxHeaders, "3000");
    h.server.When("XHDR Subject 2001-2500", Line("299 what is this"));
    h.server.When("GROUP alt.other", Line("211 3 1 3 alt.other"));
    h.server.When("XHDR Subject 1-3", FakeReply::Text("221 Subject follows\r\n"
                                                      "2 a match in other\r\n.\r\n"));
    h.server.When("ARTICLE 2", FakeReply::Text("220 2 <2@fake.example> article\r\n"
                                               "Subject: a match in other\r\n"
                                               "Message-ID: <2@fake.example>\r\n"
                                               "\r\nOther.\r\n.\r\n"));
    h.server.Start();
    std::vector<GroupEnd> ends;
    kvSweepOutcome out = RunSweep(
        h.request, "alt.test,alt.other", h.context, [&](const std::string& g, kvSearchOutcome& o) {
            ends.push_back({g, o.end, o.status, o.count, o.summary ? o.summary->newsgroup : ""});
        });
    ASSERT_TRUE(out.ran);
    ASSERT_EQ(ends.size(), 2u);
    ExpectGroup(ends[0], "alt.test", kvSearchEnd::Failed, "ERROR requesting article headers");
    ExpectGroup(ends[1], "alt.other", kvSearchEnd::Found, Success(1), 1);
    EXPECT_EQ(h.server.Connections(), 1);
    Strings commands = h.server.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "XHDR Subject 1-500"), commands.end());
    auto other = std::find(commands.begin(), commands.end(), "GROUP alt.other");
    ASSERT_NE(other, commands.end());
    EXPECT_EQ(Strings(other, commands.end()),
              (Strings{"GROUP alt.other", "XHDR Subject 1-3", "ARTICLE 2", "QUIT"}));
}

TEST(SweepRun, PlainNamesNeedNoListAndNothingMatchingIsNoFailure) {
    Harness h;
    Sweep s = RunSweepOn(h, "alt.test,alt.nothere,alt.test");
    ASSERT_TRUE(s.outcome.ran);
    ASSERT_EQ(s.groups.size(), 2u); // in the order given, each once
    ExpectGroup(s.groups[0], "alt.test", kvSearchEnd::Found, Success(2), 2);
    ExpectGroup(s.groups[1], "alt.nothere", kvSearchEnd::Failed, "ERROR: No such group on server");
    EXPECT_EQ(s.commands,
              (Strings{"CAPABILITIES", "MODE READER", "GROUP alt.test", "XHDR Subject 1-100",
                       "ARTICLE 20", "ARTICLE 10", "GROUP alt.nothere", "QUIT"}));

    Harness none;
    none.server.When("LIST ACTIVE *", FakeReply::Text("215 list follows\r\n.\r\n"));
    Sweep empty = RunSweepOn(none, "nowhere.*");
    EXPECT_TRUE(empty.outcome.ran);
    EXPECT_EQ(empty.outcome.groups, 0);
    EXPECT_TRUE(empty.groups.empty());
    EXPECT_EQ(empty.outcome.status, "SEARCH: No newsgroup on server matches the list");
    EXPECT_EQ(empty.commands,
              (Strings{"CAPABILITIES", "MODE READER", "LIST ACTIVE nowhere.*", "QUIT"}));
}

TEST(SweepRun, AListLongerThanItsRoomIsSearchedAsFarAsItGoesAndSaysSo) {
    // A server that ignores the pattern and lists some 600,000 groups: the
    // first are kept, and the sweep warns that the rest were left out.
    std::string list = "215 list follows\r\n";
    for (int i = 0; i < 600000; ++i)
        list += "alt.filler.group" + std::to_string(i) + " 0 1 y\r\n";
    list += "alt.test 100 1 y\r\nalt.zz.last 100 1 y\r\n.\r\n";
    Harness h;
    h.server.When("LIST ACTIVE alt.t*", Line("501 syntax error"));
    h.server.When("LIST ACTIVE", FakeReply::Text(list));
    Sweep s = RunSweepOn(h, "alt.t*");
    ASSERT_TRUE(s.outcome.ran) << s.outcome.status;
    EXPECT_TRUE(s.groups.empty()); // alt.test came after the room ran out
    EXPECT_EQ(
        h.Shown("WARNING: The newsgroup list"),
        (Strings{"WARNING: The newsgroup list is too long; only the groups in its first 16 MB "
                 "are searched"}));

    Harness fits;
    fits.server.When("LIST ACTIVE alt.t*", FakeReply::Text(kList));
    RunSweepOn(fits, "alt.t*");
    EXPECT_TRUE(fits.Shown("WARNING: The newsgroup list").empty());
}

TEST(SweepRun, ARefusedPatternFallsBackToTheWholeListAndAFullRefusalEndsTheSweep) {
    Harness h;
    h.server.When("LIST ACTIVE alt.t*", Line("501 syntax error"));
    h.server.When("LIST ACTIVE", FakeReply::Text(kList));
    Sweep s = RunSweepOn(h, "alt.t*");
    ASSERT_TRUE(s.outcome.ran) << s.outcome.status;
    ASSERT_EQ(s.groups.size(), 1u);
    ExpectGroup(s.groups[0], "alt.test", kvSearchEnd::Found, Success(2), 2);
    EXPECT_EQ(Strings(s.commands.begin(), s.commands.begin() + 5),
              (Strings{"CAPABILITIES", "MODE READER", "LIST ACTIVE alt.t*", "LIST ACTIVE",
                       "GROUP alt.test"}));

    Harness old;
    old.server.When("LIST ACTIVE*", Line("500 what?"));
    old.server.When("LIST", FakeReply::Text(kList));
    Sweep o = RunSweepOn(old, "sci.*");
    ASSERT_TRUE(o.outcome.ran) << o.outcome.status;
    ASSERT_EQ(o.groups.size(), 1u);
    EXPECT_EQ(o.groups[0].group, "sci.math");

    Harness refused;
    refused.server.When("LIST*", Line("502 not for you"));
    Sweep r = RunSweepOn(refused, "alt.*");
    EXPECT_FALSE(r.outcome.ran);
    EXPECT_EQ(r.outcome.status, "ERROR: Newsgroup list refused by server");
    EXPECT_TRUE(r.groups.empty());
    EXPECT_EQ(r.commands, (Strings{"CAPABILITIES", "MODE READER", "LIST ACTIVE alt.*", "QUIT"}));
}

TEST(SweepRun, AGroupFailingMidSweepLeavesTheRestGoingOn) {
    Harness h;
    h.server.When("GROUP a.locked", Line("502 no permission"));
    h.server.When("GROUP a.odd", Line("211 5 1 5 a.odd"));
    h.server.When("XHDR Subject 1-5", Line("299 what is this"));
    Sweep s = RunSweepOn(h, "a.locked,a.odd,alt.test");
    ASSERT_EQ(s.groups.size(), 3u);
    ExpectGroup(s.groups[0], "a.locked", kvSearchEnd::Failed, "ERROR: GROUP command error");
    ExpectGroup(s.groups[1], "a.odd", kvSearchEnd::Failed, "ERROR requesting article headers");
    ExpectGroup(s.groups[2], "alt.test", kvSearchEnd::Found, Success(2), 2);
    EXPECT_EQ(s.outcome.failed, 2);
    EXPECT_EQ(s.commands.back(), "QUIT");
    EXPECT_EQ(s.commands.at(2), "GROUP a.locked");
    EXPECT_EQ(s.commands.at(3), "GROUP a.odd");
    EXPECT_EQ(s.commands.at(4), "XHDR Subject 1-5");
    EXPECT_EQ(s.connections, 1); // an error reply leaves the connection in step
}

TEST(SweepRun, ALostConnectionIsOpenedAgainWhileTheRetriesLast) {
    Harness h;
    h.request.retries = 2;
    h.server.When("GROUP a.first", Line("211 0 0 0 a.first"));
    h.server.When("GROUP a.drop", FakeReply::Close(), 1);
    h.server.When("GROUP a.drop", Line("211 0 0 0 a.drop"));
    Sweep s = RunSweepOn(h, "a.first,a.drop,alt.test");
    ASSERT_EQ(s.groups.size(), 3u);
    ExpectGroup(s.groups[1], "a.drop", kvSearchEnd::NothingFound,
                "SEARCH: No articles in this group on server");
    ExpectGroup(s.groups[2], "alt.test", kvSearchEnd::Found, Success(2), 2);
    EXPECT_EQ(s.connections, 2);
    EXPECT_EQ(h.waits, (std::vector<long long>{1000}));
    EXPECT_EQ(s.commands, (Strings{"CAPABILITIES", "MODE READER", "GROUP a.first", "GROUP a.drop",
                                   "CAPABILITIES", "MODE READER", "GROUP a.drop", "GROUP alt.test",
                                   "XHDR Subject 1-100", "ARTICLE 20", "ARTICLE 10", "QUIT"}));
}

TEST(SweepRun, AConnectionLostForGoodEndsTheSweepWithTheRestNotSearched) {
    Harness h; // no reconnects
    h.server.When("GROUP a.drop", FakeReply::Close());
    Sweep s = RunSweepOn(h, "a.drop,alt.test,b.later");
    ASSERT_TRUE(s.outcome.ran);
    ASSERT_EQ(s.groups.size(), 3u);
    EXPECT_EQ(s.groups[0].end, kvSearchEnd::Failed);
    ExpectGroup(s.groups[1], "alt.test", kvSearchEnd::Failed,
                "SEARCH: Not searched: the connection was lost");
    ExpectGroup(s.groups[2], "b.later", kvSearchEnd::Failed,
                "SEARCH: Not searched: the connection was lost");
    EXPECT_EQ(s.outcome.notSearched, 2);
    EXPECT_EQ(s.outcome.status, "SEARCH: Not searched: the connection was lost");
    EXPECT_EQ(s.connections, 1);
}

TEST(SweepRun, NoServerMeansNoGroupIsTriedTwice) {
    Harness h;
    CopyField(h.request.server, "127.0.0.1:1"); // nothing listens there
    Sweep s = RunSweepOn(h, "a.one,a.two");
    ASSERT_EQ(s.groups.size(), 2u);
    ExpectGroup(s.groups[0], "a.one", kvSearchEnd::Failed, "ERROR: Can't connect to server");
    ExpectGroup(s.groups[1], "a.two", kvSearchEnd::Failed,
                "SEARCH: Not searched: no connection to the server");
}

// A fetch that loses the connection (no reconnects) keeps what came whole; the
// next group starts on a new connection with nothing left over from the old one.
TEST(SweepRun, TheGroupAfterALostFetchStartsOnAFreshConnection) {
    Harness h;
    h.server.When("ARTICLE 10", FakeReply::Close());
    h.server.When("GROUP a.after", Line("211 5 1 5 a.after"));
    h.server.When("XHDR Subject 1-5", FakeReply::Text("221 Subject follows\r\n"
                                                      "3 a match after\r\n.\r\n"));
    h.server.When("ARTICLE 3", FakeReply::Text("220 3 <3@fake.example> article\r\n"
                                               "Subject: a match after\r\n"
                                               "Message-ID: <3@fake.example>\r\n"
                                               "\r\nAfter.\r\n.\r\n"));
    Sweep s = RunSweepOn(h, "alt.test,a.after");
    ASSERT_EQ(s.groups.size(), 2u);
    EXPECT_EQ(s.groups[0].end, kvSearchEnd::Found);
    EXPECT_EQ(s.groups[0].count, 1);
    ExpectGroup(s.groups[1], "a.after", kvSearchEnd::Found, Success(1), 1);
    EXPECT_EQ(s.connections, 2);
    EXPECT_EQ(s.commands,
              (Strings{"CAPABILITIES", "MODE READER", "GROUP alt.test", "XHDR Subject 1-100",
                       "ARTICLE 20", "ARTICLE 10", "CAPABILITIES", "MODE READER", "GROUP a.after",
                       "XHDR Subject 1-5", "ARTICLE 3", "QUIT"}));
}

// A login the server asks for before the list is given once and holds for
// every group; a login refused ends the sweep, the groups left not searched.
TEST(SweepRun, ALoginHoldsForTheWholeSweepAndARefusedOneEndsIt) {
    auto give = [](Harness& h, int& asked) {
        h.request.allowPlainPassword = true;
        h.context.credentials = [&asked](const std::string&, kvCredentials& out, std::string&) {
            ++asked;
            out.user = "reader";
            out.password = "secret";
            return kvCredentialAnswer::Given;
        };
        h.server.When("AUTHINFO USER reader", Line("381 Enter password"));
    };
    Harness h;
    int asked = 0;
    give(h, asked);
    h.server.When("LIST ACTIVE alt.*", Line("480 Authentication required"), 1);
    h.server.When("LIST ACTIVE alt.*", FakeReply::Text(kList));
    h.server.When("AUTHINFO PASS secret", Line("281 Authentication accepted"));
    h.server.When("GROUP alt.empty", Line("211 0 0 0 alt.empty"));
    ScriptModerated(h.server);
    Sweep s = RunSweepOn(h, "alt.*,!alt.gone");
    ASSERT_TRUE(s.outcome.ran) << s.outcome.status;
    EXPECT_EQ(s.outcome.groups, 3);
    EXPECT_EQ(s.outcome.articles, 3);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Strings(s.commands.begin(), s.commands.begin() + 7),
              (Strings{"CAPABILITIES", "MODE READER", "LIST ACTIVE alt.*,!alt.gone",
                       "AUTHINFO USER reader", "AUTHINFO PASS secret", "CAPABILITIES",
                       "LIST ACTIVE alt.*,!alt.gone"}));
    EXPECT_EQ(std::count(s.commands.begin(), s.commands.end(), "AUTHINFO PASS secret"), 1);

    Harness refused;
    int askedAgain = 0;
    give(refused, askedAgain);
    refused.server.When("GROUP a.first", Line("480 Authentication required"));
    refused.server.When("AUTHINFO PASS secret", Line("481 Authentication failed"));
    Sweep r = RunSweepOn(refused, "a.first,alt.test,a.third");
    ASSERT_EQ(r.groups.size(), 3u);
    EXPECT_EQ(r.groups[0].end, kvSearchEnd::Failed);
    ExpectGroup(r.groups[1], "alt.test", kvSearchEnd::Failed,
                "SEARCH: Not searched: the server refused the session");
    ExpectGroup(r.groups[2], "a.third", kvSearchEnd::Failed,
                "SEARCH: Not searched: the server refused the session");
    EXPECT_EQ(askedAgain, 1);
    EXPECT_EQ(r.connections, 1);
}

// The time limit holds for the whole sweep: once it has passed, the groups
// left are not searched.
TEST(SweepRun, TheTimeLimitEndsTheSweep) {
    Harness h;
    std::atomic<long long> now{0}; // moved on by the server's thread
    h.context.clock = [&now] { return now.load(); };
    CopyField(h.request.timeLimit, "1");
    h.server.When("GROUP a.first", Line("211 0 0 0 a.first"));
    h.server.When("GROUP a.slow", Line("211 0 0 0 a.slow"));
    h.server.OnCommand("GROUP a.slow", [&now] { now += 61000; });
    Sweep s = RunSweepOn(h, "a.first,a.slow,alt.test");
    ASSERT_EQ(s.groups.size(), 3u);
    EXPECT_EQ(s.groups[1].end, kvSearchEnd::NothingFound);
    ExpectGroup(s.groups[2], "alt.test", kvSearchEnd::Failed,
                "SEARCH: Not searched: search time expired");
    EXPECT_EQ(s.outcome.notSearched, 1);
    EXPECT_EQ(s.commands,
              (Strings{"CAPABILITIES", "MODE READER", "GROUP a.first", "GROUP a.slow", "QUIT"}));
}

} // namespace
