// Searches run through the dialog on the worker thread: the states and
// messages they end in, the summary they leave, the GUI staying usable while
// they run, and a close of the main frame in the middle of one.
#include "fake_nntp_server.h"
#include "gui_harness.h"

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include <algorithm>

namespace korvex_test {
namespace {

// Articles 10..14; subjects of 10, 12 and 14 hold "needle".
FakeGroup NeedleGroup() {
    FakeGroup group;
    group.name = "alt.needles";
    for (long n = 10; n <= 14; ++n) {
        std::string subject = n % 2 == 0 ? "needle number " + std::to_string(n) : "hay";
        group.headers[n] = subject;
        group.articles[n] = FakeArticleText(n, subject, "Body of " + std::to_string(n) + ".\n");
    }
    return group;
}

class SearchGuiTest : public GuiTest {};

TEST_F(SearchGuiTest, FoundArticlesEndReadyWithTheSummary) {
    FakeNntpServer server;
    server.SetGroup(NeedleGroup());
    server.Start();
    Start();
    SearchFor(server.Address(), "alt.needles", "needle");
    EXPECT_EQ(M().ui.state, STATE_SEARCHING);
    EXPECT_FALSE(MenuEnabled(CMD_SEARCH));
    EXPECT_TRUE(MenuEnabled(CMD_QUIT));
    WaitForEnd();

    EXPECT_EQ(M().ui.state, STATE_READY);
    EXPECT_EQ(M().ui.saved, 0);
    EXPECT_TRUE(MenuEnabled(CMD_DISPLAY_RESULTS));
    EXPECT_EQ(StatusLine(), "SUCCESS: 3 articles received");
    ASSERT_NE(M().results, nullptr);
    EXPECT_EQ(M().results->Size(), 3);
    ASSERT_NE(M().summary, nullptr);
    const kvSearchSummary& s = *M().summary;
    EXPECT_STREQ(s.pattern, "needle");
    EXPECT_EQ(std::string(s.server), server.Address());
    EXPECT_STREQ(s.newsgroup, "alt.needles");
    EXPECT_STREQ(s.header, "Subject");
    EXPECT_STREQ(s.groupCount, "5");
    EXPECT_STREQ(s.foundCount, "3");
    EXPECT_EQ(std::string(s.searchDate).size(), 24u);
    EXPECT_EQ(s.loadedFromFile, 0);

    // The status lines came in the order the run showed them.
    const std::vector<std::string> order = {
        "Korvex: Creating network connection...", "Korvex: Selecting newsgroup...",
        "SEARCH: Requesting matching articles...", "Korvex: Sorting articles...",
        "SUCCESS: 3 articles received"};
    size_t next = 0;
    for (const std::string& line : seen) {
        auto at = std::find(order.begin(), order.end(), line);
        if (at == order.end()) continue;
        size_t index = static_cast<size_t>(at - order.begin());
        EXPECT_GE(index + 1, next) << line << " came after a later message";
        next = index + 1;
    }
    EXPECT_EQ(seen.back(), order.back());
}

TEST_F(SearchGuiTest, NothingFoundOrFailureEndsIdleWithTheRunsLastMessage) {
    struct Case {
        const char* pattern;
        const char* group;
        int count;
        const char* status;
    };
    const Case cases[] = {
        {"absent", "alt.needles", 0, "SEARCH: No matching articles found"},
        {"needle", "alt.missing", -1, "ERROR: No such group on server"},
    };
    FakeNntpServer server;
    server.SetGroup(NeedleGroup());
    server.When("GROUP alt.missing", FakeReply::Text("411 no such group\r\n"));
    server.Start();
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        SearchFor(server.Address(), c.group, c.pattern);
        WaitForEnd();
        EXPECT_EQ(M().ui.state, STATE_IDLE);
        EXPECT_EQ(M().ui.saved, 1);
        EXPECT_EQ(StatusLine(), c.status);
        EXPECT_STREQ(C().StatusText(), c.status);
        ASSERT_NE(M().results, nullptr);
        EXPECT_EQ(M().results->Size(), std::max(c.count, 0)); // a failed run leaves it empty
        EXPECT_EQ(M().summary, nullptr);
        EXPECT_TRUE(MenuEnabled(CMD_SEARCH));
    }
}

TEST_F(SearchGuiTest, BrokenConnectionAfterSomeArticlesKeepsThem) {
    FakeGroup group = NeedleGroup();
    FakeNntpServer server;
    server.SetGroup(group);
    // Newest first: 14 arrives, then the connection breaks on 12, for good.
    server.When("ARTICLE 12", FakeReply::Pieces({"220 12 <12@fake> article\r\nSubj"}).ThenReset());
    server.Start();
    WriteFile("korvex.dat", "[Settings]\nRETRIES=0\n[/Settings]\n");
    Start();
    SearchFor(server.Address(), "alt.needles", "needle");
    WaitForEnd();
    EXPECT_EQ(M().ui.state, STATE_READY);
    EXPECT_EQ(StatusLine(), "ERROR: connection failure; 1 complete articles received");
    ASSERT_NE(M().summary, nullptr);
    EXPECT_STREQ(M().summary->foundCount, "1");
    EXPECT_EQ(M().results->Size(), 1);
}

// A server that greets, selects the group, lists the headers and then never
// sends an article: the search waits for as long as the time-out allows.
FakeNntpServer& StalledServer(FakeNntpServer& server) {
    server.SetGroup(NeedleGroup());
    server.When("ARTICLE *", FakeReply::Silent());
    server.Start();
    return server;
}

TEST_F(SearchGuiTest, WindowStaysUsableWhileTheSearchWaits) {
    WriteFile("korvex.dat", "[Settings]\nTIMEOUTS=600\n[/Settings]\n");
    FakeNntpServer server;
    StalledServer(server);
    Start();
    SearchFor(server.Address(), "alt.needles", "needle");
    ASSERT_TRUE(PumpUntil([this] { return StatusLine().rfind("SEARCH: Receiving", 0) == 0; }));
    // Commands still run and refuse as they should while the worker waits.
    ChooseMenu(CMD_SEARCH);
    EXPECT_EQ(Script().notices,
              std::vector<std::string>{
                  "There is search in progress. Please stop it\nbefore starting a new one\n"});
    EXPECT_EQ(M().ui.state, STATE_SEARCHING);
    EXPECT_TRUE(C().Worker().Running());
}

TEST_F(SearchGuiTest, ClosingTheMainFrameStopsTheSearchAndDropsItsReports) {
    WriteFile("korvex.dat", "[Settings]\nTIMEOUTS=600\n[/Settings]\n");
    struct Way {
        const char* name;
        bool quit; // Quit, or the main frame's close box
    };
    const Way ways[] = {{"Quit", true}, {"close box", false}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        FakeNntpServer server;
        StalledServer(server);
        Start();
        SearchFor(server.Address(), "alt.needles", "needle");
        ASSERT_TRUE(PumpUntil([this] { return StatusLine().rfind("SEARCH: Receiving", 0) == 0; }));
        // Either returns only once the worker has ended.
        if (way.quit) {
            ChooseMenu(CMD_QUIT);
        } else {
            C().MainFrame()->Close(false);
        }
        EXPECT_FALSE(C().Worker().Running());
        Pump(); // the frame goes; reports queued before the close must not act any more
        EXPECT_EQ(C().MainFrame(), nullptr);
        EXPECT_EQ(M().ui.state, STATE_IDLE);
        EXPECT_EQ(M().results, nullptr);
        EXPECT_EQ(M().summary, nullptr);
        // The first article was asked for (the others maybe ahead of its
        // answer), and nothing followed: a stopped run sends no QUIT.
        std::vector<std::string> commands = server.Commands();
        EXPECT_NE(std::find(commands.begin(), commands.end(), "ARTICLE 14"), commands.end());
        EXPECT_EQ(commands.back().rfind("ARTICLE ", 0), 0u) << commands.back();
    }
}

TEST_F(SearchGuiTest, LocalNewsServerSearchThroughTheDialog) {
    std::string address;
    KORVEX_LOCAL_SERVER_OR_SKIP(address);
    Start();
    Tick(Dialog().scanCheck, false); // scan the whole group
    SearchFor(address, "korvex.test.small", "kernel panic");
    WaitForEnd();
    ASSERT_EQ(M().ui.state, STATE_READY) << StatusLine();
    const kvResultSet& results = *M().results;
    ASSERT_GT(results.Size(), 0);
    EXPECT_EQ(StatusLine(), "SUCCESS: " + std::to_string(results.Size()) + " articles received");
    EXPECT_STREQ(M().summary->groupCount, "300");
    EXPECT_EQ(std::string(M().summary->foundCount), std::to_string(results.Size()));
    for (int i = 0; i < results.Size(); ++i) {
        std::string subject = results.At(i).subject;
        for (char& c : subject)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(subject.find("kernel") != std::string::npos ||
                    subject.find("panic") != std::string::npos)
            << subject;
    }
}

} // namespace
} // namespace korvex_test
