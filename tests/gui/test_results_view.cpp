// The results list and the article windows: what Display shows, selections,
// the cascade and limit of article windows, their close boxes and activation,
// deletion along the list, resizing and the view's tear-down.
#include "article_windows.h"
#include "gui_harness.h"
#include "results_list.h"

#include <cstring>
#include <wx/textctrl.h>

namespace korvex_test {
namespace {

class ResultsViewTest : public GuiTest {
  protected:
    // Results of n articles displayed, with known window geometry.
    void Display(int n) {
        WriteFile("korvex.ini", "MAIN_X=20\nMAIN_Y=30\nMAIN_W=600\nMAIN_H=400\n"
                                "MSG_X=300\nMSG_Y=40\nMSG_W=500\nMSG_H=350\n");
        Start();
        HoldResults(n);
        ChooseMenu(CMD_DISPLAY_RESULTS);
        ASSERT_EQ(M().ui.state, STATE_DISPLAYED);
        ASSERT_NE(ResultsList(), nullptr);
    }
    void OpenWindows(int total) { // more windows on the selected entry, up to `total`
        while (Articles().Current() + 1 < total)
            ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
    }
    kvResultsList* List() { return ResultsList(); }
    static std::string Expected(int i) {
        return "\nFrom: Author " + std::to_string(i) + " <a" + std::to_string(i) +
               "@example.org>\nSubject: Subject " + std::to_string(i) +
               "\nDate: x\nNewsgroups: x\nOrganization: x\n\n\nBody of " + std::to_string(i) +
               ".\n";
    }
};

TEST_F(ResultsViewTest, DisplayShowsSubjectsAndTheFirstArticle) {
    Display(3);
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"Subject 0", "Subject 1", "Subject 2"}));
    EXPECT_EQ(List()->GetSelection(), 0);
    EXPECT_EQ(C().MainFrame()->GetTitle(), "Results for: needle");
    ASSERT_EQ(Articles().Current(), 0);
    EXPECT_EQ(ArticleFrame(1), nullptr);
    EXPECT_EQ(WindowTitle(0), "Subject 0");
    EXPECT_EQ(WindowText(0), Expected(0));
    EXPECT_EQ(Articles().Text(0)->GetInsertionPoint(), 0);
    EXPECT_EQ(Articles().Text(0)->GetFont().GetPointSize(), 12);
    EXPECT_EQ(ArticleFrame(0)->GetPosition(), wxPoint(300, 40)); // as asked, before the WM
    EXPECT_EQ(ArticleFrame(0)->GetSize(), wxSize(500, 350));
    EXPECT_EQ(List()->GetPosition(), wxPoint(5, 6));
    EXPECT_EQ(StatusLine(), "SUCCESS: 3 articles received"); // left as the search ended
    EXPECT_TRUE(MenuEnabled(CMD_DELETE_ARTICLE));
    EXPECT_FALSE(MenuEnabled(CMD_DISPLAY_RESULTS));
    EXPECT_TRUE(PumpUntil([this] { return C().MainFrame()->GetSize() == wxSize(600, 400); }, 5000));
    EXPECT_TRUE(PumpUntil([this] { return HasFocus(List()); }, 5000));

    ChooseMenu(CMD_DISPLAY_RESULTS);
    EXPECT_EQ(Script().notices.back(), "Search results are already displayed.");
    EXPECT_EQ(Articles().Current(), 0);
}

TEST_F(ResultsViewTest, NoWindowOpenSelectionOpensOneAtTheFirstPlace) {
    Display(3);
    ChooseMenu(CMD_CLOSE_ARTICLE_WINDOW);
    ASSERT_EQ(Articles().Current(), -1);
    Select(List(), 2);
    ASSERT_EQ(Articles().Current(), 0);
    EXPECT_EQ(WindowTitle(0), "Subject 2");
    EXPECT_EQ(WindowText(0), Expected(2));
    EXPECT_EQ(ArticleFrame(0)->GetPosition(), wxPoint(300, 40));
    EXPECT_EQ(M().lastSelection, 2);
}

