// The progress gauge during a search, and File > Recent results: the files it
// offers after loads and saves, kept in the settings file, and a file gone.
#include "fake_nntp_server.h"
#include "gui_harness.h"

#include <wx/gauge.h>
#include <wx/menu.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

namespace korvex_test {
namespace {

class ProgressRecentTest : public GuiTest {
  protected:
    // The labels File > Recent results shows, in order.
    std::vector<std::string> RecentLabels() {
        std::vector<std::string> labels;
        wxMenuItem* holder = C().MainFrame()->GetMenuBar()->FindItem(CMD_RECENT_MENU);
        if (!holder || !holder->GetSubMenu()) return {"(no submenu)"};
        for (wxMenuItem* item : holder->GetSubMenu()->GetMenuItems())
            labels.push_back(item->GetItemLabelText().utf8_string());
        return labels;
    }
    void SaveHeldAs(const std::string& name) {
        Script().chosenFiles.push_back(Path(name));
        ChooseMenu(CMD_SAVE_RESULTS);
        ASSERT_EQ(M().ui.saved, 1) << name;
    }
};

TEST_F(ProgressRecentTest, TheGaugeFollowsTheFetchAndGoesWhenTheSearchEnds) {
    // Twelve matching articles, each answered after a pause: the fetch lasts
    // long enough to be watched.
    FakeGroup group;
    group.name = "alt.slow";
    for (long n = 1; n <= 12; ++n) {
        group.headers[n] = "needle " + std::to_string(n);
        group.articles[n] = FakeArticleText(n, "needle " + std::to_string(n), "Body.\n");
    }
    FakeNntpServer server;
    server.SetGroup(group);
    server.OnCommand("ARTICLE *",
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(120)); });
    server.Start();
    Start();
    wxGauge* gauge = kvUiProbe::Gauge(*C().MainFrame());
    ASSERT_NE(gauge, nullptr);
    EXPECT_FALSE(gauge->IsShown()); // idle

    SearchFor(server.Address(), "alt.slow", "needle");
    std::set<int> ranges, values;
    bool shownWhileSearching = false;
    ASSERT_TRUE(PumpUntil([&] {
        if (gauge->IsShown() && C().Worker().Running()) {
            shownWhileSearching = true;
            ranges.insert(gauge->GetRange());
            values.insert(gauge->GetValue());
            EXPECT_LE(gauge->GetValue(), gauge->GetRange());
        }
        return !C().Worker().Running();
    })) << "the search did not end";
    EXPECT_TRUE(shownWhileSearching);
    // The fetch measures the articles to receive; several positions were drawn.
    EXPECT_EQ(ranges.count(12), 1u) << ranges.size();
    EXPECT_GE(values.size(), 3u);
    EXPECT_EQ(M().ui.state, STATE_READY);
    EXPECT_FALSE(gauge->IsShown());
    EXPECT_EQ(StatusLine(), "SUCCESS: 12 articles received");
}

