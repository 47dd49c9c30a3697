#include "commands.h"

#include "article_windows.h"
#include "file_commands.h"
#include "frame.h"
#include "help_window.h"
#include "program.h"
#include "results_view.h"
#include "search_dialog.h"
#include "search_summary.h"

#include <cstdio>
#include <wx/textctrl.h>

namespace {

bool SearchFrameShown() {
    kvFrame* frame = Program().searchFrame;
    return frame && frame->IsShown();
}

bool Holding(int state) {
    return state == STATE_READY || state == STATE_DISPLAYED;
}

void CommandSearch() {
    if (SearchFrameShown()) {
        ShowNotice("Search data input dialog is already displayed.");
        return;
    }
    switch (Program().ui.state) {
    case STATE_IDLE:
        ShowSearchFrame();
        break;
    case STATE_SEARCHING:
        ShowNotice("There is search in progress. Please stop it\nbefore starting a new one\n");
        break;
    case STATE_READY:
        ShowNotice("Search results are already loaded. Please\nclose current search before "
                   "starting a new one.");
        break;
    default:
        ShowNotice("Search results are already displayed. Please\nclose current search before "
                   "starting a new one.");
        break;
    }
}

void CommandDisplayResults() {
    kvProgram& program = Program();
    switch (program.ui.state) {
    case STATE_IDLE:
        ShowNotice("No search loaded.");
        break;
    case STATE_SEARCHING:
        ShowNotice("Search in progress, please wait.");
        break;
    case STATE_DISPLAYED:
        ShowNotice("Search results are already displayed.");
        break;
    default:
        SetStateDisplayed(program.ui);
        ShowResults();
        break;
    }
}

void CommandSearchInfo() {
    kvProgram& program = Program();
    if (Holding(program.ui.state) && program.summary) {
        ShowNotice(SearchInfoText(*program.summary).c_str());
    } else {
        ShowNotice(program.statusText);
    }
    FocusResultsList();
}

void CommandCloseSearch() {
    kvProgram& program = Program();
    if (program.ui.state == STATE_DISPLAYED) CaptureGeometry(false);
    if (program.ui.saved == 0 && !AskToSaveResults()) return;
    CloseSearch(); // saved: 1
    if (program.mainFrame) program.mainFrame->SetSize(10, 10, 400, 175);
}

void CommandQuit() {
    kvProgram& program = Program();
    int state = program.ui.state;
    if (state == STATE_DISPLAYED) CaptureGeometry(true);
    if (Holding(state) && program.ui.saved == 0 && !AskToSaveResults()) return;
    if (!program.settingsPath.empty()) WriteSettingsFile(program.settingsPath, program.settings);
    kvFrame* frame = program.mainFrame;
    if (frame && frame->OnClose()) frame->Destroy();
}

void CommandCopy() {
    if (!CurrentWindowUsable()) return;
    wxTextCtrl* text = Program().articleTexts[Program().currentWindow];
    text->Copy();
    text->SetFocus();
}

void CommandDeleteArticle() {
    kvProgram& program = Program();
    if (DeleteCurrentArticle() == 0) {
        program.ui.saved = 0;
        char status[KV_STATUS_SIZE];
        std::snprintf(status, sizeof status, "Korvex: %d articles in current search",
                      program.results->count);
        ShowStatus(status);
    }
    FocusResultsList();
}

void CommandCloseArticleWindow() {
    CloseCurrentWindow();
    FocusResultsList();
}

void CommandNewArticleWindow() {
    kvProgram& program = Program();
    if (!program.resultsList) {
        ShowNotice("No current article.");
        return;
    }
    if (program.currentWindow >= KV_ARTICLE_WINDOWS - 1) {
        ShowNotice("Too many article windows, \ncan't create any more.");
        return;
    }
    OpenArticleWindow(SelectedIndex());
    FocusResultsList();
}

// Loading also waits for the dialog to be put away, and never starts during a
// search (the menu already prevents it).
void CommandLoadChecked() {
    if (SearchFrameShown()) {
        ShowNotice("Data input dialog is displayed on screen. Please close\ndata input dialog "
                   "before loading a new search from file.");
        return;
    }
    if (Program().ui.state == STATE_IDLE) CommandLoadResults();
}

// What a command needs before it runs: the status refresh, and a state or
// window check with its refusal notice.
enum Refresh { kAlways, kUnlessSearching, kNever };
enum Needs { kAnything, kHolding, kNotHolding, kUsableWindow };

struct CommandRow {
    int id;
    Refresh refresh;
    Needs needs;
    const char* refusal; // shown when the need is not met
    void (*run)();
};

const CommandRow kCommands[] = {
    {CMD_SEARCH, kAlways, kAnything, nullptr, CommandSearch},
    {CMD_DISPLAY_RESULTS, kAlways, kAnything, nullptr, CommandDisplayResults},
    {CMD_SAVE_RESULTS, kAlways, kHolding, "Nothing to save.", CommandSaveResults},
    {CMD_LOAD_RESULTS, kAlways, kNotHolding,
     "Please close current search\nbefore loading a new one from file.", CommandLoadChecked},
    {CMD_SEARCH_INFO, kUnlessSearching, kAnything, nullptr, CommandSearchInfo},
    {CMD_CLOSE_SEARCH, kAlways, kHolding, "Nothing to close.", CommandCloseSearch},
    {CMD_QUIT, kNever, kAnything, nullptr, CommandQuit},
    {CMD_COPY, kUnlessSearching, kAnything, nullptr, CommandCopy},
    {CMD_SAVE_ARTICLE, kAlways, kUsableWindow, "Can't save current article.", CommandSaveArticle},
    {CMD_DELETE_ARTICLE, kAlways, kAnything, nullptr, CommandDeleteArticle},
    {CMD_CLOSE_ARTICLE_WINDOW, kAlways, kUsableWindow, "Can't close article window.",
     CommandCloseArticleWindow},
    {CMD_NEW_ARTICLE_WINDOW, kAlways, kAnything, nullptr, CommandNewArticleWindow},
    {CMD_SAVE_ALL_ARTICLES, kAlways, kHolding, "Nothing to save.", CommandSaveAllArticles},
    {CMD_REPLY_LIST, kAlways, kHolding, "No article set to process.", CommandReplyList},
    {CMD_HELP, kUnlessSearching, kAnything, nullptr, CommandHelp},
    {CMD_CLOSE_HELP, kUnlessSearching, kAnything, nullptr, CommandCloseHelp},
    {CMD_ABOUT, kUnlessSearching, kAnything, nullptr, CommandAbout},
};

bool NeedMet(Needs needs) {
    int state = Program().ui.state;
    switch (needs) {
    case kHolding:
        return Holding(state);
    case kNotHolding:
        return !Holding(state);
    case kUsableWindow:
        return CurrentWindowUsable();
    default:
        return true;
    }
}

} // namespace

void RunMenuCommand(int id) {
    for (const CommandRow& row : kCommands) {
        if (row.id != id) continue;
        kvProgram& program = Program();
        if (row.refresh == kAlways ||
            (row.refresh == kUnlessSearching && program.ui.state != STATE_SEARCHING)) {
            SetStatusLine(program.statusText);
        }
        if (!NeedMet(row.needs)) {
            ShowNotice(row.refusal);
            return;
        }
        row.run();
        return;
    }
}

void CloseMainFrame() {
    kvProgram& program = Program();
    if (program.worker) program.worker->StopAndWait();
    if (program.searchFrame) {
        HideSearchFrame();
        program.searchFrame->Destroy();
    }
    DestroyHelpWindow();
    CloseSearch();
}
