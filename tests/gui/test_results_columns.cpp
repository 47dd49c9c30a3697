// The results list's columns: what the rows show, header clicks that sort the
// view and only the view, the article that stays selected through a sort, and
// the column widths kept in the settings file.
#include "gui_harness.h"
#include "local_zone.h"
#include "results_list.h"

#include <wx/textctrl.h>
#include <wx/utils.h>

#include <cstdlib>
#include <ctime>

namespace korvex_test {
namespace {

class ResultsColumnsTest : public GuiTest {
  protected:
    // The Date column shows local time: the tests read it in UTC.
    LocalZone utc{"UTC"};
    // Four articles in grouping order, with authors, dates and line counts
    // that sort differently from it and from each other.
    void DisplayFour() {
        struct Row {
            const char* from;
            const char* date;
            int lines;
        };
        static const Row rows[] = {
            {"Zoe <z@example.org>", "Wed, 09 Dec 2026 10:00:00 +0000", 30},
            {"adam@example.org", "Mon, 07 Dec 2026 08:30:00 +0000", 5},
            {"=?UTF-8?Q?=C3=89mile?= <e@example.org>", "not a date", 200},
            {"\"Bea\" <b@example.org>", "Tue, 08 Dec 2026 23:45:00 -0100", -1},
        };
        Start();
        HoldResults(4, [](int i, kvArticle& a) {
            CopyField(a.from, rows[i].from);
            CopyField(a.date, rows[i].date);
            a.lines = rows[i].lines;
        });
        ChooseMenu(CMD_DISPLAY_RESULTS);
        ASSERT_NE(ResultsList(), nullptr);
    }
    std::string Cell(int row, int column) {
        return ResultsList()->GetItemText(row, column).utf8_string();
    }
    std::vector<std::string> Subjects(std::initializer_list<int> numbers) {
        std::vector<std::string> out;
        for (int n : numbers)
            out.push_back("Subject " + std::to_string(n));
        return out;
    }
};

TEST_F(ResultsColumnsTest, RowsShowSubjectAuthorLocalDateAndLines) {
    DisplayFour();
    kvResultsList* list = ResultsList();
    ASSERT_EQ(list->GetColumnCount(), 4);
    wxListItem header;
    header.SetMask(wxLIST_MASK_TEXT);
    const char* titles[] = {"Subject", "From", "Date", "Lines"};
    for (int c = 0; c < 4; ++c) {
        list->GetColumn(c, header);
        EXPECT_EQ(header.GetText(), titles[c]);
    }
    EXPECT_EQ(Cell(0, 0), "Subject 0");
    EXPECT_EQ(Cell(0, 1), "Zoe");
    EXPECT_EQ(Cell(0, 2), "2026-12-09 10:00");
    EXPECT_EQ(Cell(0, 3), "30");
    EXPECT_EQ(Cell(1, 1), "adam@example.org");
    EXPECT_EQ(Cell(2, 1), "\xC3\x89mile");
    EXPECT_EQ(Cell(2, 2), "not a date");
    EXPECT_EQ(Cell(3, 1), "Bea");
    EXPECT_EQ(Cell(3, 2), "2026-12-09 00:45");
    EXPECT_EQ(Cell(3, 3), "");
}

TEST_F(ResultsColumnsTest, HeaderClicksSortTheViewOnly) {
    DisplayFour();
    const std::vector<std::string> grouping = Subjects({0, 1, 2, 3});
    kvResultsList* list = ResultsList();

    ClickColumn(list, COLUMN_DATE);
    EXPECT_EQ(ListEntries(), Subjects({1, 3, 0, 2})); // the unreadable date last
    ClickColumn(list, COLUMN_DATE);
    EXPECT_EQ(ListEntries(), Subjects({0, 3, 1, 2}));
    ClickColumn(list, COLUMN_DATE);
    EXPECT_EQ(ListEntries(), grouping);
    // adam, Bea, Zoe, then the name that starts with a letter outside ASCII
    // (names compare by their bytes once ASCII letters are folded).
    ClickColumn(list, COLUMN_FROM);
    EXPECT_EQ(ListEntries(), Subjects({1, 3, 0, 2}));
    ClickColumn(list, COLUMN_LINES); // 5, 30, 200, none
    EXPECT_EQ(ListEntries(), Subjects({1, 0, 2, 3}));

    // The held set, and so the saved file, keep the grouping.
    EXPECT_EQ(ChainSubjects(), grouping);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(M().At(i)->subject, grouping[i]);
    Script().chosenFiles = {Path("sorted.kvx")};
    ChooseMenu(CMD_SAVE_RESULTS);
    ChooseMenu(CMD_CLOSE_SEARCH);
    Script().chosenFiles = {Path("sorted.kvx")};
    ChooseMenu(CMD_LOAD_RESULTS);
    EXPECT_EQ(ListEntries(), grouping);
}

TEST_F(ResultsColumnsTest, TheSelectedArticleStaysThroughASortAndRowsOpenTheirOwn) {
    DisplayFour();
    kvResultsList* list = ResultsList();
    Select(list, 2);
    EXPECT_NE(WindowText(0).find("Body of 2."), std::string::npos);
    ClickColumn(list, COLUMN_DATE); // rows: 1, 3, 0, 2
    EXPECT_EQ(list->GetSelection(), 3);
    EXPECT_EQ(C().ArticleWindows().Current(), 0);
    EXPECT_NE(WindowText(0).find("Body of 2."), std::string::npos);

    // A row opens the article it shows, not the one of the same place in the grouping.
    Select(list, 0);
    EXPECT_NE(WindowText(0).find("Body of 1."), std::string::npos);
    EXPECT_EQ(M().lastSelection, 1);
    Select(list, 1);
    EXPECT_NE(WindowText(0).find("Body of 3."), std::string::npos);
    ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
    EXPECT_NE(WindowText(1).find("Body of 3."), std::string::npos);

    // Deleting takes the selected article, whatever its row.
    ChooseMenu(CMD_DELETE_ARTICLE);
    EXPECT_EQ(ChainSubjects(), Subjects({0, 1, 2}));
    EXPECT_EQ(ListEntries(), Subjects({1, 0, 2})); // still by date
    ASSERT_GE(list->GetSelection(), 0);
    EXPECT_EQ(ListEntries()[list->GetSelection()], "Subject 2"); // the one before it in the set
}

TEST_F(ResultsColumnsTest, ColumnWidthsAreKeptInTheSettingsFile) {
    WriteFile("korvex.ini", "MAIN_W=700\nMAIN_H=300\n");
    DisplayFour();
    ResultsList()->SetColumnWidth(COLUMN_SUBJECT, 222);
    ResultsList()->SetColumnWidth(COLUMN_LINES, 66);
    Script().answers = {kvAnswer::No}; // not saved: Quit asks first
    ChooseMenu(CMD_QUIT);
    Pump();
    std::string ini = ReadFile("korvex.ini");
    EXPECT_NE(ini.find("SUBJECT_W=222\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("LINES_W=66\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("FROM_W="), std::string::npos) << ini;
    EXPECT_NE(ini.find("MAIN_W=700\n"), std::string::npos) << ini;

    TearDown();
    SetUp();
    DisplayFour();
    EXPECT_EQ(ResultsList()->GetColumnWidth(COLUMN_SUBJECT), 222);
    EXPECT_EQ(ResultsList()->GetColumnWidth(COLUMN_LINES), 66);
    // A width out of reason is not taken.
    TearDown();
    SetUp();
    WriteFile("korvex.ini", "SUBJECT_W=5\n");
    DisplayFour();
    EXPECT_GT(ResultsList()->GetColumnWidth(COLUMN_SUBJECT), 5);
}

} // namespace
} // namespace korvex_test

namespace korvex_test {
namespace {

class TypeAheadTest : public GuiTest {};

// Letters typed in the list go to the first row whose subject starts with
// them, and that row's article is shown, also after a sort.
TEST_F(TypeAheadTest, TypingASubjectsStartSelectsItsRow) {
    const char* subjects[] = {"apple pie", "banana split", "cherry tart", "blueberry jam"};
    Start();
    HoldResults(4, [&](int i, kvArticle& a) { CopyField(a.subject, subjects[i]); });
    ChooseMenu(CMD_DISPLAY_RESULTS);
    kvResultsList* list = ResultsList();
    ASSERT_NE(list, nullptr);
    // Where the list takes its keys: the window of rows inside it (wxGTK's
    // list is made of a header window and a rows window), else the list.
    wxWindow* rows = list;
    for (wxWindow* child : list->GetChildren()) {
        if (wxString(child->GetClassInfo()->GetClassName()) == "wxListMainWindow") rows = child;
    }
    auto type = [&](const std::string& text) {
        for (char c : text) {
            wxKeyEvent key(wxEVT_CHAR);
            key.m_keyCode = c;
            key.m_uniChar = static_cast<wxChar>(c);
            key.SetEventObject(rows);
            rows->GetEventHandler()->ProcessEvent(key);
        }
    };
    type("c");
    EXPECT_EQ(list->GetSelection(), 2);
    EXPECT_NE(WindowText(0).find("Body of 2."), std::string::npos);
    ClickColumn(list, COLUMN_SUBJECT); // apple, banana, blueberry, cherry
    // A pause longer than the list's type-ahead timeout starts a new prefix.
    wxMilliSleep(1200);
    Pump();
    type("bl");
    ASSERT_GE(list->GetSelection(), 0);
    EXPECT_EQ(ListEntries()[list->GetSelection()], "blueberry jam");
    EXPECT_NE(WindowText(0).find("Body of 3."), std::string::npos);
}

} // namespace
} // namespace korvex_test
