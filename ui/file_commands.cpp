#include "file_commands.h"

#include "interaction.h"
#include "program.h"
#include "results_file.h"
#include "results_view.h"
#include "text_export.h"

#include <cstdio>

namespace {

// The five file selectors. The results-file selectors also propose the file
// name of LastPath; every selector starts in its directory.
struct kvSelector {
    const char* title;
    const char* wildcard;
    bool save; // save (asks before overwriting) or open
    bool proposeName;
};
constexpr kvSelector kSaveResults{"Save search results", "*.kvx", true, true};
constexpr kvSelector kLoadResults{"Load search results", "*.kvx", false, true};
constexpr kvSelector kSaveAll{"Save all articles", "*.txt", true, false};
constexpr kvSelector kSaveArticle{"Save article", "*.txt", true, false};
constexpr kvSelector kReplyList{"Create reply list", "*.txt", true, false};

// Opens a file selector; the chosen path, already copied into LastPath, or ""
// when the user cancelled.
std::string SelectFile(const kvSelector& selector) {
    kvProgram& program = Program();
    kvFileRequest request;
    request.title = selector.title;
    request.directory = DirectoryOf(program.lastPath);
    if (selector.proposeName) request.fileName = FileNameOf(program.lastPath);
    request.wildcard = selector.wildcard;
    request.save = selector.save;
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
    if (SelectFile(kSaveResults).empty()) return kvSaveOutcome::Cancelled;
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
    bool chosen = !SelectFile(kSaveResults).empty();
    if (chosen && HoldsArticles() && SaveResultsToLastPath() == kvSaveOutcome::Saved) {
        Program().ui.saved = 1;
    }
    FocusResultsList();
}

void CommandLoadResults() {
    kvProgram& program = Program();
    if (SelectFile(kLoadResults).empty()) return;
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
    bool chosen = !SelectFile(kSaveAll).empty();
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
    if (!SelectFile(kSaveArticle).empty()) {
        if (SaveArticleText(SelectedArticle(), Program().lastPath.c_str()) < 0) {
            ShowNotice("Error saving article.");
        }
    }
    FocusResultsList();
}

void CommandReplyList() {
    kvProgram& program = Program();
    bool chosen = !SelectFile(kReplyList).empty();
    if (chosen && HoldsArticles()) {
        ShowStatus("Korvex: Writing Email addresses to file...");
        int written = WriteReplyList(program.lastPath.c_str(), *program.results);
        ShowStatus("Korvex: idle");
        if (written < 0) ShowNotice("Error saving reply list.");
    }
    FocusResultsList();
}
