// The menu commands: refusals and status refreshes in every state, the file
// selectors and LastPath, saving and loading results, the unsaved-results
// question of Close and Quit, search info, Copy and the text exports.
#include "gui_harness.h"
#include "results_list.h"
#include "search_dialog.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/textctrl.h>

#include <filesystem>

namespace korvex_test {
namespace {

class CommandsTest : public GuiTest {
  protected:
    void Display(int n) {
        Start();
        HoldResults(n);
        ChooseMenu(CMD_DISPLAY_RESULTS);
        ASSERT_EQ(M().ui.state, STATE_DISPLAYED);
    }
    // Puts the UI in a state: idle, searching (as the worker leaves it while
    // running), results ready, or displayed.
    void Enter(int state) {
        Start();
        if (state == STATE_SEARCHING) SetStateSearching(M().ui, C().MainFrame());
        if (state >= STATE_READY) HoldResults(3);
        if (state == STATE_DISPLAYED) ChooseMenu(CMD_DISPLAY_RESULTS);
        ASSERT_EQ(M().ui.state, state);
    }
    std::string LastNotice() { return Script().notices.empty() ? "" : Script().notices.back(); }
};

struct Refusal {
    int state;
    int command;
    const char* notice; // "" when the command shows nothing
    bool refreshes;     // the status line is shown again first
};

const char* const kIdle = "Korvex: idle";

const Refusal kRefusals[] = {
    {STATE_IDLE, CMD_DISPLAY_RESULTS, "No search loaded.", true},
    {STATE_IDLE, CMD_SAVE_RESULTS, "Nothing to save.", true},
    {STATE_IDLE, CMD_CLOSE_SEARCH, "Nothing to close.", true},
    {STATE_IDLE, CMD_SAVE_ALL_ARTICLES, "Nothing to save.", true},
    {STATE_IDLE, CMD_REPLY_LIST, "No article set to process.", true},
    {STATE_IDLE, CMD_SAVE_ARTICLE, "Can't save current article.", true},
    {STATE_IDLE, CMD_CLOSE_ARTICLE_WINDOW, "Can't close article window.", true},
    {STATE_IDLE, CMD_NEW_ARTICLE_WINDOW, "No current article.", true},
    {STATE_IDLE, CMD_DELETE_ARTICLE, "Nothing to delete.", true},
    {STATE_IDLE, CMD_SEARCH_INFO, kIdle, true},
    {STATE_IDLE, CMD_COPY, "", true},
    {STATE_SEARCHING, CMD_SEARCH,
     "There is search in progress. Please stop it\nbefore starting a new one\n", true},
    {STATE_SEARCHING, CMD_DISPLAY_RESULTS, "Search in progress, please wait.", true},
    {STATE_SEARCHING, CMD_SAVE_RESULTS, "Nothing to save.", true},
    {STATE_SEARCHING, CMD_CLOSE_SEARCH, "Nothing to close.", true},
    {STATE_SEARCHING, CMD_LOAD_RESULTS, "", true},
    {STATE_SEARCHING, CMD_SEARCH_INFO, kIdle, false},
    {STATE_SEARCHING, CMD_COPY, "", false},
    {STATE_SEARCHING, CMD_ABOUT, "Korvex 2.000", false},
    {STATE_SEARCHING, CMD_CLOSE_HELP, "", false},
    {STATE_READY, CMD_SEARCH,
     "Search results are already loaded. Please\nclose current search before starting a new "
     "one.",
     true},
    {STATE_READY, CMD_LOAD_RESULTS,
     "Please close current search\nbefore loading a new one from file.", true},
    {STATE_READY, CMD_NEW_ARTICLE_WINDOW, "No current article.", true},
    {STATE_READY, CMD_SAVE_ARTICLE, "Can't save current article.", true},
    {STATE_DISPLAYED, CMD_SEARCH,
     "Search results are already displayed. Please\nclose current search before starting a "
     "new one.",
     true},
    {STATE_DISPLAYED, CMD_DISPLAY_RESULTS, "Search results are already displayed.", true},
    {STATE_DISPLAYED, CMD_LOAD_RESULTS,
     "Please close current search\nbefore loading a new one from file.", true},
    {STATE_DISPLAYED, CMD_HELP, "Help file not found.", true},
};

TEST_F(CommandsTest, RefusalsAndStatusRefreshPerState) {
    for (const Refusal& row : kRefusals) {
        SCOPED_TRACE(std::to_string(row.state) + "/" + std::to_string(row.command));
        Enter(row.state);
        StaleStatusLine(kIdle, "stale");
        Script().notices.clear();
        int saved = M().ui.saved;
        ChooseMenu(row.command);
        std::string notice = LastNotice().substr(0, std::string(row.notice).size());
        EXPECT_EQ(notice, row.notice);
        EXPECT_EQ(Script().notices.size(), *row.notice ? 1u : 0u);
        EXPECT_EQ(StatusLine(), row.refreshes ? kIdle : "stale");
        EXPECT_EQ(M().ui.state, row.state);
        EXPECT_EQ(M().ui.saved, saved);
        EXPECT_TRUE(Script().fileRequests.empty());
        TearDown();
        SetUp();
    }
}

TEST_F(CommandsTest, TheOpenDialogBlocksSearchAndLoad) {
    Start();
    ChooseMenu(CMD_SEARCH);
    ASSERT_TRUE(C().Dialog()->IsShown());
    ChooseMenu(CMD_SEARCH);
    ChooseMenu(CMD_LOAD_RESULTS);
    EXPECT_EQ(Script().notices,
              (std::vector<std::string>{"Search data input dialog is already displayed.",
                                        "Data input dialog is displayed on screen. Please close\n"
                                        "data input dialog before loading a new search from "
                                        "file."}));
    EXPECT_TRUE(Script().fileRequests.empty());
}

TEST_F(CommandsTest, SelectorsStartFromLastPath) {
    Display(3);
    std::filesystem::create_directory(Path("sub"));
    Script().chosenFiles = {Path("sub/all.txt"), "", Path("one.txt"), ""};
    ChooseMenu(CMD_SAVE_ALL_ARTICLES);
    ChooseMenu(CMD_SAVE_RESULTS); // cancelled: LastPath stays
    ChooseMenu(CMD_SAVE_ARTICLE);
    ChooseMenu(CMD_REPLY_LIST);
    const auto& r = Script().fileRequests;
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].title, "Save all articles");
    EXPECT_EQ(r[0].directory, dir); // from LastPath at start-up, dir + "/*.kvx"
    EXPECT_EQ(r[0].fileName, "");
    EXPECT_EQ(r[0].wildcard, "*.txt");
    EXPECT_TRUE(r[0].save);
    EXPECT_EQ(r[1].title, "Save search results");
    EXPECT_EQ(r[1].directory, Path("sub"));
    EXPECT_EQ(r[1].fileName, "all.txt");
    EXPECT_EQ(r[1].wildcard, "*.kvx");
    EXPECT_EQ(r[2].title, "Save article");
    EXPECT_EQ(r[2].directory, Path("sub"));
    EXPECT_EQ(r[3].title, "Create reply list");
    EXPECT_EQ(r[3].directory, dir);
    EXPECT_EQ(r[3].fileName, "");
    EXPECT_EQ(C().LastPath(), Path("one.txt"));
    EXPECT_EQ(M().ui.saved, 0); // text exports do not save the results