TEST_F(ResultsViewTest, SelectionRewritesTheCurrentWindowOnly) {
    Display(4);
    OpenWindows(2); // both show article 0; slot 1 is current
    EXPECT_EQ(ArticleFrame(1)->GetPosition(), wxPoint(320, 60));
    Select(List(), 2);
    EXPECT_EQ(WindowTitle(1), "Subject 2");
    EXPECT_EQ(WindowText(1), Expected(2));
    EXPECT_EQ(WindowText(0), Expected(0));

    // The user activates the lower window: it becomes current and the next
    // selection goes there.
    kvFrame* lower = ArticleFrame(0);
    lower->OnActivate(true);
    EXPECT_EQ(ArticleFrame(1), lower);
    Select(List(), 2); // the entry last shown: nothing is rewritten
    EXPECT_EQ(WindowText(1), Expected(0));
    Select(List(), 3);
    EXPECT_EQ(WindowText(1), Expected(3));
    EXPECT_EQ(WindowText(0), Expected(2));
    ArticleFrame(0)->OnActivate(false); // deactivation and the current window change nothing
    ArticleFrame(1)->OnActivate(true);
    EXPECT_EQ(ArticleFrame(1), lower);
}

TEST_F(ResultsViewTest, ReselectingRestoresAMinimisedWindowWithItsText) {
    Display(3);
    Select(List(), 1);
    kvFrame* frame = ArticleFrame(0);
    frame->Iconize(true);
    ASSERT_TRUE(PumpUntil([frame] { return frame->IsIconized(); }, 5000));
    EXPECT_FALSE(Articles().CurrentUsable());
    ChooseMenu(CMD_COPY); // a minimised current window counts as none
    ChooseMenu(CMD_SAVE_ARTICLE);
    ChooseMenu(CMD_CLOSE_ARTICLE_WINDOW);
    EXPECT_EQ(Script().notices, (std::vector<std::string>{"Can't save current article.",
                                                          "Can't close article window."}));
    EXPECT_TRUE(Script().fileRequests.empty());
    EXPECT_EQ(Articles().Current(), 0);

    Select(List(), 1);
    EXPECT_TRUE(PumpUntil([frame] { return !frame->IsIconized(); }, 5000));
    EXPECT_EQ(WindowText(0), Expected(1));
}

// Like Display, the main frame comes back on top after a new article window
// opens, so the keyboard stays in the list.
TEST_F(ResultsViewTest, NewArticleWindowLeavesTheKeyboardInTheList) {
    Display(3);
    ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
    ASSERT_EQ(Articles().Current(), 1);
    kvFrame* opened = ArticleFrame(1);
    ASSERT_TRUE(PumpUntil([opened] { return opened->IsShownOnScreen(); }, 5000));
    PumpUntil([] { return false; }, 500); // the window manager's activation arrives
    EXPECT_TRUE(PumpUntil([this] { return HasFocus(List()); }, 5000));
}

// A saved main frame height too small for the list's margins gives an empty
// list, never a negative height.
TEST_F(ResultsViewTest, SmallSavedHeightGivesAnEmptyList) {
    const struct {
        int savedHeight;
        int listHeight; // as asked for, before the window manager
    } cases[] = {{50, 0}, {60, 0}, {78, 0}, {79, 0}, {80, 0}, {81, 1}, {120, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.savedHeight);
        WriteFile("korvex.ini", "MAIN_W=400\nMAIN_H=" + std::to_string(c.savedHeight) + "\n");
        Start();
        HoldResults(2);
        ChooseMenu(CMD_DISPLAY_RESULTS);
        ASSERT_NE(List(), nullptr);
        EXPECT_EQ(List()->GetSize().y, c.listHeight);
        EXPECT_EQ(List()->GetSize().x, 380);
        PumpUntil([] { return false; }, 100);
        EXPECT_GE(List()->GetSize().y, 0);
        TearDown();
        SetUp();
    }
}

TEST_F(ResultsViewTest, TenWindowsCascadeAndNoMore) {
    Display(2);
    for (int k = 1; k < KV_ARTICLE_WINDOWS; ++k) {
        ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
        ASSERT_EQ(Articles().Current(), k);
        EXPECT_EQ(ArticleFrame(k)->GetPosition(), wxPoint(300 + 20 * k, 40 + 20 * k));
    }
    EXPECT_TRUE(Script().notices.empty());
    ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
    EXPECT_EQ(Script().notices, (std::vector<std::string>{"Too many article windows, \ncan't "
                                                          "create any more."}));
    C().OpenArticleWindow(1); // silently nothing
    EXPECT_EQ(Articles().Current(), 9);
    EXPECT_EQ(WindowText(9), Expected(0));
}

