// The controller's commands that read or write files: saving and loading
// results, the report of all articles, one article and the reply list, with
// their file selectors. Every selector starts from LastPath, and the path the
// user confirms becomes LastPath before anything is read or written.
#include "controller.h"

#include "atomic_file.h"
#include "file_selector.h"
#include "file_system.h"
#include "path_parts.h"
#include "results_file.h"
#include "text_export.h"

#include <algorithm>
#include <cstdio>

// The five file selectors. The results-file selectors also propose the file
// name of LastPath; every selector starts in its directory.
namespace {
constexpr kvFileSelector kSaveResults{"Save search results", "*.kvx", true, true};
constexpr kvFileSelector kLoadResults{"Load search results", "*.kvx", false, true};
constexpr kvFileSelector kSaveAll{"Save all articles", "*.txt", true, false};
constexpr kvFileSelector kSaveArticle{"Save article", "*.txt", true, false};
constexpr kvFileSelector kReplyList{"Create reply list", "*.txt", true, false};
} // namespace

void kvController::ShowSaveFailure(const char* text) {
    std::string why = TakeSaveProblem();
    if (!why.empty()) ShowStatus(why.c_str());
    ShowNotice(text);
}

std::string kvController::SelectFile(const kvFileSelector& selector) {
    kvFileRequest request;
    request.title = selector.title;
    request.directory = DirectoryOf(lastPath_);
    if (selector.proposeName) request.fileName = FileNameOf(lastPath_);
    request.wildcard = selector.wildcard;
    request.save = selector.save;
    std::string path = interaction_->SelectFile(request);
    if (!path.empty()) lastPath_ = path;
    return path;
}

// Writes the held results to LastPath between the two status texts.
kvController::SaveOutcome kvController::SaveResultsToLastPath() {
    ShowStatus("Korvex: Saving search results in file...");
    bool written =
        model_.summary && SaveResultsFile(lastPath_.c_str(), *model_.summary, *model_.results);
    ShowStatus("Korvex: idle");
    if (!written) {
        ShowSaveFailure("Error saving search results.");
        return SaveOutcome::Failed;
    }
    RememberRecent(lastPath_);
    return SaveOutcome::Saved;
}

kvController::SaveOutcome kvController::SaveResultsInteractively() {
    if (SelectFile(kSaveResults).empty()) return SaveOutcome::Cancelled;
    return SaveResultsToLastPath();
}

bool kvController::AskToSaveResults() {
    switch (interaction_->Ask("Search results are not saved. Save now?", "Warning")) {
    case kvAnswer::Yes:
        return SaveResultsInteractively() == SaveOutcome::Saved;
    case kvAnswer::No:
        return true;
    default:
        return false;
    }
}

void kvController::CommandSaveResults() {
    bool chosen = !SelectFile(kSaveResults).empty();
    if (chosen && model_.HoldsArticles() && SaveResultsToLastPath() == SaveOutcome::Saved) {
        model_.ui.saved = 1;
    }
    view_.Focus();
}

void kvController::CommandLoadResults() {
    if (SelectFile(kLoadResults).empty()) return;
    LoadResultsFrom(lastPath_);
}

void kvController::OpenResultsFile(const std::string& path) {
    if (path.empty() || model_.ui.state != STATE_IDLE || (dialog_ && dialog_->IsShown())) return;
    LoadResultsFrom(path);
}

void kvController::LoadResultsFrom(const std::string& path) {
    lastPath_ = path;
    ShowStatus("Korvex: Loading search results from file...");
    model_.summary = std::make_unique<kvSearchSummary>();
    model_.summary->loadedFromFile = 1;
    CopyField(model_.summary->sourceFile, FileNameOf(lastPath_).c_str());
    model_.results = std::make_unique<kvResultSet>();
    int n = LoadResultsFile(lastPath_.c_str(), *model_.summary, *model_.results);
    if (n > 0 && model_.results->First()) {
        char status[KV_STATUS_SIZE];
        std::snprintf(status, sizeof status, "%d articles loaded from \"%s\"", n,
                      model_.summary->sourceFile);
        ShowStatus(status);
        SetStateDisplayed(model_.ui, Menus());
        model_.ui.saved = 1;
        view_.Show();
        RememberRecent(path);
        return;
    }
    model_.Drop();
    ShowStatus("Korvex: idle");
    ShowNotice("Error loading search results.");
}

void kvController::CommandSaveAllArticles() {
    bool chosen = !SelectFile(kSaveAll).empty();
    if (chosen && model_.HoldsArticles() && model_.summary) {
        ShowStatus("Korvex: Saving all articles in text file...");
        bool written = SaveArticlesReport(lastPath_.c_str(), *model_.summary, *model_.results);
        ShowStatus("Korvex: idle");
        if (!written) ShowSaveFailure("Error saving articles.");
    }
    view_.Focus();
}

void kvController::CommandSaveArticle() {
    if (!SelectFile(kSaveArticle).empty()) {
        if (!SaveArticleText(lastPath_.c_str(), view_.SelectedArticle())) {
            ShowSaveFailure("Error saving article.");
        }
    }
    view_.Focus();
}

void kvController::CommandReplyList() {
    bool chosen = !SelectFile(kReplyList).empty();
    if (chosen && model_.HoldsArticles()) {
        ShowStatus("Korvex: Writing Email addresses to file...");
        bool written = WriteReplyList(lastPath_.c_str(), *model_.results);
        ShowStatus("Korvex: idle");
        if (!written) ShowSaveFailure("Error saving reply list.");
    }
    view_.Focus();
}

void kvController::StoreRecent() {
    WriteRecentFiles(settings_, recent_);
    if (mainFrame_) mainFrame_->SetRecentFiles(recent_);
    if (!settingsPath_.empty()) WriteSettingsFile(settingsPath_, settings_);
}

void kvController::RememberRecent(const std::string& path) {
    std::vector<std::string> now = WithRecentFile(recent_, path);
    if (now == recent_) return;
    recent_ = std::move(now);
    StoreRecent();
}

void kvController::ForgetRecent(const std::string& path) {
    recent_.erase(std::remove(recent_.begin(), recent_.end(), path), recent_.end());
    StoreRecent();
}

void kvController::CommandRecent() {
    if (recentChosen_ < 0 || recentChosen_ >= static_cast<int>(recent_.size())) return;
    if (dialog_ && dialog_->IsShown()) {
        ShowNotice("Data input dialog is displayed on screen. Please close\ndata input dialog "
                   "before loading a new search from file.");
        return;
    }
    if (model_.ui.state != STATE_IDLE) return;
    std::string path = recent_[recentChosen_];
    if (KindOf(path) == kvFileKind::Missing) {
        ForgetRecent(path);
        ShowNotice(("The file \"" + path +
                    "\" no longer exists.\nIt was taken off the recent "
                    "results.")
                       .c_str());
        return;
    }
    LoadResultsFrom(path);
}
