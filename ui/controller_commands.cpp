// The controller's menu commands that need no file, and the table that says
// what each command needs before it runs.
#include "controller.h"

#include "search_summary.h"

#include <cstdio>

namespace {

// What a command needs before it runs: the status refresh, and a state or
// window check with its refusal notice.
enum Refresh { REFRESH_ALWAYS, REFRESH_UNLESS_SEARCHING, REFRESH_NEVER };
enum Needs { NEEDS_ANYTHING, NEEDS_HOLDING, NEEDS_NOT_HOLDING, NEEDS_USABLE_WINDOW };

} // namespace

struct kvController::CommandRow {
    int id;
    Refresh refresh;
    Needs needs;
    const char* refusal; // shown when the need is not met
    void (kvController::*run)();
};

const kvController::CommandRow kvController::kCommands[] = {
    {CMD_SEARCH, REFRESH_ALWAYS, NEEDS_ANYTHING, nullptr, &kvController::CommandSearch},
    {CMD_DISPLAY_RESULTS, REFRESH_ALWAYS, NEEDS_ANYTHING, nullptr,
     &kvController::CommandDisplayResults},
    {CMD_SAVE_RESULTS, REFRESH_ALWAYS, NEEDS_HOLDING, "Nothing to save.",
     &kvController::CommandSaveResults},
    {CMD_EXPORT_CSV, REFRESH_ALWAYS, NEEDS_HOLDING, "Nothing to save.",
     &kvController::CommandExportCsv},
    {CMD_EXPORT_JSONL, REFRESH_ALWAYS, NEEDS_HOLDING, "Nothing to save.",
     &kvController::CommandExportJsonLines},
    {CMD_EXPORT_MBOX, REFRESH_ALWAYS, NEEDS_HOLDING, "Nothing to save.",
     &kvController::CommandExportMbox},
    {CMD_LOAD_RESULTS, REFRESH_ALWAYS, NEEDS_NOT_HOLDING,
     "Please close current search\nbefore loading a new one from file.",
     &kvController::CommandLoadChecked},
    {CMD_RECENT_FIRST, REFRESH_ALWAYS, NEEDS_NOT_HOLDING,
     "Please close current search\nbefore loading a new one from file.",
     &kvController::CommandRecent},
    {CMD_SEARCH_INFO, REFRESH_UNLESS_SEARCHING, NEEDS_ANYTHING, nullptr,
     &kvController::CommandSearchInfo},
    {CMD_CLOSE_SEARCH, REFRESH_ALWAYS, NEEDS_HOLDING, "Nothing to close.",
     &kvController::CommandCloseSearch},
    {CMD_QUIT, REFRESH_NEVER, NEEDS_ANYTHING, nullptr, &kvController::CommandQuit},
    {CMD_COPY, REFRESH_UNLESS_SEARCHING, NEEDS_ANYTHING, nullptr, &kvController::CommandCopy},
    {CMD_SAVE_ARTICLE, REFRESH_ALWAYS, NEEDS_USABLE_WINDOW, "Can't save current article.",
     &kvController::CommandSaveArticle},
    {CMD_DELETE_ARTICLE, REFRESH_ALWAYS, NEEDS_ANYTHING, nullptr,
     &kvController::CommandDeleteArticle},
    {CMD_CLOSE_ARTICLE_WINDOW, REFRESH_ALWAYS, NEEDS_USABLE_WINDOW, "Can't close article window.",
     &kvController::CommandCloseArticleWindow},
    {CMD_NEW_ARTICLE_WINDOW, REFRESH_ALWAYS, NEEDS_ANYTHING, nullptr,
     &kvController::CommandNewArticleWindow},
    {CMD_SAVE_ALL_ARTICLES, REFRESH_ALWAYS, NEEDS_HOLDING, "Nothing to save.",
     &kvController::CommandSaveAllArticles},
    {CMD_REPLY_LIST, REFRESH_ALWAYS, NEEDS_HOLDING, "No article set to process.",
     &kvController::CommandReplyList},
    {CMD_HELP, REFRESH_UNLESS_SEARCHING, NEEDS_ANYTHING, nullptr, &kvController::CommandHelp},
    {CMD_CLOSE_HELP, REFRESH_UNLESS_SEARCHING, NEEDS_ANYTHING, nullptr,
     &kvController::CommandCloseHelp},
    {CMD_ABOUT, REFRESH_UNLESS_SEARCHING, NEEDS_ANYTHING, nullptr, &kvController::CommandAbout},
};

