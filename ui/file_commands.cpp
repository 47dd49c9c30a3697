#include "file_commands.h"

#include "interaction.h"
#include "program.h"
#include "results_file.h"
#include "results_view.h"
#include "text_export.h"

#include <cstdio>

namespace {

enum class kvSelector { SaveResults, LoadResults, SaveAll, SaveArticle, ReplyList };

// Opens a file selector; the chosen path, already copied into LastPath, or ""
// when the user cancelled.
std::string SelectFile(kvSelector which) {
    kvProgram& program = Program();
    kvFileRequest request;
    request.directory = DirectoryOf(program.lastPath);
    request.save = which != kvSelector::LoadResults;
    request.wildcard = "*.txt";
    switch (which) {
    case kvSelector::SaveResults:
        request.title = "Save search results";
        break;
    case kvSelector::LoadResults:
        request.title = "Load search results";
        break;
    case kvSelector::SaveAll:
        request.title = "Save all articles";
        break;
    case kvSelector::SaveArticle:
        request.title = "Save article";
        break;
    case kvSelector::ReplyList:
        request.title = "Create reply list";
        break;
    }
    if (which == kvSelector::SaveResults || which == kvSelector::LoadResults) {
        request.wildcard = "*.kvx";
        request.fileName = FileNameOf(program.lastPath);
    }
    std::string path = Interaction().SelectFile(request);
    if (!path.empty()) program.lastPath = path;
    return path;
}

bool HoldsArticles() {
    const kvProgram& program = Program();
    return program.results && program.results->first();
}

// Writes the held results to LastPath between the two status texts.
kvSaveOutcome SaveResultsToLastPath() {
    kvProgram& program = Program();
    ShowStatus("Korvex: Saving search results in file...");
    int written = program.summary ? SaveResultsFile(program.lastPath.c_str(), *program.summary,
                                                    *program.results)
                                  : -1;
    ShowStatus("Korvex: idle");
    if (written < 0) {
        ShowNotice("Error saving search results.");
        return kvSaveOutcome::Failed;
    }
    return kvSaveOutcome::Saved;
}

} // namespace

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

kvSaveOutcome SaveResultsInteractively() {
    if (SelectFile(kvSelector::SaveResults).empty()) return kvSaveOutcome::Cancelled;
    return SaveResultsToLastPath();
}

bool AskToSaveResults() {
    switch (Interaction().Ask("Search results are not saved. Save now?", "Warning")) {
    case kvAnswer::Yes:
        return SaveResultsInteractively() == kvSaveOutcome::Saved;
    case kvAnswer::No:
        return true;
    default:
        return false;
    }
}

void CommandSaveResults() {
    bool chosen = !SelectFile(kvSelector::SaveResults).empty();
    if (chosen && HoldsArticles() && SaveResultsToLastPath() == kvSaveOutcome::Saved) {
        Program().ui.saved = 1;
    }
    FocusResultsList();
}

void CommandLoadResults() {
    kvProgram& program = Program();
    if (SelectFile(kvSelector::LoadResults).empty()) return;
    ShowStatus("Korvex: Loading search results from file...");
    program.summary = std::make_unique<kvSearchSummary>();
    program.summary->loadedFromFile = 1;
    CopyField(program.summary->sourceFile, FileNameOf(program.lastPath).c_str());
    program.results = std::make_unique<kvResultSet>();
    int n = LoadResultsFile(program.lastPath.c_str(), *program.summary, *program.results);
    if (n > 0 && program.results->first()) {
        program.results->count = n;
        char status[KV_STATUS_SIZE];
        std::snprintf(status, sizeof status, "%d articles loaded from \"%s\"", n,
                      program.summary->sourceFile);
        ShowStatus(status);
        SetStateDisplayed(program.ui);
        program.ui.saved = 1;
        ShowResults();
        return;
    }
    program.summary.reset();
    program.results.reset();
    ShowStatus("Korvex: idle");
    ShowNotice("Error loading search results.");
}

void CommandSaveAllArticles() {
    kvProgram& program = Program();
    bool chosen = !SelectFile(kvSelector::SaveAll).empty();
    if (chosen && HoldsArticles() && program.summary) {
        ShowStatus("Korvex: Saving all articles in text file...");
        int written =
            SaveArticlesReport(program.lastPath.c_str(), *program.summary, *program.results);
        ShowStatus("Korvex: idle");
        if (written < 0) ShowNotice("Error saving articles.");
    }
    FocusResultsList();
}

void CommandSaveArticle() {
    if (!SelectFile(kvSelector::SaveArticle).empty()) {
        if (SaveArticleText(SelectedArticle(), Program().lastPath.c_str()) < 0) {
            ShowNotice("Error saving article.");
        }
    }
    FocusResultsList();
}

void CommandReplyList() {
    kvProgram& program = Program();
    bool chosen = !SelectFile(kvSelector::ReplyList).empty();
    if (chosen && HoldsArticles()) {
        ShowStatus("Korvex: Writing Email addresses to file...");
        int written = WriteReplyList(program.lastPath.c_str(), *program.results);
        ShowStatus("Korvex: idle");
        if (written < 0) ShowNotice("Error saving reply list.");
    }
    FocusResultsList();
}