TEST_F(ResultsViewTest, CloseBoxesMoveTheWindowsAboveDown) {
    Display(3);
    OpenWindows(4);
    kvFrame* frames[4];
    for (int i = 0; i < 4; ++i)
        frames[i] = ArticleFrame(i);

    ASSERT_FALSE(frames[1]->Close()); // a lower window: the current one stays current
    EXPECT_EQ(Articles().Current(), 2);
    EXPECT_EQ(ArticleFrame(0), frames[0]);
    EXPECT_EQ(ArticleFrame(1), frames[2]);
    EXPECT_EQ(ArticleFrame(2), frames[3]);
    EXPECT_EQ(ArticleFrame(3), nullptr);
    EXPECT_EQ(Articles().Text(3), nullptr);

    ASSERT_FALSE(frames[3]->Close()); // the current one: the one below takes over
    EXPECT_EQ(Articles().Current(), 1);
    EXPECT_EQ(ArticleFrame(1), frames[2]);
    WindowRect before = C().Settings().articleRect;
    EXPECT_EQ(before.x, 300); // the close box keeps no geometry
    Pump();
    EXPECT_EQ(Articles().Current(), 1);
}

TEST_F(ResultsViewTest, ClosingTheOnlyWindowKeepsItsGeometry) {
    Display(2);
    OpenWindows(2);
    C().Settings().articleRect = WindowRect{1, 2, 3, 4};
    ChooseMenu(CMD_CLOSE_ARTICLE_WINDOW); // not the only one: nothing kept
    EXPECT_EQ(C().Settings().articleRect.width, 3);
    kvFrame* only = ArticleFrame(0);
    only->SetSize(410, 290);
    ASSERT_TRUE(PumpUntil([only] { return only->GetSize() == wxSize(410, 290); }, 5000));
    wxPoint at = only->GetPosition();
    ChooseMenu(CMD_CLOSE_ARTICLE_WINDOW);
    EXPECT_EQ(Articles().Current(), -1);
    const WindowRect& kept = C().Settings().articleRect;
    EXPECT_EQ(wxRect(kept.x, kept.y, kept.width, kept.height), wxRect(at, wxSize(410, 290)));
    ChooseMenu(CMD_CLOSE_ARTICLE_WINDOW);
    EXPECT_EQ(Script().notices.back(), "Can't close article window.");
}

TEST_F(ResultsViewTest, DeletingWalksTheListAndKeepsTheChain) {
    Display(5);
    ChooseMenu(CMD_DELETE_ARTICLE); // the first entry
    EXPECT_EQ(ListEntries(),
              (std::vector<std::string>{"Subject 1", "Subject 2", "Subject 3", "Subject 4"}));
    EXPECT_EQ(ChainSubjects(), ListEntries());
    EXPECT_EQ(List()->GetSelection(), 0);
    EXPECT_EQ(WindowText(0), Expected(1));
    EXPECT_EQ(StatusLine(), "Korvex: 4 articles in current search");
    EXPECT_EQ(M().results->Size(), 4);

    Select(List(), 3); // the last entry
    ChooseMenu(CMD_DELETE_ARTICLE);
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"Subject 1", "Subject 2", "Subject 3"}));
    EXPECT_EQ(ChainSubjects(), ListEntries());
    EXPECT_EQ(List()->GetSelection(), 2);
    EXPECT_EQ(M().results->At(2).next, nullptr);
    EXPECT_EQ(WindowTitle(0), "Subject 3");

    Select(List(), 1); // the middle entry
    ChooseMenu(CMD_DELETE_ARTICLE);
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"Subject 1", "Subject 3"}));
    EXPECT_EQ(ChainSubjects(), ListEntries());
    EXPECT_EQ(List()->GetSelection(), 0);
    EXPECT_EQ(M().lastSelection, 0);
    EXPECT_EQ(WindowText(0), Expected(1));
    EXPECT_EQ(M().results->Size(), 2);

    // As many windows as articles: the current window goes first.
    OpenWindows(2);
    kvFrame* lower = ArticleFrame(0);
    Select(List(), 1);
    ChooseMenu(CMD_DELETE_ARTICLE);
    EXPECT_EQ(Articles().Current(), 0);
    EXPECT_EQ(ArticleFrame(0), lower);
    EXPECT_EQ(WindowText(0), Expected(1));
    EXPECT_EQ(ChainSubjects(), (std::vector<std::string>{"Subject 1"}));

    M().ui.saved = 1;
    ChooseMenu(CMD_DELETE_ARTICLE);
    EXPECT_EQ(Script().notices.back(),
              "Can't delete the last article.\nPlease close search instead.");
    EXPECT_EQ(M().results->Size(), 1);
    EXPECT_EQ(M().ui.saved, 1);
    EXPECT_EQ(StatusLine(), "Korvex: 1 articles in current search");
}