bool kvController::NeedMet(int needs) const {
    switch (needs) {
    case NEEDS_HOLDING:
        return Holding(model_.ui.state);
    case NEEDS_NOT_HOLDING:
        return !Holding(model_.ui.state);
    case NEEDS_USABLE_WINDOW:
        return view_.CurrentWindowUsable();
    default:
        return true;
    }
}

void kvController::RunCommand(int id) {
    // The recent files share one command; the entry chosen travels beside it.
    if (id >= CMD_RECENT_FIRST && id < CMD_RECENT_FIRST + KV_RECENT_FILES) {
        recentChosen_ = id - CMD_RECENT_FIRST;
        id = CMD_RECENT_FIRST;
    }
    for (const CommandRow& row : kCommands) {
        if (row.id != id) continue;
        if (row.refresh == REFRESH_ALWAYS ||
            (row.refresh == REFRESH_UNLESS_SEARCHING && model_.ui.state != STATE_SEARCHING)) {
            if (mainFrame_) mainFrame_->SetStatusLine(statusText_);
        }
        if (!NeedMet(row.needs)) {
            ShowNotice(row.refusal);
            return;
        }
        (this->*row.run)();
        return;
    }
}

void kvController::CommandSearch() {
    if (dialog_ && dialog_->IsShown()) {
        ShowNotice("Search data input dialog is already displayed.");
        return;
    }
    switch (model_.ui.state) {
    case STATE_IDLE:
        dialog_->Open();
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

void kvController::CommandDisplayResults() {
    switch (model_.ui.state) {
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
        SetStateDisplayed(model_.ui, Menus());
        view_.Show();
        break;
    }
}

void kvController::CommandSearchInfo() {
    if (Holding(model_.ui.state) && model_.summary) {
        ShowNotice(SearchInfoText(*model_.summary).c_str());
    } else {
        ShowNotice(statusText_);
    }
    view_.Focus();
}

void kvController::CommandCloseSearch() {
    if (model_.ui.state == STATE_DISPLAYED) view_.CaptureGeometry(false);
    if (model_.ui.saved == 0 && !AskToSaveResults()) return;
    CloseSearch(); // saved: 1
    if (mainFrame_) mainFrame_->SetSize(10, 10, 400, 175);
}

void kvController::CommandQuit() {
    int state = model_.ui.state;
    if (state == STATE_DISPLAYED) view_.CaptureGeometry(true);
    if (Holding(state) && model_.ui.saved == 0 && !AskToSaveResults()) return;
    if (!settingsPath_.empty()) WriteSettingsFile(settingsPath_, settings_);
    if (kvMainFrame* frame = mainFrame_; frame && frame->OnClose()) frame->Destroy();
}

void kvController::CommandCopy() {
    view_.CopyFromCurrentWindow();
}

void kvController::CommandDeleteArticle() {
    if (const char* refusal = view_.DeleteCurrent()) {
        ShowNotice(refusal);
    } else {
        model_.ui.saved = 0;
        char status[KV_STATUS_SIZE];
        std::snprintf(status, sizeof status, "Korvex: %d articles in current search",
                      model_.Count());
        ShowStatus(status);
    }
    view_.Focus();
}

void kvController::CommandCloseArticleWindow() {
    view_.CloseCurrentWindow();
    view_.Focus();
}

void kvController::CommandNewArticleWindow() {
    if (const char* refusal = view_.OpenAnotherWindow()) ShowNotice(refusal);
}

// Loading also waits for the dialog to be put away, and never starts during a
// search (the menu already prevents it).
void kvController::CommandLoadChecked() {
    if (dialog_ && dialog_->IsShown()) {
        ShowNotice("Data input dialog is displayed on screen. Please close\ndata input dialog "
                   "before loading a new search from file.");
        return;
    }
    if (model_.ui.state == STATE_IDLE) CommandLoadResults();
}

void kvController::CommandHelp() {
    if (!help_) {
        if (helpPath_.empty()) {
            ShowNotice("Help file not found.");
            return;
        }
        help_ = new kvHelpWindow([this] {
            if (mainFrame_) mainFrame_->EnableItem(CMD_CLOSE_HELP, false);
        });
        help_->Load(helpPath_);
    } else if (help_->IsShown()) {
        if (!help_->IsIconized()) {
            ShowNotice("Help window is already displayed.");
            return;
        }
        help_->Iconize(false);
    } else {
        help_->Reopen();
    }
    mainFrame_->EnableItem(CMD_CLOSE_HELP, true);
}

void kvController::CommandCloseHelp() {
    if (!help_) return;
    help_->Hide();
    mainFrame_->EnableItem(CMD_CLOSE_HELP, false);
}

void kvController::CommandAbout() {
    ShowNotice(AboutText().c_str());
    view_.Focus();
}