TEST_F(ProgressRecentTest, ShowingProgressKeepsToItsRangeAndRate) {
    Start();
    kvMainFrame& frame = *C().MainFrame();
    wxGauge* gauge = kvUiProbe::Gauge(frame);
    frame.ShowProgress(5, 0); // nothing to measure
    EXPECT_FALSE(frame.ProgressShown());
    frame.ShowProgress(3, 40);
    EXPECT_TRUE(frame.ProgressShown());
    EXPECT_EQ(gauge->GetRange(), 40);
    EXPECT_EQ(gauge->GetValue(), 3);
    // Within the same range a position this soon after the last is not drawn,
    // but the end always is, and a new range at once.
    frame.ShowProgress(4, 40);
    EXPECT_EQ(gauge->GetValue(), 3);
    frame.ShowProgress(40, 40);
    EXPECT_EQ(gauge->GetValue(), 40);
    frame.ShowProgress(1, 100);
    EXPECT_EQ(gauge->GetRange(), 100);
    EXPECT_EQ(gauge->GetValue(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    frame.ShowProgress(7, 100);
    EXPECT_EQ(gauge->GetValue(), 7);
    frame.ShowProgress(0, 0);
    EXPECT_FALSE(frame.ProgressShown());
}

TEST_F(ProgressRecentTest, LoadsAndSavesFillTheListNewestFirstAcrossRuns) {
    Start();
    EXPECT_EQ(RecentLabels(), std::vector<std::string>{"(no recent files)"});
    HoldResults(2);
    for (const char* name : {"a.kvx", "b.kvx", "c.kvx", "d.kvx", "e.kvx", "f.kvx", "b.kvx"})
        SaveHeldAs(name);
    EXPECT_EQ(RecentLabels(), (std::vector<std::string>{"1 " + Path("b.kvx"), "2 " + Path("f.kvx"),
                                                        "3 " + Path("e.kvx"), "4 " + Path("d.kvx"),
                                                        "5 " + Path("c.kvx")}));
    // A failed save is not remembered.
    Script().chosenFiles = {Path("no/such/dir/x.kvx")};
    ChooseMenu(CMD_SAVE_RESULTS);
    EXPECT_EQ(RecentLabels().size(), 5u);
    EXPECT_EQ(RecentLabels()[0], "1 " + Path("b.kvx"));
    // The list is in the settings file already, before any Quit.
    std::string ini = ReadBytes(C().SettingsPath());
    EXPECT_NE(ini.find("RECENT1=" + Path("b.kvx") + "\n"), std::string::npos) << ini;

    // A save that Close asks for counts too.
    M().ui.saved = 0;
    Script().answers = {kvAnswer::Yes};
    Script().chosenFiles = {Path("asked.kvx")};
    ChooseMenu(CMD_CLOSE_SEARCH);
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_EQ(RecentLabels()[0], "1 " + Path("asked.kvx"));
    EXPECT_EQ(RecentLabels()[1], "2 " + Path("b.kvx"));

    // The next run offers them; choosing one loads it and moves it first.
    TearDown();
    SetUp();
    Start();
    ASSERT_EQ(RecentLabels().size(), 5u);
    EXPECT_TRUE(MenuEnabled(CMD_RECENT_MENU));
    ChooseMenu(CMD_RECENT_FIRST + 2); // f.kvx
    EXPECT_EQ(M().ui.state, STATE_DISPLAYED);
    EXPECT_EQ(C().MainFrame()->GetTitle(), "File f.kvx: needle");
    EXPECT_EQ(RecentLabels()[0], "1 " + Path("f.kvx"));
    EXPECT_EQ(RecentLabels()[1], "2 " + Path("asked.kvx"));
    EXPECT_FALSE(MenuEnabled(CMD_RECENT_MENU)); // results held
    EXPECT_EQ(C().LastPath(), Path("f.kvx"));
}

TEST_F(ProgressRecentTest, AFileGoneIsTakenOffWithANotice) {
    WriteFile("korvex.ini",
              "MAIN_X=15\nRECENT1=" + Path("gone.kvx") + "\nRECENT2=" + Path("here.kvx") + "\n");
    Start();
    ASSERT_EQ(RecentLabels().size(), 2u) << "read from " << C().SettingsPath();
    ChooseMenu(CMD_RECENT_FIRST);
    EXPECT_EQ(Script().notices,
              std::vector<std::string>{"The file \"" + Path("gone.kvx") +
                                       "\" no longer exists.\nIt was taken off the recent "
                                       "results."});
    EXPECT_EQ(RecentLabels(), std::vector<std::string>{"1 " + Path("here.kvx")});
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_EQ(ReadFile("korvex.ini").find("gone.kvx"), std::string::npos);
    EXPECT_NE(ReadFile("korvex.ini").find("MAIN_X=15\n"), std::string::npos);
    // A file there but damaged stays listed: Load results' notice, nothing more.
    WriteFile("here.kvx", "not a results file\r\n");
    ChooseMenu(CMD_RECENT_FIRST);
    EXPECT_EQ(Script().notices.back(), "Error loading search results.");
    EXPECT_EQ(RecentLabels().size(), 1u);
}

} // namespace
} // namespace korvex_test