    M().ui.saved = 1;
    ChooseMenu(CMD_CLOSE_SEARCH);
    Script().chosenFiles = {""};
    ChooseMenu(CMD_LOAD_RESULTS);
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[4].title, "Load search results");
    EXPECT_EQ(r[4].fileName, "one.txt");
    EXPECT_FALSE(r[4].save);
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_TRUE(Script().notices.empty());
}

TEST_F(CommandsTest, SaveCloseAndLoadBack) {
    Display(3);
    Select(ResultsList(), 1);
    ChooseMenu(CMD_DELETE_ARTICLE);
    Script().chosenFiles = {Path("r.kvx")};
    ChooseMenu(CMD_SAVE_RESULTS);
    EXPECT_EQ(M().ui.saved, 1);
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    EXPECT_EQ(C().LastPath(), Path("r.kvx"));
    ChooseMenu(CMD_CLOSE_SEARCH); // saved: no question
    EXPECT_TRUE(Script().questions.empty());
    EXPECT_EQ(M().ui.state, STATE_IDLE);

    Script().chosenFiles = {Path("r.kvx")};
    ChooseMenu(CMD_LOAD_RESULTS);
    EXPECT_EQ(M().ui.state, STATE_DISPLAYED);
    EXPECT_EQ(M().ui.saved, 1);
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"Subject 0", "Subject 2"}));
    EXPECT_EQ(M().results->Size(), 2);
    EXPECT_EQ(C().MainFrame()->GetTitle(), "File r.kvx: needle");
    EXPECT_EQ(StatusLine(), "2 articles loaded from \"r.kvx\"");
    EXPECT_EQ(WindowText(0).substr(0, 33), "\nFrom: Author 0 <a0@example.org>\n");
    ChooseMenu(CMD_SEARCH_INFO);
    EXPECT_EQ(LastNotice(), "Search pattern: needle\nHeader: Subject\nDate: Wed Dec  9 10:00:00 "
                            "2026\nServer: 127.0.0.1\nNewsgroup: alt.test\nArticles in this "
                            "group: 100\nMatching articles found: 3\nLoaded from: r.kvx");

    // After a deletion Close asks again.
    ChooseMenu(CMD_DELETE_ARTICLE);
    EXPECT_EQ(M().ui.saved, 0);
    ChooseMenu(CMD_CLOSE_SEARCH);
    EXPECT_EQ(Script().questions,
              (std::vector<std::string>{"Warning: Search results are not saved. Save now?"}));
    EXPECT_EQ(M().ui.state, STATE_DISPLAYED); // no answer scripted: Cancel
}

