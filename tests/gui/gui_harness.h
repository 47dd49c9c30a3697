// Drives the real desktop program in tests: starts it afresh for each test in
// a directory of its own, answers every notice, question and file selector
// from a script, sends the control events a user's edits would send, and runs
// the GUI event queue until a condition holds.
//
// Runs on the gtest main thread, which is the GUI thread (the display comes
// from Xvfb). Tests never block in a modal box: the scripted interaction
// records each notice and returns at once.
#pragma once
#include "app.h"
#include "controller.h"
#include "temp_files.h"
#include "ui_probe.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class wxChoice;
class wxRadioBox;
class wxCheckBox;
class wxSlider;
class wxTextCtrl;
class wxButton;
class kvResultsList;
class wxWindow;

namespace korvex_test {

class ScriptedInteraction : public kvInteraction {
  public:
    // What a program started with this script is given.
    static std::unique_ptr<kvInteraction> For(std::shared_ptr<ScriptedInteraction> script);

    void Notice(const std::string& text) override { notices.push_back(text); }
    kvAnswer Ask(const std::string& text, const std::string& caption) override;
    std::string SelectFile(const kvFileRequest& request) override;
    bool AskLogin(const std::string& host, kvLoginAnswer& answer) override;

    std::vector<std::string> notices;
    std::vector<std::string> questions; // "caption: text"
    std::deque<kvAnswer> answers;       // Cancel once they run out
    std::vector<kvFileRequest> fileRequests;
    std::deque<std::string> chosenFiles; // "" (cancel) once they run out
    std::vector<std::string> loginHosts; // the login box was shown for these
    std::deque<kvLoginAnswer> logins;    // Cancel once they run out
};

// Each test gets a fresh program started in its own directory (working,
// program and configuration directory all inside it) with the files the test
// wrote there before calling Start(). The program's controller stays readable
// after its main frame has gone, until the next Start().
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file into the test's working directory.
    void WriteFile(const std::string& name, const std::string& text);
    std::string ReadFile(const std::string& name) const; // from the working directory
    std::string Path(const std::string& name) const;
    void Start();

    kvUiProbe C() { return kvUiProbe(*controller); }
    kvHeldSearch& M() { return C().Model(); }
    const kvSearchControls& Dialog() { return C().DialogControls(); }
    const kvArticleWindows& Articles() { return C().ArticleWindows(); }
    kvFrame* ArticleFrame(int slot) { return C().ArticleFrame(slot); }
    kvResultsList* ResultsList(); // null while no list is shown
    ScriptedInteraction& Script() { return *script; }
    // What the window system shows on the main frame's status line, and the
    // controller's own copy, after a stale text was drawn over the line.
    void StaleStatusLine(const char* statusText, const char* shown);
    bool MenuEnabled(int id);
    std::string StatusLine();

    // Fills the search dialog as a user would and presses OK.
    void SearchFor(const std::string& server, const std::string& group, const std::string& pattern);
    // Pumps until the search has ended, noting every status line seen on the way.
    void WaitForEnd();
    std::vector<std::string> seen;

    // Hands the program a finished search of n articles, "Subject 0" ..., each
    // with the body "Body of i.\n", as the search worker does (results ready,
    // unsaved). adjust, when given, changes article i before it enters the set.
    void HoldResults(int n, const std::function<void(int, kvArticle&)>& adjust = nullptr);
    // The subjects the list shows, in order.
    std::vector<std::string> ListEntries();
    // Title and text of the article window in a slot.
    std::string WindowTitle(int slot);
    std::string WindowText(int slot);
    // The subjects of the records chained from slot 0.
    std::vector<std::string> ChainSubjects();

    // A menu command on the main frame, as the menu sends it.
    void ChooseMenu(int id);

    TempDir temp{"gui"};
    std::string dir;
    std::shared_ptr<ScriptedInteraction> script; // one per SetUp, shared by every Start()
    kvController* controller = nullptr;
    kvFilePlaces places;
};

// One item of the main frame's menu bar as the user sees it.
struct MenuEntry {
    std::string menu;
    std::string label;
    int id;
    bool operator==(const MenuEntry& other) const {
        return menu == other.menu && label == other.label && id == other.id;
    }
};
// The menu bar, spelled out in menu order.
extern const std::vector<MenuEntry> kMenuBar;

// The local news server with the generated test groups ($KORVEX_NNTP_SERVER,
// else 127.0.0.1): its address, or "" with the reason in `why`.
std::string LocalNewsServer(std::string& why);
// Sets `address` to the local news server, or skips the test (fails it when
// KORVEX_REQUIRE_INN is 1).
#define KORVEX_LOCAL_SERVER_OR_SKIP(address)                                                       \
    do {                                                                                           \
        std::string why_;                                                                          \
        (address) = ::korvex_test::LocalNewsServer(why_);                                          \
        if ((address).empty()) {                                                                   \
            if (::korvex_test::InnRequired()) FAIL() << why_;                                      \
            GTEST_SKIP() << why_;                                                                  \
        }                                                                                          \
    } while (0)
bool InnRequired();

// Runs the GUI event queue (queued events, CallAfter tasks, idle and pending deletes).
void Pump();
// Pumps until done() holds or the time runs out; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000);

// What a user's edit of a control sends: the value changes, then the
// control's event arrives.
void Type(wxTextCtrl* text, const std::string& value);
void Choose(wxChoice* choice, int index);
void Press(wxRadioBox* box, int button);
void Tick(wxCheckBox* box, bool on);
void Slide(wxSlider* slider, int value);
void Click(wxButton* button);
void Select(kvResultsList* list, int index);       // a click on a list entry
void ClickColumn(kvResultsList* list, int column); // a click on a column header
// True when the keyboard focus is in the window or a window inside it (a
// list's rows may sit in a window of their own).
bool HasFocus(wxWindow* window);

} // namespace korvex_test
