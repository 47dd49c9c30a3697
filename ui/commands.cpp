#include "commands.h"

#include "frame.h"
#include "interaction.h"
#include "program.h"
#include "results_file.h"
#include "results_view.h"
#include "search_dialog.h"

namespace {

void RefreshStatus() {
    SetStatusLine(Program().statusText);
}

bool SearchFrameShown() {
    kvFrame* frame = Program().searchFrame;
    return frame && frame->IsShown();
}

// The directory and file-name parts of LastPath.
std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void CommandSearch() {
    kvProgram& program = Program();
    RefreshStatus();
    if (SearchFrameShown()) {
        ShowNotice("Search data input dialog is already displayed.");
        return;
    }
    switch (program.ui.state) {
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

void CommandQuit() {
    kvProgram& program = Program();
    int state = program.ui.state;
    if ((state == STATE_READY || state == STATE_DISPLAYED) && program.ui.saved == 0 &&
        !AskToSaveResults()) {
        return;
    }
    if (!program.settingsPath.empty()) WriteSettingsFile(program.settingsPath, program.settings);
    kvFrame* frame = program.mainFrame;
    if (frame && frame->OnClose()) frame->Destroy();
}

} // namespace

void RunMenuCommand(int id) {
    switch (id) {
    case CMD_SEARCH:
        CommandSearch();
        break;
    case CMD_QUIT:
        CommandQuit();
        break;
    default:
        break;
    }
}

void CloseMainFrame() {
    kvProgram& program = Program();
    if (program.worker) program.worker->StopAndWait();
    if (program.searchFrame) {
        HideSearchFrame();
        program.searchFrame->Destroy();
    }
    CloseSearch();
}

kvSaveOutcome SaveResultsInteractively() {
    kvProgram& program = Program();
    if (!program.summary || !program.results) return kvSaveOutcome::Failed;
    kvFileRequest request;
    request.title = "Save search results";
    request.directory = DirectoryOf(program.lastPath);
    request.fileName = FileNameOf(program.lastPath);
    request.wildcard = "*.kvx";
    request.save = true;
    std::string path = Interaction().SelectFile(request);
    if (path.empty()) return kvSaveOutcome::Cancelled;
    program.lastPath = path;
    ShowStatus("Korvex: Saving search results in file...");
    int written = SaveResultsFile(program.lastPath.c_str(), *program.summary, *program.results);
    ShowStatus("Korvex: idle");
    if (written < 0) {
        ShowNotice("Error saving search results.");
        return kvSaveOutcome::Failed;
    }
    return kvSaveOutcome::Saved;
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