TEST_F(CommandsTest, FailedLoadAndSaveLeaveThingsAsTheyWere) {
    Start();
    WriteFile("bad.kvx", "not a results file\r\n");
    Script().chosenFiles = {Path("bad.kvx"), Path("missing.kvx")};
    ChooseMenu(CMD_LOAD_RESULTS);
    ChooseMenu(CMD_LOAD_RESULTS);
    EXPECT_EQ(Script().notices, (std::vector<std::string>{"Error loading search results.",
                                                          "Error loading search results."}));
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_EQ(M().summary, nullptr);
    EXPECT_EQ(C().MainFrame()->GetTitle(), "Korvex");
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    EXPECT_TRUE(MenuEnabled(CMD_SEARCH));
    TearDown();
    SetUp();

    Display(2);
    Script().chosenFiles = {Path("no/such/dir/r.kvx")};
    ChooseMenu(CMD_SAVE_RESULTS);
    EXPECT_EQ(LastNotice(), "Error saving search results.");
    EXPECT_EQ(M().ui.saved, 0);
    // Inside Close, a failed save abandons the close.
    Script().answers = {kvAnswer::Yes};
    Script().chosenFiles = {Path("no/such/dir/r.kvx")};
    ChooseMenu(CMD_CLOSE_SEARCH);
    EXPECT_EQ(M().ui.state, STATE_DISPLAYED);
    EXPECT_NE(ResultsList(), nullptr);

    Script().notices.clear();
    Script().chosenFiles = {Path("no/a.txt"), Path("no/b.txt"), Path("no/c.txt")};
    ChooseMenu(CMD_SAVE_ALL_ARTICLES);
    ChooseMenu(CMD_SAVE_ARTICLE);
    ChooseMenu(CMD_REPLY_LIST);
    EXPECT_EQ(Script().notices,
              (std::vector<std::string>{"Error saving articles.", "Error saving article.",
                                        "Error saving reply list."}));
    EXPECT_EQ(StatusLine(), "Korvex: idle");
}

