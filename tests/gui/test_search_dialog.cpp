// The search-parameters dialog: how it starts with and without a description
// file, and what each control writes into the search request.
#include "gui_harness.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

namespace korvex_test {
namespace {

class SearchDialogTest : public GuiTest {};

std::string Text(wxTextCtrl* text) {
    return text->GetValue().utf8_string();
}

TEST_F(SearchDialogTest, WithoutDescriptionFileEverythingTakesItsDefault) {
    Start();
    const kvSearchControls& d = Dialog();
    const kvSearchRequest& r = C().Request();
    EXPECT_FALSE(C().Dialog()->IsShown());
    EXPECT_EQ(C().Dialog()->GetTitle(), "Search parameters");
    EXPECT_EQ(Text(d.patternText), "");
    EXPECT_EQ(Text(d.serverText), "");
    EXPECT_EQ(Text(d.newsgroupText), "");
    EXPECT_EQ(d.patternChoice, nullptr);
    EXPECT_EQ(d.serverChoice, nullptr);
    EXPECT_EQ(d.newsgroupChoice, nullptr);
    EXPECT_EQ(d.matchBox->GetSelection(), 0);
    EXPECT_EQ(d.matchBox->GetString(2), " Phrase ");
    EXPECT_EQ(d.caseBox->GetSelection(), 1);
    EXPECT_EQ(d.caseBox->GetString(0), "Match case ");
    EXPECT_FALSE(d.findCheck->GetValue());
    EXPECT_FALSE(d.findSlider->IsEnabled());
    EXPECT_TRUE(d.scanCheck->GetValue());
    EXPECT_TRUE(d.scanSlider->IsEnabled());
    EXPECT_EQ(d.findSlider->GetMin(), 10);
    EXPECT_EQ(d.findSlider->GetMax(), 1000);
    EXPECT_EQ(d.scanSlider->GetMin(), 100);
    EXPECT_EQ(d.scanSlider->GetMax(), 30000);
    EXPECT_EQ(d.headerChoice->GetCount(), 8u);
    EXPECT_EQ(d.headerChoice->GetStringSelection(), "Subject");
    EXPECT_TRUE(d.okButton->IsThisEnabled());
    EXPECT_EQ(C().Dialog()->GetDefaultItem(), d.okButton);

    EXPECT_STREQ(r.pattern, "");
    EXPECT_STREQ(r.server, "");
    EXPECT_STREQ(r.newsgroup, "");
    EXPECT_EQ(r.matchMode, MATCH_ANY_WORD);
    EXPECT_EQ(r.ignoreCase, 1);
    EXPECT_STREQ(r.maxArticles, "all");
    EXPECT_STREQ(r.maxHeaders, "4000");
    EXPECT_STREQ(r.header, "Subject");
    EXPECT_STREQ(r.timeLimit, "any");
    EXPECT_EQ(r.timeoutSeconds, 30);
}

const char* kDescription = "[Patterns]\n"
                           "kernel panic\n"
                           "\"release candidate\" -beta\n"
                           "[/Patterns]\n"
                           "[Servers]\n"
                           "news.example.org 119\n"
                           "127.0.0.1\n"
                           "[/Servers]\n"
                           "[Newsgroups]\n"
                           "comp.os.linux\talpha\n"
                           "[/Newsgroups]\n"
                           "[Settings]\n"
                           "MATCH_WORD=phrase\n"
                           "MATCH_CASE=match\n"
                           "MAX_ARTICLES=250 # at most\n"
                           "MAX_HEADERS=50000\n"
                           "SEARCH_IN=from\n"
                           "TIME_LIMIT=90\n"
                           "TIMEOUTS=12\n"
                           "[/Settings]\n";

TEST_F(SearchDialogTest, DescriptionFileFillsListsAndStartingSettings) {
    WriteFile("korvex.dat", kDescription);
    Start();
    const kvSearchControls& d = Dialog();
    const kvSearchRequest& r = C().Request();
    ASSERT_NE(d.patternChoice, nullptr);
    ASSERT_NE(d.serverChoice, nullptr);
    ASSERT_NE(d.newsgroupChoice, nullptr);
    EXPECT_EQ(d.patternChoice->GetCount(), 2u);
    EXPECT_EQ(d.patternChoice->GetSelection(), 0);
    EXPECT_EQ(d.serverChoice->GetString(0), "news.example.org");
    EXPECT_EQ(d.newsgroupChoice->GetString(0), "comp.os.linux");
    EXPECT_EQ(Text(d.patternText), "kernel panic");
    EXPECT_EQ(Text(d.serverText), "news.example.org");
    EXPECT_EQ(Text(d.newsgroupText), "comp.os.linux");
    EXPECT_EQ(d.matchBox->GetSelection(), 2);
    EXPECT_EQ(d.caseBox->GetSelection(), 0);
    EXPECT_TRUE(d.findCheck->GetValue());
    EXPECT_TRUE(d.findSlider->IsEnabled());
    EXPECT_EQ(d.findSlider->GetValue(), 250);
    EXPECT_EQ(d.scanSlider->GetValue(), 30000); // 50000 shown at the end of the range
    const char* headers[] = {"From",    "Keywords", "Summary",    "Date",
                             "Subject", "Reply-To", "Message-ID", "Organization"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(d.headerChoice->GetString(i), headers[i]);
    EXPECT_EQ(d.headerChoice->GetSelection(), 0);

    EXPECT_STREQ(r.pattern, "kernel panic");
    EXPECT_STREQ(r.server, "news.example.org");
    EXPECT_STREQ(r.newsgroup, "comp.os.linux");
    EXPECT_EQ(r.matchMode, MATCH_PHRASE);
    EXPECT_EQ(r.ignoreCase, 0);
    EXPECT_STREQ(r.maxArticles, "250");
    EXPECT_STREQ(r.maxHeaders, "50000");
    EXPECT_STREQ(r.header, "From");
    EXPECT_STREQ(r.timeLimit, "90");
    EXPECT_EQ(r.timeoutSeconds, 12);
}

TEST_F(SearchDialogTest, EachControlWritesTheRequestAsTheUserEdits) {
    WriteFile("korvex.dat", kDescription);
    Start();
    const kvSearchControls& d = Dialog();
    const kvSearchRequest& r = C().Request();

    Choose(d.patternChoice, 1);
    EXPECT_STREQ(r.pattern, "\"release candidate\" -beta");
    EXPECT_EQ(Text(d.patternText), "\"release candidate\" -beta");
    Type(d.patternText, "typed words");
    EXPECT_STREQ(r.pattern, "typed words");
    Choose(d.serverChoice, 1);
    EXPECT_STREQ(r.server, "127.0.0.1");
    EXPECT_EQ(Text(d.serverText), "127.0.0.1");
    Type(d.serverText, "[::1]:1119");
    EXPECT_STREQ(r.server, "[::1]:1119");
    Type(d.newsgroupText, "alt.test");
    EXPECT_STREQ(r.newsgroup, "alt.test");

    const int modes[] = {MATCH_ANY_WORD, MATCH_ALL_WORDS, MATCH_PHRASE};
    for (int button = 0; button < 3; ++button) {
        Press(d.matchBox, button);
        EXPECT_EQ(r.matchMode, modes[button]);
    }
    Press(d.caseBox, 1);
    EXPECT_EQ(r.ignoreCase, 1);
    Press(d.caseBox, 0);
    EXPECT_EQ(r.ignoreCase, 0);

    Tick(d.findCheck, false);
    EXPECT_STREQ(r.maxArticles, "all");
    EXPECT_FALSE(d.findSlider->IsEnabled());
    d.findSlider->SetValue(640); // moved while off: nothing is written until the box is on
    Tick(d.findCheck, true);
    EXPECT_STREQ(r.maxArticles, "640");
    EXPECT_TRUE(d.findSlider->IsEnabled());
    Slide(d.findSlider, 10);
    EXPECT_STREQ(r.maxArticles, "10");
    Tick(d.scanCheck, false);
    EXPECT_STREQ(r.maxHeaders, "all");
    EXPECT_FALSE(d.scanSlider->IsEnabled());
    Tick(d.scanCheck, true);
    Slide(d.scanSlider, 25000);
    EXPECT_STREQ(r.maxHeaders, "25000");

    for (int i = 0; i < 8; ++i) {
        Choose(d.headerChoice, i);
        EXPECT_EQ(wxString(r.header), d.headerChoice->GetString(i));
    }
}

TEST_F(SearchDialogTest, WholeGroupBoxTurnsTheScanLimitOffAndBackOn) {
    WriteFile("korvex.dat", kDescription); // MAX_HEADERS=50000: the limit is on
    Start();
    const kvSearchControls& d = Dialog();
    const kvSearchRequest& r = C().Request();
    ASSERT_NE(d.wholeCheck, nullptr);
    EXPECT_EQ(d.wholeCheck->GetLabel(), "Scan the whole group");
    EXPECT_FALSE(d.wholeCheck->GetValue());
    EXPECT_TRUE(d.scanCheck->IsEnabled());

    Tick(d.wholeCheck, true);
    EXPECT_STREQ(r.maxHeaders, "whole");
    EXPECT_FALSE(d.scanCheck->IsEnabled());
    EXPECT_FALSE(d.scanSlider->IsEnabled());
    // Unticked, the limit's own box and slider decide again.
    Tick(d.wholeCheck, false);
    EXPECT_TRUE(d.scanCheck->IsEnabled());
    EXPECT_TRUE(d.scanSlider->IsEnabled());
    EXPECT_STREQ(r.maxHeaders, "30000");
    Tick(d.scanCheck, false);
    Tick(d.wholeCheck, true);
    Tick(d.wholeCheck, false);
    EXPECT_STREQ(r.maxHeaders, "all");
    EXPECT_FALSE(d.scanSlider->IsEnabled());
    EXPECT_TRUE(d.scanCheck->IsEnabled());
}

TEST_F(SearchDialogTest, DescriptionWithWholeTicksTheBoxAndKeepsTheWord) {
    std::string description = kDescription;
    description.replace(description.find("MAX_HEADERS=50000"), 17, "MAX_HEADERS=whole");
    WriteFile("korvex.dat", description);
    Start();
    const kvSearchControls& d = Dialog();
    EXPECT_TRUE(d.wholeCheck->GetValue());
    EXPECT_FALSE(d.scanCheck->IsEnabled());
    EXPECT_FALSE(d.scanSlider->IsEnabled());
    EXPECT_STREQ(C().Request().maxHeaders, "whole");
    ChooseMenu(CMD_SEARCH); // shown again: still the whole group
    EXPECT_TRUE(Dialog().wholeCheck->GetValue());
    EXPECT_STREQ(C().Request().maxHeaders, "whole");
}

TEST_F(SearchDialogTest, LongAndNonAsciiTextIsCutAtACharacterBoundary) {
    Start();
    const kvSearchControls& d = Dialog();
    std::string pattern(254, 'a');
    Type(d.patternText, pattern + "\xc3\xa9" + "zz"); // "é" would straddle the 255-byte limit
    EXPECT_EQ(std::string(C().Request().pattern), pattern);
    Type(d.serverText, std::string(600, 's'));
    EXPECT_EQ(std::string(C().Request().server), std::string(511, 's'));
    Type(d.newsgroupText, "de.talk.b\xc3\xbc"
                          "cher");
    EXPECT_STREQ(C().Request().newsgroup, "de.talk.b\xc3\xbc"
                                          "cher");
}

TEST_F(SearchDialogTest, HiddenDialogKeepsTheLastEntries) {
    Start();
    ChooseMenu(CMD_SEARCH);
    Type(Dialog().patternText, "kept");
    Click(Dialog().cancelButton);
    ChooseMenu(CMD_SEARCH);
    EXPECT_EQ(Text(Dialog().patternText), "kept");
    EXPECT_STREQ(C().Request().pattern, "kept");
}

} // namespace
} // namespace korvex_test