TEST_F(ResultsViewTest, ListFollowsTheMainFrameAndCloseTearsDown) {
    Display(3);
    OpenWindows(3);
    C().MainFrame()->SetClientSize(500, 300);
    EXPECT_TRUE(PumpUntil([this] { return List()->GetSize() == wxSize(490, 265); }, 5000))
        << List()->GetSize().x << "x" << List()->GetSize().y;

    M().ui.saved = 1;
    kvFrame* article = ArticleFrame(2);
    wxSize shown = C().MainFrame()->GetSize();
    ChooseMenu(CMD_CLOSE_SEARCH);
    EXPECT_TRUE(Script().questions.empty());
    EXPECT_EQ(ResultsList(), nullptr);
    EXPECT_EQ(Articles().Current(), -1);
    for (int k = 0; k < KV_ARTICLE_WINDOWS; ++k)
        EXPECT_EQ(ArticleFrame(k), nullptr);
    EXPECT_EQ(M().results, nullptr);
    EXPECT_EQ(M().summary, nullptr);
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    EXPECT_EQ(C().MainFrame()->GetTitle(), "Korvex");
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    // The geometry of the current window and the main frame was kept.
    EXPECT_EQ(C().Settings().articleRect.width, article->GetSize().x);
    EXPECT_EQ(C().Settings().mainRect.width, shown.x);
    EXPECT_EQ(C().Settings().mainRect.height, shown.y);
    EXPECT_TRUE(PumpUntil([this] { return C().MainFrame()->GetSize() == wxSize(400, 175); }, 5000));
    EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.size() == 2; }, 5000)); // main, dialog
}

TEST_F(ResultsViewTest, UndecodableTextIsShownAsLatin1) {
    Start();
    HoldResults(1, [](int, kvArticle& a) {
        CopyField(a.subject, "Caf\xe9 cr\xe8me");
        CopyField(a.from, "J\xc3\xb6rg <j@x.org>"); // valid UTF-8 line
    });
    ChooseMenu(CMD_DISPLAY_RESULTS);
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"Caf\xc3\xa9 cr\xc3\xa8me"}));
    EXPECT_EQ(WindowTitle(0), "Caf\xc3\xa9 cr\xc3\xa8me");
    std::string text = WindowText(0);
    EXPECT_NE(text.find("From: J\xc3\xb6rg <j@x.org>\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Subject: Caf\xc3\xa9 cr\xc3\xa8me\n"), std::string::npos) << text;
}

// Articles sent with MIME encoded words: the list row, the window title and
// text, the main frame's title and the search info read decoded, and no
// control character reaches a window.
TEST_F(ResultsViewTest, EncodedArticlesAreShownDecoded) {
    Start();
    HoldResults(2, [](int i, kvArticle& a) {
        if (i != 0) return;
        CopyField(a.subject, "=?UTF-8?Q?Caf=C3=A9_cr=C3=A8me?= =?KOI8-R?B?8NLJ18XU?= \x1b[2J");
        CopyField(a.from, "=?ISO-8859-1?Q?Andr=E9?= <a@x.org>");
        CopyField(a.organization, "=?windows-1252?Q?=93Caf=E9=94?=");
        a.body.reset(new char[32]);
        std::strcpy(a.body.get(), "Gr\xc3\xbc\xc3\x9f"
                                  "e\x07\nline\n");
    });
    CopyField(M().summary->pattern, "caf\xc3\xa9 \x1b");
    ChooseMenu(CMD_DISPLAY_RESULTS);

    const std::string shown =
        "Caf\xc3\xa9 cr\xc3\xa8me\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xe2\x90\x9b[2J";
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{shown, "Subject 1"}));
    EXPECT_EQ(WindowTitle(0), shown);
    EXPECT_EQ(C().MainFrame()->GetTitle().utf8_string(), "Results for: caf\xc3\xa9 \xe2\x90\x9b");
    std::string text = WindowText(0);
    EXPECT_NE(text.find("From: Andr\xc3\xa9 <a@x.org>\nSubject: " + shown + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Organization: \xe2\x80\x9c"
                        "Caf\xc3\xa9\xe2\x80\x9d\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n\n\nGr\xc3\xbc\xc3\x9f"
                        "e\xe2\x90\x87\nline\n"),
              std::string::npos);
    for (char c : text)
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t') << text;

    // Selecting another entry and coming back rewrites the window the same way.
    Select(List(), 1);
    EXPECT_EQ(WindowTitle(0), "Subject 1");
    Select(List(), 0);
    EXPECT_EQ(WindowTitle(0), shown);
    EXPECT_EQ(WindowText(0), text);

    ChooseMenu(CMD_SEARCH_INFO);
    ASSERT_FALSE(Script().notices.empty());
    EXPECT_EQ(Script().notices.back().rfind("Search pattern: caf\xc3\xa9 \xe2\x90\x9b\n", 0), 0u);
}

} // namespace
} // namespace korvex_test
