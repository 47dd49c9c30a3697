// The main frame as the program starts it: title, status line, menus in every
// UI state, the frames' close rules, and the Search and Quit commands.
#include "gui_harness.h"
#include "state_columns.h"

#include <algorithm>
#include <filesystem>
#include <wx/menu.h>

namespace korvex_test {
namespace {

class MainFrameTest : public GuiTest {};

TEST_F(MainFrameTest, StartsIdleWithTitleStatusAndMenus) {
    WriteFile("korvex.ini", "MAIN_W=900\n"); // the results size: not used at start-up
    Start();
    EXPECT_EQ(C().MainFrame()->GetTitle(), "Korvex");
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_EQ(M().ui.saved, 1);
    // The window manager applies the size in its own time.
    EXPECT_TRUE(PumpUntil([this] { return C().MainFrame()->GetSize() == wxSize(400, 175); }, 5000))
        << C().MainFrame()->GetSize().x << "x" << C().MainFrame()->GetSize().y;

    // Menus, labels and ids in order.
    wxMenuBar* bar = C().MainFrame()->GetMenuBar();
    std::vector<MenuEntry> shown;
    for (size_t m = 0; m < bar->GetMenuCount(); ++m) {
        for (wxMenuItem* entry : bar->GetMenu(m)->GetMenuItems()) {
            shown.push_back({bar->GetMenuLabelText(m).utf8_string(),
                             entry->GetItemLabelText().utf8_string(), entry->GetId()});
        }
    }
    EXPECT_EQ(shown, kMenuBar);

    const int enabled[] = {CMD_SEARCH, CMD_LOAD_RESULTS, CMD_RECENT_MENU, CMD_SEARCH_INFO,
                           CMD_QUIT,   CMD_COPY,         CMD_HELP,        CMD_ABOUT};
    for (const MenuEntry& entry : kMenuBar) {
        bool on = std::find(std::begin(enabled), std::end(enabled), entry.id) != std::end(enabled);
        EXPECT_EQ(MenuEnabled(entry.id), on) << entry.label;
    }
}

// A description file that other users may change: its lists are offered, its
// CA file and plain-password permission are not, and the status line says so.
TEST_F(MainFrameTest, DescriptionFileOthersMayChangeIsNamedOnTheStatusLine) {
    WriteFile("korvex.dat", "[Servers]\nnews.example\n[/Servers]\n[Settings]\n"
                            "CA_FILE=/somewhere/ca.pem\nALLOW_PLAIN_PASSWORD=1\n[/Settings]\n");
    std::filesystem::permissions(Path("korvex.dat"), std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::add);
    Start();
#ifdef __WXMSW__
    EXPECT_EQ(StatusLine(), "Korvex: idle") << "Windows files have no such permission bits";
#else
    EXPECT_EQ(StatusLine(), "Ignoring CA_FILE and ALLOW_PLAIN_PASSWORD in " + Path("korvex.dat") +
                                ": other users may change it");
    EXPECT_STREQ(C().Request().caFile, "");
    EXPECT_FALSE(C().Request().allowPlainPassword);
#endif
    EXPECT_STREQ(C().Request().server, "news.example");
}

TEST_F(MainFrameTest, EachStateEnablesItsColumnAndLeavesTheOthersAlone) {
    Start();
    C().MainFrame()->GetMenuBar()->Enable(CMD_CLOSE_HELP, true); // the states must not touch it
    M().ui.saved = 0;
    for (const StateColumn& row : kStateColumns) {
        row.enter(M().ui, C().MainFrame());
        EXPECT_EQ(M().ui.state, row.state);
        EXPECT_EQ(M().ui.saved, 0) << "state operations leave saved alone";
        for (int id : kStateControlled) {
            EXPECT_EQ(MenuEnabled(id), row.on.count(id) == 1)
                << "state " << row.state << " item " << id;
        }
        for (int id : {CMD_COPY, CMD_HELP, CMD_CLOSE_HELP, CMD_ABOUT}) {
            EXPECT_TRUE(MenuEnabled(id)) << "state " << row.state << " item " << id;
        }
    }
}

TEST_F(MainFrameTest, SearchShowsTheDialogOnlyWhenIdleAndRefusesOtherwise) {
    Start();
    ChooseMenu(CMD_SEARCH);
    EXPECT_TRUE(C().Dialog()->IsShown());
    ChooseMenu(CMD_SEARCH);
    EXPECT_EQ(Script().notices,
              std::vector<std::string>{"Search data input dialog is already displayed."});
    Click(Dialog().cancelButton);
    EXPECT_FALSE(C().Dialog()->IsShown());
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    EXPECT_EQ(M().ui.state, STATE_IDLE);

    const std::pair<void (*)(kvSTATE&, kvMenuSwitch*), const char*> refusals[] = {
        {SetStateSearching,
         "There is search in progress. Please stop it\nbefore starting a new one\n"},
        {SetStateReady, "Search results are already loaded. Please\nclose current search "
                        "before starting a new one."},
        {SetStateDisplayed, "Search results are already displayed. Please\nclose current "
                            "search before starting a new one."},
    };
    for (const auto& [enter, notice] : refusals) {
        Script().notices.clear();
        enter(M().ui, C().MainFrame());
        ChooseMenu(CMD_SEARCH);
        EXPECT_FALSE(C().Dialog()->IsShown());
        EXPECT_EQ(Script().notices, std::vector<std::string>{notice});
    }
    SetStateIdle(M().ui, C().MainFrame());
}

TEST_F(MainFrameTest, SearchRefreshesTheStatusLineFromStatusText) {
    Start();
    StaleStatusLine("SEARCH: No matching articles found", "stale");
    ChooseMenu(CMD_SEARCH);
    EXPECT_EQ(StatusLine(), "SEARCH: No matching articles found");
}

TEST_F(MainFrameTest, SearchFrameRefusesToCloseAndHasNoCloseBox) {
    Start();
    ChooseMenu(CMD_SEARCH);
    EXPECT_FALSE(C().Dialog()->HasFlag(wxCLOSE_BOX));
    EXPECT_FALSE(C().Dialog()->HasFlag(wxSYSTEM_MENU));
    EXPECT_FALSE(C().Dialog()->Close(false)); // a vetoable request, as the window system sends
    Pump();
    ASSERT_NE(C().Dialog(), nullptr);
    EXPECT_TRUE(C().Dialog()->IsShown());
}

TEST_F(MainFrameTest, QuitWritesTheSettingsFileAndClosesEverything) {
    WriteFile("korvex.ini", "# window places\nMAIN_X=2000\nMSG_W=700\n");
    Start();
    EXPECT_EQ(C().Settings().mainRect.x, 10);
    EXPECT_EQ(C().Settings().articleRect.width, 700);
    ChooseMenu(CMD_QUIT);
    Pump();
    EXPECT_EQ(C().MainFrame(), nullptr);
    EXPECT_EQ(C().Dialog(), nullptr);
    EXPECT_EQ(ReadFile("korvex.ini"), "# window places\nMAIN_X=10\nMSG_W=700\nMAIN_Y=10\n"
                                      "MAIN_W=400\nMAIN_H=175\nMSG_X=1\nMSG_Y=180\nMSG_H=380\n");
}

// Unsaved results bring the save question first; answered No, the close box
// ends the program without writing the settings.
TEST_F(MainFrameTest, CloseBoxAsksThenEndsWithoutSettingsWrite) {
    Start(); // creates an empty settings file in the program directory
    std::string settings = C().SettingsPath();
    EXPECT_EQ(std::filesystem::path(settings).lexically_normal(),
              (std::filesystem::path(places.programDir) / "korvex.ini").lexically_normal());
    C().ShowStatus("x");
    M().results = std::make_unique<kvResultSet>();
    M().summary = std::make_unique<kvSearchSummary>();
    M().ui.saved = 0;
    SetStateReady(M().ui, C().MainFrame());
    Script().answers = {kvAnswer::No};
    C().MainFrame()->Close(false);
    Pump();
    EXPECT_EQ(C().MainFrame(), nullptr);
    EXPECT_EQ(Script().questions,
              (std::vector<std::string>{"Warning: Search results are not saved. Save now?"}));
    EXPECT_EQ(M().results, nullptr);
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_EQ(ReadBytes(settings), "") << "the settings file stays empty";
}

TEST_F(MainFrameTest, QuitWithUnsavedResultsAsksAndCanBeAbandoned) {
    Start();
    M().results = std::make_unique<kvResultSet>();
    M().results->Append(std::make_unique<kvArticle>());
    M().summary = std::make_unique<kvSearchSummary>();
    M().ui.saved = 0;
    SetStateReady(M().ui, C().MainFrame());

    // Cancel, then Yes with a cancelled selector: the program keeps running.
    Script().answers = {kvAnswer::Cancel, kvAnswer::Yes};
    ChooseMenu(CMD_QUIT);
    ChooseMenu(CMD_QUIT);
    Pump();
    ASSERT_NE(C().MainFrame(), nullptr);
    EXPECT_EQ(Script().questions.size(), 2u);
    EXPECT_EQ(Script().questions[0], "Warning: Search results are not saved. Save now?");
    ASSERT_EQ(Script().fileRequests.size(), 1u);
    EXPECT_EQ(Script().fileRequests[0].title, "Save search results");
    EXPECT_EQ(Script().fileRequests[0].directory, dir);
    EXPECT_EQ(Script().fileRequests[0].fileName, "*.kvx");

    // Yes and a file: saved, then the program ends.
    Script().answers = {kvAnswer::Yes};
    Script().chosenFiles = {Path("kept.kvx")};
    ChooseMenu(CMD_QUIT);
    Pump();
    EXPECT_EQ(C().MainFrame(), nullptr);
    EXPECT_EQ(ReadFile("kept.kvx").rfind(".kvx file -- do not edit!\r\n", 0), 0u);
    EXPECT_EQ(C().LastPath(), Path("kept.kvx"));
}

} // namespace
} // namespace korvex_test
