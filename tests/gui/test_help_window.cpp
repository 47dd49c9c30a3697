// The help window (made once, then hidden and shown again) and the about box.
#include "gui_harness.h"
#include "help_window.h"

#include <wx/textctrl.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvex_test {
namespace {

class HelpWindowTest : public GuiTest {
  protected:
    std::string HelpShown() { return C().HelpText()->GetValue().utf8_string(); }
};

// Every line of a shipped text file that holds `word`.
std::vector<std::string> LinesWith(const char* path, const std::string& word) {
    std::ifstream in(path);
    std::vector<std::string> found;
    for (std::string line; std::getline(in, line);)
        if (line.find(word) != std::string::npos) found.push_back(line);
    return found;
}

// The shipped sample and help text tell the user what the program does: the
// time limit counts minutes, and a file in the working directory wins.
TEST(ShippedFiles, SayWhatTheProgramDoes) {
    std::vector<std::string> limit = LinesWith(KORVEX_DESCRIPTION_FILE, "TIME_LIMIT=");
    ASSERT_EQ(limit.size(), 1u);
    EXPECT_NE(limit[0].find("minutes"), std::string::npos) << limit[0];
    EXPECT_EQ(limit[0].find("second"), std::string::npos) << limit[0];

    std::ifstream help(KORVEX_HELP_FILE);
    std::string text((std::istreambuf_iterator<char>(help)), std::istreambuf_iterator<char>());
    std::size_t files = text.find("5. FILES");
    ASSERT_NE(files, std::string::npos);
    std::string section = text.substr(files);
    std::size_t working = section.find("first in the working directory");
    ASSERT_NE(working, std::string::npos) << section;
    EXPECT_LT(working, section.find("korvex.ini\n"));
    EXPECT_LT(working, section.find("program's own directory"));
}

TEST_F(HelpWindowTest, MadeOnceThenHiddenAndShownAgain) {
    WriteFile("korvex.txt", "First line\r\nSecond line, caf\xe9\n");
    Start();
    ChooseMenu(CMD_CLOSE_HELP); // nothing made yet: nothing happens
    EXPECT_EQ(C().Help(), nullptr);

    ChooseMenu(CMD_HELP);
    kvFrame* frame = C().Help();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_EQ(frame->GetTitle(), "Korvex Help File");
    EXPECT_EQ(C().HelpText()->GetName(), "textWindow");
#ifdef __WXMSW__
    // Windows names the fixed-width family after the face it found: without a
    // fixed-pitch face installed (Wine) it reports the font as "modern".
    EXPECT_TRUE(C().HelpText()->GetFont().GetFamily() == wxFONTFAMILY_TELETYPE ||
                C().HelpText()->GetFont().GetFamily() == wxFONTFAMILY_MODERN);
#else
    EXPECT_EQ(C().HelpText()->GetFont().GetFamily(), wxFONTFAMILY_TELETYPE);
#endif
    EXPECT_EQ(HelpShown(), "First line\nSecond line, caf\xc3\xa9\n");
    EXPECT_EQ(C().HelpText()->GetInsertionPoint(), 0);
    EXPECT_TRUE(MenuEnabled(CMD_CLOSE_HELP));

    ChooseMenu(CMD_HELP);
    EXPECT_EQ(Script().notices, (std::vector<std::string>{"Help window is already displayed."}));

    ChooseMenu(CMD_CLOSE_HELP);
    EXPECT_FALSE(frame->IsShown());
    EXPECT_FALSE(MenuEnabled(CMD_CLOSE_HELP));
    Pump(); // a late map notice must not show it again
    EXPECT_FALSE(frame->IsShown());

    WriteFile("korvex.txt", "changed on disk\n");
    ChooseMenu(CMD_HELP);
    EXPECT_EQ(C().Help(), frame);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_TRUE(MenuEnabled(CMD_CLOSE_HELP));
    EXPECT_EQ(HelpShown(), "First line\nSecond line, caf\xc3\xa9\n");

    // The close box only hides it.
    EXPECT_FALSE(frame->Close());
    Pump();
    EXPECT_EQ(C().Help(), frame);
    EXPECT_FALSE(frame->IsShown());
    EXPECT_FALSE(MenuEnabled(CMD_CLOSE_HELP));

    // Minimised counts as shown: Help restores it without a word.
    ChooseMenu(CMD_HELP);
    frame->Iconize(true);
    ASSERT_TRUE(PumpUntil([frame] { return frame->IsIconized(); }, 5000));
    ChooseMenu(CMD_HELP);
    EXPECT_TRUE(PumpUntil([frame] { return !frame->IsIconized(); }, 5000));
    EXPECT_EQ(Script().notices.size(), 1u);
}

// The help and article windows show text as text: markup, escapes and
// addresses stay characters, none of them a link that opens anything.
TEST_F(HelpWindowTest, MarkupAndAddressesStayPlainText) {
    const std::string text = "<a href=\"file:///etc/passwd\">open</a> <b>bold</b>\n"
                             "{\\rtf1 \\b bold\\b0} http://example.org/ mailto:a@b\n";
    WriteFile("korvex.txt", text);
    Start();
    ChooseMenu(CMD_HELP);
    ASSERT_NE(C().HelpText(), nullptr);
    EXPECT_EQ(HelpShown(), text);
    for (long style : {long(wxTE_RICH), long(wxTE_RICH2), long(wxTE_AUTO_URL)})
        EXPECT_FALSE(C().HelpText()->HasFlag(style)) << std::hex << style;
    EXPECT_FALSE(C().HelpText()->IsEditable());
}

TEST_F(HelpWindowTest, MissingOrUnreadableHelpFile) {
    Start();
    ChooseMenu(CMD_HELP);
    ChooseMenu(CMD_HELP);
    EXPECT_EQ(Script().notices,
              (std::vector<std::string>{"Help file not found.", "Help file not found."}));
    EXPECT_EQ(C().Help(), nullptr);
    EXPECT_FALSE(MenuEnabled(CMD_CLOSE_HELP));
    TearDown();
    SetUp();

    std::filesystem::create_directory(Path("korvex.txt")); // found, but cannot be read
    Start();
    ChooseMenu(CMD_HELP);
    ASSERT_NE(C().Help(), nullptr);
    EXPECT_EQ(HelpShown(), "Error loading help file.");
}

TEST_F(HelpWindowTest, ShippedHelpTextAndAbout) {
    std::filesystem::copy_file(KORVEX_HELP_FILE, Path("korvex.txt"));
    Start();
    ChooseMenu(CMD_HELP);
    ASSERT_NE(C().HelpText(), nullptr);
    std::string text = HelpShown();
    EXPECT_EQ(text.substr(0, 19), "KORVEX 2.000 - HELP");
    for (const MenuEntry& item : kMenuBar) {
        EXPECT_NE(text.find(item.label), std::string::npos) << item.label;
    }

    HoldResults(2);
    ChooseMenu(CMD_DISPLAY_RESULTS);
    ChooseMenu(CMD_ABOUT);
    ASSERT_EQ(Script().notices.size(), 1u);
    EXPECT_EQ(Script().notices[0].substr(0, 13), "Korvex 2.000\n");
    // The build's version stands in the about text, as --version prints it.
    EXPECT_NE(Script().notices[0].find("\nBuild 2.0.0"), std::string::npos) << Script().notices[0];

    // The main frame's close takes the help window with it (the unsaved
    // results dropped).
    Script().answers = {kvAnswer::No};
    kvFrame* main = C().MainFrame();
    ASSERT_TRUE(main->Close());
    EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.empty(); }, 5000));
    EXPECT_EQ(C().Help(), nullptr);
}

} // namespace
} // namespace korvex_test
