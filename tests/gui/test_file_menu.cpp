// The File menu's newer parts and the menus' keys: the exports of the held
// results, a results file named at start-up, and the shortcuts each item
// shows (and loses with the item when the item is disabled).
#include "gui_harness.h"

#include <wx/accel.h>
#include <wx/menu.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include <map>
#include <set>

namespace korvex_test {
namespace {

class FileMenuTest : public GuiTest {
  protected:
    void Enter(int state) {
        Start();
        if (state == STATE_SEARCHING) SetStateSearching(M().ui, C().MainFrame());
        if (state >= STATE_READY) HoldResults(3);
        if (state == STATE_DISPLAYED) ChooseMenu(CMD_DISPLAY_RESULTS);
        ASSERT_EQ(M().ui.state, state);
    }
    std::string FirstLine(const std::string& name) {
        std::string text = ReadFile(name);
        return text.substr(0, text.find('\n'));
    }
    // The label of an item anywhere in the menu bar, with its keys.
    std::string Label(int id) {
        wxMenuItem* item = C().MainFrame()->GetMenuBar()->FindItem(id);
        return item ? item->GetItemLabel().utf8_string() : "(missing)";
    }
};

constexpr int kExports[] = {CMD_EXPORT_CSV, CMD_EXPORT_JSONL, CMD_EXPORT_MBOX};

TEST_F(FileMenuTest, ExportsAreOfferedOnlyWhileResultsAreHeld) {
    // Save results is the reference: the exports follow it in every state.
    for (int state : {STATE_IDLE, STATE_SEARCHING, STATE_READY, STATE_DISPLAYED}) {
        SCOPED_TRACE(state);
        Enter(state);
        bool holding = state == STATE_READY || state == STATE_DISPLAYED;
        EXPECT_EQ(MenuEnabled(CMD_SAVE_RESULTS), holding);
        EXPECT_EQ(MenuEnabled(CMD_EXPORT_MENU), holding);
        for (int id : kExports)
            EXPECT_EQ(MenuEnabled(id), holding) << id;
        // A command that reaches the program anyway (a stale key press) is refused
        // as Save results refuses, with no selector.
        if (!holding) {
            for (int id : kExports)
                ChooseMenu(id);
            EXPECT_EQ(Script().notices, std::vector<std::string>(3, "Nothing to save."));
            EXPECT_TRUE(Script().fileRequests.empty());
        }
        TearDown();
        SetUp();
    }
}

TEST_F(FileMenuTest, EachExportWritesItsFormatAndAddsTheExtension) {
    Enter(STATE_DISPLAYED);
    Script().chosenFiles = {Path("table"), Path("lines.json"), Path("mail")};
    for (int id : kExports)
        ChooseMenu(id);
    ASSERT_EQ(Script().fileRequests.size(), 3u);
    EXPECT_TRUE(Script().fileRequests[0].save);
    EXPECT_EQ(Script().fileRequests[0].wildcard, "*.csv");
    EXPECT_EQ(Script().fileRequests[1].wildcard, "*.jsonl");
    EXPECT_EQ(Script().fileRequests[2].wildcard, "*.mbox");
    EXPECT_TRUE(Script().notices.empty());
    EXPECT_EQ(StatusLine(), "Korvex: idle");

    // A name without an extension gets the export's; one with an extension keeps it.
    EXPECT_EQ(FirstLine("table.csv").substr(0, 15), "position,group,");
    EXPECT_EQ(FirstLine("lines.json").substr(0, 26), "{\"type\":\"search\",\"pattern\"");
    EXPECT_NE(FirstLine("lines.json").find("\"articles\":3"), std::string::npos);
    EXPECT_EQ(FirstLine("mail.mbox"), "From a0@example.org Thu Jan  1 00:00:00 1970");
    EXPECT_FALSE(std::filesystem::exists(Path("table")));
    // One CSV row per article after the header, in the held order.
    std::string csv = ReadFile("table.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
    EXPECT_NE(csv.find("\r\n1,alt.test,127.0.0.1,"), std::string::npos);
    // Exporting is not saving: the results stay unsaved.
    EXPECT_EQ(M().ui.saved, 0);
    EXPECT_EQ(C().LastPath(), Path("mail.mbox"));
}

TEST_F(FileMenuTest, AFailedOrCancelledExportChangesNothing) {
    Enter(STATE_READY);
    WriteFile("old.csv", "kept\n");
    Script().chosenFiles = {Path("no/such/dir/x.csv"), ""};
    ChooseMenu(CMD_EXPORT_CSV);
    EXPECT_EQ(Script().notices, std::vector<std::string>{"Error exporting search results."});
    EXPECT_EQ(StatusLine(), "Korvex: idle");
    ChooseMenu(CMD_EXPORT_MBOX); // cancelled
    EXPECT_EQ(Script().notices.size(), 1u);
    EXPECT_EQ(ReadFile("old.csv"), "kept\n");
    EXPECT_EQ(M().ui.state, STATE_READY);
}

TEST_F(FileMenuTest, StartingWithAResultsFileShowsIt) {
    Enter(STATE_READY);
    Script().chosenFiles = {Path("start.kvx")};
    ChooseMenu(CMD_SAVE_RESULTS);
    ASSERT_EQ(M().ui.saved, 1);
    TearDown();
    SetUp(); // the same directory, a fresh program

    Start();
    controller->OpenResultsFile(Path("start.kvx"));
    EXPECT_EQ(M().ui.state, STATE_DISPLAYED);
    EXPECT_EQ(M().ui.saved, 1);
    EXPECT_EQ(C().MainFrame()->GetTitle(), "File start.kvx: needle");
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"Subject 0", "Subject 1", "Subject 2"}));
    EXPECT_EQ(StatusLine(), "3 articles loaded from \"start.kvx\"");
    EXPECT_TRUE(Script().notices.empty());
    EXPECT_TRUE(Script().fileRequests.empty());
    // The selectors start from the file, as after Load results.
    EXPECT_EQ(C().LastPath(), Path("start.kvx"));
}