TEST_F(CommandsTest, CloseAnswers) {
    struct Case {
        std::vector<kvAnswer> answers;
        std::vector<std::string> files;
        bool closed;
    };
    const Case cases[] = {
        {{kvAnswer::Cancel}, {}, false},
        {{kvAnswer::Yes}, {""}, false}, // the selector cancelled
        {{kvAnswer::No}, {}, true},
        {{kvAnswer::Yes}, {"saved.kvx"}, true},
    };
    for (const Case& c : cases) {
        Display(2);
        ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
        Script().answers.assign(c.answers.begin(), c.answers.end());
        for (const std::string& f : c.files)
            Script().chosenFiles.push_back(f.empty() ? f : Path(f));
        ChooseMenu(CMD_CLOSE_SEARCH);
        EXPECT_EQ(Script().questions.size(), 1u);
        if (c.closed) {
            EXPECT_EQ(C().MainFrame()->GetPosition(), wxPoint(10, 10)); // as asked, before the WM
            EXPECT_EQ(M().ui.state, STATE_IDLE);
            EXPECT_EQ(Articles().Current(), -1);
            EXPECT_EQ(M().ui.saved, 1);
            EXPECT_TRUE(
                PumpUntil([this] { return C().MainFrame()->GetSize() == wxSize(400, 175); }, 5000));
        } else {
            EXPECT_EQ(M().ui.state, STATE_DISPLAYED);
            EXPECT_EQ(Articles().Current(), 1);
            EXPECT_EQ(ListEntries().size(), 2u);
            EXPECT_EQ(M().ui.saved, 0);
        }
        EXPECT_EQ(std::filesystem::exists(Path("saved.kvx")),
                  c.files == std::vector<std::string>{"saved.kvx"});
        TearDown();
        SetUp();
    }
}

// The main frame's close box: unsaved results bring Quit's question; a close
// that cannot be refused goes ahead whatever the answer.
TEST_F(CommandsTest, CloseBoxAsksLikeQuit) {
    struct Case {
        int state;
        bool saveFirst; // results saved before the close box is used
        std::vector<kvAnswer> answers;
        const char* file; // chosen in the selector; "" cancels it
        bool canRefuse;
        int questions;
        bool closed;
        bool savedFile; // saved.kvx exists afterwards
    };
    const Case cases[] = {
        {STATE_DISPLAYED, false, {kvAnswer::Cancel}, nullptr, true, 1, false, false},
        {STATE_DISPLAYED, false, {kvAnswer::Yes}, "", true, 1, false, false},
        {STATE_DISPLAYED, false, {kvAnswer::Yes}, "saved.kvx", true, 1, true, true},
        {STATE_DISPLAYED, false, {kvAnswer::No}, nullptr, true, 1, true, false},
        {STATE_READY, false, {kvAnswer::Cancel}, nullptr, true, 1, false, false},
        {STATE_READY, false, {kvAnswer::Cancel}, nullptr, false, 1, true, false},
        {STATE_DISPLAYED, true, {kvAnswer::Cancel}, nullptr, true, 0, true, true},
        {STATE_IDLE, false, {kvAnswer::Cancel}, nullptr, true, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "state " << c.state << " saveFirst " << c.saveFirst
                                          << " canRefuse " << c.canRefuse);
        Enter(c.state);
        if (c.saveFirst) {
            Script().chosenFiles = {Path("saved.kvx")};
            ChooseMenu(CMD_SAVE_RESULTS);
            ASSERT_EQ(M().ui.saved, 1);
        }
        Script().questions.clear();
        Script().answers.assign(c.answers.begin(), c.answers.end());
        if (c.file != nullptr) Script().chosenFiles = {*c.file ? Path(c.file) : ""};
        C().MainFrame()->Close(!c.canRefuse);
        EXPECT_EQ(static_cast<int>(Script().questions.size()), c.questions);
        if (c.questions > 0) {
            EXPECT_EQ(Script().questions[0], "Warning: Search results are not saved. Save now?");
        }
        if (c.closed) {
            EXPECT_TRUE(PumpUntil([this] { return C().MainFrame() == nullptr; }, 5000));
        } else {
            PumpUntil([] { return false; }, 200);
            ASSERT_NE(C().MainFrame(), nullptr);
            EXPECT_EQ(M().ui.state, c.state);
            EXPECT_EQ(M().ui.saved, 0);
        }
        EXPECT_EQ(std::filesystem::exists(Path("saved.kvx")), c.savedFile);
        std::filesystem::remove(Path("saved.kvx"));
        TearDown();
        SetUp();
    }
}