TEST_F(FileMenuTest, StartingWithAMissingOrDamagedFileLeavesAnEmptyWindow) {
    WriteFile("damaged.kvx", "not a results file\r\n");
    for (const char* name : {"missing.kvx", "damaged.kvx"}) {
        SCOPED_TRACE(name);
        Start();
        controller->OpenResultsFile(Path(name));
        EXPECT_EQ(Script().notices, std::vector<std::string>{"Error loading search results."});
        EXPECT_EQ(M().ui.state, STATE_IDLE);
        EXPECT_EQ(C().MainFrame()->GetTitle(), "Korvex");
        EXPECT_EQ(ResultsList(), nullptr);
        EXPECT_EQ(StatusLine(), "Korvex: idle");
        EXPECT_TRUE(MenuEnabled(CMD_LOAD_RESULTS));
        TearDown();
        SetUp();
    }
}

TEST_F(FileMenuTest, AFileNamedWhileResultsAreHeldIsNotLoaded) {
    Enter(STATE_DISPLAYED);
    WriteFile("other.kvx", "not a results file\r\n");
    controller->OpenResultsFile(Path("other.kvx"));
    EXPECT_TRUE(Script().notices.empty());
    EXPECT_EQ(ListEntries().size(), 3u);
}

// The keys a user reads in the menus, spelled out as the manual gives them.
const std::map<int, std::string> kKeys = {
    {CMD_SEARCH, "Ctrl+F"},
    {CMD_LOAD_RESULTS, "Ctrl+O"},
    {CMD_SAVE_RESULTS, "Ctrl+S"},
    {CMD_EXPORT_CSV, "Ctrl+E"},
    {CMD_CLOSE_SEARCH, "Ctrl+W"},
    {CMD_QUIT, "Ctrl+Q"},
    {CMD_NEW_ARTICLE_WINDOW, "Ctrl+N"},
    {CMD_DELETE_ARTICLE, "Delete"},
    {CMD_COPY, "Ctrl+C"},
    {CMD_HELP, "F1"},
};

TEST_F(FileMenuTest, MenusShowTheirKeysAndDisableThemWithTheItem) {
    Start();
    std::set<std::string> seenKeys;
    for (const auto& [id, keys] : kKeys) {
        std::string label = Label(id);
        ASSERT_NE(label.find('\t'), std::string::npos) << label;
        EXPECT_EQ(label.substr(label.find('\t') + 1), keys) << label;
        // wx takes the keys from the label: the item's accelerator is the one shown.
        wxMenuItem* item = C().MainFrame()->GetMenuBar()->FindItem(id);
        std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
        ASSERT_NE(accel, nullptr) << label;
        EXPECT_EQ(accel->ToRawString().utf8_string(), keys) << label;
        EXPECT_TRUE(seenKeys.insert(keys).second) << keys << " chooses two items";
    }
    // Items without keys show none.
    for (int id : {CMD_DISPLAY_RESULTS, CMD_SEARCH_INFO, CMD_EXPORT_JSONL, CMD_ABOUT})
        EXPECT_EQ(Label(id).find('\t'), std::string::npos) << Label(id);

    // A key works only while its item does: in each state the item carrying
    // the key is enabled exactly when the command would run.
    const std::map<int, std::set<int>> runsIn = {
        {STATE_IDLE, {CMD_SEARCH, CMD_LOAD_RESULTS, CMD_QUIT, CMD_COPY, CMD_HELP}},
        {STATE_SEARCHING, {CMD_QUIT, CMD_COPY, CMD_HELP}},
        {STATE_READY,
         {CMD_SAVE_RESULTS, CMD_EXPORT_CSV, CMD_CLOSE_SEARCH, CMD_QUIT, CMD_COPY, CMD_HELP}},
        {STATE_DISPLAYED,
         {CMD_SAVE_RESULTS, CMD_EXPORT_CSV, CMD_CLOSE_SEARCH, CMD_QUIT, CMD_NEW_ARTICLE_WINDOW,
          CMD_DELETE_ARTICLE, CMD_COPY, CMD_HELP}},
    };
    TearDown();
    SetUp();
    for (const auto& [state, on] : runsIn) {
        SCOPED_TRACE(state);
        Enter(state);
        for (const auto& [id, keys] : kKeys)
            EXPECT_EQ(MenuEnabled(id), on.count(id) == 1) << keys;
        TearDown();
        SetUp();
    }
}

} // namespace
} // namespace korvex_test