TEST_F(CommandsTest, QuitAsksKeepsRunningOrWritesTheGeometry) {
    Display(2);
    std::string before = ReadFile("program/korvex.ini");
    Script().answers = {kvAnswer::Yes};
    ChooseMenu(CMD_QUIT); // Yes, then the selector cancelled: keeps running
    EXPECT_NE(C().MainFrame(), nullptr);
    EXPECT_EQ(ReadFile("program/korvex.ini"), before);
    EXPECT_EQ(M().ui.state, STATE_DISPLAYED);

    // Once the window manager has settled the sizes, the main frame is minimised.
    C().MainFrame()->SetSize(520, 330);
    auto settled = [this] {
        return kvUiProbe::NormalRect(*C().MainFrame()).GetSize() == wxSize(520, 330) &&
               kvUiProbe::NormalRect(*ArticleFrame(0)).GetSize() == wxSize(600, 380);
    };
    ASSERT_TRUE(PumpUntil(settled, 5000));
    PumpUntil([] { return false; }, 300);
    ASSERT_TRUE(PumpUntil(settled, 5000));
    wxPoint mainAt = kvUiProbe::NormalRect(*C().MainFrame()).GetPosition();
    C().MainFrame()->Iconize(true);
    ASSERT_TRUE(PumpUntil([this] { return C().MainFrame()->IsIconized(); }, 5000));
    Script().answers = {kvAnswer::No};
    ChooseMenu(CMD_QUIT);
    EXPECT_EQ(Script().questions.size(), 2u);
    std::string settings = ReadFile("program/korvex.ini");
    std::string expected = "MAIN_X=" + std::to_string(mainAt.x) +
                           "\nMAIN_Y=" + std::to_string(mainAt.y) + "\nMAIN_W=520\nMAIN_H=330\n";
    EXPECT_NE(settings.find(expected), std::string::npos) << settings;
    EXPECT_NE(settings.find("MSG_W=600\nMSG_H=380\n"), std::string::npos) << settings;
    EXPECT_TRUE(PumpUntil([this] { return C().MainFrame() == nullptr; }, 5000));
}

TEST_F(CommandsTest, CopyAndTheTextExports) {
    Display(3);
    wxTextCtrl* text = Articles().Text(0);
    // "From" starts the second line (Windows counts a line end as two places).
    long from = text->XYToPosition(0, 1);
    text->SetSelection(from, from + 4);
    ChooseMenu(CMD_COPY);
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject data;
    EXPECT_TRUE(wxTheClipboard->GetData(data));
    wxTheClipboard->Close();
    EXPECT_EQ(data.GetText(), "From");

    Select(ResultsList(), 2);
    Script().chosenFiles = {Path("one.txt"), Path("all.txt"), Path("replies.txt")};
    ChooseMenu(CMD_SAVE_ARTICLE);
    ChooseMenu(CMD_SAVE_ALL_ARTICLES);
    ChooseMenu(CMD_REPLY_LIST);
    EXPECT_TRUE(Script().notices.empty());
    EXPECT_EQ(ReadFile("one.txt").substr(0, 40), "From: Author 2 <a2@example.org>\nSubject:");
    std::string all = ReadFile("all.txt");
    for (const char* s : {"Subject: Subject 0\n", "Subject: Subject 1\n", "Subject: Subject 2\n"})
        EXPECT_NE(all.find(s), std::string::npos) << s;
    EXPECT_EQ(ReadFile("replies.txt"), "Author 0 <a0@example.org>\nAuthor 1 <a1@example.org>\n"
                                       "Author 2 <a2@example.org>\n");
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    EXPECT_EQ(M().ui.saved, 0);
}

} // namespace
} // namespace korvex_test
